#include "protocol/RawTrafficFiles.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/LogNames.h"
#include "core/SafeFileName.h"
#include "protocol/RawFolderCleanUp.h"
#include "protocol/RawFolderSweep.h"

namespace znr {

namespace {

struct Token {
    char character;
    const char* text;
};

// Rendering order matters: each step replaces only the first remaining occurrence.
constexpr Token Tokens[] = {
    {'\x00', "<NUL>"}, {'\x01', "<SOH>"}, {'\x02', "<STX>"}, {'\x03', "<ETX>"}, {'\x04', "<EOT>"},
    {'\x05', "<ENQ>"}, {'\x06', "<ACK>"}, {'\x15', "<NAK>"}, {'\x17', "<ETB>"},
};

// Why `line` cannot join `record`; empty when it can.
QByteArray refusal(const RawTrafficRecord& record, const QByteArray& line) {
    if (record.lines.size() >= RawTrafficRecord::MaxLines)
        return "Raw record full: more than " + QByteArray::number(RawTrafficRecord::MaxLines) +
               " lines; later lines not recorded";
    if (line.size() > record.byteLimit - record.bytes)
        return "Raw record full: more than " + QByteArray::number(record.byteLimit) +
               " bytes; later lines not recorded";
    return {};
}

} // namespace

QByteArray renderControls(QByteArray& text, const ErrorLog& log) {
    const bool ok = guarded(log, logname::RenderRaw, [&] {
        for (const Token& t : Tokens) {
            const qsizetype at = text.indexOf(t.character);
            if (at >= 0)
                text.replace(at, 1, t.text);
        }
    });
    return ok ? text : QByteArray();
}

void RawTrafficRecord::append(const QByteArray& line, const ErrorLog& log) {
    guarded(log, logname::RecordRaw, [&] {
        if (full)
            return;
        if (const QByteArray why = refusal(*this, line); !why.isEmpty()) {
            full = true;
            throw Failure(FailureNo::Overflow, why);
        }
        lines.append(line);
        bytes += line.size();
    });
}

QByteArray rawFilePath(const RawTrafficRecord& record, const AppSettings& settings,
                       const QDateTime& at) {
    return settings.rawFileFolder + safeFileNamePart(record.id) + '_' +
           safeFileNamePart(record.code) + '_' + fileStamp(at) + ".dat";
}

void cleanUpRawFiles(const AppSettings& settings, const ErrorLog& log, RawFolderSweep* sweep) {
    if (sweep)
        sweep->cleanUp(settings.rawFileFolder, settings.archiveDays, log);
    else
        cleanUpRawFolder(settings.rawFileFolder, settings.archiveDays, log);
}

void exportRawRecord(const RawTrafficRecord& record, const AppSettings& settings,
                     const ErrorLog& log, RawFolderSweep* sweep) {
    guarded(log, logname::ExportRaw, [&] {
        appendLines(rawFilePath(record, settings, log.clock().now()), record.lines, true);
        cleanUpRawFiles(settings, log, sweep);
    });
}

void exportTroubleShootingText(RawTrafficRecord& record, const QByteArray& text,
                               const AppSettings& settings, const ErrorLog& log,
                               RawFolderSweep* sweep) {
    record.append(text, log);
    exportRawRecord(record, settings, log, sweep);
}

} // namespace znr
