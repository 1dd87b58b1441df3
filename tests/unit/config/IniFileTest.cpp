#include "config/IniFile.h"

#include "unit/config/ConfigFixture.h"

#include <sys/stat.h>
#include <unistd.h>

namespace znr {
namespace {

using test::readBytes;
using test::testData;
using test::writeBytes;

struct IniFileTest : test::ConfigFixture {
    QString file = QFile::decodeName(iniPath);
    QByteArray read(const QByteArray& section, const QByteArray& key) const {
        return readIniValue(section, key, file);
    }
    int write(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
        return writeIniValue(section, key, value, file, log);
    }
    QByteArrayList files() const { return test::listFiles(dir.folder()); }
};

TEST_F(IniFileTest, HandEditedFileReadsByProfileRules) {
    writeBytes(iniPath, testData("config/hand-edited.ini"));
    for (const QByteArrayList& row : test::caseTable("config/ini-reads.txt"))
        EXPECT_EQ(read(row[0], row[1]), row[2]) << row[0].constData() << "/" << row[1].constData();
}

TEST_F(IniFileTest, WritesChangeOnlyTheirLinesAndKeepEveryOtherByte) {
    writeBytes(iniPath, testData("config/hand-edited.ini"));
    EXPECT_EQ(write("default", "mode", "SERIAL"), 1);   // replaced in place, first section
    EXPECT_EQ(write("DEFAULT", "Extra", "x"), 1);       // added to the first [DEFAULT]
    EXPECT_EQ(write("FILES", "RawFile", "/raw/"), 1);   // after the last key, not the end
    EXPECT_EQ(write("EMPTY", "Key", "v"), 1);           // a commented-out key is not it
    EXPECT_EQ(write(" NEW SECTION ", "Key", "new"), 1); // a new section at the end
    EXPECT_EQ(ini(), testData("config/hand-edited-after-writes.ini"));
    EXPECT_EQ(read("new section", "KEY"), "new");
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(IniFileTest, EachWriteOfTheTableGivesItsFileAndReadsBack) {
    for (const QByteArrayList& row : test::caseTable("config/ini-writes.txt")) {
        SCOPED_TRACE(row.join('|').toStdString());
        ASSERT_EQ(row.size(), 7);
        QFile::remove(file);
        if (row[0] != "-")
            writeBytes(iniPath, row[0]);
        clearLog();
        EXPECT_EQ(write(row[1], row[2], row[3]), row[4].toInt());
        EXPECT_EQ(ini(), row[5]);
        EXPECT_EQ(read(row[1], row[2]), row[6]);
        EXPECT_EQ(logText().startsWith("WriteINIFile, 5, Invalid procedure call or argument, "),
                  row[4] == "0");
    }
}

// A binary file reads as empty; a folder, a device or a missing folder in place of the file
// reads as empty and is not written.
TEST_F(IniFileTest, OddFilesReadAsEmptyAndAreNotReplaced) {
    writeBytes(iniPath, QByteArray(1024, '\xfe'));
    EXPECT_EQ(read("DEFAULT", "MODE"), "");
    const QString folder = QFile::decodeName(dir.sub("ini-is-a-folder"));
    const QString missing = QFile::decodeName(dir.path("missing/x.ini"));
    for (const QString& odd :
         {folder, QStringLiteral("/dev/zero"), QStringLiteral("/dev/null"), missing, QString()}) {
        EXPECT_EQ(readIniValue("DEFAULT", "MODE", odd), "") << odd.toStdString();
        EXPECT_EQ(writeIniValue("A", "x", "1", odd, log), 0) << odd.toStdString();
    }
    EXPECT_EQ(logText().count("WriteINIFile, "), 5);
    EXPECT_EQ(logText().count("WriteINIFile, 76, Path not found, "), 1);
    EXPECT_TRUE(test::listFiles(QFile::encodeName(folder)).isEmpty());
}

// A write replaces the file the INI path links to, with its permissions.
TEST_F(IniFileTest, ReplacingKeepsPermissionsAndFollowsALink) {
    const QByteArray real = dir.path("real.ini");
    writeBytes(real, "[A]\r\nx=1\r\n");
    ASSERT_EQ(::chmod(real.constData(), 0640), 0);
    ASSERT_EQ(::symlink(real.constData(), iniPath.constData()), 0);
    ASSERT_EQ(write("A", "x", "2"), 1);
    struct stat st {};
    ASSERT_EQ(::lstat(iniPath.constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(real), "[A]\r\nx=2\r\n");
}

TEST_F(IniFileTest, FullDiskLeavesTheOldFileWholeAndLogsOnce) {
    const QByteArray before = "[LICENSE]\r\nCOMPANY=Acme\r\n";
    writeBytes(iniPath, before);
    EXPECT_EQ(test::withFileSizeLimit(
                  100, [&] { return write("LICENSE", "COMPANY", QByteArray(200, 'x')); }),
              0);
    EXPECT_EQ(ini(), before);
    EXPECT_EQ(files(), QByteArrayList({"ZNRExtractor.ini"})); // no leftovers
    EXPECT_EQ(logText().count("\r\n"), 1);
    EXPECT_TRUE(logText().startsWith("WriteINIFile, ")) << logText().constData();
}

// One reader over a whole start-up gives, read after read, what readIniValue gives at that
// moment, whatever happened to the file in between.
TEST_F(IniFileTest, ReaderGivesWhatEachReadOfTheFileGivesAtThatMoment) {
    IniFileReader reader(file);
    auto same = [&](const char* section, const char* key) {
        EXPECT_EQ(reader.read(section, key), read(section, key)) << section << "/" << key;
    };
    same("DEFAULT", "MODE"); // no file yet
    writeBytes(iniPath, testData("config/hand-edited.ini"));
    for (const char* key : {"MODE", "Mode", "Extra"})
        same("default", key);
    ASSERT_EQ(write("DEFAULT", "MODE", "SERIAL"), 1); // replaced by a new file
    EXPECT_EQ(reader.read("DEFAULT", "MODE"), "SERIAL");
    // Rewritten in place, same size, at once: the time stamp may not have moved.
    writeBytes(iniPath, "[A]\r\nK=1\r\n");
    EXPECT_EQ(reader.read("A", "K"), "1");
    writeBytes(iniPath, "[A]\r\nK=2\r\n");
    EXPECT_EQ(reader.read("A", "K"), "2");
    ASSERT_EQ(::unlink(iniPath.constData()), 0);
    same("A", "K");
    ASSERT_EQ(::mkdir(iniPath.constData(), 0755), 0); // a folder where the file was
    same("A", "K");
}

} // namespace
} // namespace znr
