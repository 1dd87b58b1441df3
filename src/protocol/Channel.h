#pragma once

#include "protocol/Batch.h"

#include <QByteArray>
#include <limits>

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

// The protocol side of one connection: its receive state and its batch.
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
    }

    ReceiveState receive;
    Batch batch;

private:
    int index_;
};

} // namespace znr
