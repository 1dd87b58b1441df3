#pragma once

#include <QByteArray>
#include <map>
#include <memory>

namespace znr {

struct BatchCommit;
class Channel;
class ErrorLog;
struct ProtocolContext;

// Turns the channel's ended batch into a commit and makes the channel hold its reply: the batch
// moves into the commit (the channel starts an empty one) with the paths of its files. Files an
// earlier attempt put on disk are not named again; the raw file of such an attempt is appended
// to. A mode without a folder is logged under "MakeFile" and leaves the batch without a data
// file, as a batch end always did.
void holdBatchEnd(const ProtocolContext& ctx, Channel& channel);

// One warning line per folder and hour while a data folder's file system runs low (less than
// 1 % or 100 MiB free, whichever is larger), so that someone can act before batches are refused.
class LowSpaceWarning {
public:
    static constexpr quint64 MinFreeBytes = quint64(100) << 20;
    static constexpr qint64 IntervalMs = 3'600'000;

    void check(const ErrorLog& log, const BatchCommit& commit);

private:
    std::map<QByteArray, qint64> lastWarnedMs_; // by folder
};

// Settles a commit that came back from the writer, on the event thread. Filed: the batch counts
// as filed, the raw folder is cleaned up and the channel goes on with its new batch; a batch
// filed after earlier attempts failed gets one line in the log. Not filed: the batch goes back
// into the channel for the resend of its end, and its first failure is logged (once per batch:
// the raw file's under "ExportRawFile", else the data file's under "MakeFile"). Returns whether
// it was filed.
bool settleBatchEnd(const ProtocolContext& ctx, Channel& channel,
                    std::unique_ptr<BatchCommit> commit);

} // namespace znr
