#include "protocol/ReadingTable.h"

#include "records/Failure.h"

#include <algorithm>

namespace znr {

namespace {

void checkBounds(int rowBound, int columnBound) {
    if (rowBound < 0 || columnBound < 0)
        throw Failure::outOfRange();
}

} // namespace

ReadingTable::ReadingTable(int rowBound, int columnBound) {
    checkBounds(rowBound, columnBound);
    rows_ = rowBound + 1;
    columns_ = columnBound + 1;
    cells_.assign(std::size_t(rows_) * std::size_t(columns_), Cell{});
}

ReadingTable::Cell ReadingTable::cell(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_)
        return {};
    return cells_[std::size_t(row) * std::size_t(columns_) + std::size_t(column)];
}

void ReadingTable::set(int row, int column, double value) {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_)
        throw Failure::outOfRange();
    cells_[std::size_t(row) * std::size_t(columns_) + std::size_t(column)] = value;
}

void ReadingTable::reshape(int rowBound, int columnBound) {
    checkBounds(rowBound, columnBound);
    const int rows = rowBound + 1;
    const int columns = columnBound + 1;
    if (columns == columns_) {
        // Same width: rows are contiguous, so the table grows or shrinks at its end.
        cells_.resize(std::size_t(rows) * std::size_t(columns));
        std::fill(cells_.end() - columns, cells_.end(), Cell{});
        rows_ = rows;
        return;
    }
    std::vector<Cell> cells(std::size_t(rows) * std::size_t(columns));
    const int keepRows = std::min(rows - 1, rows_);
    const int keepColumns = std::min(columns, columns_);
    for (int r = 0; r < keepRows; ++r)
        std::copy_n(cells_.begin() + std::ptrdiff_t(r) * columns_, keepColumns,
                    cells.begin() + std::ptrdiff_t(r) * columns);
    cells_ = std::move(cells);
    rows_ = rows;
    columns_ = columns;
}

} // namespace znr
