// The simulator that plays the instruments in the end-to-end tests: its arguments, its frames
// and stop-and-wait pace, its expected files (known answers), its burst and replay after a
// disconnect, and its serial link.

#include "support/ProgramChecks.h"
#include "support/Pty.h"
#include "support/TempDir.h"
#include "support/TestInstrument.h"

#include <QTest>
#include <gtest/gtest.h>

namespace znr {
namespace {

using namespace test;

QStringList words(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Acknowledges `count` frames one by one; the frames taken.
QByteArrayList play(TestInstrument& program, int count) {
    QByteArrayList frames;
    for (std::optional<QByteArray> f; frames.size() < count && (f = program.nextFrame());) {
        frames.append(*f);
        program.send(kAck8);
    }
    return frames;
}

TEST(ZnrSim, BadArgumentsExitTwoWithAMessage) {
    for (const char* arguments :
         {"", "--bogus", "--listen x", "--listen 70000", "--listen 1 --pty /tmp/l",
          "--listen 1 --mode WALK", "--listen 1 --end EOB", "--listen 1 --fragment 0",
          "--listen 1 --codes W1,,D1", "--listen 1 --burst --late 6000", "--listen 1 stray",
          "--serial /dev/null --settings 9600,n,8,1.5"}) {
        Sim sim(words(arguments));
        ASSERT_TRUE(sim.waitForExit()) << arguments;
        EXPECT_EQ(sim.exitCode(), 2) << arguments;
        EXPECT_TRUE(sim.err().startsWith("znr-sim: ")) << arguments << sim.err().constData();
    }
}

// Batches of seed 353 are played only after the greeting, one frame per ACK8, and their
// expected files in both layouts are the known answers.
TEST(ZnrSim, BatchIsPlayedStopAndWaitAndItsExpectedFilesAreTheKnownAnswers) {
    TempDir dir;
    const QByteArrayList runFrames{
        wireFrame("IST", "RUN MODE,a,b,1234,x"), wireFrame("STB", "X100,W1,D1"),
        wireFrame("DAT", "1,81.1540,0.9988"),    wireFrame("DAT", "2,-4.8329,58.8315"),
        wireFrame("DAT", "3,-1.3264,76.5300"),   wireFrame("ERR", "A2CD,E17")};
    const struct {
        QStringList arguments;
        int frames;
        qsizetype at; // of the frame checked
        QByteArray frame;
        const char* known;
    } cases[] = {{args({"--end", "ERR"}), 6, -1, {}, "sim/run-seed353"},
                 {args({"--mode", "CAL. CHECK", "--codes", "W1,D1,T3"}), 11, 5,
                  wireFrame("STB", "X100,D1"), "sim/cal-seed353"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.known);
        const QByteArray expect = dir.path(c.known);
        Sim sim(c.arguments + args({"--listen", "0", "--seed", "353", "--stats", "--expect-dir",
                                    expect.constData()}));
        TestInstrument program;
        ASSERT_TRUE(program.connectTo(sim.waitForPort())) << sim.diagnostics().constData();
        EXPECT_TRUE(program.quietFor(200)) << "spoke before the greeting";
        program.send(kAck8);
        const std::optional<QByteArray> first = program.nextFrame();
        ASSERT_TRUE(first.has_value());
        EXPECT_TRUE(program.quietFor(200)) << "sent before the ACK8";
        program.send(kAck8);
        const QByteArrayList frames = QByteArrayList{*first} + play(program, c.frames - 1);
        EXPECT_EQ(c.at < 0 ? frames : QByteArrayList{frames.value(c.at)},
                  c.at < 0 ? runFrames : QByteArrayList{c.frame});
        ASSERT_TRUE(sim.finishes()) << sim.diagnostics().constData();
        const QByteArray stats =
            "ACK8 received: " + QByteArray::number(c.frames + 1) + " (greetings: 1)";
        EXPECT_TRUE(sim.out().contains(stats)) << sim.out().constData();
        for (const char* layout : {"column", "row"}) {
            const QByteArray folder = expect + (layout[0] == 'c' ? "/COLUMN/" : "/ROW/");
            const QByteArrayList names = listFiles(folder);
            ASSERT_EQ(names.size(), 1) << folder.constData();
            EXPECT_TRUE(names[0].startsWith("1234 ")) << names[0].constData();
            const QByteArray known = QByteArray(c.known) + "-" + layout + ".dat";
            EXPECT_EQ(readBytes(folder + names[0]), knownFile(known.constData(), names[0]));
        }
    }
}

// --burst sends a whole batch without waiting for its acknowledgements.
TEST(ZnrSim, BurstSendsTheWholeBatchWithoutWaiting) {
    Sim sim(words("--listen 0 --burst --rows 2 --batches 2 --stats"));
    TestInstrument program;
    ASSERT_TRUE(program.connectTo(sim.waitForPort())) << sim.diagnostics().constData();
    program.send(kAck8);
    QByteArrayList burst;
    for (std::optional<QByteArray> f; burst.size() < 5 && (f = program.nextFrame());)
        burst.append(*f);
    ASSERT_EQ(burst.size(), 5) << "frames without acknowledgement";
    EXPECT_TRUE(burst.last().startsWith("\x01"
                                        "1ENB"));
    program.send(kAck8.repeated(5));       // all at once
    EXPECT_EQ(play(program, 5).size(), 5); // the second batch
    ASSERT_TRUE(sim.finishes()) << sim.diagnostics().constData();
    EXPECT_TRUE(sim.out().contains("batches completed: 2")) << sim.out().constData();
}

TEST(ZnrSim, DisconnectMidBatchReplaysTheBatchOnTheNextConnection) {
    Sim sim(words("--listen 0 --seed 353"));
    TestInstrument program;
    ASSERT_TRUE(program.connectTo(sim.waitForPort())) << sim.diagnostics().constData();
    program.send(kAck8);
    const QByteArrayList first = play(program, 3);
    ASSERT_EQ(first.size(), 3);
    program.goAway();
    TestInstrument again;
    ASSERT_TRUE(again.connectTo(sim.port()));
    again.send(kAck8);
    const QByteArrayList replay = play(again, 6);
    ASSERT_EQ(replay.size(), 6);
    EXPECT_EQ(replay.mid(0, 3), first);
    EXPECT_TRUE(sim.finishes()) << sim.diagnostics().constData();
}

// --serial on the slave side of a pty whose master plays the extractor.
TEST(ZnrSim, SerialDeviceLinkPlaysABatch) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    Sim sim(args({"--serial", pty.slavePath().constData(), "--rows", "2", "--stats"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.out().contains("open"); }, 10000))
        << sim.err().constData();
    pty.write(kAck8);
    FrameCollector collector;
    QByteArrayList frames;
    for (int turn = 0; frames.size() < 5 && turn < 100; ++turn) {
        collector.add(pty.read(1, 200));
        while (const std::optional<QByteArray> f = collector.take()) {
            frames.append(*f);
            pty.write(kAck8);
        }
    }
    ASSERT_EQ(frames.size(), 5);
    EXPECT_EQ(frames[1], wireFrame("STB", "X100,W1,D1"));
    ASSERT_TRUE(sim.finishes()) << sim.diagnostics().constData();
    EXPECT_TRUE(sim.out().contains("ACK8 received: 6 (greetings: 1)"));
}

} // namespace
} // namespace znr
