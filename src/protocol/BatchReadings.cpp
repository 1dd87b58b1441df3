#include "protocol/BatchReadings.h"

#include "protocol/ConnectionTable.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReadingValue.h"
#include "records/ErrorLog.h"

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

void storeReadings(const ProtocolContext& ctx, int index, const QByteArrayList& fields) {
    ConnectionTable& t = ctx.table;
    t.checkIndex(index);
    InstrumentState& s = t.InstrumentState[index];
    const qsizetype codes = splitCodes(s.CodeList).size();
    if (codes > std::numeric_limits<qint16>::max())
        throw Failure::overflow();
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
        if (std::size_t(index) >= ctx.rawData.size())
            throw Failure::outOfRange();
        ctx.rawData[std::size_t(index)].clear();
    });
}

} // namespace znr
