#include "protocol/RawFolderSweep.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "protocol/CleanUpDirectory.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace znr {
namespace {

using test::FakeClock;
using test::listFiles;
using test::readBytes;
using test::TempDir;

// Files get their real creation date (today); the tests age them by moving the clock's date.
struct RawFolderSweepTest : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    QByteArray folder = dir.sub("Raw Files");
    QDate created;
    RawFolderSweep sweep;

    RawFolderSweepTest() {
        settings.ErrorLogFolder = dir.sub("Error Log");
        test::writeBytes(dir.path("probe"), "x");
        created = fileCreationDate(dir.path("probe"));
        daysLater(0);
    }
    void daysLater(int days) { clock.setWall(QDateTime(created.addDays(days), QTime(12, 0))); }
    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
};

TEST_F(RawFolderSweepTest, ArrivalsAfterAFullPassAreJudgedWithoutReadingTheFolderAgain) {
    test::writeBytes(folder + "A_1_01-01-2012-000000.dat", "a");
    sweep.cleanUp(folder, 0, log);
    test::writeBytes(folder + "B_2_01-01-2012-000000.dat", "b");
    sweep.cleanUp(folder, 0, log);
    EXPECT_EQ(sweep.fullPasses(), 1);
    EXPECT_EQ(listFiles(folder).size(), 2);
    // The day the kept files age out, the folder is read again.
    daysLater(1);
    sweep.cleanUp(folder, 0, log);
    EXPECT_EQ(sweep.fullPasses(), 2);
    EXPECT_TRUE(listFiles(folder).isEmpty());
    EXPECT_EQ(logText(), "");
}

TEST_F(RawFolderSweepTest, AgedOutArrivalsAreDeletedAndOthersNeverTouched) {
    daysLater(5);
    sweep.cleanUp(folder, 3, log);
    // Written, moved in from elsewhere, and three things that are not raw traffic files.
    test::writeBytes(folder + "C_3_01-01-2012-000000.dat", "c");
    test::writeBytes(dir.path("D_4_01-01-2012-000000.dat"), "d");
    ASSERT_EQ(std::rename(dir.path("D_4_01-01-2012-000000.dat").constData(),
                          (folder + "D_4_01-01-2012-000000.dat").constData()),
              0);
    test::writeBytes(folder + "notes.txt", "mine");
    test::writeBytes(folder + "E_5_1-01-2012-000000.dat", "e");
    ASSERT_TRUE(QDir().mkdir(QString::fromLocal8Bit(folder + "F_6_01-01-2012-000000.dat")));
    sweep.cleanUp(folder, 3, log);
    EXPECT_EQ(sweep.fullPasses(), 1);
    EXPECT_EQ(listFiles(folder), (QByteArrayList{"E_5_1-01-2012-000000.dat", "notes.txt"}));
    EXPECT_TRUE(QDir(QString::fromLocal8Bit(folder + "F_6_01-01-2012-000000.dat")).exists());
}

// The same steps on two folders, one cleaned by the sweep and one by CleanUpDirectory, leave the
// same files and the same log lines after every step, failures included.
TEST_F(RawFolderSweepTest, EveryCleanUpHasTheEffectOfAFullCleanUp) {
    const QByteArray full = dir.sub("Full");
    auto lines = [&] { return logText().count('\n'); };
    auto step = [&](int days, int archiveDays) {
        daysLater(days);
        const qsizetype before = lines();
        sweep.cleanUp(folder, archiveDays, log);
        const qsizetype swept = lines();
        CleanUpDirectory(full, archiveDays, log);
        EXPECT_EQ(listFiles(folder), listFiles(full));
        EXPECT_EQ(swept - before, lines() - swept);
    };
    auto add = [&](const QByteArray& name) {
        test::writeBytes(folder + name, "x");
        test::writeBytes(full + name, "x");
    };
    auto chmodBoth = [&](const QByteArray& name, mode_t mode) {
        ASSERT_EQ(::chmod((folder + name).constData(), mode), 0);
        ASSERT_EQ(::chmod((full + name).constData(), mode), 0);
    };
    add("A_1_01-01-2012-000000.dat");
    step(0, 30);
    add("B_2_01-01-2012-000000.dat");
    step(0, 30);
    step(0, 0);
    step(1, 0); // both aged out
    add("C_3_01-01-2012-000000.dat");
    step(1, 0); // aged out on arrival
    add("D_4_01-01-2012-000000.dat");
    chmodBoth("D_4_01-01-2012-000000.dat", 0444);
    step(1, 0); // refused, logged
    step(1, 0); // and again
    chmodBoth("D_4_01-01-2012-000000.dat", 0644);
    step(1, 0); // gone
    add("E_5_01-01-2012-000000.dat");
    step(2, -1);
    EXPECT_TRUE(listFiles(folder).isEmpty());
    EXPECT_EQ(logText().count("Module.CleanUpDirectory, 70, Permission denied"), 4);
}

TEST_F(RawFolderSweepTest, AnotherFolderOrLimitIsReadInFull) {
    const QByteArray other = dir.sub("Other");
    sweep.cleanUp(folder, 30, log);
    sweep.cleanUp(folder, 30, log);
    sweep.cleanUp(folder, 29, log);
    sweep.cleanUp(other, 29, log);
    sweep.cleanUp(folder, 29, log);
    EXPECT_EQ(sweep.fullPasses(), 4);
}

TEST_F(RawFolderSweepTest, FolderRemovedAndMadeAgainIsReadInFull) {
    sweep.cleanUp(folder, 30, log);
    ASSERT_TRUE(QDir(QString::fromLocal8Bit(folder)).removeRecursively());
    sweep.cleanUp(folder, 30, log);
    EXPECT_EQ(logText().count("Module.CleanUpDirectory, 76, Path not found"), 1);
    ASSERT_TRUE(QDir().mkdir(QString::fromLocal8Bit(folder)));
    test::writeBytes(folder + "A_1_01-01-2012-000000.dat", "a");
    daysLater(31);
    sweep.cleanUp(folder, 30, log);
    EXPECT_EQ(sweep.fullPasses(), 3);
    EXPECT_TRUE(listFiles(folder).isEmpty());
}

} // namespace
} // namespace znr
