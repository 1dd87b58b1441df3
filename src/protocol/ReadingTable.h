#pragma once

#include <QtGlobal>
#include <optional>
#include <vector>

namespace znr {

// The readings of one batch: rows 0..rowBound() by columns 0..columnBound(); each cell is empty
// or holds a value. Cells outside the table read as empty; storing outside it is a failure.
// Only the cells that hold a value take memory, so a wide table of few readings stays small,
// and growing the table costs nothing for the cells it already has.
class ReadingTable {
public:
    using Cell = std::optional<double>;

    // A table of empty cells; bounds below zero are a failure (out of range).
    ReadingTable(int rowBound, int columnBound);

    int rowBound() const { return int(rows_.size()) - 1; }
    int columnBound() const { return columns_ - 1; }

    Cell cell(int row, int column) const;
    // The cells that hold a value: what the table's memory grows with.
    qsizetype storedCells() const;
    void set(int row, int column, double value);

    // Becomes rows 0..rowBound by columns 0..columnBound; rows 0..rowBound-1 keep their cells in
    // the columns both shapes have, every other cell is empty. Bounds below zero are a failure
    // and leave the table as it was.
    void reshape(int rowBound, int columnBound);

private:
    struct Entry {
        int column;
        double value;
    };
    using Row = std::vector<Entry>; // the row's stored cells, by column

    int columns_;
    std::vector<Row> rows_;
};

} // namespace znr
