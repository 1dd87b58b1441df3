#include "protocol/RawTrafficFiles.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/SafeFileName.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace znr {
namespace {

using test::FakeClock;
using test::listFiles;
using test::readBytes;
using test::TempDir;

struct RawTrafficFilesTest : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock{QDateTime(QDate(2012, 5, 1), QTime(14, 30, 5))};
    ErrorLog log{settings.ErrorLogFolder, clock};
    RawTrafficRecord record;

    RawTrafficFilesTest() {
        settings.ErrorLogFolder = dir.sub("Error Log");
        settings.RawFileFolder = dir.sub("Raw Files");
        settings.ArchiveDays = 30;
    }
    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
};

TEST(RenderControls, RendersTheFirstOccurrenceOfEachControlCharacterInPlace) {
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    struct Case {
        QByteArray text;
        QByteArray rendered;
    } cases[] = {
        {"ab\x02"
         "cd\x02",
         "ab<STX>cd\x02"},
        {QByteArray("\x00\x01\x02\x03\x04\x05\x06\x15\x17", 9),
         "<NUL><SOH><STX><ETX><EOT><ENQ><ACK><NAK><ETB>"},
        {"plain text\r\n\x07\x1b\x7f", "plain text\r\n\x07\x1b\x7f"},
        {"\x17\x15\x01\x01", "<ETB><NAK><SOH>\x01"},
        {"", ""},
    };
    for (const Case& c : cases) {
        QByteArray text = c.text;
        EXPECT_EQ(renderControls(text, log), c.rendered);
        EXPECT_EQ(text, c.rendered);
    }
    QByteArray twice = "ab\x02"
                       "cd\x02";
    renderControls(twice, log);
    EXPECT_EQ(renderControls(twice, log), "ab<STX>cd<STX>");
}

TEST_F(RawTrafficFilesTest, EmptyRecordWithoutNamesGivesAnEmptyFileOfTwoUnderscores) {
    exportRawRecord(record, settings, log);
    EXPECT_EQ(listFiles(settings.RawFileFolder), QByteArrayList{"__05-01-2012-143005.dat"});
    EXPECT_EQ(readBytes(settings.RawFileFolder + "__05-01-2012-143005.dat"), "");
}

TEST_F(RawTrafficFilesTest, FolderTextWithoutSeparatorIsAPlainPrefix) {
    settings.RawFileFolder = dir.folder() + "Raw";
    record.id = "AB12";
    record.code = "345";
    exportRawRecord(record, settings, log);
    EXPECT_TRUE(test::fileExists(dir.folder() + "RawAB12_345_05-01-2012-143005.dat"));
}

// The window's record is never emptied: each export repeats the texts of the earlier ones.
TEST_F(RawTrafficFilesTest, TroubleShootingExportsRepeatTheEarlierTexts) {
    exportTroubleShootingText(record, "one\r\n", settings, log);
    clock.setWall(clock.now().addSecs(1));
    exportTroubleShootingText(record, "two\r\n", settings, log);
    EXPECT_EQ(listFiles(settings.RawFileFolder),
              (QByteArrayList{"__05-01-2012-143005.dat", "__05-01-2012-143006.dat"}));
    EXPECT_EQ(readBytes(settings.RawFileFolder + "__05-01-2012-143006.dat"),
              "one\r\n\r\ntwo\r\n\r\n");
    EXPECT_EQ(logText(), "");
}

// The line that would pass either limit is logged once; it and every later line are refused.
// Records of a default run hold 64 MiB exactly.
TEST_F(RawTrafficFilesTest, FullRecordIsLoggedOnceAndRefusesEveryLaterLine) {
    const QByteArray halfOf64MiB(32 << 20, 'x');
    struct Case {
        qsizetype byteLimit;
        QByteArray line;
        int tried;
        int kept;
        const char* why;
    } cases[] = {
        {RawTrafficRecord::DefaultByteLimit, "x", 32770, 32767, "more than 32767 lines"},
        {10, "abcd", 4, 2, "more than 10 bytes"},
        {RawTrafficRecord::DefaultByteLimit, halfOf64MiB, 3, 2, "more than 67108864 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        QFile::remove(QString::fromLocal8Bit(log.logPath()));
        RawTrafficRecord full;
        full.byteLimit = c.byteLimit;
        for (int i = 0; i < c.tried; ++i)
            full.append(c.line, log);
        full.append("y", log); // would fit, but the record is full
        EXPECT_EQ(full.lines, QByteArrayList(c.kept, c.line));
        EXPECT_EQ(logText(), "CreateRawFile, 6, Raw record full: " + QByteArray(c.why) +
                                 "; later lines not recorded, 5/1/2012 2:30:05 PM\r\n");
    }
}

TEST_F(RawTrafficFilesTest, ExportCleansTheRawFolderByRealCreationDates) {
    settings.ErrorLogFolder = settings.RawFileFolder;
    test::writeBytes(settings.RawFileFolder + "notes.txt", "mine");
    test::writeBytes(settings.RawFileFolder + "X_1_01-01-2000-000000.dat", "old");
    // Forty days on, every file written today is past the thirty days kept.
    clock.setWall(QDateTime::currentDateTime().addDays(40));
    log.WriteErrorLog("ExportRawFile", 0, "marker");
    exportRawRecord(record, settings, log);
    EXPECT_EQ(listFiles(settings.RawFileFolder), (QByteArrayList{"ZNRError.log", "notes.txt"}));
}

TEST(SafeFileName, SeparatorsReservedAndControlCharactersBecomeUnderscores) {
    EXPECT_EQ(safeFileNamePart("../x"), ".._x");
    EXPECT_EQ(safeFileNamePart("a\\b:c*d?e\"f<g>h|i"), "a_b_c_d_e_f_g_h_i");
    EXPECT_EQ(safeFileNamePart(QByteArray("\x00\x01\x1f\x7f", 4)), "____");
    EXPECT_EQ(safeFileNamePart("AB 12.\x80\xff"), "AB 12.\x80\xff");
    EXPECT_EQ(safeFileNamePart(".."), "..");
}

} // namespace
} // namespace znr
