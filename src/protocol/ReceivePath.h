#pragma once

#include "protocol/BatchEnd.h"
#include "protocol/ProtocolContext.h"

#include <QByteArray>
#include <functional>
#include <memory>
#include <string_view>

namespace znr {

struct BatchCommit;
class Channel;
class DebugTextSink;

// Sends one reply (ACK8 or NAK8) on the connection in ONE write; throws a Failure when the
// transport cannot send.
using ReplyFn = std::function<void(const QByteArray& reply)>;

// Turns the arrivals of a connection into complete frames: collects bytes in the channel's
// receive buffer, hands every frame ending in EOT to the parser and answers it with ACK8, and
// answers with NAK8 the arrivals that come after a frame's 5-second deadline. Shared by the TCP
// and the serial handler, which differ only in how they read and write.
class ReceivePath {
public:
    static constexpr qint64 FrameTimeoutMs = 5000;
    // More than this many bytes without EOT are discarded.
    static constexpr qsizetype BufferLimit = 1 << 20;

    // `debugMode` is read on every arrival; while it is true the traffic is echoed to
    // `debugSink`.
    ReceivePath(const ProtocolContext& ctx, const bool& debugMode, DebugTextSink& debugSink)
        : ctx_(ctx), debugMode_(debugMode), debugSink_(debugSink) {}

    // Handles the bytes of one arrival on `channel` (possibly none: a serial event without
    // data). Every complete frame in the buffer is handled in order: echoed, recorded, parsed
    // and acknowledged with its own ACK8. What follows the last EOT stays in the buffer as the
    // start of the next frame; when it carries SOH it arms the frame deadline. A failure (a
    // reply that cannot be sent, a counter overflow) ends the arrival and is logged once under
    // `handlerName`.
    void onArrival(Channel& channel, const QByteArray& bytes, const ReplyFn& sendReply,
                   std::string_view handlerName);

    // A batch end (ENB, ERR) is not answered at once: the channel holds it (see holdBatchEnd)
    // until the caller has had its files written and hands the commit back here. Answers it
    // with ACK8 when the files are on disk, with NAK8 when not (the batch is kept, so that the
    // instrument's resend tries again), then handles the bytes that waited behind it.
    void onCommitted(Channel& channel, std::unique_ptr<BatchCommit> commit,
                     const ReplyFn& sendReply, std::string_view handlerName);

private:
    void handleFrames(Channel& channel, const ReplyFn& sendReply);
    void handleFrame(Channel& channel, const QByteArray& frame, const ReplyFn& sendReply);
    void handleFragment(Channel& channel, const QByteArray& bytes, const ReplyFn& sendReply);
    void acknowledge(Channel& channel, const ReplyFn& sendReply);
    void armForNextFrame(Channel& channel);
    void discardOverflow(Channel& channel, std::string_view handlerName);
    void sendAndRecord(Channel& channel, const ReplyFn& sendReply, std::string_view reply,
                       const char* debugLine, const char* rawLine);
    const QByteArray& lastUpdatedText();

    ProtocolContext ctx_;
    const bool& debugMode_;
    DebugTextSink& debugSink_;
    LowSpaceWarning lowSpace_;
    qint64 lastUpdatedSecond_ = 0;
    QByteArray lastUpdated_; // "Last Updated" of that second
};

} // namespace znr
