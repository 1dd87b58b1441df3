// The real program when its data folder vanishes, turns read-only or fills up: the batch end that
// meets the fault is refused with NAK8 and kept, its failure logged once however often it is
// resent; after the repair the resend files it exactly once, and the file written before stays.

#include "integration/ProgramFixture.h"
#include "support/Mounts.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace znr {
namespace {

using namespace test;

enum class Fault { Removed, ReadOnly, DiskFull };
const char* const kFaultNames[] = {"Removed", "ReadOnly", "DiskFull"};

struct FolderFaults : ServedProgramFixture, ::testing::WithParamInterface<Fault> {};

TEST_P(FolderFaults, TheRefusedBatchIsFiledOnceByTheResendAfterTheRepair) {
    const Fault fault = GetParam();
    const QByteArray folder = program.dataFolder();
    const QByteArray moved = program.path("Data Files moved/");
    const QByteArray ballast = folder + "ballast";
    const QByteArray logEntry =
        QByteArrayList{"MakeFile, 76, Path not found", "MakeFile, 70, Permission denied",
                       "MakeFile, 61, Disk full"}[int(fault)];
    playBatch("F001");
    const QByteArrayList first = listFiles(folder);
    ASSERT_EQ(first.size(), 1);
    const QByteArray firstBytes = readBytes(folder + first[0]);

    QByteArray why;
    std::unique_ptr<ScopedMount> mount;
    if (fault == Fault::Removed)
        ASSERT_EQ(::rename(folder.chopped(1).constData(), moved.chopped(1).constData()), 0);
    else if (!(mount = fault == Fault::ReadOnly ? ScopedMount::readOnly(folder, &why)
                                                : ScopedMount::fullTmpfs(folder, ballast, &why)))
        GTEST_SKIP() << why.constData();
    const QByteArrayList batch = threeRowBatch("F002");
    ASSERT_TRUE(instrument.sendFrames(batch.mid(0, batch.size() - 1)));
    EXPECT_EQ(instrument.reply(batch.last()), kNak8);
    EXPECT_EQ(instrument.reply(batch.last()), kNak8) << "a resend while the fault lasts";
    EXPECT_TRUE(filesStartingWith(folder, "F002 ").isEmpty());
    EXPECT_EQ(QDir(QFile::decodeName(folder)).exists(), fault != Fault::Removed) << "re-created";

    if (fault == Fault::Removed)
        ASSERT_TRUE(QDir().mkdir(QFile::decodeName(folder)));
    else
        ASSERT_TRUE(fault == Fault::ReadOnly ? mount->unmount()
                                             : QFile::remove(QFile::decodeName(ballast)));
    EXPECT_EQ(instrument.reply(batch.last()), kAck8);
    const QByteArrayList filed = filesStartingWith(folder, "F002 ");
    ASSERT_EQ(filed.size(), 1);
    EXPECT_EQ(readBytes(folder + filed[0]), knownFile("program/refused-batch.dat", filed[0]));
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F002_100_").size(), 1);
    QByteArrayList entries{logEntry, "MakeFile, 0, Batch filed on attempt 3: " + folder + filed[0]};
    if (fault == Fault::DiskFull) // the 64 KiB disk is below the warning's threshold
        entries.prepend("MakeFile, 0, Low disk space: " + folder.chopped(1) +
                        " has 0 MiB free of 0 MiB");
    ASSERT_TRUE(program.waitForLogLines(int(entries.size())));
    EXPECT_EQ(logEntries(program), entries);

    EXPECT_TRUE(!mount || mount->unmount());
    EXPECT_EQ(readBytes((fault == Fault::Removed ? moved : folder) + first[0]), firstBytes);
    EXPECT_TRUE(program.running()) << program.log().constData();
}

INSTANTIATE_TEST_SUITE_P(Data, FolderFaults,
                         ::testing::Values(Fault::Removed, Fault::ReadOnly, Fault::DiskFull),
                         [](const auto& info) { return kFaultNames[int(info.param)]; });

} // namespace
} // namespace znr
