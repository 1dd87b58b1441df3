#include "station/ConnectionList.h"
#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

// A script of operator steps and the indexes it leaves: "o" opens the next instrument, "f" is
// an opening that fails, "dN" deletes the row of index N.
struct IndexCase {
    const char* script;
    QList<int> rows;
    qint16 next;
    const char* freeList;
    enum Runs { Both, TcpOnly, SerialOnly } runs = Both;
};

const IndexCase indexCases[] = {
    {"o o o", {1, 2, 3}, 4, ""},
    {"o o o d2", {1, 3}, 2, ""},
    {"o o o d2 o", {1, 3, 2}, 4, ""},
    {"o o o d2 f o", {1, 3, 2}, 4, ""},
    {"o o o d1 d2 d3", {}, 1, "2,3,"},
    {"o o o d1 d2 d3 o", {1}, 2, "3,"},
    {"o o o d1 d2 d3 o o o", {1, 2, 3}, 4, ""},
    {"o o o o d2 d4 d1", {3}, 2, "4,1,"},
    {"o o o d1 d2 f", {3}, 1, "2,"},
    {"f f o", {1}, 2, ""},
    // A serial line that failed to open keeps its entry, so the end of the indexes moves.
    {"o f d1", {}, 1, "", IndexCase::TcpOnly},
    {"o f d1", {}, 2, "1,", IndexCase::SerialOnly},
};

TEST(IndexReuse, ScriptsLeaveTheIndexesOfTheirTable) {
    for (bool serial : {false, true}) {
        for (const IndexCase& k : indexCases) {
            if (k.runs == (serial ? IndexCase::TcpOnly : IndexCase::SerialOnly))
                continue;
            SCOPED_TRACE(std::string(k.script) + (serial ? " serial" : " tcp"));
            FreshRun t;
            int instrument = 0;
            for (const QByteArray& step : QByteArray(k.script).split(' ')) {
                if (step[0] == 'd') {
                    const std::optional<int> row = t.list.positionOf(step.mid(1).toInt());
                    ASSERT_TRUE(row);
                    t.act(&Connections::deleteSelected, *row);
                    continue;
                }
                t.links = FakeLinks();
                if (step == "f")
                    t.links.openFailure = Failure(10061, "refused");
                t.openInstrument(++instrument, serial);
            }
            EXPECT_EQ(t.rowIndexes(), k.rows);
            EXPECT_EQ(t.c.indexes().next, k.next);
            EXPECT_EQ(t.c.indexes().freeList, k.freeList);
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

TEST(ConnectionList, RowsStayBoundToTheirIndexAndRecountCountsConnected) {
    ConnectionList list;
    for (int i : {1, 2, 3})
        list.appendRow(i, {"N/A", "10.0.0." + QByteArray::number(i), "10001",
                           i == 2 ? "Disconnected" : "Connected", "t"});
    list.removeRow(0);
    EXPECT_EQ(list.positionOf(3), 1);
    EXPECT_EQ(list.positionOf(1), std::nullopt);
    list.recount();
    EXPECT_EQ(list.countText(), "1");
    list.setCell(1, ConnectionList::StatusColumn, "connected");
    list.recount();
    EXPECT_EQ(list.countText(), "0");
}

} // namespace
} // namespace znr::test
