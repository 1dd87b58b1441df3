#include "station/ConnectionList.h"

namespace znr {

std::optional<int> ConnectionList::positionOf(int index) const {
    for (int p = 0; p < rowCount(); ++p)
        if (indexAt(p) == index)
            return p;
    return std::nullopt;
}

void ConnectionList::recount() {
    int connected = 0;
    for (int p = 0; p < rowCount(); ++p)
        if (cell(p, StatusColumn) == "Connected")
            ++connected;
    setCountText(QByteArray::number(connected));
}

} // namespace znr
