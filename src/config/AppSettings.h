#pragma once

#include <QByteArray>
#include <QString>
#include <map>

namespace znr {

// The settings of the run, read from the INI file at start and changed by the settings window
// and the connection dialogs. Texts are 8-bit bytes, exactly as they stand in the file.
struct AppSettings {
    QByteArray defaultStartup;     // "ETHERNET" selects Ethernet; anything else is serial
    bool dataLayoutColumn = false; // true: COLUMN layout, false: ROW
    qint16 ethernetCount = 0;
    qint16 serialCount = 0;
    QByteArray checkRodId;
    QByteArray archiveRawFile; // raw traffic is archived only when exactly "YES"
    qint16 archiveDays = 0;
    QByteArray adminPassword;      // plain text (the file holds it scrambled)
    QByteArray disconnectPassword; // plain text
    qint16 rawDataTempNumber = 0;  // read from the file; limits nothing
    QByteArray companyName;
    // Folders are prefixes ending with the path separator; file names are appended to them.
    QByteArray dataFolder;
    QByteArray errorLogFolder;
    QByteArray calCheckFolder;
    QByteArray checkRodsFolder;
    QByteArray fastModeFolder;
    QByteArray rawFileFolder;

    QString iniFilePath;

    // [RECONNECT] SECONDS: retry a connection that dropped by itself every this many seconds;
    // 0 (or missing) never retries.
    qint16 reconnectSeconds = 0;

    // [SERIAL PORTS] COMn=/dev/... : device path for COM number n, when the INI names one.
    std::map<int, QByteArray> serialPortDevices;

    bool isEthernetRun() const { return defaultStartup == "ETHERNET"; }
    bool archivesRawFiles() const { return archiveRawFile == "YES"; }
};

} // namespace znr
