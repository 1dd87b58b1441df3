// The real program when its data folder vanishes or turns read-only: the batch that meets the
// fault is acknowledged and archived, the failure is logged once, the file written before stays
// as it was, and the next batch after the repair is filed again.

#include "integration/ProgramFixture.h"
#include "support/Mounts.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace znr {
namespace {

using namespace test;

// The data folder removed (true) or bound read-only (false) under the running program.
struct FolderFaults : ServedProgramFixture, ::testing::WithParamInterface<bool> {};

TEST_P(FolderFaults, OnlyTheBatchMeetingTheFaultLosesItsDataFile) {
    const bool removed = GetParam();
    const QByteArray folder = program.dataFolder();
    const QByteArray moved = program.path("Data Files moved/");
    const QByteArray logEntry =
        removed ? "MakeFile, 76, Path not found" : "MakeFile, 70, Permission denied";
    playBatch("F001");
    const QByteArrayList first = listFiles(folder);
    ASSERT_EQ(first.size(), 1);
    const QByteArray firstBytes = readBytes(folder + first[0]);

    QByteArray why;
    std::unique_ptr<ScopedMount> mount;
    if (removed)
        ASSERT_EQ(::rename(folder.chopped(1).constData(), moved.chopped(1).constData()), 0);
    else if (!(mount = ScopedMount::readOnly(folder, &why)))
        GTEST_SKIP() << why.constData();
    playBatch("F002");
    EXPECT_TRUE(program.waitForLogLines(1));
    EXPECT_EQ(logEntries(program), QByteArrayList{logEntry});
    EXPECT_EQ(QDir(QFile::decodeName(folder)).exists(), !removed) << "re-created";
    EXPECT_EQ(filesStartingWith(folder, "F002 ").size(), 0);
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F002_100_").size(), 1);

    if (removed)
        ASSERT_TRUE(QDir().mkdir(QFile::decodeName(folder)));
    else
        ASSERT_TRUE(mount->unmount());
    playBatch("F003");
    EXPECT_EQ(filesStartingWith(folder, "F003 ").size(), 1);
    EXPECT_EQ(logEntries(program), QByteArrayList{logEntry});
    EXPECT_EQ(readBytes((removed ? moved : folder) + first[0]), firstBytes) << "touched";
    EXPECT_TRUE(program.running()) << program.log().constData();
}

INSTANTIATE_TEST_SUITE_P(Data, FolderFaults, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Removed" : "ReadOnly"; });

} // namespace
} // namespace znr
