#pragma once

#include "protocol/BatchCommit.h"
#include "protocol/Channel.h"
#include "protocol/ReceivePath.h"

namespace znr::test {

// Writes the batch ends the channel holds at once, on this thread, and hands them back to the
// receive path, as the program's writer thread would a moment later.
inline void commitHeldBatchEnds(ReceivePath& path, Channel& channel, const ReplyFn& reply,
                                std::string_view handler) {
    while (std::unique_ptr<BatchCommit> commit = channel.takeCommit()) {
        BatchCommit* const group[] = {commit.get()};
        writeCommits(group);
        path.onCommitted(channel, std::move(commit), reply, handler);
    }
}

} // namespace znr::test
