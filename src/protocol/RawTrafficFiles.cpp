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

#include <iterator>
#include <utility>

namespace znr {

namespace {

struct Token {
    char character;
    const char* text;
};

// The controls rendered as tokens (the first occurrence of each in a text).
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

// The token of control character `c`, if it has one.
const Token* tokenOf(char c) {
    if (uchar(c) > 0x17)
        return nullptr;
    for (const Token& t : Tokens)
        if (t.character == c)
            return &t;
    return nullptr;
}

} // namespace

// One pass, one allocation (it runs for every frame while raw files are kept): the tokens hold
// no control character, so rendering each first occurrence as it comes gives what replacing
// them one after the other in the tokens' order gives.
QByteArray renderControls(QByteArray& text, const ErrorLog& log) {
    const bool ok = guarded(log, logname::RenderRaw, [&] {
        QByteArray rendered;
        rendered.reserve(text.size() + 4 * qsizetype(std::size(Tokens)));
        unsigned done = 0; // one bit per token already rendered
        for (const char c : std::as_const(text)) {
            const Token* t = tokenOf(c);
            const unsigned bit = t ? 1u << (t - Tokens) : 0u;
            if (bit == 0 || (done & bit) != 0) {
                rendered.append(c);
                continue;
            }
            done |= bit;
            rendered.append(t->text);
        }
        if (done != 0)
            text = rendered;
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
