#pragma once

#include "core/Failure.h"
#include "protocol/ConnectionRows.h"
#include "station/ConnectionList.h"

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
    int rowOf(int index) const {
        const std::optional<int> row = list_.positionOf(index);
        if (!row)
            throw Failure::outOfRange();
        return *row;
    }

    ConnectionList& list_;
};

} // namespace znr
