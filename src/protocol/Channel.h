#pragma once

#include "protocol/Batch.h"
#include "protocol/BatchCommit.h"
#include "protocol/FiledBatch.h"

#include <QByteArray>
#include <limits>
#include <memory>

namespace znr {

// What the receive path keeps of a connection between arrivals.
struct ReceiveState {
    // A deadline that was never set: long past, so "now is at or after it" always holds.
    static constexpr qint64 DeadlineUnset = std::numeric_limits<qint64>::min();

    QByteArray buffer;        // bytes received since the last complete frame
    qint16 fragmentCount = 0; // arrivals without EOT since the last ACK8
    // End of the wait running on the connection (the frame deadline, or the station's connect
    // or close wait), in Clock::monotonicMs() milliseconds.
    qint64 deadline = DeadlineUnset;
    QByteArray lastResult; // what the parser made of the last frame
};

// What a connection did since the program started, for the operator to see.
struct ChannelCounters {
    qint64 batchesFiled = 0;
    qint64 framesReceived = 0;
    qint64 nak8Sent = 0;
    QByteArray lastFailureLine; // the last error-log line written for the connection
};

// The protocol side of one connection: its receive state, its batch, the batch it filed last
// and its counters.
class Channel {
public:
    explicit Channel(int index, qsizetype rawByteLimit = RawTrafficRecord::DefaultByteLimit)
        : index_(index) {
        batch.raw.byteLimit = rawByteLimit;
    }

    // The connection's index: the key of its row in the connection list.
    int index() const { return index_; }

    // Forgets the unfinished frame and batch, so that traffic after a reconnect starts clean;
    // the batch that was cut off is not written.
    void restart() {
        receive.buffer.clear();
        receive.fragmentCount = 0;
        receive.deadline = ReceiveState::DeadlineUnset;
        batch.reset();
        release();
    }

    // A batch end holds the connection's reply, and its later bytes, until its files are on
    // disk: `commit` waits to be handed to a writer (takeCommit), `ticket` names the hold.
    void hold(std::unique_ptr<BatchCommit> commit) {
        held_ = true;
        ready_ = std::move(commit);
    }
    std::unique_ptr<BatchCommit> takeCommit(quint64 ticket = 0) {
        if (ready_)
            ticket_ = ready_->ticket = ticket;
        return std::move(ready_);
    }
    bool holding() const { return held_; }
    bool awaits(const BatchCommit& commit) const {
        return held_ && !ready_ && commit.ticket == ticket_;
    }
    void release() {
        held_ = false;
        ready_.reset();
        ticket_ = 0;
    }
    // The line was opened afresh while a batch end was held: its answer is not waited for, and
    // the bytes that waited behind it, sent on the old line, go with it.
    void abandonHold() {
        if (!held_)
            return;
        release();
        receive.buffer.clear();
    }

    // The batch's data file is written and flushed: from here on the batch counts as filed.
    void filed(std::shared_ptr<const FiledBatch> batch) {
        lastFiled_ = std::move(batch);
        ++counters.batchesFiled;
    }
    // The batch filed last; null before the first.
    const std::shared_ptr<const FiledBatch>& lastFiled() const { return lastFiled_; }

    ReceiveState receive;
    Batch batch;
    ChannelCounters counters;

private:
    int index_;
    std::shared_ptr<const FiledBatch> lastFiled_;
    bool held_ = false;
    std::unique_ptr<BatchCommit> ready_;
    quint64 ticket_ = 0;
};

} // namespace znr
