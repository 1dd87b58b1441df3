#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace znr::test {

inline const QByteArray kAck8("\x06\x38", 2);
inline const QByteArray kNak8("\x15\x38", 2);

// A frame as an instrument sends it: SOH "1" type STX payload ETX EOT.
inline QByteArray wireFrame(const char* type, const QByteArray& payload) {
    return QByteArray(1, '\x01') + '1' + type + '\x02' + payload + '\x03' + '\x04';
}

// A RUN MODE batch of instrument `id` with codes W1,D1 and three rows; its data file holds
// tests/data/protocol/run_mode_column.dat below the first line.
inline QByteArrayList threeRowBatch(const QByteArray& id) {
    return {wireFrame("IST", "RUN MODE,a,b," + id + ",x"),
            wireFrame("STB", "X100,W1,D1"),
            wireFrame("DAT", "1,0.81,7.8"),
            wireFrame("DAT", "2,0.805,7.79"),
            wireFrame("DAT", "3,0.812,7.80"),
            wireFrame("ENB", "0")};
}

} // namespace znr::test
