#include "protocol/DataFile.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/LogNames.h"
#include "core/SafeFileName.h"
#include "protocol/Channel.h"
#include "protocol/FiledBatch.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReadingValue.h"

namespace znr {

namespace {

QByteArray cellText(const Batch& batch, int row, int column) {
    if (!batch.readings)
        return {};
    const ReadingTable::Cell cell = batch.readings->cell(row, column);
    return cell ? readingText(*cell) : QByteArray();
}

} // namespace

QByteArray dataFolderFor(const AppSettings& settings, const Batch& batch) {
    if (batch.mode == "RUN MODE")
        return batch.batchCode == settings.checkRodId ? settings.checkRodsFolder
                                                      : settings.dataFolder;
    if (batch.mode == "CAL. CHECK")
        return settings.calCheckFolder;
    if (batch.mode == "FAST MODE")
        return settings.fastModeFolder;
    throw Failure::invalidArgument();
}

void writeDataFileLines(const std::function<void(const QByteArray& line)>& appendLine,
                        const Batch& batch, bool columnLayout, const QDateTime& now) {
    const QByteArrayList codes = splitCodes(batch.codeList);
    const int n = int(codes.size());
    const int rowCount = batch.rowCount;
    const int firstColumn = isRunLikeMode(batch.mode) ? 1 : 0;
    appendLine(batch.instrumentId + ',' + batch.batchCode + ',' + generalDateTime(now) + ',' +
               QByteArray::number(rowCount) + ',' + QByteArray::number(n));
    QByteArray line;
    if (columnLayout) {
        appendLine(codes.join(','));
        for (int r = 0; r < rowCount; ++r) {
            line.clear();
            for (int k = 0; k < n; ++k) {
                if (k > 0)
                    line += ',';
                line += cellText(batch, r, firstColumn + k);
            }
            appendLine(line);
        }
    } else {
        for (int k = 0; k < n; ++k) {
            line = codes[k];
            for (int r = 0; r < rowCount; ++r) {
                line += ',';
                line += cellText(batch, r, firstColumn + k);
            }
            appendLine(line);
        }
    }
}

std::shared_ptr<const FiledBatch> writeDataFile(const ProtocolContext& ctx,
                                                const Channel& channel) {
    std::shared_ptr<const FiledBatch> filed;
    guarded(ctx.log, logname::WriteDataFile, [&] {
        const Batch& batch = channel.batch;
        if (batch.rowCount < 1)
            return;
        const QByteArray folder = dataFolderFor(ctx.settings, batch);
        if (folder.isEmpty())
            return;
        const QDateTime now = ctx.clock.now();
        const QByteArray path =
            folder + safeFileNamePart(batch.instrumentId) + ' ' + fileStamp(now) + ".dat";
        const bool columnLayout = ctx.settings.dataLayoutColumn;
        // What the file holds is kept from the very lines written to it.
        FiledBatchBuilder kept(splitCodes(batch.codeList), batch.rowCount, columnLayout);
        // On disk before the ACK8 that ends the batch leaves.
        LineAppender out(path, true);
        writeDataFileLines(
            [&](const QByteArray& line) {
                out.append(line);
                kept.addLine(line);
            },
            batch, columnLayout, now);
        out.finish();
        auto snapshot = std::make_shared<FiledBatch>(kept.take());
        snapshot->instrumentId = batch.instrumentId;
        snapshot->mode = batch.mode;
        snapshot->batchCode = batch.batchCode;
        snapshot->errorText = batch.errorText;
        snapshot->filedAt = now;
        snapshot->path = path;
        filed = std::move(snapshot);
        if (ctx.dataFileWritten)
            ctx.dataFileWritten(channel.index(), path);
    });
    return filed;
}

} // namespace znr
