#include "protocol/BatchReadings.h"

#include "ProtocolFixture.h"

namespace znr::test {
namespace {

struct BatchReadingsTest : ProtocolFixture {
    ReadingTable& readings() { return *state().Readings; }
};

TEST_F(BatchReadingsTest, ReshapeKeepsRowsBeforeTheNewLastRowInSharedColumns) {
    RedimArray(ctx, 1, 2, 2);
    readings().set(0, 1, 1.5);
    readings().set(1, 2, 2.5);
    readings().set(2, 2, 9.0);
    RedimArray(ctx, 1, 2, 1); // narrower: row 2 and column 2 go
    EXPECT_EQ(readings().cell(0, 1), 1.5);
    EXPECT_EQ(readings().cell(1, 2), std::nullopt);
    RedimArray(ctx, 1, 2, 2);
    EXPECT_EQ(readings().cell(1, 2), std::nullopt);
    readings().set(2, 0, 3.0);
    RedimArray(ctx, 1, 2, 2); // same shape: the last row is emptied all the same
    EXPECT_EQ(readings().cell(2, 0), std::nullopt);
    EXPECT_EQ(readings().cell(0, 1), 1.5);
    EXPECT_EQ(readings().rowBound(), 2);
    EXPECT_EQ(logText(), "");
}

TEST_F(BatchReadingsTest, WiderTableRestartsRowIndexAndSetsColumnBound) {
    table.RowIndex[1] = 2;
    RedimArray(ctx, 1, 2, 1);
    EXPECT_EQ(table.RowIndex[1], 0);
    EXPECT_EQ(table.ColumnBound[1], 1);
    table.RowIndex[1] = 2;
    RedimArray(ctx, 1, 2, 1);
    EXPECT_EQ(table.RowIndex[1], 2);
    RedimArray(ctx, 1, 0, 0); // a single cell; RowIndex left alone
    EXPECT_EQ(table.ColumnBound[1], 0);
    EXPECT_EQ(table.RowIndex[1], 2);
    EXPECT_EQ(readings().rowBound(), 0);
    EXPECT_EQ(readings().columnBound(), 0);
}

TEST_F(BatchReadingsTest, NegativeBoundFailsAndKeepsTheTable) {
    RedimArray(ctx, 1, 1, 1);
    readings().set(0, 1, 4.0);
    RedimArray(ctx, 1, 1, -1);
    EXPECT_EQ(readings().cell(0, 1), 4.0);
    EXPECT_EQ(table.ColumnBound[1], 1);
    RedimArray(ctx, 9, 0, 0);
    EXPECT_EQ(logText(), "RedimArray, 9, Subscript out of range, 5/1/2012 10:15:30 AM\r\n"
                         "RedimArray, 9, Subscript out of range, 5/1/2012 10:15:30 AM\r\n");
}

TEST_F(BatchReadingsTest, RowsBeyond32767AreAnOverflowAndTheRowDoesNotAdvance) {
    state().Mode = "RUN MODE";
    state().CodeList = "W1";
    table.RowCount[1] = 32767;
    table.RowIndex[1] = 32767;
    table.ColumnBound[1] = 1;
    EXPECT_THROW(storeReadings(ctx, 1, {"1", "0.5"}), Failure);
    EXPECT_EQ(table.RowIndex[1], 32767);
    EXPECT_EQ(readings().cell(32767, 1), 0.5);
}

TEST_F(BatchReadingsTest, BatchCompleteClearsBatchFieldsAndRawSlotButKeepsConnection) {
    InstrumentState& s = state();
    s.InstrumentID = "1234";
    s.BatchCode = "100";
    s.Mode = "RUN MODE";
    s.DateStamp = clock.now();
    s.StartTime = clock.now();
    s.ElapsedSeconds = 5;
    s.CodeList = "W1";
    s.ErrorText = "1,E";
    s.Readings.emplace(1, 1);
    s.IP = "10.0.0.5";
    s.Port = 50000;
    s.CommPort = "3";
    table.RowCount[1] = 4;
    table.RowIndex[1] = 2;
    table.ColumnBound[1] = 3;
    raw[1].Lines = {"a"};
    raw[1].Count = 1;
    raw[1].ID = "1234";
    raw[1].Code = "100";
    BatchComplete(ctx, 1);
    EXPECT_EQ(s.InstrumentID + s.BatchCode + s.Mode + s.CodeList + s.ErrorText, "");
    EXPECT_FALSE(s.DateStamp || s.StartTime || s.ElapsedSeconds || s.Readings);
    EXPECT_EQ(s.IP, "10.0.0.5");
    EXPECT_EQ(s.Port, 50000);
    EXPECT_EQ(s.CommPort, "3");
    EXPECT_EQ(table.RowCount[1], 0);
    EXPECT_EQ(table.RowIndex[1], 0);
    EXPECT_EQ(table.ColumnBound[1], 3);
    EXPECT_TRUE(raw[1].Lines.isEmpty());
    EXPECT_EQ(raw[1].Count, 0);
    EXPECT_EQ(raw[1].ID + raw[1].Code, "");
}

TEST(ConnectionTable, GrowsEveryArrayKeepingEntriesAndNeverShrinks) {
    ConnectionTable t;
    t.ensureIndex(2);
    t.ReceiveBuffer[2] = "abc";
    t.RowCount[2] = 7;
    t.ensureIndex(5);
    t.ensureIndex(1);
    for (std::size_t size :
         {t.ReceiveBuffer.size(), t.RowCount.size(), t.RowIndex.size(), t.InstrumentState.size(),
          t.Deadline.size(), t.FragmentCount.size(), t.ColumnBound.size(), t.LastResult.size()})
        EXPECT_EQ(size, 6u);
    EXPECT_EQ(t.ReceiveBuffer[2], "abc");
    EXPECT_EQ(t.RowCount[2], 7);
    EXPECT_EQ(t.Deadline[4], ConnectionTable::DeadlineUnset);
    EXPECT_THROW(t.checkIndex(6), Failure);
}

} // namespace
} // namespace znr::test
