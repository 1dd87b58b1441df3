// The raw traffic files: their export, the clean-up of their folder, both the full one and the
// sweep that keeps track of the folder (files have their real creation dates and age by moving
// the clock), and the appends that write them.
#include "core/Files.h"
#include "protocol/RawFolderCleanUp.h"
#include "protocol/RawFolderSweep.h"
#include "protocol/RawTrafficFiles.h"
#include "unit/config/ConfigFixture.h"

#include <QDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace znr::test {
namespace {

struct RawFilesTest : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock{QDateTime(QDate(2012, 5, 1), QTime(14, 30, 5))};
    ErrorLog log{settings.errorLogFolder, clock};
    QByteArray folder = dir.sub("Raw Files");
    QDate created;
    RawFolderSweep sweep;

    RawFilesTest() {
        settings.errorLogFolder = dir.sub("Error Log");
        settings.rawFileFolder = folder;
        settings.archiveDays = 30;
    }
    void daysLater(int days) { clock.setWall(QDateTime(created.addDays(days), QTime(12, 0))); }
    QByteArray logText() const { return readBytes(settings.errorLogFolder + "ZNRError.log"); }
};

// tests/data/records/raw_names.txt: which names are raw traffic files, the only ones deleted.
// An empty folder text cleans nothing silently, a missing folder is logged, and a folder text
// without its separator names the folder itself.
TEST_F(RawFilesTest, CleanUpDeletesOnlyRawTrafficFilesOfTheFolderItIsGiven) {
    const auto rows = caseTable("records/raw_names.txt");
    QByteArrayList kept;
    for (const QByteArrayList& c : rows) {
        writeBytes(folder + c[0], "x");
        if (c[1] == "other")
            kept.append(c[0]);
    }
    const QString subfolder = QFile::decodeName(folder + "X_1_01-01-2000-000000.dat");
    ASSERT_TRUE(QDir().mkpath(subfolder));
    clock.setWall(QDateTime::currentDateTime().addDays(400));
    cleanUpRawFolder("", 0, log);
    EXPECT_EQ(listFiles(folder).size(), qsizetype(rows.size()));
    EXPECT_EQ(logText(), "");
    cleanUpRawFolder(dir.folder() + "missing/", 0, log);
    cleanUpRawFolder("/dev/full/", 0, log);
    cleanUpRawFolder(folder.chopped(1), 30, log);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(listFiles(folder), kept);
    EXPECT_TRUE(QDir(subfolder).exists());
    EXPECT_EQ(logText().count("\n"), 2);
    EXPECT_EQ(logText().count("Module.CleanUpDirectory, 76, Path not found, "), 2);
}

// tests/data/records/sweep.txt: the sweep reads its folder in full only when it must (first,
// another folder or limit, the day a kept file ages out, after a failure, the folder made anew)
// and has the effect of a full clean-up, failures included.
TEST_F(RawFilesTest, SweepHasTheEffectOfAFullCleanUpAndReadsTheFolderOnlyWhenItMust) {
    writeBytes(dir.path("probe"), "x");
    created = fileCreationDate(dir.path("probe"));
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

// The line that would pass the 32767-line limit is logged once; it and every later line are
// refused (the byte limit is replayed with the receive path).
TEST_F(RawFilesTest, FullRecordIsLoggedOnceAndRefusesEveryLaterLine) {
    RawTrafficRecord full;
    for (int i = 0; i < 32770; ++i)
        full.append("x", log);
    EXPECT_EQ(full.lines, QByteArrayList(32767, "x"));
    EXPECT_EQ(logText(), "CreateRawFile, 6, Raw record full: more than 32767 lines; later lines "
                         "not recorded, 5/1/2012 2:30:05 PM\r\n");
}

TEST_F(RawFilesTest, ExportCleansTheRawFolderByRealCreationDates) {
    settings.errorLogFolder = folder;
    writeBytes(folder + "notes.txt", "mine");
    writeBytes(folder + "X_1_01-01-2000-000000.dat", "old");
    // Forty days on, every file written today is past the thirty days kept.
    clock.setWall(QDateTime::currentDateTime().addDays(40));
    log.write("ExportRawFile", 0, "marker");
    exportRawRecord(RawTrafficRecord{}, settings, log);
    EXPECT_EQ(listFiles(folder), (QByteArrayList{"ZNRError.log", "notes.txt"}));
}

// A long file refused part-way (past the first chunks) ends at its last complete line.
TEST_F(RawFilesTest, LongFileRefusedPartWayEndsAtItsLastCompleteLine) {
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
