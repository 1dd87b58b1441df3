#pragma once

#include "protocol/RawTraffic.h"

#include <QByteArray>

namespace znr {

struct AppSettings;
class ErrorLog;
class RawFolderSweep;

// Renders the first occurrence of each control character NUL SOH STX ETX EOT ENQ ACK NAK ETB
// of `text` as its token ("<STX>"...), in that order, in place, and returns the result. Later
// occurrences stay as they are; a second call renders the next ones. On failure: logged under
// "FormatRawString", returns empty text.
QByteArray FormatRawString(QByteArray& text, const ErrorLog& log);

// Appends `line` to `record`. The first line past the record's 32767 lines or its byte limit
// is logged under "CreateRawFile" (failure 6) and fills the record: that line and every later
// one are refused without a further line in the log, until the record is emptied.
void CreateRawFile(RawTrafficRecord& record, const QByteArray& line, const ErrorLog& log);

// Names `record`: its export file is called ID_CODE_<stamp>.dat. Logged under "UpdateRawFile".
void UpdateRawFile(RawTrafficRecord& record, const QByteArray& id, const QByteArray& code,
                   const ErrorLog& log);

// Appends the record's lines, each ended by CR LF, to RawFileFolder + ID + "_" + Code + "_" +
// MM-DD-YYYY-HHMMSS + ".dat" (ID and Code made safe for a file name), then cleans the raw
// folder: through `sweep` when given (the run keeps one), else by CleanUpDirectory. The record
// keeps its lines. A failure is logged under "ExportRawFile" and skips the clean-up.
void ExportRawFile(const RawTrafficRecord& record, const AppSettings& settings, const ErrorLog& log,
                   RawFolderSweep* sweep = nullptr);

// Adds `text` to the trouble-shooting window's own record and exports that record. Nothing
// empties it during a run, so each export repeats the texts of the earlier ones first.
void ExportTroubleShootingText(RawData& raw, const QByteArray& text, const AppSettings& settings,
                               const ErrorLog& log, RawFolderSweep* sweep = nullptr);

} // namespace znr
