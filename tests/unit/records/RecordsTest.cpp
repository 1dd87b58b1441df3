// The error log, file appends, the date texts, file-name parts and the trouble-shooting text.
#include "config/AppSettings.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/SafeFileName.h"
#include "protocol/DebugText.h"
#include "protocol/RawTrafficFiles.h"
#include "support/CaseTable.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace znr::test {
namespace {

const QChar ShownCr(0x240D);

TEST(DebugText, LineEndsBecomeLineBreaksAndALoneCrStaysVisible) {
    EXPECT_EQ(debugDisplayText("a\r\nb\r\n"), QStringLiteral("a\nb\n"));
    EXPECT_EQ(debugDisplayText("a\nb"), QStringLiteral("a\nb"));
    EXPECT_EQ(debugDisplayText("a\rb\r"), QStringLiteral("a") + ShownCr + u'b' + ShownCr);
    EXPECT_EQ(debugDisplayText("\r\r\n"), QString(ShownCr) + u'\n');
    // Every other byte is one character, NUL and 8-bit bytes included.
    EXPECT_EQ(debugDisplayText(QByteArray("\x00<\x02\xE9\xFF", 5)),
              QString::fromLatin1(QByteArray("\x00<\x02\xE9\xFF", 5)));
    // Unedited, the display gives back the bytes exactly.
    for (const QByteArray& bytes :
         {QByteArray("<RECIVED><SOH>IST\r\n<SENT><ACK8>\r\n"), QByteArray("a\rb\r\n\r\nc\r"),
          QByteArray("\x01\x02\x03\x04\x15\x06 8", 8), QByteArray()})
        EXPECT_EQ(debugBytesFromDisplay(debugDisplayText(bytes)), bytes);
    // Edited text gets CR LF line ends and question marks beyond Latin-1.
    EXPECT_EQ(debugBytesFromDisplay(QStringLiteral("a\nb")), "a\r\nb");
    EXPECT_EQ(debugBytesFromDisplay(QStringView(u"x\u2029y\u2028z").toString()), "x\r\ny\r\nz");
    EXPECT_EQ(debugBytesFromDisplay(QStringView(u"\u20ACe\u00E9").toString()), "?e\xE9");
}

TEST(DebugText, TrimPointKeepsWholeLinesWithinTheLimit) {
    const QByteArray record = "aaaa\r\nbbbb\r\ncccc\r\n"; // 18 bytes, lines of 6
    const std::pair<qsizetype, qsizetype> keepAndCut[] = {{18, 0}, {100, 0}, {12, 6},
                                                          {13, 6}, {11, 12}, {0, 18}};
    for (const auto& [keep, cut] : keepAndCut)
        EXPECT_EQ(debugTrimPoint(record, keep), cut) << keep;
    EXPECT_EQ(debugTrimPoint("0123456789", 4), 6); // no line end in reach: cut in the line
    EXPECT_EQ(debugTrimPoint("ab\nc0123456789", 4), 10);
}

// A line is "name, number, description, time" ended by CR LF; an empty folder setting leaves
// no trace; a failing step ends its routine with one line under the routine's name.
TEST(ErrorLog, LinesFollowTheFolderSettingAndGuardedStopsAtTheFailingStep) {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    const ErrorLog log{settings.ErrorLogFolder, clock};
    log.WriteErrorLog("ParseString", 5, "Invalid procedure call or argument");
    EXPECT_TRUE(listFiles(dir.folder()).isEmpty());
    settings.ErrorLogFolder = dir.folder();
    log.WriteErrorLog("LoadConstants", 13, "Type mismatch");
    clock.advanceMs(3'600'000 * 3);
    bool secondStepRan = false;
    EXPECT_FALSE(guarded(log, "RedimArray", [&] {
        throw Failure::outOfRange();
        secondStepRan = true;
    }));
    EXPECT_FALSE(secondStepRan);
    EXPECT_TRUE(guarded(log, "BatchComplete", [] {}));
    EXPECT_EQ(readBytes(dir.path("ZNRError.log")),
              "LoadConstants, 13, Type mismatch, 5/1/2012 10:15:30 AM\r\n"
              "RedimArray, 9, Subscript out of range, 5/1/2012 1:15:30 PM\r\n");
}

TEST(DateTimeText, GeneralFormIsTwelveHourWithoutPaddingAndTheStampIsPadded) {
    struct Case {
        QDateTime t;
        const char* general;
        const char* stamp;
    } cases[] = {
        {{QDate(2012, 5, 1), QTime(10, 15, 30)}, "5/1/2012 10:15:30 AM", "05-01-2012-101530"},
        {{QDate(2026, 12, 6), QTime(0, 0, 0)}, "12/6/2026 12:00:00 AM", "12-06-2026-000000"},
        {{QDate(2026, 12, 6), QTime(12, 0, 5)}, "12/6/2026 12:00:05 PM", "12-06-2026-120005"},
        {{QDate(999, 1, 9), QTime(23, 59, 59)}, "1/9/999 11:59:59 PM", "01-09-0999-235959"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(generalDateTime(c.t), c.general);
        EXPECT_EQ(fileStamp(c.t), c.stamp);
    }
}

int appendFailure(const QByteArray& path) {
    try {
        appendLines(path, {"line"});
    } catch (const Failure& f) {
        return f.number();
    }
    return 0;
}

TEST(Files, AppendsLinesWithCrLfKeepingEveryByteAndFailuresCarryPlatformNumbers) {
    TempDir dir;
    const QByteArray path = dir.path("a b.dat");
    appendLines(path, {"x,1", QByteArray("\x00\xff\r", 3)});
    appendLines(path, {""});
    EXPECT_EQ(readBytes(path), QByteArray("x,1\r\n\x00\xff\r\r\n\r\n", 12));
    // (A missing folder and a full disk are replayed through the data files.)
    EXPECT_EQ(appendFailure(dir.folder()), FailureNo::PathFileAccess); // a folder
    EXPECT_EQ(appendFailure(""), FailureNo::BadFileName);
}

// A long file refused part-way (here by the process's file-size limit, past the first chunks)
// ends at its last complete line.
TEST(Files, LongFileRefusedPartWayEndsAtItsLastCompleteLine) {
    TempDir dir;
    const QByteArray path = dir.path("long.dat");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 150'000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    int number = 0;
    try {
        LineAppender out(path, false);
        for (int i = 0; i < 3'000; ++i)
            out.append(QByteArray(99, 'x')); // 101 bytes with CR LF
        out.finish();
    } catch (const Failure& f) {
        number = f.number();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(number, FailureNo::DeviceIo);
    EXPECT_EQ(readBytes(path).size(), 150'000 / 101 * 101);
}

TEST(SafeFileName, SeparatorsReservedAndControlCharactersBecomeUnderscores) {
    EXPECT_EQ(safeFileNamePart("../x"), ".._x");
    EXPECT_EQ(safeFileNamePart("a\\b:c*d?e\"f<g>h|i"), "a_b_c_d_e_f_g_h_i");
    EXPECT_EQ(safeFileNamePart(QByteArray("\x00\x01\x1f\x7f", 4)), "____");
    EXPECT_EQ(safeFileNamePart("AB 12.\x80\xff"), "AB 12.\x80\xff");
}

// tests/data/records/render_controls.txt: a text, and the text once its controls are rendered.
TEST(RenderControls, RendersTheFirstOccurrenceOfEachControlCharacterInPlace) {
    const QByteArray noFolder;
    const FakeClock clock;
    const ErrorLog log{noFolder, clock};
    for (const QByteArrayList& c : caseTable("records/render_controls.txt")) {
        QByteArray text = c[0];
        EXPECT_EQ(renderControls(text, log), c[1]);
        EXPECT_EQ(text, c[1]);
    }
    QByteArray twice = "ab\x02"
                       "cd\x02";
    renderControls(twice, log);
    EXPECT_EQ(renderControls(twice, log), "ab<STX>cd<STX>");
}

} // namespace
} // namespace znr::test
