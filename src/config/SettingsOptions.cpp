#include "config/SettingsOptions.h"

#include "config/AppSettings.h"
#include "config/Conversions.h"
#include "config/IniFile.h"
#include "config/PasswordScrambling.h"

namespace znr {

OptionTexts shownOptions(const AppSettings& s) {
    OptionTexts t;
    t.DataLayout = s.dataLayoutColumn ? "COLUMN" : "ROW";
    t.defaultStartup = s.defaultStartup;
    t.archiveRawFile = s.archiveRawFile;
    t.archiveDays = QByteArray::number(s.archiveDays);
    t.adminPassword = s.adminPassword;
    t.disconnectPassword = s.disconnectPassword;
    t.DebugMode = "NO";
    t.checkRodId = s.checkRodId;
    t.dataFolder = s.dataFolder;
    t.calCheckFolder = s.calCheckFolder;
    t.checkRodsFolder = s.checkRodsFolder;
    t.fastModeFolder = s.fastModeFolder;
    t.errorLogFolder = s.errorLogFolder;
    t.rawFileFolder = s.rawFileFolder;
    return t;
}

void takeOptions(AppSettings& s, const OptionTexts& f) {
    auto take = [](QByteArray& setting, const QByteArray& text) {
        if (!text.isEmpty())
            setting = text;
    };
    if (!f.DataLayout.isEmpty())
        s.dataLayoutColumn = f.DataLayout == "COLUMN";
    take(s.defaultStartup, f.defaultStartup);
    take(s.archiveRawFile, f.archiveRawFile);
    if (!f.archiveDays.isEmpty())
        s.archiveDays = textToInteger(f.archiveDays);
    take(s.adminPassword, f.adminPassword);
    take(s.disconnectPassword, f.disconnectPassword);
    take(s.checkRodId, f.checkRodId);
    take(s.dataFolder, f.dataFolder);
    take(s.calCheckFolder, f.calCheckFolder);
    take(s.checkRodsFolder, f.checkRodsFolder);
    take(s.fastModeFolder, f.fastModeFolder);
    take(s.errorLogFolder, f.errorLogFolder);
    take(s.rawFileFolder, f.rawFileFolder);
}

void writeOptions(const AppSettings& s, const ErrorLog& log) {
    auto write = [&](const char* section, const char* key, const QByteArray& value) {
        if (!value.isEmpty())
            writeIniValue(section, key, value, s.iniFilePath, log);
    };
    write("DEFAULT", "MODE", s.defaultStartup);
    write("DATA LAYOUT", "COLUMN", booleanToText(s.dataLayoutColumn));
    write("ARCHIVE RAW FILE", "SAVE", s.archiveRawFile);
    write("ARCHIVE RAW FILE", "DAYS", numberToText(s.archiveDays));
    // A password that cannot be scrambled comes back empty (and is logged): the stored one stays.
    write("ADMIN", "PASSWORD", scramblePassword(s.adminPassword, log));
    write("DISCONNECT", "PASSWORD", scramblePassword(s.disconnectPassword, log));
    write("CHECK RODS", "ID", s.checkRodId);
    write("FILES", "Data", s.dataFolder);
    write("FILES", "Error", s.errorLogFolder);
    write("FILES", "CalCheck", s.calCheckFolder);
    write("FILES", "FastMode", s.fastModeFolder);
    write("FILES", "CheckRods", s.checkRodsFolder);
    write("FILES", "RawFile", s.rawFileFolder);
}

std::optional<QByteArray> folderOfChoice(const QByteArray& path) {
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype cut = name.isEmpty() ? 3 : name.size();
    if (cut > path.size())
        return std::nullopt;
    return path.left(path.size() - cut);
}

} // namespace znr
