#include "config/SettingsOptions.h"

#include "config/AppSettings.h"
#include "config/Conversions.h"
#include "config/IniFile.h"
#include "config/PasswordScrambling.h"

namespace znr {

OptionTexts shownOptions(const AppSettings& s) {
    OptionTexts t;
    t.DataLayout = s.DataLayoutColumn ? "COLUMN" : "ROW";
    t.DefaultStartup = s.DefaultStartup;
    t.ArchiveRawFile = s.ArchiveRawFile;
    t.ArchiveDays = QByteArray::number(s.ArchiveDays);
    t.AdminPassword = s.AdminPassword;
    t.DisconnectPassword = s.DisconnectPassword;
    t.DebugMode = "NO";
    t.CheckRodID = s.CheckRodID;
    t.DataFolder = s.DataFolder;
    t.CalCheckFolder = s.CalCheckFolder;
    t.CheckRodsFolder = s.CheckRodsFolder;
    t.FastModeFolder = s.FastModeFolder;
    t.ErrorLogFolder = s.ErrorLogFolder;
    t.RawFileFolder = s.RawFileFolder;
    return t;
}

void takeOptions(AppSettings& s, const OptionTexts& f) {
    auto take = [](QByteArray& setting, const QByteArray& text) {
        if (!text.isEmpty())
            setting = text;
    };
    if (!f.DataLayout.isEmpty())
        s.DataLayoutColumn = f.DataLayout == "COLUMN";
    take(s.DefaultStartup, f.DefaultStartup);
    take(s.ArchiveRawFile, f.ArchiveRawFile);
    if (!f.ArchiveDays.isEmpty())
        s.ArchiveDays = textToInteger(f.ArchiveDays);
    take(s.AdminPassword, f.AdminPassword);
    take(s.DisconnectPassword, f.DisconnectPassword);
    take(s.CheckRodID, f.CheckRodID);
    take(s.DataFolder, f.DataFolder);
    take(s.CalCheckFolder, f.CalCheckFolder);
    take(s.CheckRodsFolder, f.CheckRodsFolder);
    take(s.FastModeFolder, f.FastModeFolder);
    take(s.ErrorLogFolder, f.ErrorLogFolder);
    take(s.RawFileFolder, f.RawFileFolder);
}

void writeOptions(const AppSettings& s, const ErrorLog& log) {
    auto write = [&](const char* section, const char* key, const QByteArray& value) {
        if (!value.isEmpty())
            writeIniValue(section, key, value, s.IniFilePath, log);
    };
    write("DEFAULT", "MODE", s.DefaultStartup);
    write("DATA LAYOUT", "COLUMN", booleanToText(s.DataLayoutColumn));
    write("ARCHIVE RAW FILE", "SAVE", s.ArchiveRawFile);
    write("ARCHIVE RAW FILE", "DAYS", numberToText(s.ArchiveDays));
    // A password that cannot be scrambled comes back empty (and is logged): the stored one stays.
    write("ADMIN", "PASSWORD", scramblePassword(s.AdminPassword, log));
    write("DISCONNECT", "PASSWORD", scramblePassword(s.DisconnectPassword, log));
    write("CHECK RODS", "ID", s.CheckRodID);
    write("FILES", "Data", s.DataFolder);
    write("FILES", "Error", s.ErrorLogFolder);
    write("FILES", "CalCheck", s.CalCheckFolder);
    write("FILES", "FastMode", s.FastModeFolder);
    write("FILES", "CheckRods", s.CheckRodsFolder);
    write("FILES", "RawFile", s.RawFileFolder);
}

std::optional<QByteArray> folderOfChoice(const QByteArray& path) {
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype cut = name.isEmpty() ? 3 : name.size();
    if (cut > path.size())
        return std::nullopt;
    return path.left(path.size() - cut);
}

} // namespace znr
