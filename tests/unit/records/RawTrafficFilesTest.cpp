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
    RawData raw;

    RawTrafficFilesTest() {
        settings.ErrorLogFolder = dir.sub("Error Log");
        settings.RawFileFolder = dir.sub("Raw Files");
        settings.ArchiveDays = 30;
        settings.RawDataTempNumber = 5;
    }
    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
};

TEST(FormatRawString, RendersTheFirstOccurrenceOfEachControlCharacterInPlace) {
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
        EXPECT_EQ(FormatRawString(text, log), c.rendered);
        EXPECT_EQ(text, c.rendered);
    }
    QByteArray twice = "ab\x02"
                       "cd\x02";
    FormatRawString(twice, log);
    EXPECT_EQ(FormatRawString(twice, log), "ab<STX>cd<STX>");
}

TEST_F(RawTrafficFilesTest, ExportWritesLinesWithCrLfUnderIdCodeAndStamp) {
    CreateRawFile(raw[2], "<RECIVED><SOH>1IST", log);
    CreateRawFile(raw[2], "<SENT><ACK8>", log);
    CreateRawFile(raw[2], "multi\r\nline", log);
    UpdateRawFile(raw[2], "AB12", "345", log);
    ExportRawFile(raw[2], settings, log);
    EXPECT_EQ(listFiles(settings.RawFileFolder), QByteArrayList{"AB12_345_05-01-2012-143005.dat"});
    EXPECT_EQ(readBytes(settings.RawFileFolder + "AB12_345_05-01-2012-143005.dat"),
              "<RECIVED><SOH>1IST\r\n<SENT><ACK8>\r\nmulti\r\nline\r\n");
    EXPECT_EQ(raw[2].Count, 3); // the record keeps its lines
    // Same second, same names: appended to the same file.
    ExportRawFile(raw[2], settings, log);
    EXPECT_EQ(readBytes(settings.RawFileFolder + "AB12_345_05-01-2012-143005.dat").count("IST"), 2);
    EXPECT_EQ(logText(), "");
}

TEST_F(RawTrafficFilesTest, EmptyRecordWithoutNamesGivesAnEmptyFileOfTwoUnderscores) {
    ExportRawFile(raw[5], settings, log);
    EXPECT_EQ(listFiles(settings.RawFileFolder), QByteArrayList{"__05-01-2012-143005.dat"});
    EXPECT_EQ(readBytes(settings.RawFileFolder + "__05-01-2012-143005.dat"), "");
}

TEST_F(RawTrafficFilesTest, FolderTextWithoutSeparatorIsAPlainPrefix) {
    settings.RawFileFolder = dir.folder() + "Raw";
    UpdateRawFile(raw[1], "AB12", "345", log);
    ExportRawFile(raw[1], settings, log);
    EXPECT_TRUE(test::fileExists(dir.folder() + "RawAB12_345_05-01-2012-143005.dat"));
}

// Connection 5 has the index RAW DATA TEMP NUMBER names; the window's exports still keep apart.
TEST_F(RawTrafficFilesTest, TroubleShootingExportsKeepTheirOwnRecordApartFromEveryConnection) {
    CreateRawFile(raw[5], "<SENT><ACK8>", log);
    UpdateRawFile(raw[5], "AB12", "345", log);
    ExportTroubleShootingText(raw, "one\r\n", settings, log);
    clock.setWall(clock.now().addSecs(1));
    ExportTroubleShootingText(raw, "two\r\n", settings, log);
    EXPECT_EQ(listFiles(settings.RawFileFolder),
              (QByteArrayList{"__05-01-2012-143005.dat", "__05-01-2012-143006.dat"}));
    EXPECT_EQ(readBytes(settings.RawFileFolder + "__05-01-2012-143006.dat"),
              "one\r\n\r\ntwo\r\n\r\n");
    EXPECT_EQ(raw[5].Lines, QByteArrayList{"<SENT><ACK8>"});
    EXPECT_EQ(raw[5].ID + raw[5].Code, "AB12345");
    EXPECT_EQ(raw.size(), 1u);
    EXPECT_EQ(logText(), "");
}

// The line that would pass either limit is logged once; it and every later line are refused.
// Records of a default run hold 64 MiB exactly.
TEST_F(RawTrafficFilesTest, FullRecordIsLoggedOnceAndRefusesEveryLaterLine) {
    const QByteArray halfOf64MiB(32 << 20, 'x');
    struct Case {
        RawData raw;
        QByteArray line;
        int tried;
        int kept;
        const char* why;
    } cases[] = {
        {RawData(), "x", 32770, 32767, "more than 32767 lines"},
        {RawData::withByteLimit(10), "abcd", 4, 2, "more than 10 bytes"},
        {RawData(), halfOf64MiB, 3, 2, "more than 67108864 bytes"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.why);
        QFile::remove(QString::fromLocal8Bit(log.logPath()));
        RawTrafficRecord& record = c.raw[1];
        for (int i = 0; i < c.tried; ++i)
            CreateRawFile(record, c.line, log);
        CreateRawFile(record, "y", log); // would fit, but the record is full
        EXPECT_EQ(record.Count, c.kept);
        EXPECT_EQ(record.Lines, QByteArrayList(c.kept, c.line));
        EXPECT_EQ(logText(), "CreateRawFile, 6, Raw record full: " + QByteArray(c.why) +
                                 "; later lines not recorded, 5/1/2012 2:30:05 PM\r\n");
    }
}

TEST_F(RawTrafficFilesTest, UnwritableFolderIsLoggedAndSkipsTheCleanUp) {
    settings.RawFileFolder = dir.folder() + "missing/";
    CreateRawFile(raw[1], "x", log);
    ExportRawFile(raw[1], settings, log);
    // One line: a clean-up of the missing folder would have logged a second.
    EXPECT_EQ(logText(), "ExportRawFile, 76, Path not found, 5/1/2012 2:30:05 PM\r\n");
    EXPECT_EQ(raw[1].Count, 1);
}

TEST_F(RawTrafficFilesTest, ExportCleansTheRawFolderByRealCreationDates) {
    settings.ErrorLogFolder = settings.RawFileFolder;
    test::writeBytes(settings.RawFileFolder + "notes.txt", "mine");
    test::writeBytes(settings.RawFileFolder + "X_1_01-01-2000-000000.dat", "old");
    // Forty days on, every file written today is past the thirty days kept.
    clock.setWall(QDateTime::currentDateTime().addDays(40));
    log.WriteErrorLog("ExportRawFile", 0, "marker");
    ExportRawFile(raw[1], settings, log);
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
