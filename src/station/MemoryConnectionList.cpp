#include "station/MemoryConnectionList.h"

namespace znr {

void MemoryConnectionList::appendRow(int index, const QByteArray (&texts)[ColumnCount]) {
    Row row;
    row.index = index;
    for (int c = 0; c < ColumnCount; ++c)
        row.texts[c] = texts[c];
    rows_.append(row);
}

void MemoryConnectionList::removeRow(int position) {
    rows_.removeAt(position);
    if (selected_ && *selected_ == position)
        selected_.reset();
    else if (selected_ && *selected_ > position)
        --*selected_;
}

} // namespace znr
