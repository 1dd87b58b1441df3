#pragma once

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>

namespace znr {

struct AppSettings;
class ConnectionOpener;
class ErrorLog;

// Reads the settings file named by `s.iniFilePath` into `s` and hands every configured
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

// The retry interval as an operator types it: a whole number of seconds from 0 (off) to
// MaxReconnectSeconds, blanks around it allowed; nothing for any other text.
inline constexpr int MaxReconnectSeconds = 3600;
std::optional<qint16> reconnectSecondsFromText(const QByteArray& text);

// Writes [RECONNECT] SECONDS in the form the program writes counts (" 10"); the result of
// writeIniValue.
int writeReconnectSeconds(const QString& file, qint16 seconds, const ErrorLog& log);

} // namespace znr
