// The error log and file appends.
#include "core/Files.h"
#include "unit/config/ConfigFixture.h"

namespace znr::test {
namespace {

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

TEST(Files, AppendsLinesWithCrLfKeepingEveryByteAndFailuresCarryPlatformNumbers) {
    TempDir dir;
    const QByteArray path = dir.path("a b.dat");
    appendLines(path, {"x,1", QByteArray("\x00\xff\r", 3)});
    appendLines(path, {""});
    EXPECT_EQ(readBytes(path), QByteArray("x,1\r\n\x00\xff\r\r\n\r\n", 12));
    EXPECT_EQ(failureOf([&] { appendLines(dir.folder(), {"line"}); }), FailureNo::PathFileAccess);
    EXPECT_EQ(failureOf([] { appendLines("", {"line"}); }), FailureNo::BadFileName);
}

// A long file refused part-way (past the first chunks) ends at its last complete line.
TEST(Files, LongFileRefusedPartWayEndsAtItsLastCompleteLine) {
    TempDir dir;
    const QByteArray path = dir.path("long.dat");
    const int number = withFileSizeLimit(150'000, [&] {
        return failureOf([&] {
            LineAppender out(path, false);
            for (int i = 0; i < 3'000; ++i)
                out.append(QByteArray(99, 'x')); // 101 bytes with CR LF
            out.finish();
        });
    });
    EXPECT_EQ(number, FailureNo::DeviceIo);
    EXPECT_EQ(readBytes(path).size(), 150'000 / 101 * 101);
}

} // namespace
} // namespace znr::test
