// The real program fed hostile input over the wire by an instrument the test plays: a flood
// without EOT and batches far wider than the cell budget cost bounded memory and never hold the
// replies up for long.

#include "integration/ProgramFixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

namespace znr {
namespace {

using namespace test;

// The receive buffer is bounded at 1 MiB, and the cell budget bounds a batch's table; the
// replies must never be held up for long. Under AddressSanitizer freed blocks stay in its
// quarantine and every step is slower, so that build gets wider bounds.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kFloodGrowthLimitKiB = 96 * 1024;
constexpr qint64 kPeakLimitKiB = 300 * 1024;
constexpr qint64 kLongestAckGapLimitMs = 5000;
#else
constexpr qint64 kFloodGrowthLimitKiB = 30 * 1024;
constexpr qint64 kPeakLimitKiB = 100 * 1024;
constexpr qint64 kLongestAckGapLimitMs = 1000;
#endif
constexpr qint64 MiB = 1 << 20;

// The longest wait for the next ACK8 until `count` came in all, in ms; -1 when they stop coming.
qint64 longestAckGapMs(TestInstrument& instrument, qint64 count) {
    QElapsedTimer gap;
    gap.start();
    qint64 longest = 0;
    for (qint64 seen = instrument.acks(); seen < count; seen = instrument.acks()) {
        if (!instrument.waitForAcks(seen + 1, 30000))
            return -1;
        longest = std::max(longest, gap.restart());
    }
    return longest;
}

struct HostileInput : ServedProgramFixture {};

TEST_F(HostileInput, FloodsAndWideBatchesAreCutInBoundedMemoryAndTheLinkGoesOn) {
    const qint64 peakBefore = program.peakResidentKiB();
    ASSERT_GT(peakBefore, 0);
    const QByteArray chunk(64 * 1024, 'x');
    for (qint64 sent = 0; sent < 10 * MiB; sent += chunk.size())
        ASSERT_TRUE(instrument.send(chunk));
    // Every overflow discards what the buffer held past 1 MiB; at most 1 MiB stays behind.
    const QRegularExpression overflow(QStringLiteral(
        "^frmZNRInterface\\.ZNRSocket_DataArrival, 6, Receive buffer overflow: (\\d+) bytes "
        "without EOT discarded$"));
    qint64 discarded = 0;
    QByteArrayList entries;
    const bool allDiscarded = QTest::qWaitFor(
        [&] {
            discarded = 0;
            entries = logEntries(program);
            for (const QByteArray& entry : entries)
                discarded += overflow.match(QString::fromLatin1(entry)).captured(1).toLongLong();
            return discarded >= 9 * MiB;
        },
        60000);
    EXPECT_TRUE(allDiscarded) << discarded;
    EXPECT_LE(discarded, 10 * MiB);
    EXPECT_TRUE(!entries.isEmpty() && entries.size() <= 10) << entries.join('\n').constData();
    for (const QByteArray& entry : entries)
        EXPECT_TRUE(overflow.match(QString::fromLatin1(entry)).hasMatch()) << entry.constData();
    EXPECT_LT(program.peakResidentKiB() - peakBefore, kFloodGrowthLimitKiB)
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
        const qint64 gapMs = longestAckGapMs(instrument, acks += 3003);
        EXPECT_GE(gapMs, 0) << "the replies stopped";
        EXPECT_LT(gapMs, kLongestAckGapLimitMs);
        EXPECT_EQ(filesStartingWith(program.dataFolder(), id + " ").size(), 1);
    }
    playBatch("NEXT");
    expectThreeRowFile(program.dataFolder(), "NEXT");
    const QByteArray cellBudget = "ParseString, 6, Overflow: more than 4194304 cells (rows x "
                                  "codes) in one batch; the rest of the batch is ignored";
    EXPECT_EQ(logEntries(program).mid(entries.size()), QByteArrayList(2, cellBudget));
    EXPECT_LT(program.peakResidentKiB(), kPeakLimitKiB);
    EXPECT_EQ(instrument.strayBytes(), 0);
}

} // namespace
} // namespace znr
