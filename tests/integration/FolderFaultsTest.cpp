// The real program when its folders vanish or turn read-only: the batch that meets the fault is
// acknowledged, the failure is logged once, the files written before stay as they were, and the
// next batch after the repair is filed again.

#include "integration/ProgramFixture.h"
#include "support/Mounts.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace znr {
namespace {

using namespace test;

struct FolderFault {
    const char* name;
    const char* folder;
    bool removed; // otherwise bound read-only
    const char* logEntry;
    friend void PrintTo(const FolderFault& f, std::ostream* out) { *out << f.name; }
};

struct FolderFaults : ServedProgramFixture, ::testing::WithParamInterface<FolderFault> {};

TEST_P(FolderFaults, OnlyTheBatchMeetingTheFaultLosesItsFileInThatFolder) {
    const FolderFault& f = GetParam();
    const QByteArray folder = program.path(f.folder);
    const QByteArray moved = folder.chopped(1) + " moved/";
    const bool dataFault = folder == program.dataFolder();
    playBatch("F001");
    const QByteArrayList first = listFiles(folder);
    ASSERT_EQ(first.size(), 1);
    const QByteArray firstBytes = readBytes(folder + first[0]);

    QByteArray why;
    std::unique_ptr<ScopedMount> mount;
    if (f.removed)
        ASSERT_EQ(::rename(folder.chopped(1).constData(), moved.chopped(1).constData()), 0);
    else if (!(mount = ScopedMount::readOnly(folder, &why)))
        GTEST_SKIP() << why.constData();
    playBatch("F002");
    EXPECT_TRUE(program.waitForLogLines(1));
    EXPECT_EQ(logEntries(program), QByteArrayList{f.logEntry});
    EXPECT_EQ(QDir(QFile::decodeName(folder)).exists(), !f.removed) << "re-created";
    // The other folder takes the batch's file.
    EXPECT_EQ(filesStartingWith(program.dataFolder(), "F002 ").size(), dataFault ? 0 : 1);
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F002_100_").size(), dataFault ? 1 : 0);

    if (f.removed)
        ASSERT_TRUE(QDir().mkdir(QFile::decodeName(folder)));
    else
        ASSERT_TRUE(mount->unmount());
    playBatch("F003");
    EXPECT_EQ(filesStartingWith(program.dataFolder(), "F003 ").size(), 1);
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F003_100_").size(), 1);
    EXPECT_EQ(logEntries(program), QByteArrayList{f.logEntry});
    EXPECT_EQ(readBytes((f.removed ? moved : folder) + first[0]), firstBytes) << "touched";
    EXPECT_TRUE(program.running()) << program.output().constData();
}

INSTANTIATE_TEST_SUITE_P(Faults, FolderFaults,
                         ::testing::Values(FolderFault{"DataRemoved", "Data Files/", true,
                                                       "MakeFile, 76, Path not found"},
                                           FolderFault{"DataReadOnly", "Data Files/", false,
                                                       "MakeFile, 70, Permission denied"},
                                           FolderFault{"RawRemoved", "Raw Files/", true,
                                                       "ExportRawFile, 76, Path not found"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace znr
