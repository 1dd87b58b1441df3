#include "support/CaseTable.h"
#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

QList<int> numbers(const QByteArray& text) {
    QList<int> out;
    for (const QByteArray& n : text.split(' '))
        if (!n.isEmpty())
            out.append(n.toInt());
    return out;
}

TEST(IndexReuse, ScriptsLeaveTheIndexesOfTheirTable) {
    for (const QByteArrayList& k : caseTable("station/index-reuse.txt")) {
        for (const bool serial : {false, true}) {
            if (k[4] != "both" && (k[4] == "serial") != serial)
                continue;
            SCOPED_TRACE(k.join('|').toStdString() + (serial ? " serial" : " tcp"));
            FreshRun t;
            int instrument = 0;
            for (const QByteArray& step : k[0].split(' ')) {
                if (step[0] == 'd') {
                    const std::optional<int> row = t.list.positionOf(step.mid(1).toInt());
                    ASSERT_TRUE(row);
                    t.act(&Connections::deleteSelected, *row);
                    continue;
                }
                t.links = FakeLinks();
                if (step == "f")
                    t.links.openFailure = Failure(10061, "refused");
                ++instrument;
                serial ? t.openCom(QByteArray::number(10 + instrument))
                       : t.openHost(FreshRun::host(instrument));
            }
            EXPECT_EQ(t.rowIndexes(), numbers(k[1]));
            EXPECT_EQ(t.c.indexes().next, k[2].toInt());
            EXPECT_EQ(t.c.indexes().freeList, k[3]);
        }
    }
}

// Connections 1..highest have entries, `open` are in use.
IndexAllocator::Occupancy occupancy(int highest, std::set<int> open) {
    return {highest, [highest](int i) { return i > highest; },
            [open](int i) { return open.count(i) > 0; }};
}

TEST(IndexReuse, FreeEntriesUseTheirLeadingDigitsAndTheLatestIsTakenBack) {
    IndexAllocator a;
    a.next = 6;
    a.freeList = "4x,,5,";
    a.update(occupancy(5, {1, 2, 3, 4, 5}));
    EXPECT_EQ(a.next, 4);
    EXPECT_EQ(a.freeList, "5,");
    a.freeList = "3,7,3,";
    a.reclaim(3);
    EXPECT_EQ(a.freeList, "3,7,");
    a.reclaim(9);
    EXPECT_EQ(a.freeList, "3,7,");
}

TEST(IndexReuse, IndexesEndAt32767) {
    IndexAllocator a;
    a.update(occupancy(32766, {}));
    EXPECT_EQ(a.next, 32767);
    EXPECT_THROW(a.update(occupancy(32767, {})), Failure);
    a.freeList = "40000,";
    a.next = 32767;
    EXPECT_THROW(a.update(occupancy(32767, {32767})), Failure);
}

} // namespace
} // namespace znr::test
