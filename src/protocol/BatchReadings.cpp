#include "protocol/BatchReadings.h"

#include "core/ErrorLog.h"
#include "protocol/ConnectionTable.h"
#include "protocol/ProtocolContext.h"
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

ReadingTable& readingsOf(InstrumentState& s) {
    if (!s.Readings)
        throw Failure::outOfRange();
    return *s.Readings;
}

// The number of codes CodeList would hold with `code` appended and this STB's leading comma, if
// any, dropped.
qint64 codesWith(const InstrumentState& s, const QByteArray& code) {
    const qint64 commas = s.CodeListCommas + 1;
    if (!s.CodeList.isEmpty() && !s.CodeList.startsWith(','))
        return commas + 1;
    return s.CodeList.size() + 1 + code.size() == 1 ? 0 : commas;
}

// Logs the first limit a batch passes; from then on the batch ignores codes and readings.
void refuseRest(const ProtocolContext& ctx, InstrumentState& s, const QByteArray& limit) {
    s.PastLimit = true;
    ctx.log.WriteErrorLog("ParseString", FailureNo::Overflow,
                          "Overflow: more than " + limit +
                              " in one batch; the rest of the batch is ignored");
}

} // namespace

QByteArrayList splitCodes(const QByteArray& codeList) {
    return codeList.isEmpty() ? QByteArrayList() : codeList.split(',');
}

bool isRunLikeMode(const QByteArray& mode) {
    return mode == "RUN MODE" || mode == "FAST MODE";
}

void RedimArray(const ProtocolContext& ctx, int index, int rowBound, int columnBound) {
    guarded(ctx.log, "RedimArray", [&] {
        ConnectionTable& t = ctx.table;
        t.checkIndex(index);
        std::optional<ReadingTable>& readings = t.InstrumentState[index].Readings;
        if (rowBound == 0 && columnBound == 0) {
            readings.emplace(0, 0);
            t.ColumnBound[index] = 0;
            return;
        }
        if (readings)
            readings->reshape(rowBound, columnBound);
        else
            readings.emplace(rowBound, columnBound);
        if (columnBound > t.ColumnBound[index])
            t.RowIndex[index] = 0;
        t.ColumnBound[index] = qint16(columnBound);
    });
}

void appendCodes(const ProtocolContext& ctx, int index, const QByteArrayList& fields) {
    ConnectionTable& t = ctx.table;
    t.checkIndex(index);
    InstrumentState& s = t.InstrumentState[index];
    if (s.PastLimit)
        return;
    const qint64 rows = t.RowCount[index];
    for (qsizetype k = 1; k < fields.size(); ++k) {
        const QByteArray code = fields[k].left(2);
        const qint64 codes = codesWith(s, code);
        if (codes > MaxCodesPerBatch) {
            refuseRest(ctx, s, QByteArray::number(MaxCodesPerBatch) + " codes");
            break;
        }
        if (rows * codes > MaxCellsPerBatch) {
            refuseRest(ctx, s, QByteArray::number(MaxCellsPerBatch) + " cells (rows x codes)");
            break;
        }
        s.CodeList += ',' + code;
        ++s.CodeListCommas;
    }
    if (s.CodeList.startsWith(',')) {
        s.CodeList.remove(0, 1);
        --s.CodeListCommas;
    }
}

void storeReadings(const ProtocolContext& ctx, int index, const QByteArrayList& fields) {
    ConnectionTable& t = ctx.table;
    t.checkIndex(index);
    InstrumentState& s = t.InstrumentState[index];
    if (s.PastLimit)
        return;
    const qsizetype codes = s.codeCount();
    if (codes > std::numeric_limits<qint16>::max())
        throw Failure::overflow();
    const qint64 rows = std::max<qint64>(t.RowCount[index], qint64(t.RowIndex[index]) + 1);
    if (rows * codes > MaxCellsPerBatch) {
        refuseRest(ctx, s, QByteArray::number(MaxCellsPerBatch) + " cells (rows x codes)");
        return;
    }
    if (isRunLikeMode(s.Mode)) {
        RedimArray(ctx, index, t.RowCount[index], int(codes));
        for (qsizetype j = 1; j < fields.size() && j <= codes; ++j)
            readingsOf(s).set(t.RowIndex[index], int(j), readingValue(fields[j]));
    } else {
        RedimArray(ctx, index, t.RowCount[index], int(codes) - 1);
        if (fields.size() < 2)
            throw Failure::outOfRange();
        const double value = readingValue(fields[1]);
        readingsOf(s).set(t.RowIndex[index], t.ColumnBound[index], value);
    }
    t.RowIndex[index] = nextRow(t.RowIndex[index]);
    if (t.RowIndex[index] > t.RowCount[index])
        t.RowCount[index] = t.RowIndex[index];
}

void BatchComplete(const ProtocolContext& ctx, int index) {
    guarded(ctx.log, "BatchComplete", [&] {
        ConnectionTable& t = ctx.table;
        t.checkIndex(index);
        t.InstrumentState[index].clearBatch();
        t.RowCount[index] = 0;
        t.RowIndex[index] = 0;
        ctx.rawData.drop(index);
    });
}

} // namespace znr
