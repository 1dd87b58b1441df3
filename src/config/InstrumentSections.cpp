#include "config/InstrumentSections.h"

#include "config/AppSettings.h"
#include "config/ConnectionOpener.h"
#include "config/Conversions.h"
#include "config/IniFile.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/LogNames.h"

#include <QFile>

namespace znr {

namespace {

// The count in the file plus one: the number of the section about to be appended.
qint16 nextNumber(const QByteArray& countSection, const QString& file) {
    const int next = textToInteger(readIniValue(countSection, "ZNRs", file)) + 1;
    if (next > 32767)
        throw Failure::overflow();
    return qint16(next);
}

// A value with a line end would split its line and could forge keys or sections.
void requireSingleLine(const QByteArrayList& lines) {
    for (const QByteArray& line : lines)
        if (line.contains('\r') || line.contains('\n'))
            throw Failure::invalidArgument();
}

void appendSection(const AppSettings& s, const QByteArrayList& lines) {
    requireSingleLine(lines);
    appendLines(QFile::encodeName(s.iniFilePath), QByteArrayList{QByteArray()} + lines, true);
}

} // namespace

int appendEthernetInstrument(AppSettings& s, const EthernetInstrument& instrument,
                             const ErrorLog& log) {
    int result = 0;
    guarded(log, logname::AppendEthernetInstrument, [&] {
        const qint16 n = nextNumber("ZNR NUM ETHERNET", s.iniFilePath);
        s.ethernetCount = n;
        appendSection(s, {"[ZNR-ENT" + QByteArray::number(n) + ']', "IP=" + instrument.ip,
                          "Port=" + QByteArray::number(instrument.port)});
        result = writeIniValue("ZNR NUM ETHERNET", "ZNRs", numberToText(n), s.iniFilePath, log);
    });
    return result;
}

int appendSerialInstrument(AppSettings& s, const SerialInstrument& instrument,
                           const ErrorLog& log) {
    int result = 0;
    guarded(log, logname::AppendSerialInstrument, [&] {
        const qint16 n = nextNumber("ZNR NUM SERIAL", s.iniFilePath);
        s.serialCount = n;
        appendSection(s, {"[ZNR-SER" + QByteArray::number(n) + ']',
                          "CommPort=" + instrument.commPort, "Settings=" + instrument.settings,
                          "HandShaking=" + QByteArray::number(instrument.handShaking),
                          "DTR=" + booleanToText(instrument.dtr),
                          "RTS=" + booleanToText(instrument.rts)});
        result = writeIniValue("ZNR NUM SERIAL", "ZNRs", numberToText(n), s.iniFilePath, log);
    });
    return result;
}

} // namespace znr
