#include "protocol/ConnectionTable.h"

#include "core/Failure.h"

namespace znr {

void ConnectionTable::ensureIndex(int index) {
    if (index < 0)
        throw Failure::outOfRange();
    if (contains(index))
        return;
    const std::size_t size = std::size_t(index) + 1;
    ReceiveBuffer.resize(size);
    RowCount.resize(size, 0);
    RowIndex.resize(size, 0);
    InstrumentState.resize(size);
    Deadline.resize(size, DeadlineUnset);
    FragmentCount.resize(size, 0);
    ColumnBound.resize(size, 0);
    LastResult.resize(size);
}

void ConnectionTable::checkIndex(int index) const {
    if (!contains(index))
        throw Failure::outOfRange();
}

} // namespace znr
