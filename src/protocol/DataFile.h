#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <functional>

namespace znr {

struct AppSettings;
struct Batch;

// The folder a finished batch goes to: dataFolder (RUN MODE), checkRodsFolder (RUN MODE with
// batchCode equal to checkRodId), calCheckFolder (CAL. CHECK), fastModeFolder (FAST MODE). Any
// other mode has none: the invalid-argument failure is thrown.
QByteArray dataFolderFor(const AppSettings& settings, const Batch& batch);

// Hands the lines of a batch's data file to `appendLine`, one at a time: line 1
// "ID,BatchCode,<date-time>,RowCount,N", then the readings in COLUMN layout (line 2 the codes,
// then one line per reading row) or ROW layout (one line per code: the code, then its
// readings). RUN MODE and FAST MODE keep code k in column k + 1, other modes in column k; a
// reading a code did not get is an empty field.
void writeDataFileLines(const std::function<void(const QByteArray& line)>& appendLine,
                        const Batch& batch, bool columnLayout, const QDateTime& now);

// The data file of a batch ended at `at`: "<folder><ID> <MM-DD-YYYY-HHMMSS>.dat" (the ID made
// safe for a file name); empty for a batch without reading rows or when the mode's folder
// setting is empty. A mode without a folder throws as dataFolderFor() does.
QByteArray dataFilePath(const AppSettings& settings, const Batch& batch, const QDateTime& at);

} // namespace znr
