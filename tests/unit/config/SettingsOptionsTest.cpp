#include "config/SettingsOptions.h"

#include "unit/config/ConfigFixture.h"

namespace znr {
namespace {

struct SettingsOptionsTest : test::ConfigFixture {};

TEST_F(SettingsOptionsTest, WritesTheThirteenKeysInOrderIntoAnEmptyFile) {
    s.DefaultStartup = "ETHERNET";
    s.DataLayoutColumn = true;
    s.ArchiveRawFile = "YES";
    s.ArchiveDays = 30;
    s.AdminPassword = "admin";
    s.DisconnectPassword = "disconnect";
    s.CheckRodID = "R1";
    s.DataFolder = "/z/Data Files/";
    s.CalCheckFolder = "/z/Cal Check/";
    s.FastModeFolder = "/z/Fast Mode/";
    s.CheckRodsFolder = "/z/Check Rods/";
    s.RawFileFolder = "/z/Raw Files/";
    writeOptions(s, log);
    EXPECT_EQ(ini(),
              test::testData("settings/thirteen-keys.ini").replace("@LOG@", s.ErrorLogFolder));
}

// A load that stopped early leaves texts empty in memory: the file keeps what it holds.
TEST_F(SettingsOptionsTest, EmptyValuesAndPasswordsThatCannotBeScrambledAreNotWritten) {
    const QByteArray before = "[ADMIN]\r\nPASSWORD=WZc_d\r\n[CHECK RODS]\r\nID=R1\r\n"
                              "[DEFAULT]\r\nMODE=ETHERNET\r\n";
    test::writeBytes(iniPath, before);
    s.AdminPassword = QByteArray("ab\x05", 3); // a code below 10 has no scrambled form
    s.ErrorLogFolder.clear();
    writeOptions(s, log);
    EXPECT_EQ(ini(), before + "[DATA LAYOUT]\r\nCOLUMN=False\r\n[ARCHIVE RAW FILE]\r\nDAYS= 0\r\n");
}

} // namespace
} // namespace znr
