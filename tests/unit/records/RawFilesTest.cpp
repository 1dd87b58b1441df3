// The raw traffic files: their export, the record's limits, and the clean-up of their folder,
// both the full one (files aged by their modification time: tests cannot set a creation time)
// and the sweep that keeps track of the folder (real creation dates, aged by moving the clock).
#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "protocol/RawFolderCleanUp.h"
#include "protocol/RawFolderSweep.h"
#include "protocol/RawTrafficFiles.h"
#include "support/CaseTable.h"
#include "support/FakeClock.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace znr::test {
namespace {

QDate modifiedDate(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        throw Failure::fromErrno(errno);
    return QDateTime::fromSecsSinceEpoch(st.st_mtime).date();
}

struct RawFilesTest : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock{QDateTime(QDate(2012, 5, 1), QTime(14, 30, 5))};
    ErrorLog log{settings.ErrorLogFolder, clock};
    QByteArray folder = dir.sub("Raw Files");
    QDate created;
    RawFolderSweep sweep;

    RawFilesTest() {
        settings.ErrorLogFolder = dir.sub("Error Log");
        settings.RawFileFolder = folder;
        settings.ArchiveDays = 30;
    }
    // A file last modified `days` before the clock's date, at the given time.
    void fileDaysAgo(const QByteArray& name, int days, QTime at = QTime(23, 59, 59)) {
        const qint64 t = QDateTime(clock.now().date().addDays(-days), at).toSecsSinceEpoch();
        writeBytes(folder + name, "x");
        const timespec times[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder + name).constData(), times, 0), 0);
    }
    void clean(int archiveDays, const QByteArray& where) {
        cleanUpRawFolder(where, archiveDays, log, modifiedDate);
    }
    void useRealCreationDates() {
        writeBytes(dir.path("probe"), "x");
        created = fileCreationDate(dir.path("probe"));
        daysLater(0);
    }
    void daysLater(int days) { clock.setWall(QDateTime(created.addDays(days), QTime(12, 0))); }
    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
};

TEST_F(RawFilesTest, CleanUpDeletesRawFilesOlderThanTheLimitInCalendarDays) {
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

// tests/data/records/raw_names.txt: which names are raw traffic files, the only ones deleted.
TEST_F(RawFilesTest, CleanUpDeletesOnlyNamesShapedLikeRawTrafficFiles) {
    QByteArrayList kept;
    for (const QByteArrayList& c : caseTable("records/raw_names.txt")) {
        fileDaysAgo(c[0], 400);
        if (c[1] == "other")
            kept.append(c[0]);
    }
    const QString subfolder = QFile::decodeName(folder + "X_1_01-01-2000-000000.dat");
    ASSERT_TRUE(QDir().mkpath(subfolder));
    clean(30, folder);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(listFiles(folder), kept);
    EXPECT_TRUE(QDir(subfolder).exists());
    EXPECT_EQ(logText(), "");
}

// An empty folder text cleans nothing silently, a missing folder is logged, and a folder text
// without its separator names the folder itself.
TEST_F(RawFilesTest, CleanUpFolderTexts) {
    fileDaysAgo("A_1_01-01-2012-000000.dat", 400);
    clean(0, "");
    EXPECT_EQ(listFiles(folder).size(), 1);
    EXPECT_EQ(logText(), "");
    clean(0, dir.folder() + "missing/");
    clean(0, "/dev/full/");
    clean(30, folder.chopped(1));
    EXPECT_TRUE(listFiles(folder).isEmpty());
    const QByteArray line = "Module.CleanUpDirectory, 76, Path not found, 5/1/2012 2:30:05 PM\r\n";
    EXPECT_EQ(logText(), line + line);
}

// tests/data/records/sweep.txt: the sweep reads its folder in full only when it must (first,
// another folder or limit, the day a kept file ages out, after a failure, the folder made anew)
// and has the effect of a full clean-up, failures included.
TEST_F(RawFilesTest, SweepHasTheEffectOfAFullCleanUpAndReadsTheFolderOnlyWhenItMust) {
    useRealCreationDates();
    const QByteArray full = dir.sub("Full");
    for (const QByteArrayList& row : caseTable("records/sweep.txt")) {
        SCOPED_TRACE(row[0].toStdString());
        const QByteArrayList w = row[0].split(' ');
        for (const QByteArray& f : {folder, full}) {
            const QByteArray path = f + w.value(1);
            if (w[0] == "add" || w[0] == "move")
                writeBytes(w[0] == "add" ? path : dir.path("moved"), "x");
            ASSERT_TRUE(w[0] != "move" ||
                        std::rename(dir.path("moved").constData(), path.constData()) == 0);
            if (w[0] == "mkdir" || w[0] == "remove" || w[0] == "remake")
                QDir(QFile::decodeName(path)).removeRecursively();
            ASSERT_TRUE((w[0] != "mkdir" && w[0] != "remake") ||
                        QDir().mkdir(QFile::decodeName(path)));
            ASSERT_TRUE(w[0] != "chmod" || ::chmod(path.constData(), w[2].toUInt(nullptr, 8)) == 0);
        }
        if (w[0] == "other")
            sweep.cleanUp(dir.sub("Other"), 0, log);
        if (w[0] == "files") {
            EXPECT_EQ(listFiles(folder), w.mid(1));
        }
        EXPECT_TRUE(w[0] != "folder" || QDir(QFile::decodeName(folder + w[1])).exists());
        if (w[0] == "clean") {
            daysLater(w[1].toInt());
            const qsizetype before = logText().count('\n');
            sweep.cleanUp(folder, w[2].toInt(), log);
            const qsizetype swept = logText().count('\n');
            cleanUpRawFolder(full, w[2].toInt(), log);
            EXPECT_EQ(listFiles(folder), listFiles(full));
            EXPECT_EQ(swept - before, logText().count('\n') - swept);
            EXPECT_EQ(sweep.fullPasses(), w[3].toInt());
        }
    }
    EXPECT_EQ(logText().count("Module.CleanUpDirectory, 70, Permission denied"), 4);
    EXPECT_EQ(logText().count("Module.CleanUpDirectory, 76, Path not found"), 2);
}

// The window's record is never emptied: each export repeats the texts of the earlier ones.
TEST_F(RawFilesTest, TroubleShootingExportsRepeatTheEarlierTexts) {
    RawTrafficRecord record;
    exportTroubleShootingText(record, "one\r\n", settings, log);
    clock.setWall(clock.now().addSecs(1));
    exportTroubleShootingText(record, "two\r\n", settings, log);
    EXPECT_EQ(listFiles(folder),
              (QByteArrayList{"__05-01-2012-143005.dat", "__05-01-2012-143006.dat"}));
    EXPECT_EQ(readBytes(folder + "__05-01-2012-143006.dat"), "one\r\n\r\ntwo\r\n\r\n");
    EXPECT_EQ(logText(), "");
}

// The line that would pass the limit is logged once; it and every later line are refused. A
// record of a default run holds 32767 lines (the byte limit is replayed with the receive path).
TEST_F(RawFilesTest, FullRecordIsLoggedOnceAndRefusesEveryLaterLine) {
    RawTrafficRecord full;
    for (int i = 0; i < 32770; ++i)
        full.append("x", log);
    full.append("y", log);
    EXPECT_EQ(full.lines, QByteArrayList(32767, "x"));
    EXPECT_EQ(logText(), "CreateRawFile, 6, Raw record full: more than 32767 lines; later lines "
                         "not recorded, 5/1/2012 2:30:05 PM\r\n");
}

TEST_F(RawFilesTest, ExportCleansTheRawFolderByRealCreationDates) {
    settings.ErrorLogFolder = folder;
    writeBytes(folder + "notes.txt", "mine");
    writeBytes(folder + "X_1_01-01-2000-000000.dat", "old");
    // Forty days on, every file written today is past the thirty days kept.
    clock.setWall(QDateTime::currentDateTime().addDays(40));
    log.WriteErrorLog("ExportRawFile", 0, "marker");
    exportRawRecord(RawTrafficRecord{}, settings, log);
    EXPECT_EQ(listFiles(folder), (QByteArrayList{"ZNRError.log", "notes.txt"}));
}

} // namespace
} // namespace znr::test
