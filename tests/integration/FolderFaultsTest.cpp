// The real program when its data folder vanishes or turns read-only: the batch end that meets
// the fault is refused with NAK8 and the batch kept, the failure is logged once, the file
// written before stays as it was, and the instrument's resend after the repair files the batch.

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

TEST_P(FolderFaults, BatchEndIsRefusedUntilItsDataFileCanBeWritten) {
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
    QByteArrayList frames = threeRowBatch("F002");
    const QByteArray end = frames.takeLast();
    ASSERT_TRUE(instrument.sendFrames(frames));
    ASSERT_TRUE(instrument.send(end));
    EXPECT_TRUE(QTest::qWaitFor([&] { return instrument.received().endsWith(kNak8); }, 20000));
    EXPECT_TRUE(program.waitForLogLines(1));
    EXPECT_EQ(logEntries(program), QByteArrayList{logEntry});
    EXPECT_EQ(filesStartingWith(folder, "F002 ").size(), 0);

    if (removed)
        ASSERT_TRUE(QDir().mkdir(QFile::decodeName(folder)));
    else
        ASSERT_TRUE(mount->unmount());
    const qint64 acks = instrument.acks();
    ASSERT_TRUE(instrument.send(end) && instrument.waitForAcks(acks + 1));
    EXPECT_EQ(filesStartingWith(folder, "F002 ").size(), 1);
    EXPECT_EQ(filesStartingWith(program.rawFolder(), "F002_100_").size(), 1);
    EXPECT_TRUE(program.waitForLogLines(2));
    EXPECT_TRUE(logEntries(program).value(1).startsWith("MakeFile, 0, Batch filed on attempt 2: "));
    EXPECT_EQ(readBytes((removed ? moved : folder) + first[0]), firstBytes) << "touched";
    EXPECT_TRUE(program.running()) << program.log().constData();
}

INSTANTIATE_TEST_SUITE_P(Data, FolderFaults, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Removed" : "ReadOnly"; });

} // namespace
} // namespace znr
