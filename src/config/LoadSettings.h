#pragma once

#include <QString>
#include <map>

namespace znr {

struct AppSettings;
class ConnectionOpener;
class ErrorLog;

// Reads the settings file named by `s.IniFilePath` into `s` and hands every configured
// instrument of the run's transport to `opener`. The first failure (a value that does not
// convert, a negative RAW DATA TEMP number) ends the load, logged under "LoadConstants"; what
// was read before it stays, the rest keeps its old value. The log writes nothing until the
// error folder has been read, so early failures pass silently. The [SERIAL PORTS] device names
// are read first and never fail.
void loadSettings(AppSettings& s, ConnectionOpener& opener, const ErrorLog& log);

// The [SERIAL PORTS] section: COM1..COM255 mapped to the device paths it names.
std::map<int, QByteArray> readSerialPortDevices(const QString& file);

// [RECONNECT] SECONDS: the retry interval of the automatic reconnect. Missing, empty, not a
// number, 0 or negative all mean off (0). Never fails.
qint16 readReconnectSeconds(const QString& file);

} // namespace znr
