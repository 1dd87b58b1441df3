#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>

namespace znr {

struct AppSettings;
class ErrorLog;
class RawFolderSweep;

// The traffic of one batch (or the texts the trouble-shooting window exported): received frames
// and sent replies with control characters shown as tokens. It holds at most MaxLines lines of
// at most byteLimit bytes together; the first line refused makes it full for good (a batch end
// starts a new record).
struct RawTrafficRecord {
    static constexpr qsizetype MaxLines = 32767;
    static constexpr qsizetype DefaultByteLimit = qsizetype(64) << 20;

    QByteArrayList lines;
    QByteArray id;       // first part of the export file name
    QByteArray code;     // second part of the export file name
    qsizetype bytes = 0; // the lines' bytes together
    bool full = false;   // a line was refused (and logged); later ones are refused silently
    qsizetype byteLimit = DefaultByteLimit;

    // Appends `line`. The first line past MaxLines or byteLimit is logged under "CreateRawFile"
    // (failure 6) and fills the record: it and every later line are refused without a further
    // line in the log.
    void append(const QByteArray& line, const ErrorLog& log);
};

// Renders the first occurrence of each control character NUL SOH STX ETX EOT ENQ ACK NAK ETB
// of `text` as its token ("<STX>"...), in that order, in place, and returns the result. Later
// occurrences stay as they are; a second call renders the next ones. On failure: logged under
// "FormatRawString", returns empty text.
QByteArray renderControls(QByteArray& text, const ErrorLog& log);

// The raw file of a record exported at `at`: rawFileFolder + ID + "_" + Code + "_" +
// MM-DD-YYYY-HHMMSS + ".dat" (ID and Code made safe for a file name).
QByteArray rawFilePath(const RawTrafficRecord& record, const AppSettings& settings,
                       const QDateTime& at);

// Cleans the raw folder of files past the archive days: through `sweep` when given (the run
// keeps one), else by a full clean-up.
void cleanUpRawFiles(const AppSettings& settings, const ErrorLog& log, RawFolderSweep* sweep);

// Appends the record's lines, each ended by CR LF, to its raw file (rawFilePath at the clock's
// now) and flushes it, then cleans the raw folder. A failure is logged under "ExportRawFile"
// and skips the clean-up.
void exportRawRecord(const RawTrafficRecord& record, const AppSettings& settings,
                     const ErrorLog& log, RawFolderSweep* sweep = nullptr);

// Adds `text` to the trouble-shooting window's own record and exports that record. Nothing
// empties it during a run, so each export repeats the texts of the earlier ones first.
void exportTroubleShootingText(RawTrafficRecord& record, const QByteArray& text,
                               const AppSettings& settings, const ErrorLog& log,
                               RawFolderSweep* sweep = nullptr);

} // namespace znr
