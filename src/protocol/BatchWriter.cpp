#include "protocol/BatchWriter.h"

#include <QMetaObject>

namespace znr {

BatchWriter::BatchWriter(Done done) : done_(std::move(done)), thread_([this] { run(); }) {}

BatchWriter::~BatchWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void BatchWriter::submit(std::unique_ptr<BatchCommit> commit) {
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(commit));
    }
    wake_.notify_one();
}

void BatchWriter::run() {
    for (;;) {
        std::vector<std::unique_ptr<BatchCommit>> group;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty())
                return; // stopping, and nothing left to write
            while (!waiting_.empty() && group.size() < MaxGroup) {
                group.push_back(std::move(waiting_.front()));
                waiting_.pop_front();
            }
        }
        std::vector<BatchCommit*> commits;
        for (const auto& c : group)
            commits.push_back(c.get());
        writeCommits(commits);
        handBack(std::move(group));
    }
}

// Queued to this object's thread; dropped by Qt when the writer is gone by then.
void BatchWriter::handBack(std::vector<std::unique_ptr<BatchCommit>> group) {
    auto shared = std::make_shared<std::vector<std::unique_ptr<BatchCommit>>>(std::move(group));
    QMetaObject::invokeMethod(
        this,
        [this, shared] {
            for (auto& commit : *shared)
                done_(std::move(commit));
        },
        Qt::QueuedConnection);
}

} // namespace znr
