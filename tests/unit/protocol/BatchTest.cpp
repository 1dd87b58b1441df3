#include "protocol/Batch.h"

#include "core/Failure.h"
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

} // namespace
} // namespace znr
