#pragma once

#include <QByteArray>
#include <optional>

namespace znr {

struct AppSettings;
class ErrorLog;

// The texts of the settings window's option fields, as 8-bit bytes, one member per field.
struct OptionTexts {
    QByteArray DataLayout;
    QByteArray defaultStartup;
    QByteArray archiveRawFile;
    QByteArray archiveDays;
    QByteArray adminPassword;
    QByteArray disconnectPassword;
    QByteArray DebugMode;
    QByteArray checkRodId;
    QByteArray dataFolder;
    QByteArray calCheckFolder;
    QByteArray checkRodsFolder;
    QByteArray fastModeFolder;
    QByteArray errorLogFolder;
    QByteArray rawFileFolder;
};

// What the fields show for `s`; the debug mode always shows "NO".
OptionTexts shownOptions(const AppSettings& s);

// Takes every non-empty field into `s`, in the order of the window's fields; an empty field
// keeps its setting. Archive Days must be a whole number in -32768..32767, else the failure
// (type mismatch, overflow) is thrown and the fields before it stay taken.
void takeOptions(AppSettings& s, const OptionTexts& fields);

// Writes the thirteen keys the window owns from `s` into `s.iniFilePath`, passwords scrambled.
// A key whose written value would be empty is left as the file has it: the window never empties
// a setting, so an empty value is either what the file already holds or a setting the start-up
// load never reached, whose stored value must not be wiped. Write failures are logged by//
// writeIniValue and not looked at.
void writeOptions(const AppSettings& s, const ErrorLog& log);

// The folder of a path chosen in the open-file dialog: the path without its file-name part
// (without "*.*" when the name part is empty), keeping the trailing '/'. Nothing when the path
// is shorter than what is to be cut.
std::optional<QByteArray> folderOfChoice(const QByteArray& path);

} // namespace znr
