#include "protocol/DebugText.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

const QChar ShownCr(0x240D);

TEST(DebugText, LineEndsBecomeLineBreaksAndALoneCrStaysVisible) {
    EXPECT_EQ(debugDisplayText("a\r\nb\r\n"), QStringLiteral("a\nb\n"));
    EXPECT_EQ(debugDisplayText("a\nb"), QStringLiteral("a\nb"));
    EXPECT_EQ(debugDisplayText("a\rb\r"), QStringLiteral("a") + ShownCr + u'b' + ShownCr);
    EXPECT_EQ(debugDisplayText("\r\r\n"), QString(ShownCr) + u'\n');
    // Every other byte is one character, NUL and 8-bit bytes included.
    const QByteArray bytes("\x00\x01<STX>\x02\xE9\xFF", 10);
    const QString shown = debugDisplayText(bytes);
    ASSERT_EQ(shown.size(), 10);
    EXPECT_EQ(shown[0], QChar(0));
    EXPECT_EQ(shown[7], QChar(0x02));
    EXPECT_EQ(shown[8], QChar(0xE9));
    EXPECT_EQ(shown[9], QChar(0xFF));
}

TEST(DebugText, UneditedDisplayGivesBackCrLfAndLoneCrExactly) {
    for (const QByteArray& bytes :
         {QByteArray("<RECIVED><SOH>IST\r\n<SENT><ACK8>\r\n"), QByteArray("a\rb\r\n\r\nc\r"),
          QByteArray("\x01\x02\x03\x04\x15\x06 8", 8), QByteArray()})
        EXPECT_EQ(debugBytesFromDisplay(debugDisplayText(bytes)), bytes);
}

TEST(DebugText, EditedTextGetsCrLfLineEndsAndQuestionMarksBeyondLatin1) {
    EXPECT_EQ(debugBytesFromDisplay(QStringLiteral("a\nb")), "a\r\nb");
    EXPECT_EQ(debugBytesFromDisplay(QStringView(u"x\u2029y\u2028z").toString()), "x\r\ny\r\nz");
    EXPECT_EQ(debugBytesFromDisplay(QStringView(u"\u20ACe\u00E9").toString()), "?e\xE9");
}

TEST(DebugText, TrimPointKeepsWholeLinesWithinTheLimit) {
    const QByteArray record = "aaaa\r\nbbbb\r\ncccc\r\n"; // 18 bytes, lines of 6
    EXPECT_EQ(debugTrimPoint(record, 18), 0);
    EXPECT_EQ(debugTrimPoint(record, 100), 0);
    EXPECT_EQ(debugTrimPoint(record, 12), 6); // exactly one line
    EXPECT_EQ(debugTrimPoint(record, 13), 6);
    EXPECT_EQ(debugTrimPoint(record, 11), 12); // the second line no longer fits
    EXPECT_EQ(debugTrimPoint(record, 0), 18);
    EXPECT_EQ(debugTrimPoint("0123456789", 4), 6); // no line end in reach: cut in the line
    EXPECT_EQ(debugTrimPoint("ab\nc0123456789", 4), 10);
}

} // namespace
} // namespace znr
