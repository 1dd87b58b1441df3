#include "protocol/BatchReadings.h"

#include "ProtocolFixture.h"

#include <filesystem>

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

TEST_F(BatchReadingsTest, BatchCompleteClearsBatchFieldsAndRawRecordButKeepsConnection) {
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

// An STB frame announcing `count` empty codes (the cheapest on the wire).
QByteArray codes(int count) {
    return frame("STB", "X100" + QByteArray(count, ','));
}

QByteArray overflowLine(const char* limit) {
    return QByteArray("ParseString, 6, Overflow: more than ") + limit +
           " in one batch; the rest of the batch is ignored, 5/1/2012 10:15:30 AM\r\n";
}

// What would take a batch past its size limits is refused once with one log line; the batch
// keeps what it holds, still ends with its file, and the next batch starts clean.
TEST_F(BatchReadingsTest, BatchPastItsSizeLimitsKeepsWhatItHoldsAndLogsOnce) {
    struct Case {
        const char* name;
        QByteArrayList frames;
        int rowCount;
        int codeCount;
        const char* limit;
    } cases[] = {
        {"WideCodesThenEmptyRows",
         QByteArrayList{codes(20'000)} + QByteArrayList(300, frame("DAT", "")), 209, 20'000,
         "4194304 cells (rows x codes)"},
        {"EmptyRowsThenWideCodes",
         QByteArrayList(3'000, frame("DAT", "")) + QByteArrayList{codes(20'000), codes(5)}, 3'000,
         1'398, "4194304 cells (rows x codes)"},
        {"TooManyCodes",
         {codes(30'000), codes(5'000), frame("DAT", "1,2.5")},
         0,
         32'767,
         "32767 codes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(settings.ErrorLogFolder.toStdString() + "ZNRError.log");
        arrive(frame("IST", "RUN MODE,a,b,1234"));
        for (const QByteArray& f : c.frames)
            ASSERT_EQ(arrive(f), ACK8);
        EXPECT_EQ(table.RowCount[1], c.rowCount);
        EXPECT_EQ(splitCodes(state().CodeList).size(), c.codeCount);
        EXPECT_EQ(state().codeCount(), c.codeCount);
        EXPECT_EQ(arrive(frame("ENB", "")), ACK8);
        EXPECT_EQ(logText(), overflowLine(c.limit));

        arrive(frame("IST", "RUN MODE,a,b,1234") + codes(2) + frame("DAT", "1,2.5,3"));
        EXPECT_EQ(table.RowCount[1], 1);
        EXPECT_EQ(state().codeCount(), 2);
        arrive(frame("ENB", ""));
        EXPECT_EQ(logText(), overflowLine(c.limit));
    }
    const QByteArrayList files = listFiles(settings.DataFolder);
    ASSERT_EQ(files.size(), 1); // every batch in the same second: one file, appended to
    const QByteArray text = readBytes(settings.DataFolder + files[0]);
    EXPECT_TRUE(text.startsWith("1234,100,5/1/2012 10:15:30 AM,209,20000\r\n" +
                                QByteArray(19'999, ',') + "\r\n"));
    EXPECT_EQ(text.count('\n'), (2 + 209) + 3 + (2 + 3000) + 3 + 3);
}

// CodeList keeps its quirks (an empty first code, an STB without codes) and the code count
// follows them.
TEST_F(BatchReadingsTest, CodeCountFollowsTheCodeListText) {
    for (const char* payload : {"X1,,AB", "X1", "X1,", "X1,CD,,E"}) {
        arrive(frame("STB", payload));
        EXPECT_EQ(state().codeCount(), splitCodes(state().CodeList).size()) << payload;
    }
    EXPECT_EQ(state().CodeList, "AB,,CD,,E");
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
