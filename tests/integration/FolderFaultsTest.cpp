// The real program when its folders vanish, turn read-only or fill up: the batch that meets the
// fault is acknowledged, the failure is logged once, the files written before stay as they
// were, and the next batch after the repair is filed again.

#include "integration/ProgramFixture.h"
#include "support/Mounts.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace znr {
namespace {

using namespace test;

// Fills the file system of `path` to the last byte.
bool fillUp(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const QByteArray block(4096, 'f');
    ssize_t n = 0;
    while (fd >= 0 && (n = ::write(fd, block.constData(), size_t(block.size()))) > 0) {
    }
    const bool full = fd >= 0 && n < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}

QMap<QByteArray, QByteArray> filesIn(const QByteArray& folder) {
    QMap<QByteArray, QByteArray> files;
    for (const QByteArray& name : listFiles(folder))
        files[name] = readBytes(folder + name);
    return files;
}

enum class Fault { Removed, ReadOnly, Full };

struct FolderFault {
    const char* name;
    const char* folder;
    Fault fault;
    const char* logEntry;
    friend void PrintTo(const FolderFault& f, std::ostream* out) { *out << f.name; }
};

struct FolderFaults : ServedProgramFixture, ::testing::WithParamInterface<FolderFault> {};

TEST_P(FolderFaults, OnlyTheBatchMeetingTheFaultLosesItsFileInThatFolder) {
    const FolderFault& f = GetParam();
    const QByteArray folder = program.path(f.folder);
    const QByteArray moved = folder.chopped(1) + " moved/";
    const bool dataFault = folder == program.dataFolder();
    QByteArray why;
    std::unique_ptr<ScopedMount> mount;
    if (f.fault == Fault::Full && !(mount = ScopedMount::tmpfs(folder, "64k", &why)))
        GTEST_SKIP() << why.constData();
    playBatch("F001");
    const auto before = filesIn(folder);
    ASSERT_EQ(before.size(), 1);

    switch (f.fault) {
    case Fault::Removed:
        ASSERT_EQ(::rename(folder.chopped(1).constData(), moved.chopped(1).constData()), 0);
        break;
    case Fault::ReadOnly:
        if (!(mount = ScopedMount::readOnly(folder, &why)))
            GTEST_SKIP() << why.constData();
        break;
    case Fault::Full:
        ASSERT_TRUE(fillUp(folder + "filler"));
    }
    playBatch("F002");
    EXPECT_TRUE(program.waitForLogLines(1));
    EXPECT_EQ(logEntries(program), QByteArrayList{f.logEntry});
    EXPECT_EQ(QDir(QFile::decodeName(folder)).exists(), f.fault != Fault::Removed) << "re-created";
    // A refused data file is cut back to its last complete line: here, nothing.
    for (const QByteArray& name : filesStartingWith(folder, "F002"))
        EXPECT_EQ(readBytes(folder + name), QByteArray()) << name.constData();
    if (folder == program.rawFolder())
        expectThreeRowFile(program.dataFolder(), "F002");
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F002_100_").size(), dataFault ? 1 : 0);

    switch (f.fault) {
    case Fault::Removed:
        ASSERT_TRUE(QDir().mkdir(QFile::decodeName(folder)));
        break;
    case Fault::ReadOnly:
        ASSERT_TRUE(mount->unmount());
        break;
    case Fault::Full:
        ASSERT_TRUE(QFile::remove(QFile::decodeName(folder + "filler")));
    }
    playBatch("F003");
    expectThreeRowFile(program.dataFolder(), "F003");
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F003_100_").size(), 1);
    EXPECT_EQ(logEntries(program), QByteArrayList{f.logEntry});
    const auto after = filesIn(f.fault == Fault::Removed ? moved : folder);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value()) << it.key().constData();
    EXPECT_TRUE(program.running()) << program.output().constData();
}

INSTANTIATE_TEST_SUITE_P(Faults, FolderFaults,
                         ::testing::Values(FolderFault{"DataRemoved", "Data Files/", Fault::Removed,
                                                       "MakeFile, 76, Path not found"},
                                           FolderFault{"DataReadOnly", "Data Files/",
                                                       Fault::ReadOnly,
                                                       "MakeFile, 70, Permission denied"},
                                           FolderFault{"DataFull", "Data Files/", Fault::Full,
                                                       "MakeFile, 61, Disk full"},
                                           FolderFault{"RawRemoved", "Raw Files/", Fault::Removed,
                                                       "ExportRawFile, 76, Path not found"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ErrorLogFolder : ServedProgramFixture {};

TEST_F(ErrorLogFolder, MissingFolderLosesOnlyTheLogLines) {
    playBatch("E001", "ERR");
    ASSERT_TRUE(program.waitForLogLines(1));
    const QByteArray firstLog = readBytes(program.errorLogFolder() + "ZNRError.log");
    EXPECT_EQ(logEntries(program), QByteArrayList{"ZNR Error, 1,E17"});
    const QByteArray moved = program.path("Error Log moved");
    ASSERT_EQ(::rename(program.errorLogFolder().chopped(1).constData(), moved.constData()), 0);

    // An instrument error and a reading that is no number: neither can be logged.
    playBatch("E002", "ERR");
    ASSERT_TRUE(instrument.sendFrames({wireFrame("DAT", "1,zz")}));
    expectThreeRowFile(program.dataFolder(), "E002");
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "E002_100_").size(), 1);
    EXPECT_FALSE(QDir(QFile::decodeName(program.errorLogFolder())).exists());

    ASSERT_TRUE(QDir().mkdir(QFile::decodeName(program.errorLogFolder())));
    playBatch("E003", "ERR");
    expectThreeRowFile(program.dataFolder(), "E003");
    EXPECT_TRUE(program.waitForLogLines(1));
    EXPECT_EQ(logEntries(program), QByteArrayList{"ZNR Error, 1,E17"});
    EXPECT_EQ(readBytes(moved + "/ZNRError.log"), firstLog);
}

} // namespace
} // namespace znr
