#include "protocol/RawTrafficFiles.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/SafeFileName.h"
#include "protocol/CleanUpDirectory.h"
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
    if (record.Count >= RawTrafficRecord::MaxLines)
        return "Raw record full: more than " + QByteArray::number(RawTrafficRecord::MaxLines) +
               " lines; later lines not recorded";
    if (line.size() > record.ByteLimit - record.Bytes)
        return "Raw record full: more than " + QByteArray::number(record.ByteLimit) +
               " bytes; later lines not recorded";
    return {};
}

} // namespace

QByteArray FormatRawString(QByteArray& text, const ErrorLog& log) {
    const bool ok = guarded(log, "FormatRawString", [&] {
        for (const Token& t : Tokens) {
            const qsizetype at = text.indexOf(t.character);
            if (at >= 0)
                text.replace(at, 1, t.text);
        }
    });
    return ok ? text : QByteArray();
}

void CreateRawFile(RawTrafficRecord& record, const QByteArray& line, const ErrorLog& log) {
    guarded(log, "CreateRawFile", [&] {
        if (record.Full)
            return;
        if (const QByteArray why = refusal(record, line); !why.isEmpty()) {
            record.Full = true;
            throw Failure(FailureNo::Overflow, why);
        }
        record.Lines.append(line);
        ++record.Count;
        record.Bytes += line.size();
    });
}

void UpdateRawFile(RawTrafficRecord& record, const QByteArray& id, const QByteArray& code,
                   const ErrorLog& log) {
    guarded(log, "UpdateRawFile", [&] {
        record.ID = id;
        record.Code = code;
    });
}

void ExportRawFile(const RawTrafficRecord& record, const AppSettings& settings, const ErrorLog& log,
                   RawFolderSweep* sweep) {
    guarded(log, "ExportRawFile", [&] {
        const QByteArray path = settings.RawFileFolder + safeFileNamePart(record.ID) + '_' +
                                safeFileNamePart(record.Code) + '_' + fileStamp(log.clock().now()) +
                                ".dat";
        appendLines(path, record.Lines, true); // on disk before the batch's ACK8
        if (sweep)
            sweep->cleanUp(settings.RawFileFolder, settings.ArchiveDays, log);
        else
            CleanUpDirectory(settings.RawFileFolder, settings.ArchiveDays, log);
    });
}

void ExportTroubleShootingText(RawData& raw, const QByteArray& text, const AppSettings& settings,
                               const ErrorLog& log, RawFolderSweep* sweep) {
    CreateRawFile(raw.troubleShooting(), text, log);
    ExportRawFile(raw.troubleShooting(), settings, log, sweep);
}

} // namespace znr
