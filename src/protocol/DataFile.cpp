#include "protocol/DataFile.h"

#include "config/AppSettings.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "protocol/BatchReadings.h"
#include "protocol/ConnectionTable.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReadingValue.h"
#include "records/DateTimeText.h"
#include "records/ErrorLog.h"
#include "records/SafeFileName.h"

namespace znr {

namespace {

QByteArray cellText(const InstrumentState& s, int row, int column) {
    if (!s.Readings)
        return {};
    const ReadingTable::Cell cell = s.Readings->cell(row, column);
    return cell ? readingText(*cell) : QByteArray();
}

} // namespace

QByteArray dataFolderFor(const AppSettings& settings, const InstrumentState& s) {
    if (s.Mode == "RUN MODE")
        return s.BatchCode == settings.CheckRodID ? settings.CheckRodsFolder : settings.DataFolder;
    if (s.Mode == "CAL. CHECK")
        return settings.CalCheckFolder;
    if (s.Mode == "FAST MODE")
        return settings.FastModeFolder;
    throw Failure::invalidArgument();
}

QByteArrayList dataFileLines(const InstrumentState& s, int rowCount, bool columnLayout,
                             const QDateTime& now) {
    const QByteArrayList codes = splitCodes(s.CodeList);
    const int n = int(codes.size());
    const int firstColumn = isRunLikeMode(s.Mode) ? 1 : 0;
    QByteArrayList lines;
    lines.append(s.InstrumentID + ',' + s.BatchCode + ',' + generalDateTime(now) + ',' +
                 QByteArray::number(rowCount) + ',' + QByteArray::number(n));
    if (columnLayout) {
        lines.append(codes.join(','));
        for (int r = 0; r < rowCount; ++r) {
            QByteArrayList values;
            for (int k = 0; k < n; ++k)
                values.append(cellText(s, r, firstColumn + k));
            lines.append(values.join(','));
        }
    } else {
        for (int k = 0; k < n; ++k) {
            QByteArray line = codes[k];
            for (int r = 0; r < rowCount; ++r)
                line += ',' + cellText(s, r, firstColumn + k);
            lines.append(line);
        }
    }
    return lines;
}

void MakeFile(const ProtocolContext& ctx, int index) {
    guarded(ctx.log, "MakeFile", [&] {
        ctx.table.checkIndex(index);
        const InstrumentState& s = ctx.table.InstrumentState[index];
        const int rowCount = ctx.table.RowCount[index];
        if (rowCount < 1)
            return;
        const QByteArray folder = dataFolderFor(ctx.settings, s);
        if (folder.isEmpty())
            return;
        const QDateTime now = ctx.clock.now();
        const QByteArray path =
            folder + safeFileNamePart(s.InstrumentID) + ' ' + fileStamp(now) + ".dat";
        // On disk before the ACK8 that ends the batch leaves.
        appendLines(path, dataFileLines(s, rowCount, ctx.settings.DataLayoutColumn, now), true);
        if (ctx.dataFileWritten)
            ctx.dataFileWritten(index, path);
    });
}

} // namespace znr
