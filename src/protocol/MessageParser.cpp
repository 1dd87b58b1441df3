#include "protocol/MessageParser.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/LogNames.h"
#include "protocol/BatchEnd.h"
#include "protocol/Channel.h"
#include "protocol/ConnectionRows.h"
#include "protocol/ControlChars.h"
#include "protocol/ProtocolContext.h"

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

// Whole seconds from the batch start (the zero date when there was none) to now.
qint64 elapsedSeconds(const Batch& batch, const QDateTime& now) {
    const QDateTime start = batch.startTime.value_or(QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    return start.secsTo(now);
}

// The instrument's error goes straight into the error log as "ZNR Error, <text>, <time>". A
// log that cannot be written does not stop the batch from ending.
void writeInstrumentError(const ProtocolContext& ctx, const QByteArray& errorText) {
    if (ctx.settings.errorLogFolder.isEmpty())
        return;
    guarded(ctx.log, logname::Parser, [&] {
        appendLines(ctx.settings.errorLogFolder + "ZNRError.log",
                    {"ZNR Error, " + errorText + ", " + generalDateTime(ctx.clock.now())});
    });
}

void onStatus(const ProtocolContext& ctx, Channel& channel, const QByteArrayList& fields) {
    Batch& batch = channel.batch;
    if (batch.mode != "FAST MODE")
        batch.mode = field(fields, 0);
    batch.instrumentId = field(fields, 3).left(4);
    ctx.rows.setRowText(channel.index(), batch.instrumentId);
    batch.startTime = ctx.clock.now();
}

void onCodes(const ProtocolContext& ctx, Batch& batch, const QByteArrayList& fields) {
    batch.addCodes(fields, ctx.log);
    batch.batchCode = field(fields, 0).right(3);
    if (ctx.settings.archivesRawFiles()) {
        batch.raw.id = batch.instrumentId;
        batch.raw.code = batch.batchCode;
    }
}

void onEnd(const ProtocolContext& ctx, Channel& channel) {
    channel.batch.elapsedSeconds = elapsedSeconds(channel.batch, ctx.clock.now());
    holdBatchEnd(ctx, channel);
}

void onError(const ProtocolContext& ctx, Channel& channel, const QByteArrayList& fields) {
    Batch& batch = channel.batch;
    // The instrument's error number: the first of the last three characters of field 0, less 1.
    const QByteArray digit = field(fields, 0).right(3).left(1);
    const int number =
        (!digit.isEmpty() && digit[0] >= '0' && digit[0] <= '9') ? digit[0] - '0' - 1 : -1;
    batch.errorText = QByteArray::number(number) + ',' + field(fields, 1);
    batch.elapsedSeconds = elapsedSeconds(batch, ctx.clock.now());
    if (batch.filing.attempts == 0) // a resend after a failed commit is not a new error
        writeInstrumentError(ctx, batch.errorText);
    holdBatchEnd(ctx, channel);
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

QByteArray parseFrame(const ProtocolContext& ctx, Channel& channel, QByteArray& frame) {
    QByteArray result;
    guarded(ctx.log, logname::Parser, [&] {
        const QByteArray type = messageType(frame);
        frame = framePayload(frame);
        const QByteArrayList fields = frame.split(',');
        if (type == "IST") {
            onStatus(ctx, channel, fields);
            result = "Status and ID Received";
        } else if (type == "RST") {
            result = "ZNR Reset";
        } else if (type == "IDT") {
            channel.batch.dateStamp = ctx.clock.now();
            result = "Date Received";
        } else if (type == "STB") {
            onCodes(ctx, channel.batch, fields);
            result = "Measurements Received";
        } else if (type == "DAT") {
            channel.batch.addReadings(fields, ctx.log);
            result = "DAT Received";
        } else if (type == "ENB") {
            result = "ENB,ENB Received";
            onEnd(ctx, channel);
        } else if (type == "ERR") {
            onError(ctx, channel, fields);
        } else {
            result = "URC,Nothing";
        }
    });
    return result;
}

} // namespace znr
