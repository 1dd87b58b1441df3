#pragma once

#include "SimOptions.h"

#include <QByteArray>
#include <QByteArrayList>
#include <vector>

namespace sim {

inline constexpr char SOH = 0x01;
inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char EOT = 0x04;

// One batch as it goes on the wire, and the readings the extractor should file from it.
struct Batch {
    QByteArrayList frames; // complete frames, SOH to EOT, in sending order
    int lateFrame = -1;    // the frame --late holds back: the first DAT, else the STB
    QByteArray mode;
    QByteArray id;        // IST field 3 as sent
    QByteArray batchCode; // STB field 0 as sent
    QByteArrayList codes;
    // readings[k]: the values of code k in ten-thousandths, in the order sent.
    std::vector<std::vector<qint64>> readings;

    // The most readings any code got: the data file's row count.
    int rowCount() const;
};

QByteArray makeFrame(const char* type, const QByteArray& payload);

// Batch number `number` (from 0) of the run; the same options and number give the same batch.
Batch makeBatch(const SimOptions& options, int number);

// A value in ten-thousandths as sent in a DAT field: always 4 decimals, e.g. "0.8125", "-3.0500".
QByteArray wireValue(qint64 tenThousandths);

} // namespace sim
