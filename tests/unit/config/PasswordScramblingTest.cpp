#include "config/PasswordScrambling.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

struct PasswordScramblingTest : ::testing::Test {
    test::TempDir dir;
    AppSettings settings;
    test::FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};

    void SetUp() override { settings.ErrorLogFolder = dir.folder(); }
    QByteArray logText() const { return test::readBytes(dir.path("ZNRError.log")); }
};

TEST_F(PasswordScramblingTest, KnownTextsShiftByTen) {
    EXPECT_EQ(EncryptPassword("abc", log), "WXY");
    EXPECT_EQ(DecryptPassword("WXY", log), "abc");
    EXPECT_EQ(EncryptPassword(" ", log), "\x16");
    EXPECT_EQ(EncryptPassword("*", log), " ");
    EXPECT_EQ(EncryptPassword("", log), "");
    EXPECT_EQ(DecryptPassword("", log), "");
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(PasswordScramblingTest, EveryShiftableCodeComesBack) {
    QByteArray plain;
    for (int c = 10; c <= 255; ++c)
        plain += char(c);
    const QByteArray stored = EncryptPassword(plain, log);
    ASSERT_EQ(stored.size(), plain.size());
    EXPECT_EQ(static_cast<unsigned char>(stored.front()), 0);
    EXPECT_EQ(static_cast<unsigned char>(stored.back()), 245);
    EXPECT_EQ(DecryptPassword(stored, log), plain);
}

TEST_F(PasswordScramblingTest, UnshiftableCharacterGivesEmptyTextAndOneLogLine) {
    EXPECT_EQ(DecryptPassword("abc\xf6xyz", log), "");
    EXPECT_EQ(logText().count("\r\n"), 1);
    EXPECT_TRUE(
        logText().startsWith("Module.DecryptPassword, 5, Invalid procedure call or argument, "));

    EXPECT_EQ(EncryptPassword("pass\tword", log), "");
    EXPECT_EQ(logText().count("\r\n"), 2);
    EXPECT_TRUE(
        logText().contains("\r\nModule.EncryptPassword, 5, Invalid procedure call or argument, "));
}

} // namespace
} // namespace znr
