#include "protocol/ReceivePath.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "protocol/BatchEnd.h"
#include "protocol/Channel.h"
#include "protocol/ConnectionRows.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/MessageParser.h"

#include <limits>
#include <utility>

namespace znr {

namespace {

// The text the parser gets: from the last SOH on, so that a frame resent after NAK8 is parsed
// without the stale start glued to it.
QByteArray fromLastSoh(const QByteArray& frame) {
    const qsizetype soh = frame.lastIndexOf(ctl::SOH);
    return soh <= 0 ? frame : frame.mid(soh);
}

} // namespace

void ReceivePath::onArrival(Channel& channel, const QByteArray& bytes, const ReplyFn& sendReply,
                            std::string_view handlerName) {
    guarded(ctx_.log, handlerName, [&] {
        channel.receive.buffer += bytes;
        // While a batch end is held, later bytes wait behind it. Otherwise the buffer never
        // keeps an EOT between arrivals, so only this arrival can complete it.
        if (!channel.holding()) {
            if (bytes.contains(ctl::EOT))
                handleFrames(channel, sendReply);
            else if (channel.receive.buffer.size() <= BufferLimit)
                handleFragment(channel, bytes, sendReply);
        }
        if (channel.receive.buffer.size() > BufferLimit)
            discardOverflow(channel, handlerName);
    });
}

void ReceivePath::onCommitted(Channel& channel, std::unique_ptr<BatchCommit> commit,
                              const ReplyFn& sendReply, std::string_view handlerName) {
    guarded(ctx_.log, handlerName, [&] {
        channel.release();
        lowSpace_.check(ctx_.log, *commit);
        if (settleBatchEnd(ctx_, channel, std::move(commit))) {
            acknowledge(channel, sendReply);
        } else {
            sendAndRecord(channel, sendReply, ctl::NAK8, "<SENT> <NAK8>\r\n", "<SENT><NAK8>");
            ++channel.counters.nak8Sent;
            channel.receive.fragmentCount = 0;
        }
        if (channel.receive.buffer.contains(ctl::EOT))
            handleFrames(channel, sendReply);
        else
            armForNextFrame(channel);
    });
}

void ReceivePath::handleFrames(Channel& channel, const ReplyFn& sendReply) {
    ReceiveState& receive = channel.receive;
    const qsizetype end = receive.buffer.lastIndexOf(ctl::EOT) + 1;
    // Usually the buffer holds whole frames only: it is taken as it is, without a copy.
    const QByteArray frames =
        end == receive.buffer.size() ? std::exchange(receive.buffer, {}) : receive.buffer.left(end);
    if (!receive.buffer.isEmpty())
        receive.buffer.remove(0, end);
    for (qsizetype from = 0; from < frames.size();) {
        const qsizetype next = frames.indexOf(ctl::EOT, from) + 1;
        handleFrame(channel, frames.mid(from, next - from), sendReply);
        from = next;
        if (channel.holding()) { // the frames after a batch end wait for its files
            receive.buffer.prepend(frames.mid(from));
            return;
        }
    }
    armForNextFrame(channel);
}

// The start of the next frame came with the last one: its SOH arms the deadline as it would
// have in an arrival of its own.
void ReceivePath::armForNextFrame(Channel& channel) {
    ReceiveState& receive = channel.receive;
    if (receive.buffer.contains(ctl::SOH) && receive.fragmentCount == 0)
        receive.deadline = ctx_.clock.monotonicMs() + FrameTimeoutMs;
}

void ReceivePath::handleFrame(Channel& channel, const QByteArray& frame, const ReplyFn& sendReply) {
    if (frame.size() > 1) {
        const bool debug = debugMode_;
        const bool archiving = ctx_.settings.archivesRawFiles();
        if (debug || archiving) {
            QByteArray copy = frame;
            const QByteArray shown = renderControls(copy, ctx_.log);
            if (debug)
                debugSink_.appendText("<RECIVED> " + shown + "\r\n");
            if (archiving)
                channel.batch.raw.append("<RECIVED>" + shown, ctx_.log);
        }
        ++channel.counters.framesReceived;
        QByteArray text = fromLastSoh(frame);
        channel.receive.lastResult = parseFrame(ctx_, channel, text);
        if (channel.holding())
            return; // answered once the batch's files are on disk
    }
    acknowledge(channel, sendReply);
}

void ReceivePath::acknowledge(Channel& channel, const ReplyFn& sendReply) {
    sendAndRecord(channel, sendReply, ctl::ACK8, "<SENT> <ACK8>\r\n", "<SENT><ACK8>");
    channel.receive.fragmentCount = 0;
    ctx_.rows.setLastUpdated(channel.index(), lastUpdatedText());
}

// The text changes once a second at most, so it is formatted once per second.
const QByteArray& ReceivePath::lastUpdatedText() {
    const QDateTime now = ctx_.clock.now();
    const qint64 second = now.toSecsSinceEpoch();
    if (second != lastUpdatedSecond_ || lastUpdated_.isEmpty()) {
        lastUpdated_ = generalDateTime(now);
        lastUpdatedSecond_ = second;
    }
    return lastUpdated_;
}

void ReceivePath::handleFragment(Channel& channel, const QByteArray& bytes,
                                 const ReplyFn& sendReply) {
    ReceiveState& receive = channel.receive;
    const qint64 now = ctx_.clock.monotonicMs();
    if (bytes.contains(ctl::SOH) && receive.fragmentCount == 0) {
        receive.deadline = now + FrameTimeoutMs;
    } else if (now >= receive.deadline) {
        sendAndRecord(channel, sendReply, ctl::NAK8, "<SENT> <NAK8>\r\n", "<SENT><NAK8>");
        ++channel.counters.nak8Sent;
    } else {
        if (receive.fragmentCount == std::numeric_limits<qint16>::max())
            throw Failure::overflow();
        ++receive.fragmentCount;
    }
}

void ReceivePath::discardOverflow(Channel& channel, std::string_view handlerName) {
    QByteArray& buffer = channel.receive.buffer;
    const QByteArray what = "Receive buffer overflow: " + QByteArray::number(buffer.size()) +
                            " bytes without EOT discarded";
    buffer.clear();
    buffer.squeeze();
    channel.receive.fragmentCount = 0;
    ctx_.log.write(handlerName, FailureNo::Overflow, what);
}

void ReceivePath::sendAndRecord(Channel& channel, const ReplyFn& sendReply, std::string_view reply,
                                const char* debugLine, const char* rawLine) {
    sendReply(QByteArray(reply.data(), qsizetype(reply.size())));
    if (debugMode_)
        debugSink_.appendText(debugLine);
    if (ctx_.settings.archivesRawFiles())
        channel.batch.raw.append(rawLine, ctx_.log);
}

} // namespace znr
