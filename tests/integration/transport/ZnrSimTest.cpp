// The simulator that plays the instruments in the end-to-end tests: its frames, its stop-and-wait
// pace, its expected files (known answers) and its serial link. Its late frames and ptys are
// exercised by the program's own tests.

#include "support/ProgramChecks.h"
#include "support/Pty.h"
#include "support/TempDir.h"

#include <QTest>
#include <gtest/gtest.h>

namespace znr {
namespace {

using namespace test;

QStringList words(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(ZnrSim, BadArgumentsExitTwoWithAMessage) {
    const char* const table[] = {"",
                                 "--bogus",
                                 "--listen x",
                                 "--listen 70000",
                                 "--listen 1 --pty /tmp/l",
                                 "--listen 1 --mode WALK",
                                 "--listen 1 --end EOB",
                                 "--listen 1 --fragment 0",
                                 "--listen 1 --codes W1,,D1",
                                 "--listen 1 --burst --late 6000",
                                 "--listen 1 stray",
                                 "--serial /dev/null --settings 9600,n,8,1.5"};
    for (const char* arguments : table) {
        SCOPED_TRACE(arguments);
        Sim sim(words(arguments));
        ASSERT_TRUE(sim.waitForExit());
        EXPECT_EQ(sim.exitCode(), 2);
        EXPECT_TRUE(sim.err().startsWith("znr-sim: ")) << sim.err().constData();
    }
}

struct SimOverTcp : ::testing::Test {
    TempDir dir;
    std::unique_ptr<Sim> sim;
    ProgramClient client;

    // Starts the simulator on a free port and connects to it.
    void start(const char* arguments) {
        sim = std::make_unique<Sim>(words(arguments) + args({"--listen", "0", "--stats"}));
        const quint16 port = sim->waitForPort();
        ASSERT_NE(port, 0) << sim->err().constData();
        ASSERT_TRUE(client.connectTo(port));
    }
    void expectEndsWell(const char* statistic = "") {
        ASSERT_TRUE(sim->waitForExit());
        EXPECT_EQ(sim->exitCode(), 0);
        EXPECT_TRUE(sim->out().contains(statistic)) << sim->out().constData();
    }
};

TEST_F(SimOverTcp, RunBatchIsPlayedStopAndWaitAfterTheGreeting) {
    start("--seed 353");
    EXPECT_FALSE(client.anythingArrivesWithin(200)) << "spoke before the greeting";
    client.send(kAck8);
    EXPECT_EQ(client.nextFrame(), wireFrame("IST", "RUN MODE,a,b,1234,x"));
    EXPECT_FALSE(client.anythingArrivesWithin(200)) << "sent before the ACK8";
    client.send(kAck8);
    const QByteArrayList expected{wireFrame("STB", "X100,W1,D1"),
                                  wireFrame("DAT", "1,81.1540,0.9988"),
                                  wireFrame("DAT", "2,-4.8329,58.8315"),
                                  wireFrame("DAT", "3,-1.3264,76.5300"), wireFrame("ENB", "0")};
    EXPECT_EQ(client.play(5), expected);
    expectEndsWell("frames sent: 6 (resent: 0)");
    EXPECT_TRUE(sim->out().contains("ACK8 received: 7 (greetings: 1)"));
    EXPECT_TRUE(sim->out().contains("(6 samples)"));
}

TEST_F(SimOverTcp, ExpectDirHoldsTheKnownFilesOfEachMode) {
    const struct {
        QStringList arguments;
        int frames;
        QByteArray frame;
        int at;
        const char* known;
    } cases[] = {{args({"--end", "ERR"}), 6, wireFrame("ERR", "A2CD,E17"), 5, "sim/run-seed353"},
                 {args({"--mode", "CAL. CHECK", "--codes", "W1,D1,T3"}), 11,
                  wireFrame("STB", "X100,D1"), 5, "sim/cal-seed353"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.known);
        const QByteArray exp = dir.path(c.known);
        sim = std::make_unique<Sim>(c.arguments + args({"--listen", "0", "--seed", "353",
                                                        "--expect-dir", exp.constData()}));
        ProgramClient player;
        ASSERT_TRUE(player.connectTo(sim->waitForPort()));
        player.send(kAck8);
        const QByteArrayList frames = player.play(c.frames);
        ASSERT_EQ(frames.size(), c.frames);
        EXPECT_EQ(frames[c.at], c.frame);
        expectEndsWell();
        for (const char* layout : {"column", "row"}) {
            const QByteArray folder = exp + (layout[0] == 'c' ? "/COLUMN/" : "/ROW/");
            const QByteArrayList names = listFiles(folder);
            ASSERT_EQ(names.size(), 1) << folder.constData();
            EXPECT_TRUE(names[0].startsWith("1234 ")) << names[0].constData();
            const QByteArray known = QByteArray(c.known) + "-" + layout + ".dat";
            EXPECT_EQ(readBytes(folder + names[0]), knownFile(known.constData(), names[0]));
        }
    }
}

TEST_F(SimOverTcp, BurstSendsTheWholeBatchWithoutWaiting) {
    start("--burst --rows 2 --batches 2");
    client.send(kAck8);
    QByteArrayList frames;
    while (frames.size() < 5) {
        const std::optional<QByteArray> f = client.nextFrame();
        ASSERT_TRUE(f) << "only " << frames.size() << " frames without acknowledgement";
        frames.append(*f);
    }
    EXPECT_TRUE(frames.last().startsWith("\x01"
                                         "1ENB"));
    client.send(kAck8.repeated(5));      // all at once
    EXPECT_EQ(client.play(5).size(), 5); // the second batch
    expectEndsWell("batches completed: 2");
}

TEST_F(SimOverTcp, DisconnectMidBatchReplaysTheBatchOnTheNextConnection) {
    start("--seed 353");
    client.send(kAck8);
    const QByteArrayList first = client.play(3);
    ASSERT_EQ(first.size(), 3);
    client.socket().abort();
    ProgramClient again;
    ASSERT_TRUE(again.connectTo(sim->port()));
    again.send(kAck8);
    const QByteArrayList replay = again.play(6);
    ASSERT_EQ(replay.size(), 6);
    EXPECT_EQ(replay.mid(0, 3), first);
    expectEndsWell();
}

// --serial on the slave side of a pty whose master plays the extractor.
TEST(ZnrSimSerial, SerialDeviceLinkPlaysABatch) {
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
    ASSERT_TRUE(sim.waitForExit());
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_TRUE(sim.out().contains("ACK8 received: 6 (greetings: 1)"));
}

} // namespace
} // namespace znr
