#include "Pty.h"
#include "SimHarness.h"
#include "config/AppSettings.h"
#include "link/ElementSets.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace znr {
namespace {

using namespace test;

// The extractor's side: greets, then acknowledges `count` frames one by one.
QByteArrayList playFrames(ProgramClient& client, int count) {
    QByteArrayList frames;
    for (int i = 0; i < count; ++i) {
        const std::optional<QByteArray> f = client.nextFrame();
        if (!f)
            break;
        frames.append(*f);
        client.send(kAck8);
    }
    return frames;
}

// Every file in `folder` is named "1234 <stamp>.dat" and holds the known answer `known` with
// line 1's date-time being the stamp's.
void expectKnownFiles(const QByteArray& folder, const char* known) {
    const QByteArrayList names = listFiles(folder);
    ASSERT_FALSE(names.isEmpty()) << folder.constData();
    static const QRegularExpression named(
        QStringLiteral("^1234 (\\d\\d-\\d\\d-\\d{4}-\\d{6})\\.dat$"));
    for (const QByteArray& name : names) {
        const QRegularExpressionMatch m = named.match(QString::fromLatin1(name));
        ASSERT_TRUE(m.hasMatch()) << name.constData();
        const QDateTime t =
            QDateTime::fromString(m.captured(1), QStringLiteral("MM-dd-yyyy-HHmmss"));
        const QByteArray when =
            QLocale::c().toString(t, QStringLiteral("M/d/yyyy h:mm:ss AP")).toLatin1();
        EXPECT_EQ(readBytes(folder + name), testData(known).replace("@TIME@", when))
            << name.constData();
    }
}

TEST(ZnrSimTest, HelpDocumentsEveryOptionAndExitsZero) {
    const SimRun run = runSim({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option :
         {"--listen", "--address", "--serial", "--pty", "--id", "--mode", "--batch-code", "--codes",
          "--rows", "--batches", "--interval", "--end", "--seed", "--fragment", "--gap", "--late",
          "--burst", "--stats", "--expect-dir"})
        EXPECT_TRUE(run.out.contains(option)) << option;
}

TEST(ZnrSimTest, BadArgumentsExitTwoWithAMessage) {
    const QStringList table[] = {
        {},
        {QStringLiteral("--bogus")},
        {QStringLiteral("--listen"), QStringLiteral("x")},
        {QStringLiteral("--listen"), QStringLiteral("70000")},
        {QStringLiteral("--listen"), QStringLiteral("1"), QStringLiteral("--pty"),
         QStringLiteral("/tmp/l")},
        {QStringLiteral("--listen"), QStringLiteral("1"), QStringLiteral("--mode"),
         QStringLiteral("WALK")},
        {QStringLiteral("--listen"), QStringLiteral("1"), QStringLiteral("--end"),
         QStringLiteral("EOB")},
        {QStringLiteral("--listen"), QStringLiteral("1"), QStringLiteral("--fragment"),
         QStringLiteral("0")},
        {QStringLiteral("--listen"), QStringLiteral("1"), QStringLiteral("--codes"),
         QStringLiteral("W1,,D1")},
        {QStringLiteral("--listen"), QStringLiteral("1"), QStringLiteral("--burst"),
         QStringLiteral("--late"), QStringLiteral("6000")},
        {QStringLiteral("--listen"), QStringLiteral("1"), QStringLiteral("stray")},
        {QStringLiteral("--serial"), QStringLiteral("/dev/null"), QStringLiteral("--settings"),
         QStringLiteral("9600,n,8,1.5")},
    };
    for (const QStringList& args : table) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const SimRun run = runSim(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith("znr-sim: ")) << run.err.constData();
    }
}

struct SimOverTcp : ::testing::Test {
    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    ProgramClient client;

    // Starts the simulator on a free port and connects to it.
    void start(QStringList args) {
        args << QStringLiteral("--listen") << QStringLiteral("0") << QStringLiteral("--stats");
        sim = std::make_unique<SimProcess>(args);
        const quint16 port = sim->waitForPort();
        ASSERT_NE(port, 0) << sim->err().constData();
        ASSERT_TRUE(client.connectTo(port));
    }
};

TEST_F(SimOverTcp, RunBatchIsPlayedStopAndWaitAfterTheGreeting) {
    start({QStringLiteral("--seed"), QStringLiteral("353")});
    EXPECT_FALSE(client.anythingArrivesWithin(200)) << "spoke before the greeting";
    client.send(kAck8);
    const std::optional<QByteArray> ist = client.nextFrame();
    ASSERT_TRUE(ist);
    EXPECT_EQ(*ist, wireFrame("IST", "RUN MODE,a,b,1234,x"));
    EXPECT_FALSE(client.anythingArrivesWithin(200)) << "sent before the ACK8";
    client.send(kAck8);
    const QByteArrayList rest = playFrames(client, 5);
    const QByteArrayList expected{wireFrame("STB", "X100,W1,D1"),
                                  wireFrame("DAT", "1,81.1540,0.9988"),
                                  wireFrame("DAT", "2,-4.8329,58.8315"),
                                  wireFrame("DAT", "3,-1.3264,76.5300"), wireFrame("ENB", "0")};
    EXPECT_EQ(rest, expected);
    ASSERT_TRUE(sim->waitForExit());
    EXPECT_EQ(sim->exitCode(), 0);
    const QByteArray out = sim->out();
    EXPECT_TRUE(out.contains("frames sent: 6 (resent: 0)")) << out.constData();
    EXPECT_TRUE(out.contains("ACK8 received: 7 (greetings: 1)")) << out.constData();
    EXPECT_TRUE(out.contains("(6 samples)")) << out.constData();
}

TEST_F(SimOverTcp, ExpectDirHoldsTheKnownRunModeFiles) {
    start({QStringLiteral("--seed"), QStringLiteral("353"), QStringLiteral("--end"),
           QStringLiteral("ERR"), QStringLiteral("--expect-dir"),
           QString::fromLatin1(dir.path("exp"))});
    client.send(kAck8);
    const QByteArrayList frames = playFrames(client, 6);
    ASSERT_EQ(frames.size(), 6);
    EXPECT_EQ(frames.last(), wireFrame("ERR", "A2CD,E17"));
    ASSERT_TRUE(sim->waitForExit());
    EXPECT_EQ(sim->exitCode(), 0);
    expectKnownFiles(dir.path("exp/COLUMN/"), "sim/run-seed353-column.dat");
    expectKnownFiles(dir.path("exp/ROW/"), "sim/run-seed353-row.dat");
}

TEST_F(SimOverTcp, ExpectDirHoldsTheKnownCalibrationCheckFiles) {
    start({QStringLiteral("--seed"), QStringLiteral("353"), QStringLiteral("--mode"),
           QStringLiteral("CAL. CHECK"), QStringLiteral("--codes"), QStringLiteral("W1,D1,T3"),
           QStringLiteral("--expect-dir"), QString::fromLatin1(dir.path("exp"))});
    client.send(kAck8);
    const QByteArrayList frames = playFrames(client, 11);
    ASSERT_EQ(frames.size(), 11);
    EXPECT_EQ(frames[5], wireFrame("STB", "X100,D1"));
    EXPECT_EQ(frames[6], wireFrame("DAT", "1,58.8315"));
    ASSERT_TRUE(sim->waitForExit());
    expectKnownFiles(dir.path("exp/COLUMN/"), "sim/cal-seed353-column.dat");
    expectKnownFiles(dir.path("exp/ROW/"), "sim/cal-seed353-row.dat");
}

// The client plays an extractor whose deadline passed: it answers the first partial DAT with
// NAK8 and must then receive the whole frame again.
TEST_F(SimOverTcp, NakDuringALateFrameGetsTheWholeFrameResent) {
    start({QStringLiteral("--rows"), QStringLiteral("1"), QStringLiteral("--fragment"),
           QStringLiteral("3"), QStringLiteral("--gap"), QStringLiteral("200"),
           QStringLiteral("--late"), QStringLiteral("20000"), QStringLiteral("--seed"),
           QStringLiteral("353")});
    client.send(kAck8);
    ASSERT_EQ(playFrames(client, 2).size(), 2); // IST, STB
    ASSERT_TRUE(client.waitForPartialFrame()) << "the late DAT came whole";
    client.send(kNak8);
    const std::optional<QByteArray> dat = client.nextFrame();
    ASSERT_TRUE(dat);
    EXPECT_EQ(*dat, wireFrame("DAT", "1,81.1540,0.9988"));
    client.send(kAck8);
    EXPECT_EQ(playFrames(client, 1), QByteArrayList{wireFrame("ENB", "0")});
    ASSERT_TRUE(sim->waitForExit());
    const QByteArray out = sim->out();
    EXPECT_TRUE(out.contains("frames sent: 4 (resent: 1)")) << out.constData();
    EXPECT_TRUE(out.contains("NAK8 received: 1")) << out.constData();
}

TEST_F(SimOverTcp, BurstSendsTheWholeBatchWithoutWaiting) {
    start({QStringLiteral("--burst"), QStringLiteral("--rows"), QStringLiteral("2"),
           QStringLiteral("--batches"), QStringLiteral("2")});
    client.send(kAck8);
    QByteArrayList frames;
    while (frames.size() < 5) {
        const std::optional<QByteArray> f = client.nextFrame();
        ASSERT_TRUE(f) << "only " << frames.size() << " frames without acknowledgement";
        frames.append(*f);
    }
    EXPECT_TRUE(frames.last().startsWith("\x01"
                                         "1ENB"));
    client.send(kAck8 + kAck8 + kAck8 + kAck8 + kAck8); // all at once
    EXPECT_EQ(playFrames(client, 5).size(), 5);         // the second batch
    ASSERT_TRUE(sim->waitForExit());
    EXPECT_EQ(sim->exitCode(), 0);
    EXPECT_TRUE(sim->out().contains("batches completed: 2"));
}

TEST_F(SimOverTcp, DisconnectMidBatchReplaysTheBatchOnTheNextConnection) {
    start({QStringLiteral("--seed"), QStringLiteral("353")});
    client.send(kAck8);
    const QByteArrayList first = playFrames(client, 3);
    ASSERT_EQ(first.size(), 3);
    const quint16 port = client.socket().peerPort();
    client.socket().abort();
    ProgramClient again;
    ASSERT_TRUE(again.connectTo(port));
    again.send(kAck8);
    const QByteArrayList replay = playFrames(again, 6);
    ASSERT_EQ(replay.size(), 6);
    EXPECT_EQ(replay.mid(0, 3), first);
    ASSERT_TRUE(sim->waitForExit());
    EXPECT_EQ(sim->exitCode(), 0);
}

// --serial on the slave side of a pty whose master plays the extractor.
TEST(ZnrSimSerialTest, SerialDeviceLinkPlaysABatch) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SimProcess sim({QStringLiteral("--serial"), QString::fromLatin1(pty.slavePath()),
                    QStringLiteral("--rows"), QStringLiteral("2"), QStringLiteral("--stats")});
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

// The simulator on a pty reached through a COM number, by the real serial element.
TEST(ZnrSimPtyTest, SerialElementMappedToThePtyLinkPlaysABatch) {
    TempDir dir;
    const QByteArray link = dir.path("ttyZNR");
    SimProcess sim({QStringLiteral("--pty"), QString::fromLatin1(link), QStringLiteral("--rows"),
                    QStringLiteral("1")});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFileInfo(QString::fromLatin1(link)).exists(); }, 10000));

    AppSettings settings;
    settings.SerialPortDevices[4] = link;
    SerialSet set(serialElementFactory(settings));
    ISerialElement& port = set.create(1);
    port.setCommPort(4);
    port.setRThreshold(1);
    port.setPortOpen(true);
    FrameCollector collector;
    QByteArrayList frames;
    QObject::connect(&port, &ISerialElement::commEvent, [&](int) {
        collector.add(port.Input());
        while (const std::optional<QByteArray> f = collector.take()) {
            frames.append(*f);
            port.Output(kAck8);
        }
    });
    port.Output(kAck8); // the greeting
    ASSERT_TRUE(sim.waitForExit());
    EXPECT_EQ(sim.exitCode(), 0);
    ASSERT_EQ(frames.size(), 4);
    EXPECT_EQ(frames.first(), wireFrame("IST", "RUN MODE,a,b,1234,x"));
    EXPECT_EQ(frames.last(), wireFrame("ENB", "0"));
    EXPECT_FALSE(QFileInfo(QString::fromLatin1(link)).isSymLink()) << "link left behind";
}

} // namespace
} // namespace znr
