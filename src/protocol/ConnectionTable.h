#pragma once

#include "protocol/InstrumentState.h"

#include <QByteArray>
#include <limits>
#include <vector>

namespace znr {

// The per-connection arrays, indexed by connection index (entry 0 is never a connection).
// Grown on demand by ensureIndex(), never shrunk; every array always has the same size.
struct ConnectionTable {
    // A Deadline that was never set: long past, so "now is at or after it" always holds.
    static constexpr qint64 DeadlineUnset = std::numeric_limits<qint64>::min();

    std::vector<QByteArray> ReceiveBuffer; // bytes received since the last complete frame
    std::vector<qint16> RowCount;          // reading rows in use in the batch
    std::vector<qint16> RowIndex;          // row the next reading goes to
    std::vector<::znr::InstrumentState> InstrumentState;
    // End of the wait running on the connection (connect, close, or the frame deadline), in
    // Clock::monotonicMs() milliseconds.
    std::vector<qint64> Deadline;
    std::vector<qint16> FragmentCount;  // arrivals without EOT since the last ACK8
    std::vector<qint16> ColumnBound;    // column bound the readings were last shaped to
    std::vector<QByteArray> LastResult; // what the parser made of the last frame

    // Enlarges every array so that `index` is valid; existing entries keep their values.
    void ensureIndex(int index);

    // True when `index` names an entry of the arrays (0 included).
    bool contains(int index) const { return index >= 0 && index < int(ReceiveBuffer.size()); }

    // Throws the out-of-range failure when `index` is not an entry of the arrays.
    void checkIndex(int index) const;
};

} // namespace znr
