#pragma once

#include "records/RawTraffic.h"

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

// Appends `line` to slot `index` of `raw`. A slot outside the table (failure 9) or a slot that
// already holds 32767 lines (failure 6) keeps what it had; logged under "CreateRawFile".
void CreateRawFile(RawData& raw, const QByteArray& line, int index, const ErrorLog& log);

// Names slot `index`: its export file is called ID_CODE_<stamp>.dat. Logged under
// "UpdateRawFile".
void UpdateRawFile(RawData& raw, const QByteArray& id, const QByteArray& code, int index,
                   const ErrorLog& log);

// Appends the slot's lines, each ended by CR LF, to RawFileFolder + ID + "_" + Code + "_" +
// MM-DD-YYYY-HHMMSS + ".dat" (ID and Code made safe for a file name), then cleans the raw
// folder: through `sweep` when given (the run keeps one), else by CleanUpDirectory. The slot
// keeps its lines. A failure is logged under "ExportRawFile" and skips the clean-up.
void ExportRawFile(RawData& raw, int index, const AppSettings& settings, const ErrorLog& log,
                   RawFolderSweep* sweep = nullptr);

} // namespace znr
