#include "protocol/Batch.h"

#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/ReadingValue.h"

#include <algorithm>
#include <limits>

namespace znr {

namespace {

qint16 nextRow(qint16 row) {
    if (row == std::numeric_limits<qint16>::max())
        throw Failure::overflow();
    return qint16(row + 1);
}

} // namespace

QByteArrayList splitCodes(const QByteArray& codeList) {
    return codeList.isEmpty() ? QByteArrayList() : codeList.split(',');
}

bool isRunLikeMode(const QByteArray& mode) {
    return mode == "RUN MODE" || mode == "FAST MODE";
}

void Batch::reset() {
    const qsizetype byteLimit = raw.byteLimit;
    *this = Batch();
    raw.byteLimit = byteLimit;
}

ReadingTable& Batch::table() {
    if (!readings)
        throw Failure::outOfRange();
    return *readings;
}

// The number of codes codeList would hold with `code` appended and this STB's leading comma, if
// any, dropped.
qint64 Batch::codesWith(const QByteArray& code) const {
    const qint64 commas = codeListCommas_ + 1;
    if (!codeList.isEmpty() && !codeList.startsWith(','))
        return commas + 1;
    return codeList.size() + 1 + code.size() == 1 ? 0 : commas;
}

// Logs the first limit a batch passes; from then on the batch ignores codes and readings.
void Batch::refuseRest(const ErrorLog& log, const QByteArray& limit) {
    pastLimit = true;
    log.write(logname::Parser, FailureNo::Overflow,
              "Overflow: more than " + limit + " in one batch; the rest of the batch is ignored");
}

void Batch::reshape(int rowBound, int newColumnBound) {
    if (rowBound == 0 && newColumnBound == 0) {
        readings.emplace(0, 0);
        columnBound = 0;
        return;
    }
    if (readings)
        readings->reshape(rowBound, newColumnBound);
    else
        readings.emplace(rowBound, newColumnBound);
    if (newColumnBound > columnBound)
        rowIndex = 0;
    columnBound = qint16(newColumnBound);
}

void Batch::addCodes(const QByteArrayList& fields, const ErrorLog& log) {
    if (pastLimit)
        return;
    const qint64 rows = rowCount;
    for (qsizetype k = 1; k < fields.size(); ++k) {
        const QByteArray code = fields[k].left(2);
        const qint64 codes = codesWith(code);
        if (codes > MaxCodesPerBatch) {
            refuseRest(log, QByteArray::number(MaxCodesPerBatch) + " codes");
            break;
        }
        if (rows * codes > MaxCellsPerBatch) {
            refuseRest(log, QByteArray::number(MaxCellsPerBatch) + " cells (rows x codes)");
            break;
        }
        codeList += ',' + code;
        ++codeListCommas_;
    }
    if (codeList.startsWith(',')) {
        codeList.remove(0, 1);
        --codeListCommas_;
    }
}

void Batch::addReadings(const QByteArrayList& fields, const ErrorLog& log) {
    if (pastLimit)
        return;
    const qsizetype codes = codeCount();
    if (codes > std::numeric_limits<qint16>::max())
        throw Failure::overflow();
    const bool runLike = isRunLikeMode(mode);
    guarded(log, logname::ReshapeReadings,
            [&] { reshape(rowCount, runLike ? int(codes) : int(codes) - 1); });
    // Counted after the reshape, which moves the next reading to row 0 when the table widened.
    const qint64 rows = std::max<qint64>(rowCount, qint64(rowIndex) + 1);
    if (rows * codes > MaxCellsPerBatch) {
        refuseRest(log, QByteArray::number(MaxCellsPerBatch) + " cells (rows x codes)");
        return;
    }
    if (runLike) {
        for (qsizetype j = 1; j < fields.size() && j <= codes; ++j)
            table().set(rowIndex, int(j), readingValue(fields[j]));
    } else {
        if (fields.size() < 2)
            throw Failure::outOfRange();
        const double value = readingValue(fields[1]);
        table().set(rowIndex, columnBound, value);
    }
    rowIndex = nextRow(rowIndex);
    if (rowIndex > rowCount)
        rowCount = rowIndex;
}

} // namespace znr
