#include "config/IniFile.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QFile>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace znr {
namespace {

using test::readBytes;
using test::testData;
using test::writeBytes;

struct IniFileTest : ::testing::Test {
    test::TempDir dir;
    AppSettings settings;
    test::FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    QByteArray iniPath = dir.path("ZNRExtractor.ini");
    QString ini = QFile::decodeName(iniPath);

    void SetUp() override { settings.ErrorLogFolder = dir.sub("log"); }
    QByteArray logText() const { return readBytes(settings.ErrorLogFolder + "ZNRError.log"); }
    QByteArray read(const char* section, const char* key) const {
        return ReadINIFile(section, key, ini);
    }
    int write(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
        return WriteINIFile(section, key, value, ini, log);
    }
};

TEST_F(IniFileTest, HandEditedFileReadsByProfileRules) {
    writeBytes(iniPath, testData("config/hand-edited.ini"));
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"DEFAULT", "MODE", "ETHERNET"}, // blanks and tabs around names and value dropped
        {"default", "Mode", "ETHERNET"}, // names without regard to case; first key wins
        {"DEFAULT", "Extra", ""},        // only the first section of a name counts
        {"Files", "DATA", "/data/"},     // LF-only lines
        {"FILES", "Error", "/err/ = x"}, // the value starts after the first "="
        {"\xc4"
         "b",
         "k", "latin"}, // ASCII letters fold, others compare as bytes
        {"\xe4"
         "B",
         "K", ""},                     // no Latin-1 case folding
        {"Empty", "Key2", ""},         // present but empty
        {"Empty", "novalue line", ""}, // a line without "=" is no key
        {"Empty", ";Key", ""},         // comments are no keys
        {"Empty", "", ""},
        {"", "stray", ""}, // lines before any section belong to none
        {"Missing", "MODE", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST_F(IniFileTest, WritesChangeOnlyTheirLinesAndKeepEveryOtherByte) {
    writeBytes(iniPath, testData("config/hand-edited.ini"));
    EXPECT_NE(write("default", "mode", "SERIAL"), 0);   // replaced in place, first section
    EXPECT_NE(write("DEFAULT", "Extra", "x"), 0);       // added to the first [DEFAULT]
    EXPECT_NE(write("FILES", "RawFile", "/raw/"), 0);   // after the last key, not the end
    EXPECT_NE(write("EMPTY", "Key", "v"), 0);           // a commented-out key is not it
    EXPECT_NE(write(" NEW SECTION ", "Key", "new"), 0); // a new section at the end
    EXPECT_EQ(readBytes(iniPath), testData("config/hand-edited-after-writes.ini"));
    EXPECT_EQ(read("DEFAULT", "MODE"), "SERIAL");
    EXPECT_EQ(read("new section", "KEY"), "new");
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(IniFileTest, LongValueReadsAsItsFirst127Characters) {
    QByteArray value;
    for (int i = 0; i < 130; ++i)
        value += char('a' + i % 26);
    ASSERT_NE(write("LICENSE", "COMPANY", value), 0);
    EXPECT_EQ(read("LICENSE", "COMPANY"), value.left(127));
    EXPECT_TRUE(readBytes(iniPath).contains(value)); // the file keeps all of it
}

TEST_F(IniFileTest, ControlCharactersInValuesSurviveWriteAndRead) {
    QByteArray value;
    for (int c = 1; c < 32; ++c)
        if (c != '\r' && c != '\n')
            value += char(c);
    value += "\x7f\x80\xfe\xff";
    value += char(0x1f);
    ASSERT_NE(write("ADMIN", "PASSWORD", value), 0);
    EXPECT_EQ(read("ADMIN", "PASSWORD"), value);
}

TEST_F(IniFileTest, LineEndsInNamesOrValueAreRefusedAndNothingChanges) {
    const QByteArray before = "[ADMIN]\r\nPASSWORD=old\r\n";
    writeBytes(iniPath, before);
    EXPECT_EQ(write("ADMIN", "PASSWORD", "x\r\n[ADMIN]\r\nPASSWORD=forged"), 0);
    EXPECT_EQ(write("ADMIN", "PASS\nWORD", "x"), 0);
    EXPECT_EQ(write("AD]MIN", "PASSWORD", "x"), 0);
    EXPECT_EQ(write("ADMIN", "A=B", "x"), 0);
    EXPECT_EQ(write("", "PASSWORD", "x"), 0);
    EXPECT_EQ(readBytes(iniPath), before);
    EXPECT_EQ(logText().count("WriteINIFile, 5, Invalid procedure call or argument, "), 5);
}

TEST_F(IniFileTest, MissingFileIsCreatedWithCrLfLines) {
    EXPECT_EQ(read("ZNR NUM ETHERNET", "ZNRs"), "");
    ASSERT_NE(write("ZNR NUM ETHERNET", "ZNRs", " 1"), 0);
    EXPECT_EQ(readBytes(iniPath), "[ZNR NUM ETHERNET]\r\nZNRs= 1\r\n");
    EXPECT_EQ(read("ZNR NUM ETHERNET", "ZNRs"), "1");
}

TEST_F(IniFileTest, UnterminatedLastLineIsEndedBeforeAnythingFollowsIt) {
    writeBytes(iniPath, "[A]\r\nx=1");
    ASSERT_NE(write("B", "y", "2"), 0);
    EXPECT_EQ(readBytes(iniPath), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");

    writeBytes(iniPath, "[A]\nx=1");
    ASSERT_NE(write("a", "z", "3"), 0);
    EXPECT_EQ(readBytes(iniPath), "[A]\nx=1\r\nz=3\r\n");

    writeBytes(iniPath, "[A]\nx=1");
    ASSERT_NE(write("A", "X", "4"), 0);
    EXPECT_EQ(readBytes(iniPath), "[A]\nx=4\r\n");
}

// A file cut off right after the CR of its last line end: the CR already counts as the line's
// end, so only LF completes it, and the value of the last key stays as it read before.
TEST_F(IniFileTest, LastLineEndingInALoneCrIsCompletedWithLfOnly) {
    writeBytes(iniPath, "[A]\r\nx=1\r");
    ASSERT_NE(write("A", "y", "2"), 0);
    EXPECT_EQ(readBytes(iniPath), "[A]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(read("A", "x"), "1");

    writeBytes(iniPath, "[A]\r\nx=\r");
    ASSERT_NE(write("B", "y", "2"), 0);
    EXPECT_EQ(readBytes(iniPath), "[A]\r\nx=\r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(read("A", "x"), "");
}

TEST_F(IniFileTest, KeyAddedToAnEarlierSectionStaysInIt) {
    writeBytes(iniPath, "[FIRST]\r\na=1\r\n\r\n[SECOND]\r\nb=2\r\n");
    ASSERT_NE(write("FIRST", "c", "3"), 0);
    EXPECT_EQ(readBytes(iniPath), "[FIRST]\r\na=1\r\nc=3\r\n\r\n[SECOND]\r\nb=2\r\n");
    ASSERT_NE(write("SECOND", "d", "4"), 0);
    EXPECT_EQ(readBytes(iniPath), "[FIRST]\r\na=1\r\nc=3\r\n\r\n[SECOND]\r\nb=2\r\nd=4\r\n");
}

TEST_F(IniFileTest, UnreadableOrOddFilesReadAsEmpty) {
    QByteArray binary;
    for (int i = 0; i < 1024; ++i)
        binary += char(i * 7 % 256);
    writeBytes(iniPath, binary);
    EXPECT_EQ(read("DEFAULT", "MODE"), "");
    EXPECT_EQ(ReadINIFile("DEFAULT", "MODE", QFile::decodeName(dir.folder())), ""); // a folder
    EXPECT_EQ(ReadINIFile("DEFAULT", "MODE", QStringLiteral("/dev/zero")), "");     // a device
    EXPECT_EQ(ReadINIFile("DEFAULT", "MODE", QString()), "");
}

TEST_F(IniFileTest, ReplacingKeepsPermissionsAndFollowsALink) {
    const QByteArray real = dir.path("real.ini");
    writeBytes(real, "[A]\r\nx=1\r\n");
    ASSERT_EQ(::chmod(real.constData(), 0640), 0);
    ASSERT_EQ(::symlink(real.constData(), iniPath.constData()), 0);
    ASSERT_NE(write("A", "x", "2"), 0);
    struct stat st {};
    ASSERT_EQ(::lstat(iniPath.constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(real), "[A]\r\nx=2\r\n");
    EXPECT_EQ(test::listFiles(dir.folder()), QByteArrayList({"ZNRExtractor.ini", "real.ini"}));
}

// Lets the process write files of at most `bytes` bytes while it lives (works as root too,
// unlike a read-only folder); a write past it fails with EFBIG instead of raising a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        oldSignal_ = ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldSignal_);
    }

private:
    rlimit old_{};
    sighandler_t oldSignal_;
};

TEST_F(IniFileTest, FailedWriteLeavesTheOldFileWholeAndLogsOnce) {
    const QByteArray before = "[LICENSE]\r\nCOMPANY=Acme\r\n";
    writeBytes(iniPath, before);
    int result = -1;
    {
        FileSizeLimit limit(100);
        result = write("LICENSE", "COMPANY", QByteArray(200, 'x'));
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readBytes(iniPath), before);
    EXPECT_EQ(test::listFiles(dir.folder()), QByteArrayList({"ZNRExtractor.ini"})); // no leftovers
    EXPECT_EQ(logText().count("\r\n"), 1);
    EXPECT_TRUE(logText().startsWith("WriteINIFile, ")) << logText().constData();
}

// Runs `body` in a child process as a user without privileges (nobody, when this is root) and
// gives its exit code.
template <class Body> int exitCodeAsUnprivileged(Body body) {
    const passwd* nobody = ::getpwnam("nobody");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped =
            ::geteuid() != 0 || (nobody && ::setgroups(0, nullptr) == 0 &&
                                 ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0);
        ::_exit(dropped ? body() : 100);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                             : -1;
}

TEST_F(IniFileTest, WritableFileInAFolderThatTakesNoNewFilesIsRewrittenInPlace) {
    if (::geteuid() == 0 && !::getpwnam("nobody"))
        GTEST_SKIP() << "no user 'nobody' to run the write without privileges";
    writeBytes(iniPath, "[A]\r\nx=1\r\n");
    struct stat before {};
    ASSERT_EQ(::chmod(iniPath.constData(), 0666), 0);
    ASSERT_EQ(::chmod(dir.folder().constData(), 0555), 0);
    ASSERT_EQ(::stat(iniPath.constData(), &before), 0);
    // The first write succeeds; the second, refused by a file size limit, leaves the file whole.
    const int code = exitCodeAsUnprivileged([this] {
        const int written = write("A", "x", "2");
        FileSizeLimit limit(12);
        return written + 2 * write("A", "x", "longer than the limit");
    });
    ::chmod(dir.folder().constData(), 0700);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(readBytes(iniPath), "[A]\r\nx=2\r\n");
    struct stat after {};
    ASSERT_EQ(::stat(iniPath.constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(test::listFiles(dir.folder()), QByteArrayList({"ZNRExtractor.ini"}));
}

TEST_F(IniFileTest, FolderOrDeviceInPlaceOfTheFileIsNotReplaced) {
    const QString folder = QFile::decodeName(dir.sub("ini-is-a-folder"));
    EXPECT_EQ(WriteINIFile("A", "x", "1", folder, log), 0);
    EXPECT_EQ(WriteINIFile("A", "x", "1", QStringLiteral("/dev/null"), log), 0);
    EXPECT_EQ(WriteINIFile("A", "x", "1", QFile::decodeName(dir.path("missing/x.ini")), log), 0);
    EXPECT_EQ(logText().count("WriteINIFile, "), 3);
    EXPECT_EQ(logText().count("WriteINIFile, 76, Path not found, "), 1);
    EXPECT_TRUE(test::listFiles(QFile::encodeName(folder)).isEmpty());
}

// One reader over the whole of a start-up gives, read after read, what ReadINIFile gives at that
// moment, whatever happened to the file in between.
TEST_F(IniFileTest, ReaderGivesWhatEachReadOfTheFileGivesAtThatMoment) {
    IniFileReader reader(ini);
    auto same = [&](const char* section, const char* key) {
        SCOPED_TRACE(std::string(section) + "/" + key);
        EXPECT_EQ(reader.read(section, key), read(section, key));
    };
    same("DEFAULT", "MODE"); // no file yet
    writeBytes(iniPath, testData("config/hand-edited.ini"));
    same("DEFAULT", "MODE");
    same("default", "Mode");
    same("DEFAULT", "Extra");
    same("NOWHERE", "MODE");
    ASSERT_EQ(write("DEFAULT", "MODE", "SERIAL"), 1); // replaced by a new file
    same("DEFAULT", "MODE");
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

// An unchanged file keeps giving its values, also once its stamps are old enough to be trusted.
TEST_F(IniFileTest, ReaderKeepsReadingAnUnchangedOldFile) {
    writeBytes(iniPath, "[A]\r\nK=1\r\n[B]\r\nL=2\r\n");
    const timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, iniPath.constData(), old, 0), 0);
    ::usleep(150'000); // the change time set just now becomes old enough as well
    IniFileReader reader(ini);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reader.read("A", "K"), "1");
        EXPECT_EQ(reader.read("b", "l"), "2");
    }
    ASSERT_EQ(write("A", "K", "3"), 1);
    EXPECT_EQ(reader.read("A", "K"), "3");
}

} // namespace
} // namespace znr
