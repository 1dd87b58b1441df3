#include "protocol/RawFolderCleanUp.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "protocol/RawFolderSweep.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace znr {
namespace {

using test::FakeClock;
using test::listFiles;
using test::readBytes;
using test::TempDir;

// Files are aged by their last-modified time: tests cannot set a creation time.
QDate modifiedDate(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        throw Failure::fromErrno(errno);
    return QDateTime::fromSecsSinceEpoch(st.st_mtime).date();
}

// cleanUpRawFolder() on files aged by their modification time, and the run's sweep on files with
// their real creation date (today), aged by moving the clock's date.
struct RawFolderCleanUpTest : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock{QDateTime(QDate(2012, 5, 10), QTime(0, 0, 1))};
    ErrorLog log{settings.ErrorLogFolder, clock};
    QByteArray folder = dir.sub("Raw Files");
    QDate created;
    RawFolderSweep sweep;

    RawFolderCleanUpTest() { settings.ErrorLogFolder = dir.sub("Error Log"); }

    // A file last modified at the given local date and time.
    void file(const QByteArray& name, const QDateTime& at) {
        test::writeBytes(folder + name, "x");
        const timespec times[2] = {{at.toSecsSinceEpoch(), 0}, {at.toSecsSinceEpoch(), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder + name).constData(), times, 0), 0);
    }
    void fileDaysAgo(const QByteArray& name, int days, QTime at = QTime(23, 59, 59)) {
        file(name, QDateTime(clock.now().date().addDays(-days), at));
    }
    void clean(int archiveDays, const QByteArray& where) {
        cleanUpRawFolder(where, archiveDays, log, modifiedDate);
    }
    void useRealCreationDates() {
        test::writeBytes(dir.path("probe"), "x");
        created = fileCreationDate(dir.path("probe"));
        daysLater(0);
    }
    void daysLater(int days) { clock.setWall(QDateTime(created.addDays(days), QTime(12, 0))); }
    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
};

TEST_F(RawFolderCleanUpTest, DeletesRawFilesOlderThanTheLimitInCalendarDays) {
    const QByteArray a = "A_1_01-01-2012-000000.dat"; // 29 days old
    const QByteArray b = "B_2_01-01-2012-000000.dat"; // 30
    const QByteArray c = "C_3_01-01-2012-000000.dat"; // 31
    const QByteArray d = "D_4_01-01-2012-000000.dat"; // today
    struct Case {
        int archiveDays;
        QByteArrayList kept;
    } cases[] = {{30, {a, b, d}}, {29, {a, d}}, {0, {d}}, {-1, {}}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.archiveDays);
        // Times of day do not count: only the dates are compared.
        fileDaysAgo(a, 29, QTime(0, 0, 0));
        fileDaysAgo(b, 30, QTime(23, 59, 59));
        fileDaysAgo(c, 31, QTime(23, 59, 59));
        fileDaysAgo(d, 0, QTime(0, 0, 0));
        clean(k.archiveDays, folder);
        EXPECT_EQ(listFiles(folder), k.kept);
    }
    EXPECT_EQ(logText(), "");
}

TEST_F(RawFolderCleanUpTest, OnlyNamesShapedLikeRawTrafficFilesAreEverDeleted) {
    const QByteArrayList raw = {"AB12_345_05-01-2012-143005.dat", "__05-01-2012-143005.dat",
                                "A_B_C_12-31-1999-235959.dat", "a_b_00-00-0000-000000.dat"};
    QByteArrayList foreign = {
        "ZNRError.log",
        "letter.doc",
        "1234 05-01-2012-101530.dat", // a data file
        "AB12_05-01-2012-143005.dat", // one underscore before the stamp
        "A_B_05-01-2012-14300x.dat",
        "A_B_05-01-2012-143005.DAT",
        "A_B_5-01-2012-143005.dat",
        "A_B_05-01-2012-143005.dat.bak",
        "_05-01-2012-143005.dat",
        "a_b_05-01-2012-143005.da",
        "a_b-05-01-2012-143005.dat",
        "a_b_05-01-2012_143005.dat",
        "a_b_05-01-20 2-143005.dat",
    };
    for (const QByteArray& name : raw + foreign)
        fileDaysAgo(name, 400);
    const QString subfolder = QFile::decodeName(folder + "X_1_01-01-2000-000000.dat");
    ASSERT_TRUE(QDir().mkpath(subfolder));
    clean(30, folder);
    std::sort(foreign.begin(), foreign.end());
    EXPECT_EQ(listFiles(folder), foreign);
    EXPECT_TRUE(QDir(subfolder).exists());
    EXPECT_EQ(logText(), "");
}

TEST_F(RawFolderCleanUpTest, EmptyFolderTextCleansNothingAndLogsNothing) {
    fileDaysAgo("A_1_01-01-2012-000000.dat", 400);
    clean(0, "");
    EXPECT_EQ(listFiles(folder).size(), 1);
    EXPECT_EQ(logText(), "");
}

TEST_F(RawFolderCleanUpTest, MissingFolderIsLogged) {
    clean(0, dir.folder() + "missing/");
    clean(0, "/dev/full/");
    const QByteArray line =
        "Module.CleanUpDirectory, 76, Path not found, 5/10/2012 12:00:01 AM\r\n";
    EXPECT_EQ(logText(), line + line);
}

TEST_F(RawFolderCleanUpTest, FolderTextWithoutSeparatorNamesTheFolderItself) {
    fileDaysAgo("A_1_01-01-2012-000000.dat", 400);
    clean(30, folder.chopped(1));
    EXPECT_TRUE(listFiles(folder).isEmpty());
}

TEST_F(RawFolderCleanUpTest, RealCreationDateOfANewFileIsTodayAndCountsAsZeroDaysOld) {
    const QDate before = QDate::currentDate();
    test::writeBytes(folder + "A_1_01-01-2012-000000.dat", "x");
    const QDate after = QDate::currentDate();
    const QDate created = fileCreationDate(folder + "A_1_01-01-2012-000000.dat");
    EXPECT_TRUE(created == before || created == after);
    clock.setWall(QDateTime(created, QTime(23, 59, 59)));
    cleanUpRawFolder(folder, 0, log);
    EXPECT_EQ(listFiles(folder).size(), 1);
    cleanUpRawFolder(folder, -1, log);
    EXPECT_TRUE(listFiles(folder).isEmpty());
    EXPECT_THROW(fileCreationDate(folder + "gone"), Failure);
}

TEST_F(RawFolderCleanUpTest, SweepArrivalsAfterAFullPassAreJudgedWithoutReadingTheFolderAgain) {
    useRealCreationDates();
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

TEST_F(RawFolderCleanUpTest, SweepAgedOutArrivalsAreDeletedAndOthersNeverTouched) {
    useRealCreationDates();
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

// The same steps on two folders, one cleaned by the sweep and one by cleanUpRawFolder(), leave the
// same files and the same log lines after every step, failures included.
TEST_F(RawFolderCleanUpTest, SweepEveryCleanUpHasTheEffectOfAFullCleanUp) {
    useRealCreationDates();
    const QByteArray full = dir.sub("Full");
    auto lines = [&] { return logText().count('\n'); };
    auto step = [&](int days, int archiveDays) {
        daysLater(days);
        const qsizetype before = lines();
        sweep.cleanUp(folder, archiveDays, log);
        const qsizetype swept = lines();
        cleanUpRawFolder(full, archiveDays, log);
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

TEST_F(RawFolderCleanUpTest, SweepAnotherFolderOrLimitIsReadInFull) {
    useRealCreationDates();
    const QByteArray other = dir.sub("Other");
    sweep.cleanUp(folder, 30, log);
    sweep.cleanUp(folder, 30, log);
    sweep.cleanUp(folder, 29, log);
    sweep.cleanUp(other, 29, log);
    sweep.cleanUp(folder, 29, log);
    EXPECT_EQ(sweep.fullPasses(), 4);
}

TEST_F(RawFolderCleanUpTest, SweepFolderRemovedAndMadeAgainIsReadInFull) {
    useRealCreationDates();
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
