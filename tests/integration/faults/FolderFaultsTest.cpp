#include "integration/program/ProgramFixture.h"
#include "support/Mounts.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace znr {
namespace {

using namespace test;

bool renameFolder(const QByteArray& from, const QByteArray& to) {
    return ::rename(from.chopped(1).constData(), to.constData()) == 0;
}

// Fills the file system of `folder` to the last byte.
bool fillUp(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'f');
    ssize_t n = 0;
    while ((n = ::write(fd, block.constData(), size_t(block.size()))) > 0) {
    }
    const int err = errno;
    ::close(fd);
    return n < 0 && err == ENOSPC;
}

// Each fault is met by one batch: it is acknowledged, its failure is logged once, the files
// written before are left as they were, and the next batch after the repair is filed again.
struct FolderFaults : ServedProgramFixture {
    QByteArray firstData;
    QByteArray firstRaw;
    QByteArray firstRawName;

    // Batch F001 filed normally; its files are kept for comparison.
    void playFirstBatch() {
        playBatch("F001");
        expectThreeRowFile(program.dataFolder(), "F001");
        const QByteArrayList data = filesStartingWith(program.dataFolder(), "F001 ");
        const QByteArrayList raw = filesStartingWith(program.rawFolder(), "F001_100_");
        ASSERT_EQ(data.size(), 1);
        ASSERT_EQ(raw.size(), 1);
        firstData = readBytes(program.dataFolder() + data[0]);
        firstRawName = raw[0];
        firstRaw = readBytes(program.rawFolder() + raw[0]);
        ASSERT_TRUE(program.logLines().isEmpty()) << program.logLines().join('\n').constData();
    }

    void expectFirstDataFileIn(const QByteArray& folder) {
        const QByteArrayList data = filesStartingWith(folder, "F001 ");
        ASSERT_EQ(data.size(), 1) << folder.constData();
        EXPECT_EQ(readBytes(folder + data[0]), firstData);
    }

    void expectOnlyLogged(const QByteArrayList& entries) {
        EXPECT_TRUE(program.waitForLogLines(int(entries.size())));
        EXPECT_EQ(logEntries(program), entries);
    }

    // After the repair: batch F003 has its data file and raw file, and nothing more is logged.
    void expectFiledAgain(const QByteArrayList& entriesSoFar) {
        playBatch("F003");
        expectThreeRowFile(program.dataFolder(), "F003");
        EXPECT_EQ(filesStartingWith(program.rawFolder(), "F003_100_").size(), 1);
        EXPECT_EQ(logEntries(program), entriesSoFar);
        EXPECT_TRUE(program.running()) << program.output().constData();
    }
};

TEST_F(FolderFaults, DataFolderRemovedLosesOnlyTheBatchesFiledWhileItIsGone) {
    playFirstBatch();
    const QByteArray moved = program.path("Data Files moved/");
    ASSERT_TRUE(renameFolder(program.dataFolder(), moved.chopped(1)));

    playBatch("F002");
    expectOnlyLogged({"MakeFile, 76, Path not found"});
    EXPECT_FALSE(QDir(QFile::decodeName(program.dataFolder())).exists()) << "not re-created";
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F002_100_").size(), 1);

    ASSERT_TRUE(QDir().mkdir(QFile::decodeName(program.dataFolder())));
    expectFiledAgain({"MakeFile, 76, Path not found"});
    expectFirstDataFileIn(moved);
    EXPECT_TRUE(filesStartingWith(program.dataFolder(), "F002").isEmpty());
    EXPECT_EQ(readBytes(program.rawFolder() + firstRawName), firstRaw);
}

TEST_F(FolderFaults, ReadOnlyDataFolderKeepsItsFilesAndRefusesOnlyNewOnes) {
    playFirstBatch();
    QByteArray why;
    auto readOnly = ScopedMount::readOnly(program.dataFolder(), &why);
    if (!readOnly)
        GTEST_SKIP() << why.constData();

    playBatch("F002");
    expectOnlyLogged({"MakeFile, 70, Permission denied"});
    expectFirstDataFileIn(program.dataFolder());

    ASSERT_TRUE(readOnly->unmount());
    expectFiledAgain({"MakeFile, 70, Permission denied"});
    expectFirstDataFileIn(program.dataFolder());
    EXPECT_TRUE(filesStartingWith(program.dataFolder(), "F002").isEmpty());
}

TEST_F(FolderFaults, FullDiskLeavesNoHalfFileAndEarlierFilesWhole) {
    QByteArray why;
    auto small = ScopedMount::tmpfs(program.dataFolder(), "64k", &why);
    if (!small)
        GTEST_SKIP() << why.constData();
    playFirstBatch();
    ASSERT_TRUE(fillUp(program.dataFolder() + "filler"));

    playBatch("F002");
    expectOnlyLogged({"MakeFile, 61, Disk full"});
    expectFirstDataFileIn(program.dataFolder());
    // The refused file is cut back to its last complete line: here, nothing.
    for (const QByteArray& name : filesStartingWith(program.dataFolder(), "F002"))
        EXPECT_EQ(readBytes(program.dataFolder() + name), QByteArray()) << name.constData();
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F002_100_").size(), 1);

    ASSERT_TRUE(QFile::remove(QFile::decodeName(program.dataFolder() + "filler")));
    expectFiledAgain({"MakeFile, 61, Disk full"});
    expectFirstDataFileIn(program.dataFolder());
}

TEST_F(FolderFaults, MissingRawFolderCostsOnlyTheRawFiles) {
    playFirstBatch();
    const QByteArray moved = program.path("Raw Files moved/");
    ASSERT_TRUE(renameFolder(program.rawFolder(), moved.chopped(1)));

    playBatch("F002");
    expectOnlyLogged({"ExportRawFile, 76, Path not found"});
    expectThreeRowFile(program.dataFolder(), "F002");

    ASSERT_TRUE(QDir().mkdir(QFile::decodeName(program.rawFolder())));
    expectFiledAgain({"ExportRawFile, 76, Path not found"});
    EXPECT_EQ(readBytes(moved + firstRawName), firstRaw);
    EXPECT_EQ(listFiles(program.rawFolder()).size(), 1) << "only F003's";
    expectFirstDataFileIn(program.dataFolder());
}

TEST_F(FolderFaults, MissingErrorLogFolderLosesOnlyTheLogLines) {
    playBatch("E001", "ERR");
    ASSERT_TRUE(program.waitForLogLines(1));
    const QByteArray firstLog = readBytes(program.errorLogFolder() + "ZNRError.log");
    EXPECT_EQ(logEntries(program), QByteArrayList{"ZNR Error, 1,E17"});
    const QByteArray moved = program.path("Error Log moved/");
    ASSERT_TRUE(renameFolder(program.errorLogFolder(), moved.chopped(1)));

    // An instrument error and a reading that is no number: neither can be logged.
    playBatch("E002", "ERR");
    ASSERT_TRUE(instrument.sendFrames({wireFrame("DAT", "1,zz")}));
    expectThreeRowFile(program.dataFolder(), "E002");
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "E002_100_").size(), 1);
    EXPECT_FALSE(fileExists(program.errorLogFolder() + "ZNRError.log"));
    EXPECT_FALSE(QDir(QFile::decodeName(program.errorLogFolder())).exists());

    ASSERT_TRUE(QDir().mkdir(QFile::decodeName(program.errorLogFolder())));
    playBatch("E003", "ERR");
    expectThreeRowFile(program.dataFolder(), "E003");
    EXPECT_TRUE(program.waitForLogLines(1));
    EXPECT_EQ(logEntries(program), QByteArrayList{"ZNR Error, 1,E17"});
    EXPECT_EQ(readBytes(moved + "ZNRError.log"), firstLog);
    EXPECT_TRUE(program.running()) << program.output().constData();
}

} // namespace
} // namespace znr
