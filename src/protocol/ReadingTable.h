#pragma once

#include <optional>
#include <vector>

namespace znr {

// The readings of one batch: rows 0..rowBound() by columns 0..columnBound(); each cell is empty
// or holds a value. Cells outside the table read as empty; storing outside it is a failure.
class ReadingTable {
public:
    using Cell = std::optional<double>;

    // A table of empty cells; bounds below zero are a failure (out of range).
    ReadingTable(int rowBound, int columnBound);

    int rowBound() const { return rows_ - 1; }
    int columnBound() const { return columns_ - 1; }

    Cell cell(int row, int column) const;
    void set(int row, int column, double value);

    // Becomes rows 0..rowBound by columns 0..columnBound; rows 0..rowBound-1 keep their cells in
    // the columns both shapes have, every other cell is empty. Bounds below zero are a failure
    // and leave the table as it was.
    void reshape(int rowBound, int columnBound);

private:
    int rows_;
    int columns_;
    std::vector<Cell> cells_; // row by row
};

} // namespace znr
