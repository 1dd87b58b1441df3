#include "protocol/Batch.h"

#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

TEST(Batch, ReshapeKeepsRowsBeforeTheNewLastRowInSharedColumns) {
    Batch b;
    b.reshape(2, 2);
    b.readings->set(0, 1, 1.5);
    b.readings->set(1, 2, 2.5);
    b.reshape(2, 1); // narrower: row 2 and column 2 go
    EXPECT_EQ(b.readings->cell(0, 1), 1.5);
    b.reshape(2, 2);
    EXPECT_EQ(b.readings->cell(1, 2), std::nullopt);
    b.readings->set(2, 0, 3.0);
    b.reshape(2, 2); // same shape: the last row is emptied all the same
    EXPECT_EQ(b.readings->cell(2, 0), std::nullopt);
    EXPECT_EQ(b.readings->cell(0, 1), 1.5);
    EXPECT_THROW(b.reshape(1, -1), Failure);
    EXPECT_EQ(b.readings->cell(0, 1), 1.5);
    EXPECT_EQ(b.columnBound, 2);
}

TEST(Batch, WiderTableRestartsTheRowAndASingleCellLeavesItAlone) {
    Batch b;
    b.rowIndex = 2;
    b.reshape(2, 1);
    EXPECT_EQ(b.rowIndex, 0);
    b.rowIndex = 2;
    b.reshape(2, 1);
    EXPECT_EQ(b.rowIndex, 2);
    b.reshape(0, 0);
    EXPECT_EQ(b.columnBound, 0);
    EXPECT_EQ(b.rowIndex, 2);
    EXPECT_EQ(b.readings->rowBound(), 0);
}

TEST(Batch, RowsBeyond32767AreAnOverflowAndTheRowDoesNotAdvance) {
    const QByteArray noFolder;
    const test::FakeClock clock;
    const ErrorLog log(noFolder, clock);
    Batch b;
    b.mode = "RUN MODE";
    b.addCodes({"X1", "W1"}, log);
    b.rowCount = b.rowIndex = 32767;
    b.columnBound = 1;
    EXPECT_THROW(b.addReadings({"1", "0.5"}, log), Failure);
    EXPECT_EQ(b.rowIndex, 32767);
    EXPECT_EQ(b.readings->cell(32767, 1), 0.5);
}

// 2048 codes x 2048 rows fill the cell budget exactly, whichever comes first; only what goes
// past it is refused.
TEST(Batch, WhatFillsTheCellBudgetExactlyIsKept) {
    const QByteArray noFolder;
    const test::FakeClock clock;
    const ErrorLog log(noFolder, clock);
    for (bool codesFirst : {true, false}) {
        SCOPED_TRACE(codesFirst ? "codes first" : "rows first");
        Batch b;
        b.mode = "RUN MODE";
        const QByteArrayList codes(2049, "AB"); // field 0 and 2048 codes
        if (codesFirst)
            b.addCodes(codes, log);
        for (int r = 0; r < 2048; ++r)
            b.addReadings({"1"}, log);
        if (!codesFirst)
            b.addCodes(codes, log);
        b.addReadings({"1"}, log); // codes first: a row too many; rows first: row 0 again
        EXPECT_EQ(qint64(b.codeCount()) * b.rowCount, MaxCellsPerBatch);
        EXPECT_EQ(b.pastLimit, codesFirst);
    }
}

} // namespace
} // namespace znr
