#include "protocol/DataFile.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/SafeFileName.h"
#include "protocol/BatchReadings.h"
#include "protocol/ConnectionTable.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReadingValue.h"

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

void writeDataFileLines(LineAppender& out, const InstrumentState& s, int rowCount,
                        bool columnLayout, const QDateTime& now) {
    const QByteArrayList codes = splitCodes(s.CodeList);
    const int n = int(codes.size());
    const int firstColumn = isRunLikeMode(s.Mode) ? 1 : 0;
    out.append(s.InstrumentID + ',' + s.BatchCode + ',' + generalDateTime(now) + ',' +
               QByteArray::number(rowCount) + ',' + QByteArray::number(n));
    QByteArray line;
    if (columnLayout) {
        out.append(codes.join(','));
        for (int r = 0; r < rowCount; ++r) {
            line.clear();
            for (int k = 0; k < n; ++k) {
                if (k > 0)
                    line += ',';
                line += cellText(s, r, firstColumn + k);
            }
            out.append(line);
        }
    } else {
        for (int k = 0; k < n; ++k) {
            line = codes[k];
            for (int r = 0; r < rowCount; ++r) {
                line += ',';
                line += cellText(s, r, firstColumn + k);
            }
            out.append(line);
        }
    }
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
        LineAppender out(path, true);
        writeDataFileLines(out, s, rowCount, ctx.settings.DataLayoutColumn, now);
        out.finish();
        if (ctx.dataFileWritten)
            ctx.dataFileWritten(index, path);
    });
}

} // namespace znr
