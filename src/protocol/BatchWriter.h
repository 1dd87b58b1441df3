#pragma once

#include "protocol/BatchCommit.h"

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace znr {

// Puts batch ends on disk on a thread of its own, so that the flushes never hold up the event
// thread. It takes every commit that is waiting, writes them as one group (writeCommits) and
// hands each back, in the order submitted, to `done` on the thread that made the writer.
class BatchWriter : public QObject {
public:
    using Done = std::function<void(std::unique_ptr<BatchCommit>)>;

    // At most this many commits make one group (each holds two files open until it is flushed).
    static constexpr size_t MaxGroup = 64;

    explicit BatchWriter(Done done);
    // Writes what was submitted, then stops; commits finished after this are not handed back.
    ~BatchWriter() override;
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;

    void submit(std::unique_ptr<BatchCommit> commit);

private:
    void run();
    void handBack(std::vector<std::unique_ptr<BatchCommit>> group);

    Done done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<BatchCommit>> waiting_; // guarded by mutex_
    bool stopping_ = false;                            // guarded by mutex_
    std::thread thread_;
};

} // namespace znr
