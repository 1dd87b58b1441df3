// The real program fed hostile input over the wire by an instrument the test plays: a flood
// without EOT and batches far wider than the cell budget cost bounded memory and never hold the
// replies up for long.

#include "integration/ProgramFixture.h"

#include <QElapsedTimer>
#include <QTest>

namespace znr {
namespace {

using namespace test;

// The receive buffer is bounded at 1 MiB, and the cell budget bounds a batch's table; the
// replies must never be held up for long. Under AddressSanitizer freed blocks stay in its
// quarantine and every step is slower, so that build gets wider bounds.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kSlack = 5;
#else
constexpr qint64 kSlack = 1;
#endif
constexpr qint64 MiB = 1 << 20;

struct HostileInput : ServedProgramFixture {};

TEST_F(HostileInput, FloodsAndWideBatchesAreCutInBoundedMemoryAndTheLinkGoesOn) {
    const qint64 peakBefore = program.peakResidentKiB();
    ASSERT_GT(peakBefore, 0);
    const QByteArray chunk(64 * 1024, 'x');
    for (qint64 sent = 0; sent < 10 * MiB; sent += chunk.size())
        ASSERT_TRUE(instrument.send(chunk));
    // Every overflow discards what the buffer held past 1 MiB (its log line is replayed in the
    // unit suite): at most 1 MiB of the flood stays behind.
    const QByteArray overflow = "Receive buffer overflow: ";
    const auto discarded = [&] {
        qint64 bytes = 0;
        for (const QByteArray& line : program.logLines())
            if (const qsizetype at = line.indexOf(overflow); at >= 0)
                bytes += line.mid(at + overflow.size()).split(' ').value(0).toLongLong();
        return bytes;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return discarded() >= 9 * MiB; }, 60000)) << discarded();
    EXPECT_LE(discarded(), 10 * MiB);
    EXPECT_LT(program.peakResidentKiB() - peakBefore, 30 * 1024 * kSlack)
        << "peak RSS grew from " << peakBefore << " KiB";

    // 45 KB of frames (20,000 empty codes, 3,000 empty reading rows) once asked for a table of
    // 60 million cells. The batch stops at the cell budget with one log line, whichever of
    // codes and rows comes first (what is filed is replayed in the unit suite).
    const QByteArray wideCodes = wireFrame("STB", "X100" + QByteArray(20000, ','));
    const QByteArray emptyRows = wireFrame("DAT", "").repeated(3000);
    const std::pair<QByteArray, QByteArray> wide[] = {{"CDS1", wideCodes + emptyRows},
                                                      {"ROW1", emptyRows + wideCodes}};
    qint64 acks = instrument.acks();
    for (const auto& [id, body] : wide) {
        ASSERT_TRUE(instrument.send(
            wireFrame("IST", "RUN MODE,a,b," + id + ",x") + body + wireFrame("ENB", "0"), 60000));
        QElapsedTimer gap; // the longest wait for the next of the batch's 3003 ACK8
        gap.start();
        qint64 longestMs = 0;
        for (acks += 3003; instrument.acks() < acks;) {
            ASSERT_TRUE(instrument.waitForAcks(instrument.acks() + 1, 30000)) << "replies stopped";
            longestMs = std::max(longestMs, gap.restart());
        }
        EXPECT_LT(longestMs, 1000 * kSlack);
        EXPECT_EQ(filesStartingWith(program.dataFolder(), id + " ").size(), 1);
    }
    playBatch("NEXT");
    EXPECT_EQ(filesStartingWith(program.dataFolder(), "NEXT ").size(), 1);
    const QByteArray cellBudget = "ParseString, 6, Overflow: more than 4194304 cells (rows x "
                                  "codes) in one batch; the rest of the batch is ignored";
    QByteArrayList entries = logEntries(program);
    EXPECT_LE(entries.removeIf([&](const QByteArray& e) { return e.contains(overflow); }), 10);
    EXPECT_EQ(entries, QByteArrayList(2, cellBudget));
    EXPECT_LT(program.peakResidentKiB(), 100 * 1024 * kSlack);
}

} // namespace
} // namespace znr
