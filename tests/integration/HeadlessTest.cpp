// The real program with --headless: data files announced on standard output, SIGTERM closing
// every connection, and the run surviving what an unattended process meets (instruments going
// away and coming back, the reader of its output going away).

#include "integration/ProgramFixture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace znr::test {
namespace {

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
    return program.waitForLogLines(1, 10000, kLinkReset);
}

// Three runs side by side: with one second, without the key, and with zero seconds. Only the
// first reconnects, within a second or two of the instrument listening again, and greets it.
TEST(UnattendedReconnect, DroppedTcpInstrumentIsReconnectedOnlyWithAPositiveKey) {
    const std::optional<QByteArray> keys[] = {"1", std::nullopt, "0"};
    std::vector<std::unique_ptr<TestInstrument>> instruments;
    std::vector<std::unique_ptr<Headless>> runs;
    for (const auto& key : keys) {
        instruments.push_back(std::make_unique<TestInstrument>());
        runs.push_back(std::make_unique<Headless>(QList{instruments.back()->port()}, key));
        ASSERT_TRUE(runs.back()->start());
    }
    for (size_t i = 0; i < runs.size(); ++i)
        ASSERT_TRUE(connectAndDrop(*instruments[i], runs[i]->program)) << runs[i]->log().data();

    QTest::qWait(1500); // an attempt or two find nobody listening
    for (const auto& instrument : instruments)
        ASSERT_TRUE(instrument->listenAgain());
    QElapsedTimer sinceBack;
    sinceBack.start();
    ASSERT_TRUE(instruments[0]->accept(10000)) << "not reconnected";
    EXPECT_LE(sinceBack.elapsed(), 2000) << "reconnected only after " << sinceBack.elapsed();
    EXPECT_EQ(instruments[0]->take(2, 5000), kAck8);
    ASSERT_TRUE(runs[0]->program.waitForLogLines(1, 10000, kRestored));
    QTest::qWait(1000);
    EXPECT_FALSE(instruments[1]->accept(0));
    EXPECT_FALSE(instruments[2]->accept(0));

    EXPECT_EQ(logEntries(runs[0]->program), (QByteArrayList{kLinkReset, kRestored}));
    EXPECT_EQ(logEntries(runs[1]->program), QByteArrayList{kLinkReset});
    EXPECT_EQ(logEntries(runs[2]->program), QByteArrayList{kLinkReset});
    for (const auto& run : runs)
        run->expectStopsCleanly();
}

// An instrument on a new pty behind `link`, playing batches until it is killed.
std::unique_ptr<Sim> ptySim(const QByteArray& link, const char* id) {
    auto sim = std::make_unique<Sim>(args({"--pty", link.constData(), "--id", id, "--batches", "0",
                                           "--interval", "200", "--rows", "2"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(QFile::decodeName(link)); }, 10000));
    return sim;
}

// A serial run (no TCP socket exists that would make the network layer ignore SIGPIPE) whose
// standard output is a FIFO with no reader left: the announcements go nowhere, the run goes on.
TEST(UnattendedReconnect, SerialInstrumentWhosePtyVanishesAndComesBackIsReopened) {
    TempDir links;
    const QByteArray link = links.path("tty3");
    std::unique_ptr<Sim> first = ptySim(link, "1111");
    Headless run({}, "1", {link});
    const QByteArray fifo = links.path("announcements");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    run.program.process().setStandardOutputFile(QFile::decodeName(fifo));
    ASSERT_TRUE(run.start());
    ::close(reader);
    const auto filed = [&](const QByteArray& id) {
        return filesStartingWith(run.program.dataFolder(), id + " ").size();
    };
    // Data files of two different seconds: several announcements went to the closed pipe.
    ASSERT_TRUE(QTest::qWaitFor([&] { return filed("1111") >= 2; }, 10000)) << run.log().data();

    first.reset(); // killed: the pty and everything on it is gone
    ASSERT_TRUE(run.program.waitForLogLines(1, 10000, kCommError)) << run.log().constData();
    // The simulator plays only after the greeting, so its batch shows the port was reopened
    // and greeted.
    std::unique_ptr<Sim> second = ptySim(link, "2222");
    ASSERT_TRUE(QTest::qWaitFor([&] { return filed("2222") >= 1; }, 15000)) << run.log().data();
    ASSERT_TRUE(run.program.waitForLogLines(1, 10000, kRestored));
    // The device's loss is reported once, without an event storm.
    const QByteArrayList entries = logEntries(run.program);
    ASSERT_EQ(entries.size(), 2) << run.log().constData();
    EXPECT_TRUE(entries[0].startsWith(kCommError + QByteArray("8020, Error reading comm device (")))
        << entries[0].constData();
    EXPECT_EQ(entries[1], kRestored);
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.program.announcements().size() >= 4; }, 15000))
        << run.log().constData();
    run.expectStopsCleanly();
    EXPECT_FALSE(logEntries(run.program).contains(kLinkReset)) << "a closed line reported a drop";

    // "M/d/yyyy h:mm:ss AP, index, path", one line per file written; the seed's first batch of
    // each instrument is the known answer, later ones have other values but the same shape.
    static const QRegularExpression announced(QStringLiteral("^") + QLatin1String(kLogTime) +
                                              QStringLiteral(", ([12]), (.+)$"));
    const QByteArray folderOf[] = {{}, run.program.dataFolder(), run.program.path("Cal Check/")};
    const char* knownOf[] = {nullptr, "sim/run-seed353-column.dat", "sim/cal-seed353-column.dat"};
    QByteArrayList paths;
    bool seen[3] = {};
    for (const QByteArray& line : run.program.announcements()) {
        const QRegularExpressionMatch m = announced.match(QString::fromLatin1(line));
        ASSERT_TRUE(m.hasMatch()) << line.constData();
        const int index = m.captured(1).toInt();
        const QByteArray folder = folderOf[index];
        const QByteArray path = m.captured(2).toLatin1();
        ASSERT_TRUE(path.startsWith(folder)) << line.constData();
        const QByteArray known = knownFile(knownOf[index], path);
        const QByteArray bytes = readBytes(path);
        if (!std::exchange(seen[index], true)) {
            EXPECT_EQ(bytes, known) << line.constData();
        }
        EXPECT_TRUE(bytes.startsWith(known.left(known.indexOf('\n') + 1))) << line.constData();
        EXPECT_EQ(bytes.count('\n'), known.count('\n')) << line.constData();
        paths << path;
    }
    QByteArrayList written;
    for (const QByteArray& folder : {folderOf[1], folderOf[2]})
        for (const QByteArray& name : listFiles(folder))
            written << folder + name;
    std::sort(paths.begin(), paths.end());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(paths, written) << "each file announced once";

    // Each instrument serves one client at a time: it takes a new one only once the program's
    // connection has been closed.
    for (const auto& instrument : run.config.ethernetInstruments) {
        TestInstrument client;
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
    EXPECT_EQ(logEntries(run.program),
              QByteArrayList{"frmZNRInterface.CreateEthernetConnection, 0, Winsock Error IP "
                             "Address Unavailable"});
}

} // namespace
} // namespace znr::test
