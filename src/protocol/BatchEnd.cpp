#include "protocol/BatchEnd.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/LogNames.h"
#include "protocol/BatchCommit.h"
#include "protocol/Channel.h"
#include "protocol/DataFile.h"
#include "protocol/ProtocolContext.h"
#include "protocol/RawTrafficFiles.h"

#include <algorithm>

namespace znr {

namespace {

// A batch is committed again only after a failed attempt, so its first attempt is the one
// that logs.
void logFirstFailure(const ProtocolContext& ctx, const BatchCommit& commit) {
    if (commit.batch.filing.attempts > 1)
        return;
    if (commit.rawFailure)
        ctx.log.write(logname::ExportRaw, *commit.rawFailure);
    else
        ctx.log.write(logname::WriteDataFile, *commit.dataFailure);
}

QByteArray mebibytes(quint64 bytes) {
    return QByteArray::number(bytes >> 20) + " MiB";
}

} // namespace

void holdBatchEnd(const ProtocolContext& ctx, Channel& channel) {
    Batch& batch = channel.batch;
    auto commit = std::make_unique<BatchCommit>();
    commit->index = channel.index();
    commit->endedAt = ctx.clock.now();
    commit->columnLayout = ctx.settings.dataLayoutColumn;
    if (ctx.settings.archivesRawFiles())
        commit->rawPath = batch.filing.rawPath.isEmpty()
                              ? rawFilePath(batch.raw, ctx.settings, commit->endedAt)
                              : batch.filing.rawPath;
    if (!batch.filing.data)
        guarded(ctx.log, logname::WriteDataFile,
                [&] { commit->dataPath = dataFilePath(ctx.settings, batch, commit->endedAt); });
    commit->batch = std::move(batch);
    batch.reset();
    channel.hold(std::move(commit));
}

void LowSpaceWarning::check(const ErrorLog& log, const BatchCommit& commit) {
    if (!commit.freeBytes || !commit.totalBytes)
        return;
    const quint64 least = std::max(*commit.totalBytes / 100, MinFreeBytes);
    const QByteArray folder = folderOf(commit.dataPath);
    const qint64 now = log.clock().monotonicMs();
    const auto last = lastWarnedMs_.find(folder);
    if (*commit.freeBytes >= least ||
        (last != lastWarnedMs_.end() && now - last->second < IntervalMs))
        return;
    lastWarnedMs_[folder] = now;
    log.write(logname::WriteDataFile, 0,
              "Low disk space: " + folder + " has " + mebibytes(*commit.freeBytes) + " free of " +
                  mebibytes(*commit.totalBytes));
}

bool settleBatchEnd(const ProtocolContext& ctx, Channel& channel,
                    std::unique_ptr<BatchCommit> commit) {
    if (!commit->succeeded()) {
        logFirstFailure(ctx, *commit);
        channel.batch = std::move(commit->batch);
        return false;
    }
    const BatchFiling& filing = commit->batch.filing;
    if (!commit->rawPath.isEmpty())
        guarded(ctx.log, logname::ExportRaw,
                [&] { cleanUpRawFiles(ctx.settings, ctx.log, ctx.rawSweep); });
    if (filing.attempts > 1)
        ctx.log.write(logname::WriteDataFile, 0,
                      "Batch filed on attempt " + QByteArray::number(filing.attempts) + ": " +
                          (filing.data ? filing.data->path : filing.rawPath));
    if (filing.data) {
        channel.filed(filing.data);
        if (ctx.dataFileWritten)
            ctx.dataFileWritten(channel.index(), filing.data->path);
    }
    return true;
}

} // namespace znr
