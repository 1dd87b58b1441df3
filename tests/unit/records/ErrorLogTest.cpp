#include "core/ErrorLog.h"

#include "config/AppSettings.h"
#include "core/DateTimeText.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

using test::FakeClock;
using test::readBytes;
using test::TempDir;

// A line is "name, number, description, time" ended by CR LF; an empty folder setting leaves
// no trace; a failing step ends its routine with one line under the routine's name. (A log that
// cannot be written is absorbed: the replays write one to /dev/full/.)
TEST(ErrorLog, LinesFollowTheFolderSettingAndGuardedStopsAtTheFailingStep) {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    const ErrorLog log{settings.ErrorLogFolder, clock};
    log.WriteErrorLog("ParseString", 5, "Invalid procedure call or argument");
    EXPECT_TRUE(test::listFiles(dir.folder()).isEmpty());
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

TEST(DateTimeText, GeneralFormIsFixedTwelveHourWithoutPadding) {
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

} // namespace
} // namespace znr
