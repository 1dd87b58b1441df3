// The settings window storing into a settings file whose folder cannot be written.
#include "gui/settings/SettingsWindowFixture.h"
#include "support/Mounts.h"

#include <QDir>

namespace znr {
namespace {

using test::latin1;

// The settings file in a folder of its own ("conf/"), so that folder can turn read-only while
// the error log stays writable.
struct SettingsStoreFault : test::SettingsWindowFixture {
    QByteArray conf;

    void SetUp() override {
        SettingsWindowFixture::SetUp();
        conf = dir.sub("conf");
        const QByteArray moved = conf + "ZNRExtractor.ini";
        ASSERT_TRUE(QFile::rename(QFile::decodeName(iniPath), QFile::decodeName(moved)));
        iniPath = moved;
        s.IniFilePath = QFile::decodeName(iniPath);
    }
};

TEST_F(SettingsStoreFault, ReadOnlySettingsFolderLogsEachKeyAndLeavesTheFileWhole) {
    open();
    const QByteArray before = ini();
    ASSERT_FALSE(before.isEmpty());
    QByteArray why;
    auto readOnly = test::ScopedMount::readOnly(conf, &why);
    if (!readOnly)
        GTEST_SKIP() << why.constData();

    clickLabel("lblGeneral");
    edit("txtArchiveDays")->setText(latin1("7"));
    clickLabel("lblSave");

    // The store reports nothing to its caller: the settings are taken, Save says so.
    EXPECT_EQ(s.ArchiveDays, 7);
    EXPECT_EQ(prompts.shown.last(), latin1("Data Saved|Values Saved Successfully"));
    // One line per key, the page switch's store and Save's: 26 in all; the file is untouched.
    QByteArray expected;
    for (int i = 0; i < 26; ++i)
        expected += "WriteINIFile, 70, Permission denied, 5/1/2012 10:15:30 AM\r\n";
    EXPECT_EQ(logText(), expected);
    EXPECT_EQ(ini(), before);
    EXPECT_EQ(test::listFiles(conf), QByteArrayList{"ZNRExtractor.ini"}) << "no temporary file";

    ASSERT_TRUE(readOnly->unmount());
    clickLabel("lblSave");
    EXPECT_TRUE(ini().contains("\r\nDAYS= 7\r\n"));
    EXPECT_EQ(logText(), expected);
}

} // namespace
} // namespace znr
