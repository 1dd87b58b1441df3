#include "config/SettingsOptions.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace znr {
namespace {

struct SettingsOptionsTest : ::testing::Test {
    test::TempDir dir;
    AppSettings s;
    test::FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    QByteArray iniPath = dir.path("ZNRExtractor.ini");

    void SetUp() override {
        s.IniFilePath = QFile::decodeName(iniPath);
        s.ErrorLogFolder = dir.sub("log");
    }
    QByteArray logText() const { return test::readBytes(s.ErrorLogFolder + "ZNRError.log"); }
};

TEST_F(SettingsOptionsTest, ShownTextsComeFromTheSettingsWithDebugModeAlwaysNo) {
    s.DataLayoutColumn = false;
    s.ArchiveDays = -3;
    s.DefaultStartup = "SERIAL";
    const OptionTexts t = shownOptions(s);
    EXPECT_EQ(t.DataLayout, "ROW");
    EXPECT_EQ(t.ArchiveDays, "-3");
    EXPECT_EQ(t.DefaultStartup, "SERIAL");
    EXPECT_EQ(t.DebugMode, "NO");
    s.DataLayoutColumn = true;
    s.ArchiveDays = 30;
    EXPECT_EQ(shownOptions(s).DataLayout, "COLUMN");
    EXPECT_EQ(shownOptions(s).ArchiveDays, "30"); // plain, without the file's leading blank
}

TEST_F(SettingsOptionsTest, TakingStopsAtDaysThatDoNotConvertWithTheEarlierFieldsTaken) {
    const struct {
        const char* days;
        int failure;
    } cases[] = {{"40000", FailureNo::Overflow}, {"3x", FailureNo::TypeMismatch}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.days);
        s = AppSettings{};
        s.ArchiveDays = 30;
        s.CheckRodID = "R1";
        OptionTexts f;
        f.DataLayout = "COLUMN";
        f.DefaultStartup = "SERIAL";
        f.ArchiveRawFile = "NO";
        f.ArchiveDays = c.days;
        f.CheckRodID = "R2";
        f.DataFolder = "/d/";
        try {
            takeOptions(s, f);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& e) {
            EXPECT_EQ(e.number(), c.failure);
        }
        EXPECT_TRUE(s.DataLayoutColumn);
        EXPECT_EQ(s.DefaultStartup, "SERIAL");
        EXPECT_EQ(s.ArchiveRawFile, "NO");
        EXPECT_EQ(s.ArchiveDays, 30);
        EXPECT_EQ(s.CheckRodID, "R1");
        EXPECT_TRUE(s.DataFolder.isEmpty());
    }
}

TEST_F(SettingsOptionsTest, EmptyFieldsLeaveSettingsAndOnlyExactColumnMeansColumn) {
    s.DataLayoutColumn = true;
    s.AdminPassword = "admin";
    OptionTexts f;
    takeOptions(s, f);
    EXPECT_TRUE(s.DataLayoutColumn);
    EXPECT_EQ(s.AdminPassword, "admin");
    for (const char* text : {"column", "COLUMN ", "ROW", "x"}) {
        s.DataLayoutColumn = true;
        f.DataLayout = text;
        takeOptions(s, f);
        EXPECT_FALSE(s.DataLayoutColumn) << text;
    }
}

TEST_F(SettingsOptionsTest, WritesTheThirteenKeysInOrderIntoAnEmptyFile) {
    s.DefaultStartup = "ETHERNET";
    s.DataLayoutColumn = true;
    s.ArchiveRawFile = "YES";
    s.ArchiveDays = 30;
    s.AdminPassword = "admin";
    s.DisconnectPassword = "disconnect";
    s.CheckRodID = "R1";
    s.DataFolder = "/z/Data Files/";
    s.ErrorLogFolder = dir.sub("log");
    s.CalCheckFolder = "/z/Cal Check/";
    s.FastModeFolder = "/z/Fast Mode/";
    s.CheckRodsFolder = "/z/Check Rods/";
    s.RawFileFolder = "/z/Raw Files/";
    writeOptions(s, log);
    const QByteArray expected =
        test::testData("settings/thirteen-keys.ini").replace("@LOG@", s.ErrorLogFolder);
    EXPECT_EQ(test::readBytes(iniPath), expected);
}

TEST_F(SettingsOptionsTest, EmptyValuesAndPasswordsThatCannotBeScrambledAreNotWritten) {
    const QByteArray before = "[ADMIN]\r\nPASSWORD=WZc_d\r\n[CHECK RODS]\r\nID=R1\r\n"
                              "[DEFAULT]\r\nMODE=ETHERNET\r\n";
    test::writeBytes(iniPath, before);
    s.AdminPassword = QByteArray("ab\x05", 3); // a code below 10 has no scrambled form
    s.ErrorLogFolder.clear();
    writeOptions(s, log);
    EXPECT_EQ(test::readBytes(iniPath), before + "[DATA LAYOUT]\r\nCOLUMN=False\r\n"
                                                 "[ARCHIVE RAW FILE]\r\nDAYS= 0\r\n");
}

TEST_F(SettingsOptionsTest, FolderOfChoiceCutsTheNameOrThePresetLength) {
    const struct {
        const char* path;
        std::optional<QByteArray> folder;
    } cases[] = {
        {"/data/x.dat", QByteArray("/data/")},
        {"/data/*.*", QByteArray("/data/")},
        {"/x", QByteArray("/")},
        {"/data/sub/", QByteArray("/data/s")},
        {"abc", QByteArray("")},
        {"/", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(folderOfChoice(c.path), c.folder) << c.path;
}

} // namespace
} // namespace znr
