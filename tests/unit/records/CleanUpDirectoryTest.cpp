#include "protocol/CleanUpDirectory.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
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

struct CleanUpDirectoryTest : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock{QDateTime(QDate(2012, 5, 10), QTime(0, 0, 1))};
    ErrorLog log{settings.ErrorLogFolder, clock};
    QByteArray folder = dir.sub("Raw Files");

    CleanUpDirectoryTest() { settings.ErrorLogFolder = dir.sub("Error Log"); }

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
        CleanUpDirectory(where, archiveDays, log, modifiedDate);
    }
    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
};

TEST_F(CleanUpDirectoryTest, DeletesRawFilesOlderThanTheLimitInCalendarDays) {
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

TEST_F(CleanUpDirectoryTest, OnlyNamesShapedLikeRawTrafficFilesAreEverDeleted) {
    const QByteArrayList raw = {"AB12_345_05-01-2012-143005.dat", "__05-01-2012-143005.dat",
                                "A_B_C_12-31-1999-235959.dat"};
    QByteArrayList foreign = {
        "ZNRError.log",
        "letter.doc",
        "1234 05-01-2012-101530.dat", // a data file
        "AB12_05-01-2012-143005.dat", // one underscore before the stamp
        "A_B_05-01-2012-14300x.dat",
        "A_B_05-01-2012-143005.DAT",
        "A_B_5-01-2012-143005.dat",
        "A_B_05-01-2012-143005.dat.bak",
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

TEST_F(CleanUpDirectoryTest, NameShapeIsCheckedDigitByDigit) {
    EXPECT_TRUE(isRawTrafficFileName("a_b_00-00-0000-000000.dat"));
    EXPECT_TRUE(isRawTrafficFileName("__05-01-2012-143005.dat"));
    EXPECT_FALSE(isRawTrafficFileName("_05-01-2012-143005.dat"));
    EXPECT_FALSE(isRawTrafficFileName("a_b_05-01-2012-143005.da"));
    EXPECT_FALSE(isRawTrafficFileName("a_b-05-01-2012-143005.dat"));
    EXPECT_FALSE(isRawTrafficFileName("a_b_05-01-2012_143005.dat"));
    EXPECT_FALSE(isRawTrafficFileName("a_b_05-01-20 2-143005.dat"));
}

TEST_F(CleanUpDirectoryTest, EmptyFolderTextCleansNothingAndLogsNothing) {
    fileDaysAgo("A_1_01-01-2012-000000.dat", 400);
    clean(0, "");
    EXPECT_EQ(listFiles(folder).size(), 1);
    EXPECT_EQ(logText(), "");
}

TEST_F(CleanUpDirectoryTest, MissingFolderIsLogged) {
    clean(0, dir.folder() + "missing/");
    clean(0, "/dev/full/");
    const QByteArray line =
        "Module.CleanUpDirectory, 76, Path not found, 5/10/2012 12:00:01 AM\r\n";
    EXPECT_EQ(logText(), line + line);
}

TEST_F(CleanUpDirectoryTest, ReadOnlyFileStopsTheCleanUpEveryTimeUntilRemoved) {
    fileDaysAgo("A_1_01-01-2012-000000.dat", 400);
    ASSERT_EQ(::chmod((folder + "A_1_01-01-2012-000000.dat").constData(), 0444), 0);
    clean(30, folder);
    clean(30, folder);
    EXPECT_EQ(listFiles(folder), QByteArrayList{"A_1_01-01-2012-000000.dat"});
    const QByteArray line =
        "Module.CleanUpDirectory, 70, Permission denied, 5/10/2012 12:00:01 AM\r\n";
    EXPECT_EQ(logText(), line + line);
    ASSERT_EQ(::chmod((folder + "A_1_01-01-2012-000000.dat").constData(), 0200), 0);
    clean(30, folder);
    EXPECT_TRUE(listFiles(folder).isEmpty());
}

TEST_F(CleanUpDirectoryTest, FolderTextWithoutSeparatorNamesTheFolderItself) {
    fileDaysAgo("A_1_01-01-2012-000000.dat", 400);
    clean(30, folder.chopped(1));
    EXPECT_TRUE(listFiles(folder).isEmpty());
}

TEST_F(CleanUpDirectoryTest, RealCreationDateOfANewFileIsTodayAndCountsAsZeroDaysOld) {
    const QDate before = QDate::currentDate();
    test::writeBytes(folder + "A_1_01-01-2012-000000.dat", "x");
    const QDate after = QDate::currentDate();
    const QDate created = fileCreationDate(folder + "A_1_01-01-2012-000000.dat");
    EXPECT_TRUE(created == before || created == after);
    clock.setWall(QDateTime(created, QTime(23, 59, 59)));
    CleanUpDirectory(folder, 0, log);
    EXPECT_EQ(listFiles(folder).size(), 1);
    CleanUpDirectory(folder, -1, log);
    EXPECT_TRUE(listFiles(folder).isEmpty());
    EXPECT_THROW(fileCreationDate(folder + "gone"), Failure);
}

} // namespace
} // namespace znr
