#include "station/ListRows.h"

#include "station/ConnectionList.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

struct ListRowsTest : ::testing::Test {
    ConnectionList list;
    ListRows rows{list};

    void append(int index) {
        list.appendRow(index, {"N/A", "127.0.0.1", QByteArray::number(index), "Connected", "t0"});
    }
    QByteArray lastUpdatedOf(int position) const {
        return list.cell(position, ConnectionList::LastUpdatedColumn);
    }
};

// Each update lands on the row bound to its index, wherever removals and additions moved it.
TEST_F(ListRowsTest, UpdatesFollowTheRowOfTheIndexAsRowsComeAndGo) {
    append(3);
    append(5);
    append(7);
    rows.setLastUpdated(5, "t1");
    rows.setLastUpdated(7, "t1");
    EXPECT_EQ(lastUpdatedOf(1), "t1");
    list.removeRow(0); // 5 and 7 move up
    rows.setLastUpdated(5, "t2");
    rows.setRowText(7, "1234");
    EXPECT_EQ(lastUpdatedOf(0), "t2");
    EXPECT_EQ(lastUpdatedOf(1), "t1");
    EXPECT_EQ(list.cell(1, ConnectionList::IdColumn), "1234");
    EXPECT_THROW(rows.setLastUpdated(3, "t3"), Failure); // its row is gone
    list.removeRow(0);
    append(3); // 3 again, now after 7
    append(5);
    rows.setLastUpdated(5, "t4");
    rows.setLastUpdated(3, "t4");
    EXPECT_EQ(lastUpdatedOf(0), "t1");
    EXPECT_EQ(lastUpdatedOf(1), "t4");
    EXPECT_EQ(lastUpdatedOf(2), "t4");
    EXPECT_THROW(rows.setLastUpdated(9, "t5"), Failure);
    EXPECT_THROW(rows.setLastUpdated(-1, "t5"), Failure);
}

} // namespace
} // namespace znr
