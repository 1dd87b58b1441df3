#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <vector>

namespace znr {

// The traffic of one slot (a connection, or the trouble-shooting window's export) since the
// last batch end: received frames and sent replies with control characters shown as tokens.
struct RawTrafficRecord {
    QByteArrayList Lines;
    qint16 Count = 0; // lines held; 32767 at most
    QByteArray ID;    // first part of the export file name
    QByteArray Code;  // second part of the export file name

    void clear() { *this = RawTrafficRecord{}; }
};

// Slots 0..RawDataTempNumber, created once when the settings are loaded.
using RawData = std::vector<RawTrafficRecord>;

} // namespace znr
