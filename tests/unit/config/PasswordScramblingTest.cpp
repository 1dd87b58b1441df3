#include "config/PasswordScrambling.h"

#include "unit/config/ConfigFixture.h"

namespace znr {
namespace {

struct PasswordScramblingTest : test::ConfigFixture {};

TEST_F(PasswordScramblingTest, EveryShiftableCodeShiftsByTenAndComesBack) {
    EXPECT_EQ(scramblePassword("abc", log), "WXY");
    EXPECT_EQ(unscramblePassword("WXY", log), "abc");
    EXPECT_EQ(scramblePassword("", log), "");
    QByteArray plain;
    for (int c = 10; c <= 255; ++c)
        plain += char(c);
    const QByteArray stored = scramblePassword(plain, log);
    ASSERT_EQ(stored.size(), plain.size());
    EXPECT_EQ(stored.front(), '\0');
    EXPECT_EQ(static_cast<unsigned char>(stored.back()), 245);
    EXPECT_EQ(unscramblePassword(stored, log), plain);
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(PasswordScramblingTest, UnshiftableCharacterGivesEmptyTextAndOneLogLine) {
    EXPECT_EQ(unscramblePassword("abc\xf6xyz", log), "");
    EXPECT_EQ(scramblePassword("pass\tword", log), "");
    EXPECT_EQ(logText().count("\r\n"), 2);
    EXPECT_TRUE(
        logText().startsWith("Module.DecryptPassword, 5, Invalid procedure call or argument, "));
    EXPECT_TRUE(
        logText().contains("\r\nModule.EncryptPassword, 5, Invalid procedure call or argument, "));
}

} // namespace
} // namespace znr
