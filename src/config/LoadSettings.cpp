#include "config/LoadSettings.h"

#include "config/AppSettings.h"
#include "config/ConnectionOpener.h"
#include "config/Conversions.h"
#include "config/IniFile.h"
#include "config/IniText.h"
#include "config/PasswordScrambling.h"
#include "core/Characters.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"

#include <algorithm>

namespace znr {

namespace {

constexpr int HighestComPort = 255;

void openEthernetInstruments(const AppSettings& s, IniFileReader& ini, ConnectionOpener& opener) {
    for (int n = 1; n <= s.ethernetCount; ++n) {
        const QByteArray section = "ZNR-ENT" + QByteArray::number(n);
        EthernetInstrument instrument;
        instrument.ip = ini.read(section, "IP");
        instrument.port = textToPort(ini.read(section, "Port"));
        opener.openEthernet(instrument);
    }
}

void openSerialInstruments(const AppSettings& s, IniFileReader& ini, ConnectionOpener& opener) {
    for (int n = 1; n <= s.serialCount; ++n) {
        const QByteArray section = "ZNR-SER" + QByteArray::number(n);
        auto read = [&](const char* key) { return ini.read(section, key); };
        SerialInstrument instrument;
        instrument.commPort = read("CommPort");
        instrument.settings = read("Settings");
        instrument.handShaking = textToInteger(read("HandShaking"));
        instrument.dtr = textToBoolean(read("DTR"));
        instrument.rts = textToBoolean(read("RTS"));
        opener.openSerial(instrument);
    }
}

// Steps 1 to 11: the settings themselves.
void readSettings(AppSettings& s, IniFileReader& ini, const ErrorLog& log) {
    auto read = [&](const char* section, const char* key) { return ini.read(section, key); };
    s.defaultStartup = read("DEFAULT", "MODE");
    s.dataLayoutColumn = textToBoolean(read("DATA LAYOUT", "COLUMN"));
    s.ethernetCount = textToNumber(read("ZNR NUM ETHERNET", "ZNRs"));
    s.serialCount = textToNumber(read("ZNR NUM SERIAL", "ZNRs"));
    s.checkRodId = read("CHECK RODS", "ID");
    s.archiveRawFile = read("ARCHIVE RAW FILE", "SAVE");
    s.archiveDays = textToNumber(read("ARCHIVE RAW FILE", "DAYS"));
    s.adminPassword = unscramblePassword(read("ADMIN", "PASSWORD"), log);
    s.disconnectPassword = unscramblePassword(read("DISCONNECT", "PASSWORD"), log);
    const qint16 rawDataTempNumber = textToNumber(read("RAW DATA TEMP", "NUMBER"));
    // Kept for the settings file only (every connection has its own raw record), but a negative
    // number still ends the load here, as it always has.
    if (rawDataTempNumber < 0)
        throw Failure::outOfRange();
    s.rawDataTempNumber = rawDataTempNumber;
    s.companyName = read("LICENSE", "COMPANY");
}

void readFolders(AppSettings& s, IniFileReader& ini) {
    auto read = [&](const char* key) { return ini.read("FILES", key); };
    s.dataFolder = read("Data");
    s.errorLogFolder = read("Error");
    s.calCheckFolder = read("CalCheck");
    s.checkRodsFolder = read("CheckRods");
    s.fastModeFolder = read("FastMode");
    s.rawFileFolder = read("RawFile");
}

} // namespace

std::map<int, QByteArray> readSerialPortDevices(const QString& file) {
    std::map<int, QByteArray> devices;
    const IniText text = readIniText(file);
    for (int n = 1; n <= HighestComPort; ++n) {
        const auto device = text.value("SERIAL PORTS", "COM" + QByteArray::number(n));
        if (device && !device->isEmpty())
            devices[n] = *device;
    }
    return devices;
}

qint16 readReconnectSeconds(const QString& file) {
    try {
        return std::max<qint16>(0, textToNumber(readIniValue("RECONNECT", "SECONDS", file)));
    } catch (const Failure&) {
        return 0;
    }
}

std::optional<qint16> reconnectSecondsFromText(const QByteArray& text) {
    const QByteArray digits = text.trimmed();
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    bool ok = false;
    const int seconds = digits.toInt(&ok);
    if (!ok || seconds > MaxReconnectSeconds)
        return std::nullopt;
    return qint16(seconds);
}

int writeReconnectSeconds(const QString& file, qint16 seconds, const ErrorLog& log) {
    return writeIniValue("RECONNECT", "SECONDS", numberToText(seconds), file, log);
}

void loadSettings(AppSettings& s, ConnectionOpener& opener, const ErrorLog& log) {
    guarded(log, logname::LoadSettings, [&] {
        s.serialPortDevices = readSerialPortDevices(s.iniFilePath);
        s.reconnectSeconds = readReconnectSeconds(s.iniFilePath);
        // Every key is read as the file stands at that moment, but parsed once while unchanged.
        IniFileReader ini(s.iniFilePath);
        readSettings(s, ini, log);
        readFolders(s, ini);
        if (s.isEthernetRun())
            openEthernetInstruments(s, ini, opener);
        else
            openSerialInstruments(s, ini, opener);
    });
}

} // namespace znr
