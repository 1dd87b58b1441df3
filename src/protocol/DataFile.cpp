#include "protocol/DataFile.h"

#include "config/AppSettings.h"
#include "core/DateTimeText.h"
#include "core/Failure.h"
#include "core/SafeFileName.h"
#include "protocol/Batch.h"
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

QByteArray dataFilePath(const AppSettings& settings, const Batch& batch, const QDateTime& at) {
    if (batch.rowCount < 1)
        return {};
    const QByteArray folder = dataFolderFor(settings, batch);
    if (folder.isEmpty())
        return {};
    return folder + safeFileNamePart(batch.instrumentId) + ' ' + fileStamp(at) + ".dat";
}

} // namespace znr
