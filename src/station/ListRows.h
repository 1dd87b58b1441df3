#pragma once

#include "core/Failure.h"
#include "protocol/ConnectionRows.h"
#include "station/ConnectionList.h"

#include <vector>

namespace znr {

// The protocol's view of the list: rows addressed by connection index. An index without a row
// is the out-of-range failure, which the calling routine logs.
class ListRows final : public ConnectionRows {
public:
    explicit ListRows(ConnectionList& list) : list_(list) {}

    void setRowText(int index, const QByteArray& text) override {
        list_.setCell(rowOf(index), ConnectionList::IdColumn, text);
    }
    void setLastUpdated(int index, const QByteArray& text) override {
        list_.setCell(rowOf(index), ConnectionList::LastUpdatedColumn, text);
    }

private:
    // Every frame updates its row, so the row an index was last found at is tried first; it is
    // still the index's row when that row is bound to the index (a connection has one row). Only
    // after rows were removed or added is the list searched again.
    int rowOf(int index) {
        const auto slot = std::size_t(index);
        if (index >= 0 && slot < lastRow_.size()) {
            const int p = lastRow_[slot];
            if (p >= 0 && p < list_.rowCount() && list_.indexAt(p) == index)
                return p;
        }
        const std::optional<int> row = list_.positionOf(index);
        if (!row)
            throw Failure::outOfRange();
        if (index >= 0) {
            if (slot >= lastRow_.size())
                lastRow_.resize(slot + 1, -1);
            lastRow_[slot] = *row;
        }
        return *row;
    }

    ConnectionList& list_;
    std::vector<int> lastRow_; // by connection index; -1 when not known
};

} // namespace znr
