#include "records/RawTrafficFiles.h"

#include "config/AppSettings.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "records/CleanUpDirectory.h"
#include "records/DateTimeText.h"
#include "records/ErrorLog.h"
#include "records/RawFolderSweep.h"
#include "records/SafeFileName.h"

#include <limits>

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

RawTrafficRecord& slot(RawData& raw, int index) {
    if (index < 0 || std::size_t(index) >= raw.size())
        throw Failure::outOfRange();
    return raw[std::size_t(index)];
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

void CreateRawFile(RawData& raw, const QByteArray& line, int index, const ErrorLog& log) {
    guarded(log, "CreateRawFile", [&] {
        RawTrafficRecord& r = slot(raw, index);
        if (r.Count == std::numeric_limits<qint16>::max())
            throw Failure::overflow();
        r.Lines.append(line);
        ++r.Count;
    });
}

void UpdateRawFile(RawData& raw, const QByteArray& id, const QByteArray& code, int index,
                   const ErrorLog& log) {
    guarded(log, "UpdateRawFile", [&] {
        RawTrafficRecord& r = slot(raw, index);
        r.ID = id;
        r.Code = code;
    });
}

void ExportRawFile(RawData& raw, int index, const AppSettings& settings, const ErrorLog& log,
                   RawFolderSweep* sweep) {
    guarded(log, "ExportRawFile", [&] {
        const RawTrafficRecord& r = slot(raw, index);
        const QByteArray path = settings.RawFileFolder + safeFileNamePart(r.ID) + '_' +
                                safeFileNamePart(r.Code) + '_' + fileStamp(log.clock().now()) +
                                ".dat";
        appendLines(path, r.Lines.mid(0, r.Count), true); // on disk before the batch's ACK8
        if (sweep)
            sweep->cleanUp(settings.RawFileFolder, settings.ArchiveDays, log);
        else
            CleanUpDirectory(settings.RawFileFolder, settings.ArchiveDays, log);
    });
}

} // namespace znr
