// Batch ends written as one group, and the warning while the data disk runs low.
#include "protocol/BatchCommit.h"

#include "core/ErrorLog.h"
#include "protocol/BatchEnd.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace znr::test {
namespace {

std::unique_ptr<BatchCommit> commitTo(const QByteArray& path, const QByteArray& id) {
    auto c = std::make_unique<BatchCommit>();
    c->batch.instrumentId = id;
    c->batch.batchCode = "100";
    c->batch.mode = "RUN MODE";
    c->batch.codeList = "W1";
    c->batch.rowCount = 1;
    c->endedAt = FakeClock().now();
    c->dataPath = path;
    return c;
}

// Two batches of one second share a file in the order they ended; a commit that cannot be
// written fails alone and leaves nothing behind.
TEST(BatchCommits, GroupKeepsTheOrderOfASharedFileAndFailsOnlyTheCommitThatCannotBeWritten) {
    TempDir dir;
    const QByteArray shared = dir.path("A 05-01-2012-101530.dat");
    auto a = commitTo(shared, "A"), lost = commitTo(dir.path("gone/A.dat"), "A");
    auto b = commitTo(shared, "B");
    BatchCommit* const group[] = {a.get(), lost.get(), b.get()};
    writeCommits(group);
    EXPECT_TRUE(a->succeeded() && b->succeeded());
    ASSERT_TRUE(lost->dataFailure);
    EXPECT_EQ(lost->dataFailure->number(), FailureNo::PathNotFound);
    EXPECT_EQ(readBytes(shared), "A,100,5/1/2012 10:15:30 AM,1,1\r\nW1\r\n\r\n"
                                 "B,100,5/1/2012 10:15:30 AM,1,1\r\nW1\r\n\r\n");
    EXPECT_EQ(b->batch.filing.data->path, shared);
    EXPECT_EQ(b->batch.filing.data->instrumentId, "B");
    EXPECT_FALSE(lost->batch.filing.data);
    EXPECT_EQ(listFiles(dir.folder()), QByteArrayList{"A 05-01-2012-101530.dat"});
}

// Below 1 % or 100 MiB free, whichever is larger: one line, then none for an hour from the
// same folder.
TEST(LowSpaceWarning, WarnsOncePerFolderAndHourBelowOnePercentOr100MiB) {
    TempDir dir;
    const QByteArray logFolder = dir.folder();
    FakeClock clock;
    ErrorLog log(logFolder, clock);
    LowSpaceWarning warning;
    const struct {
        qint64 afterMs;
        quint64 freeMiB, totalMiB;
        const char* folder;
        int lines; // in the log after the step
    } steps[] = {{0, 100, 10'000, "Data Files", 0},        {0, 99, 5'000, "Data Files", 1},
                 {60'000, 10, 5'000, "Data Files", 1},     {0, 10, 5'000, "Cal Check", 2},
                 {3'539'999, 10, 5'000, "Data Files", 2},  {1, 199, 20'000, "Data Files", 3},
                 {3'600'000, 200, 20'000, "Data Files", 3}};
    for (const auto& s : steps) {
        clock.advanceMs(s.afterMs);
        BatchCommit commit;
        commit.dataPath = "/data/" + QByteArray(s.folder) + "/A.dat";
        commit.freeBytes = s.freeMiB << 20;
        commit.totalBytes = s.totalMiB << 20;
        warning.check(log, commit);
        EXPECT_EQ(readBytes(log.logPath()).count('\n'), s.lines) << s.afterMs;
    }
    EXPECT_TRUE(readBytes(log.logPath())
                    .startsWith("MakeFile, 0, Low disk space: /data/Data Files has 99 MiB free "
                                "of 5000 MiB, 5/1/2012 10:15:30 AM\r\n"));
}

} // namespace
} // namespace znr::test
