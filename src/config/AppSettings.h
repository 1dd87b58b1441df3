#pragma once

#include <QByteArray>
#include <QString>
#include <map>

namespace znr {

// The settings of the run, read from the INI file at start and changed by the settings window
// and the connection dialogs. Texts are 8-bit bytes, exactly as they stand in the file.
struct AppSettings {
    QByteArray DefaultStartup;     // "ETHERNET" selects Ethernet; anything else is serial
    bool DataLayoutColumn = false; // true: COLUMN layout, false: ROW
    qint16 EthernetCount = 0;
    qint16 SerialCount = 0;
    QByteArray CheckRodID;
    QByteArray ArchiveRawFile; // raw traffic is archived only when exactly "YES"
    qint16 ArchiveDays = 0;
    QByteArray AdminPassword;      // plain text (the file holds it scrambled)
    QByteArray DisconnectPassword; // plain text
    qint16 RawDataTempNumber = 0;  // read from the file; limits nothing
    QByteArray CompanyName;
    // Folders are prefixes ending with the path separator; file names are appended to them.
    QByteArray DataFolder;
    QByteArray ErrorLogFolder;
    QByteArray CalCheckFolder;
    QByteArray CheckRodsFolder;
    QByteArray FastModeFolder;
    QByteArray RawFileFolder;

    QString IniFilePath;

    // [RECONNECT] SECONDS: retry a connection that dropped by itself every this many seconds;
    // 0 (or missing) never retries.
    qint16 ReconnectSeconds = 0;

    // [SERIAL PORTS] COMn=/dev/... : device path for COM number n, when the INI names one.
    std::map<int, QByteArray> SerialPortDevices;

    bool isEthernetRun() const { return DefaultStartup == "ETHERNET"; }
};

} // namespace znr
