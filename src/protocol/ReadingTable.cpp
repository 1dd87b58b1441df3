#include "protocol/ReadingTable.h"

#include "core/Failure.h"

#include <algorithm>

namespace znr {

namespace {

void checkBounds(int rowBound, int columnBound) {
    if (rowBound < 0 || columnBound < 0)
        throw Failure::outOfRange();
}

template <class Row> auto firstAtOrAfter(Row& row, int column) {
    return std::lower_bound(row.begin(), row.end(), column,
                            [](const auto& entry, int c) { return entry.column < c; });
}

} // namespace

ReadingTable::ReadingTable(int rowBound, int columnBound) {
    checkBounds(rowBound, columnBound);
    columns_ = columnBound + 1;
    rows_.resize(std::size_t(rowBound) + 1);
}

ReadingTable::Cell ReadingTable::cell(int row, int column) const {
    if (row < 0 || row > rowBound() || column < 0 || column >= columns_)
        return {};
    const Row& cells = rows_[std::size_t(row)];
    const auto it = firstAtOrAfter(cells, column);
    if (it == cells.end() || it->column != column)
        return {};
    return it->value;
}

qsizetype ReadingTable::storedCells() const {
    qsizetype cells = 0;
    for (const Row& row : rows_)
        cells += qsizetype(row.size());
    return cells;
}

void ReadingTable::set(int row, int column, double value) {
    if (row < 0 || row > rowBound() || column < 0 || column >= columns_)
        throw Failure::outOfRange();
    Row& cells = rows_[std::size_t(row)];
    if (cells.empty() || cells.back().column < column) { // readings arrive column by column
        cells.push_back({column, value});
        return;
    }
    const auto it = firstAtOrAfter(cells, column);
    if (it->column == column)
        it->value = value;
    else
        cells.insert(it, {column, value});
}

void ReadingTable::reshape(int rowBound, int columnBound) {
    checkBounds(rowBound, columnBound);
    rows_.resize(std::size_t(rowBound) + 1);
    rows_.back() = Row{};
    if (columnBound + 1 < columns_) {
        for (Row& cells : rows_)
            cells.erase(firstAtOrAfter(cells, columnBound + 1), cells.end());
    }
    columns_ = columnBound + 1;
}

} // namespace znr
