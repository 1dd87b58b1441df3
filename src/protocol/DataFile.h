#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <functional>
#include <memory>

namespace znr {

struct AppSettings;
struct Batch;
class FiledBatch;
class Channel;
struct ProtocolContext;

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

// Appends the channel's current batch to "<folder><ID> <MM-DD-YYYY-HHMMSS>.dat" (the ID made
// safe for a file name). Nothing is written for a batch without reading rows or when the
// mode's folder setting is empty. Failures are logged under "MakeFile". Returns what the file
// holds once it is written and flushed; null when nothing was written.
std::shared_ptr<const FiledBatch> writeDataFile(const ProtocolContext& ctx, const Channel& channel);

} // namespace znr
