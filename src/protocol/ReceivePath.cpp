#include "protocol/ReceivePath.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "protocol/ConnectionRows.h"
#include "protocol/ConnectionTable.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ParseString.h"
#include "protocol/RawTrafficFiles.h"

#include <limits>

namespace znr {

namespace {

// The text the parser gets: from the last SOH on, so that a frame resent after NAK8 is parsed
// without the stale start glued to it.
QByteArray fromLastSoh(const QByteArray& frame) {
    const qsizetype soh = frame.lastIndexOf(ctl::SOH);
    return soh <= 0 ? frame : frame.mid(soh);
}

} // namespace

bool ReceivePath::archiving() const {
    return ctx_.settings.ArchiveRawFile == "YES";
}

void ReceivePath::onArrival(int index, const QByteArray& bytes, const ReplyFn& sendReply,
                            std::string_view handlerName) {
    // Entries are looked up afresh after every call out: a reply or a row update may run other
    // handlers that enlarge the table.
    guarded(ctx_.log, handlerName, [&] {
        ctx_.table.checkIndex(index);
        ctx_.table.ReceiveBuffer[index] += bytes;
        // The buffer never keeps an EOT between arrivals, so only this arrival can complete it.
        if (bytes.contains(ctl::EOT))
            handleFrames(index, sendReply);
        else if (ctx_.table.ReceiveBuffer[index].size() <= BufferLimit)
            handleFragment(index, bytes, sendReply);
        if (ctx_.table.ReceiveBuffer[index].size() > BufferLimit)
            discardOverflow(index, handlerName);
    });
}

void ReceivePath::handleFrames(int index, const ReplyFn& sendReply) {
    QByteArray& buffer = ctx_.table.ReceiveBuffer[index];
    const qsizetype end = buffer.lastIndexOf(ctl::EOT) + 1;
    const QByteArray frames = buffer.left(end);
    buffer.remove(0, end);
    for (qsizetype from = 0; from < frames.size();) {
        const qsizetype next = frames.indexOf(ctl::EOT, from) + 1;
        handleFrame(index, frames.mid(from, next - from), sendReply);
        from = next;
    }
    // The start of the next frame came with this one: its SOH arms the deadline as it would
    // have in an arrival of its own.
    if (ctx_.table.ReceiveBuffer[index].contains(ctl::SOH) && ctx_.table.FragmentCount[index] == 0)
        ctx_.table.Deadline[index] = ctx_.clock.monotonicMs() + FrameTimeoutMs;
}

void ReceivePath::handleFrame(int index, const QByteArray& frame, const ReplyFn& sendReply) {
    if (frame.size() > 1) {
        const bool debug = debugMode_;
        if (debug || archiving()) {
            QByteArray copy = frame;
            const QByteArray shown = FormatRawString(copy, ctx_.log);
            if (debug)
                debugSink_.appendText("<RECIVED> " + shown + "\r\n");
            if (archiving())
                CreateRawFile(ctx_.rawData[index], "<RECIVED>" + shown, ctx_.log);
        }
        QByteArray text = fromLastSoh(frame);
        ctx_.table.LastResult[index] = ParseString(ctx_, index, text);
    }
    sendAndRecord(index, sendReply, ctl::ACK8, "<SENT> <ACK8>\r\n", "<SENT><ACK8>");
    ctx_.table.FragmentCount[index] = 0;
    ctx_.rows.setLastUpdated(index, generalDateTime(ctx_.clock.now()));
}

void ReceivePath::handleFragment(int index, const QByteArray& bytes, const ReplyFn& sendReply) {
    ConnectionTable& t = ctx_.table;
    const qint64 now = ctx_.clock.monotonicMs();
    if (bytes.contains(ctl::SOH) && t.FragmentCount[index] == 0) {
        t.Deadline[index] = now + FrameTimeoutMs;
    } else if (now >= t.Deadline[index]) {
        sendAndRecord(index, sendReply, ctl::NAK8, "<SENT> <NAK8>\r\n", "<SENT><NAK8>");
    } else {
        if (t.FragmentCount[index] == std::numeric_limits<qint16>::max())
            throw Failure::overflow();
        ++t.FragmentCount[index];
    }
}

void ReceivePath::discardOverflow(int index, std::string_view handlerName) {
    QByteArray& buffer = ctx_.table.ReceiveBuffer[index];
    const QByteArray what = "Receive buffer overflow: " + QByteArray::number(buffer.size()) +
                            " bytes without EOT discarded";
    buffer.clear();
    buffer.squeeze();
    ctx_.table.FragmentCount[index] = 0;
    ctx_.log.WriteErrorLog(handlerName, FailureNo::Overflow, what);
}

void ReceivePath::sendAndRecord(int index, const ReplyFn& sendReply, std::string_view reply,
                                const char* debugLine, const char* rawLine) {
    sendReply(QByteArray(reply.data(), qsizetype(reply.size())));
    if (debugMode_)
        debugSink_.appendText(debugLine);
    if (archiving())
        CreateRawFile(ctx_.rawData[index], rawLine, ctx_.log);
}

void ReceivePath::resetConnection(int index) {
    ConnectionTable& t = ctx_.table;
    if (!t.contains(index))
        return;
    const auto i = size_t(index);
    t.ReceiveBuffer[i].clear();
    t.FragmentCount[i] = 0;
    t.Deadline[i] = ConnectionTable::DeadlineUnset;
    t.RowCount[i] = 0;
    t.RowIndex[i] = 0;
    t.InstrumentState[i].clearBatch();
    ctx_.rawData.drop(index);
}

void ReceivePath::dropRawRecord(int index) {
    ctx_.rawData.drop(index);
}

} // namespace znr
