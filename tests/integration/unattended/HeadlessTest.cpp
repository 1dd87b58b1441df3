// The real program with --headless: data files announced on standard output, SIGTERM closing
// every connection, and the run surviving what an unattended process meets (instruments going
// away and coming back, the reader of its output going away).

#include "integration/program/ProgramFixture.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace znr::test {
namespace {

constexpr const char* kDrop = "frmZNRInterface.ZNRSocket_Error, 10054, ";
constexpr const char* kRestored = "frmZNRInterface.ReconnectConnection, 0, Connection restored";
constexpr const char* kCommError = "frmZNRInterface.ZNRComm_OnComm, ";

// The headless program with the instruments on `ports` (TCP) or behind `links` (ptys, COM3..).
struct Headless {
    ProgramConfig config;
    ProgramRun program;

    explicit Headless(const QList<quint16>& ports, std::optional<QByteArray> reconnect = {},
                      const QByteArrayList& links = {}) {
        config.archive = false;
        config.reconnectSeconds = std::move(reconnect);
        config.ethernet = links.isEmpty();
        for (quint16 port : ports)
            config.ethernetInstruments.append({"127.0.0.1", port});
        for (qsizetype n = 0; n < links.size(); ++n)
            config.addSerial(int(n) + 3, links[n]);
        program.writeIni(config);
    }
    bool start() { return program.start({QStringLiteral("--headless")}); }
    QByteArray log() const { return program.logLines().join('\n'); }
    // SIGTERM ends the run with exit code 0.
    void expectStopsCleanly() {
        EXPECT_TRUE(program.stop()) << "still running after SIGTERM";
        EXPECT_EQ(program.exitCode(), 0);
    }
};

// The instrument accepts the program, checks its greeting, then closes its end.
bool connectAndDrop(TestInstrument& instrument, ProgramRun& program) {
    if (!instrument.accept(10000) || instrument.take(2, 5000) != kAck8)
        return false;
    instrument.goAway();
    return program.waitForLogLines(1, 10000, kDrop);
}

TEST(UnattendedReconnect, TcpInstrumentThatListensAgainIsReconnectedAndGreeted) {
    TestInstrument instrument;
    Headless run({instrument.port()}, "1");
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(connectAndDrop(instrument, run.program)) << run.log().constData();

    QTest::qWait(1500); // an attempt or two find nobody listening
    ASSERT_TRUE(instrument.listenAgain());
    QElapsedTimer sinceBack;
    sinceBack.start();
    ASSERT_TRUE(instrument.accept(10000)) << "not reconnected";
    EXPECT_LE(sinceBack.elapsed(), 2000) << "reconnected only after " << sinceBack.elapsed();
    EXPECT_EQ(instrument.take(2, 5000), kAck8);

    ASSERT_TRUE(run.program.waitForLogLines(1, 10000, kRestored));
    const QByteArrayList lines = run.program.logLines();
    ASSERT_EQ(lines.size(), 2) << run.log().constData(); // failed attempts log nothing
    EXPECT_TRUE(lines[0].startsWith(kDrop));
    EXPECT_TRUE(lines[1].startsWith(kRestored));
    run.expectStopsCleanly();
}

// Both programs run side by side, one without the key and one with 0.
TEST(UnattendedReconnect, WithoutTheKeyOrWithZeroSecondsADroppedTcpInstrumentIsLeftAlone) {
    TestInstrument absent;
    TestInstrument zero;
    Headless withoutKey({absent.port()});
    Headless withZero({zero.port()}, "0");
    ASSERT_TRUE(withoutKey.start());
    ASSERT_TRUE(withZero.start());
    ASSERT_TRUE(connectAndDrop(absent, withoutKey.program));
    ASSERT_TRUE(connectAndDrop(zero, withZero.program));
    ASSERT_TRUE(absent.listenAgain());
    ASSERT_TRUE(zero.listenAgain());

    QTest::qWait(2500);
    EXPECT_FALSE(absent.accept(0));
    EXPECT_FALSE(zero.accept(0));
    for (Headless* run : {&withoutKey, &withZero}) {
        EXPECT_EQ(run->program.logLines().size(), 1) << run->log().constData();
        run->expectStopsCleanly();
    }
}

// An instrument on a new pty behind `link`, playing batches until it is killed.
std::unique_ptr<Sim> ptySim(const QByteArray& link, const char* id, const char* interval = "200") {
    auto sim = std::make_unique<Sim>(args({"--pty", link.constData(), "--id", id, "--batches", "0",
                                           "--interval", interval, "--rows", "2"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(QFile::decodeName(link)); }, 10000));
    return sim;
}

int announcementsOf(ProgramRun& program, const QByteArray& fileStart) {
    int n = 0;
    for (const QByteArray& line : program.announcements())
        n += line.contains("/Data Files/" + fileStart) ? 1 : 0;
    return n;
}

TEST(UnattendedReconnect, SerialInstrumentWhosePtyVanishesAndComesBackIsReopened) {
    TempDir links;
    const QByteArray link = links.path("tty3");
    std::unique_ptr<Sim> first = ptySim(link, "1111");
    Headless run({}, "1", {link});
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return announcementsOf(run.program, "1111 ") >= 1; }, 10000))
        << run.log().constData();

    first.reset(); // killed: the pty and everything on it is gone
    ASSERT_TRUE(run.program.waitForLogLines(1, 10000, kCommError)) << run.log().constData();

    // The simulator plays only after the greeting, so its batch shows the port was reopened
    // and greeted.
    std::unique_ptr<Sim> second = ptySim(link, "2222");
    ASSERT_TRUE(QTest::qWaitFor([&] { return announcementsOf(run.program, "2222 ") >= 1; }, 15000))
        << run.log().constData();
    ASSERT_TRUE(run.program.waitForLogLines(1, 10000, kRestored));
    EXPECT_EQ(run.program.logLinesContaining(kCommError), 1);
    EXPECT_EQ(run.program.logLines().size(), 2) << run.log().constData();
    run.expectStopsCleanly();
}

// Two instruments (RUN MODE first, CAL. CHECK second), each batch in a second of its own.
TEST(HeadlessRun, DataFilesAreAnnouncedAndSigtermClosesEveryConnectionAndExitsZero) {
    const QStringList common =
        args({"--listen", "0", "--seed", "353", "--batches", "0", "--interval", "1200"});
    Sim runMode(common + args({"--end", "ERR"}));
    Sim calCheck(common + args({"--mode", "CAL. CHECK", "--codes", "W1,D1,T3"}));
    Headless run({runMode.waitForPort(), calCheck.waitForPort()});
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.program.waitForAnnouncements(4, 15000)) << run.log().constData();
    run.expectStopsCleanly();

    // "M/d/yyyy h:mm:ss AP, index, path", one line per file, naming the files in the folders.
    static const QRegularExpression announced(QStringLiteral("^(") + QLatin1String(kLogTime) +
                                              QStringLiteral("), ([12]), (.+)$"));
    const QByteArray folderOf[] = {{}, run.program.dataFolder(), run.program.calCheckFolder()};
    const char* knownOf[] = {nullptr, "sim/run-seed353-column.dat", "sim/cal-seed353-column.dat"};
    QSet<QByteArray> paths;
    bool firstSeen[3] = {};
    for (const QByteArray& line : run.program.announcements()) {
        const QRegularExpressionMatch m = announced.match(QString::fromLatin1(line));
        ASSERT_TRUE(m.hasMatch()) << line.constData();
        EXPECT_TRUE(
            QDateTime::fromString(m.captured(1), QStringLiteral("M/d/yyyy h:mm:ss AP")).isValid())
            << line.constData();
        const int index = m.captured(2).toInt();
        const QByteArray path = m.captured(3).toLatin1();
        ASSERT_TRUE(path.startsWith(folderOf[index])) << line.constData();
        const QByteArray known = knownFile(knownOf[index], path);
        if (!std::exchange(firstSeen[index], true)) { // the seed's first batch is the known answer
            EXPECT_EQ(readBytes(path), known) << line.constData();
        } else { // later batches have other values: one batch, its header stamped alike
            EXPECT_TRUE(readBytes(path).startsWith(known.left(known.indexOf('\n') + 1)));
            EXPECT_EQ(readBytes(path).count('\n'), known.count('\n')) << line.constData();
        }
        EXPECT_FALSE(paths.contains(path)) << "announced twice: " << line.constData();
        paths.insert(path);
    }
    QSet<QByteArray> written;
    for (int index : {1, 2})
        for (const QByteArray& name : listFiles(folderOf[index]))
            written.insert(folderOf[index] + name);
    EXPECT_EQ(written, paths);

    // Each instrument serves one client at a time: it takes a new one only once the program's
    // connection has been closed.
    for (const auto& instrument : run.config.ethernetInstruments) {
        ProgramClient client;
        ASSERT_TRUE(client.connectTo(quint16(instrument.port)));
        client.send(kAck8);
        const std::optional<QByteArray> frame = client.nextFrame(5000);
        ASSERT_TRUE(frame) << "the program's connection was never closed";
        EXPECT_TRUE(frame->contains("IST"));
    }
}

TEST(HeadlessRun, SigtermDuringTheStartUpConnectWaitEndsTheRunOnceTheWaitIsOver) {
    FullListener unanswered;
    ASSERT_NE(unanswered.port(), 0);
    Headless run({unanswered.port()});
    ASSERT_TRUE(run.start());
    run.expectStopsCleanly();
    EXPECT_EQ(run.program.logLines().size(), 1);
    EXPECT_EQ(run.program.logLinesContaining("frmZNRInterface.CreateEthernetConnection, 0, "
                                             "Winsock Error IP Address Unavailable"),
              1)
        << run.log().constData();
}

// A serial run: no TCP socket exists that would make the network layer ignore SIGPIPE.
TEST(HeadlessRun, ReaderOfTheAnnouncementsGoingAwayDoesNotEndTheRun) {
    TempDir links;
    const QByteArray link = links.path("tty3");
    std::unique_ptr<Sim> sim = ptySim(link, "1234", "100");
    Headless run({}, {}, {link});
    // Standard output is a FIFO whose only reader the test closes once the program runs.
    const QByteArray fifo = links.path("announcements");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    run.program.process().setStandardOutputFile(QFile::decodeName(fifo));
    ASSERT_TRUE(run.start());
    ::close(reader);
    // Data files of two different seconds: several announcements went to the closed pipe.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return listFiles(run.program.dataFolder()).size() >= 2 || !run.program.running(); },
        10000));
    EXPECT_TRUE(run.program.running());
    run.expectStopsCleanly();
}

} // namespace
} // namespace znr::test
