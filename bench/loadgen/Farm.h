#pragma once

#include "Script.h"
#include "Subject.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lg {

// How long a load run goes: a fixed time, or a fixed number of batches (0 = no limit). With a
// pace, each instrument waits that long after an ACK8 before it sends its next frame (the
// instruments' first frames spread over one pace); without, it sends at once.
struct LoadLimits {
    double seconds = 10;
    long maxBatches = 0;
    double paceMs = 0;
};

// What a load run measured. Round trips are in nanoseconds, from writing a frame's last byte to
// reading its ACK8; `endRtt` holds those of the ENB frames (the batch ends, which write and
// flush the files), `bodyRtt` those of every other frame.
struct LoadResult {
    bool ok = false;
    std::vector<std::string> errors;
    double windowSeconds = 0;
    long framesInWindow = 0;
    long batchesInWindow = 0;
    long framesTotal = 0;
    long batchesTotal = 0;
    std::vector<int> batchesPerInstrument;
    std::vector<std::uint64_t> bodyRtt;
    std::vector<std::uint64_t> endRtt;
    ProcSample atStart;
    ProcSample atWindowEnd;
};

// N simulated instruments, each a TCP server on 127.0.0.1 with a port the kernel picked, served
// by one epoll loop. Each instrument takes one connection (the subject's), expects the ACK8
// greeting on it, and then plays stop-and-wait batches: one frame, wait for ACK8, next frame.
class Farm {
public:
    Farm(int instruments, Script script);
    ~Farm();
    Farm(const Farm&) = delete;
    Farm& operator=(const Farm&) = delete;

    const std::vector<std::uint16_t>& ports() const { return ports_; }

    // Serves until every instrument is connected and greeted. False (with `error` set) when
    // `timeoutS` passes first or the subject ends.
    bool awaitGreetings(Subject& subject, double timeoutS, std::string& error);
    std::uint64_t lastGreetingNs() const { return lastGreetingNs_; }

    // Runs batches on every instrument until the limit, then lets every started batch finish.
    // `onBatch` is called with the number of batches completed so far, after each one.
    LoadResult runLoad(Subject& subject, const LoadLimits& limits,
                       const std::function<void(long)>& onBatch = {});

    // Keeps serving (accepting, reading, closing what the peer closed) for `seconds`, or until
    // the subject ends when `untilExit` is set.
    void serve(Subject& subject, double seconds, bool untilExit = false);

private:
    struct Instrument;
    struct LoadState;

    void addToEpoll(int fd, std::uint64_t tag, std::uint32_t events);
    void acceptOn(Instrument& in);
    // Reads what waits on the instrument's connection; false when the connection ended.
    bool readFrom(Instrument& in);
    void closeConnection(Instrument& in);
    void sendFrame(Instrument& in, LoadState& st);
    void takeReplies(Instrument& in, LoadState& st, LoadResult& r, std::uint64_t now);
    // One epoll turn; calls `onReadable` for each instrument connection with data.
    bool turn(Subject& subject, int timeoutMs, const std::function<void(Instrument&)>& onData,
              std::string& error);

    Script script_;
    int epoll_ = -1;
    std::vector<Instrument> instruments_;
    std::vector<std::uint16_t> ports_;
    std::uint64_t lastGreetingNs_ = 0;
    bool subjectInEpoll_ = false;
};

} // namespace lg
