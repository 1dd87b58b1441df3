#include "protocol/ParseString.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "protocol/BatchReadings.h"
#include "protocol/ConnectionRows.h"
#include "protocol/ConnectionTable.h"
#include "protocol/ControlChars.h"
#include "protocol/DataFile.h"
#include "protocol/ProtocolContext.h"
#include "protocol/RawTrafficFiles.h"

#include <limits>

namespace znr {

namespace {

// A 1-based position as a 16-bit value; 0 when absent.
int position16(qsizetype zeroBased) {
    if (zeroBased + 1 > std::numeric_limits<qint16>::max())
        throw Failure::overflow();
    return int(zeroBased + 1);
}

const QByteArray& field(const QByteArrayList& fields, qsizetype k) {
    if (k >= fields.size())
        throw Failure::outOfRange();
    return fields[k];
}

bool archiving(const ProtocolContext& ctx) {
    return ctx.settings.ArchiveRawFile == "YES";
}

// Whole seconds from the batch start (the zero date when there was none) to now.
qint64 elapsedSeconds(const InstrumentState& s, const QDateTime& now) {
    const QDateTime start = s.StartTime.value_or(QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    return start.secsTo(now);
}

// The instrument's error goes straight into the error log as "ZNR Error, <text>, <time>". A
// log that cannot be written does not stop the batch from ending.
void writeInstrumentError(const ProtocolContext& ctx, const QByteArray& errorText) {
    if (ctx.settings.ErrorLogFolder.isEmpty())
        return;
    guarded(ctx.log, "ParseString", [&] {
        appendLines(ctx.settings.ErrorLogFolder + "ZNRError.log",
                    {"ZNR Error, " + errorText + ", " + generalDateTime(ctx.clock.now())});
    });
}

// Raw export, data file, reset: the order the files rely on to see the complete batch.
void endBatch(const ProtocolContext& ctx, int index) {
    if (archiving(ctx))
        ExportRawFile(ctx.rawData[index], ctx.settings, ctx.log, ctx.rawSweep);
    MakeFile(ctx, index);
    BatchComplete(ctx, index);
}

void parseIst(const ProtocolContext& ctx, int index, const QByteArrayList& fields) {
    InstrumentState& s = ctx.table.InstrumentState[index];
    if (s.Mode != "FAST MODE")
        s.Mode = field(fields, 0);
    s.InstrumentID = field(fields, 3).left(4);
    ctx.rows.setRowText(index, s.InstrumentID);
    ctx.table.InstrumentState[index].StartTime =
        ctx.clock.now(); // looked up again after the call out
}

void parseStb(const ProtocolContext& ctx, int index, const QByteArrayList& fields) {
    InstrumentState& s = ctx.table.InstrumentState[index];
    appendCodes(ctx, index, fields);
    s.BatchCode = field(fields, 0).right(3);
    if (archiving(ctx))
        UpdateRawFile(ctx.rawData[index], s.InstrumentID, s.BatchCode, ctx.log);
}

void parseEnb(const ProtocolContext& ctx, int index) {
    InstrumentState& s = ctx.table.InstrumentState[index];
    s.ElapsedSeconds = elapsedSeconds(s, ctx.clock.now());
    endBatch(ctx, index);
}

void parseErr(const ProtocolContext& ctx, int index, const QByteArrayList& fields) {
    InstrumentState& s = ctx.table.InstrumentState[index];
    // The instrument's error number: the first of the last three characters of field 0, less 1.
    const QByteArray digit = field(fields, 0).right(3).left(1);
    const int number =
        (!digit.isEmpty() && digit[0] >= '0' && digit[0] <= '9') ? digit[0] - '0' - 1 : -1;
    s.ErrorText = QByteArray::number(number) + ',' + field(fields, 1);
    s.ElapsedSeconds = elapsedSeconds(s, ctx.clock.now());
    writeInstrumentError(ctx, s.ErrorText);
    endBatch(ctx, index);
}

} // namespace

QByteArray messageType(const QByteArray& frame) {
    const qsizetype comma = frame.indexOf(',');
    return (comma < 0 ? frame : frame.left(comma)).mid(2, 3);
}

QByteArray framePayload(const QByteArray& frame) {
    const int s = position16(frame.indexOf(ctl::STX));
    const int e = position16(frame.indexOf(ctl::ETX));
    const int length = e - s - 1;
    if (length < 0)
        throw Failure::invalidArgument();
    return frame.mid(s, length);
}

QByteArray ParseString(const ProtocolContext& ctx, int index, QByteArray& frame) {
    QByteArray result;
    guarded(ctx.log, "ParseString", [&] {
        ctx.table.checkIndex(index);
        const QByteArray type = messageType(frame);
        frame = framePayload(frame);
        const QByteArrayList fields = frame.split(',');
        if (type == "IST") {
            parseIst(ctx, index, fields);
            result = "Status and ID Received";
        } else if (type == "RST") {
            result = "ZNR Reset";
        } else if (type == "IDT") {
            ctx.table.InstrumentState[index].DateStamp = ctx.clock.now();
            result = "Date Received";
        } else if (type == "STB") {
            parseStb(ctx, index, fields);
            result = "Measurements Received";
        } else if (type == "DAT") {
            storeReadings(ctx, index, fields);
            result = "DAT Received";
        } else if (type == "ENB") {
            result = "ENB,ENB Received";
            parseEnb(ctx, index);
        } else if (type == "ERR") {
            parseErr(ctx, index, fields);
        } else {
            result = "URC,Nothing";
        }
    });
    return result;
}

} // namespace znr
