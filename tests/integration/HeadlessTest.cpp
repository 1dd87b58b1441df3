// The real program with --headless: data files announced on standard output, SIGTERM closing
// every connection, and the run surviving what an unattended process meets (instruments going
// away and coming back, the reader of its output going away).

#include "integration/ProgramFixture.h"

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

// The headless program with the instruments on `ports` (TCP) or behind `link` (a pty, COM3),
// reconnecting every second.
struct Headless {
    ProgramRun program;

    explicit Headless(const QList<quint16>& ports, const QByteArray& link = {}) {
        ProgramConfig config;
        config.archive = false;
        config.reconnectSeconds = "1";
        config.ethernet = link.isEmpty();
        for (quint16 port : ports)
            config.ethernetInstruments.append({"127.0.0.1", port});
        if (!link.isEmpty())
            config.addSerial(3, link);
        EXPECT_TRUE(program.writeIni(config));
    }
    bool start() { return program.start({QStringLiteral("--headless")}); }
    QByteArray log() const { return program.log(); }
    // SIGTERM ends the run with exit code 0.
    void expectStopsCleanly() {
        EXPECT_TRUE(program.stop()) << "still running after SIGTERM";
        EXPECT_EQ(program.exitCode(), 0);
    }
};

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
    Headless run({}, link);
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return filed("1111") >= 2; }, 10000))
        << run.program.log().data();

    first.reset(); // killed: the pty and everything on it is gone
    ASSERT_TRUE(run.program.waitForLogLines(1, kCommError)) << run.program.log().constData();
    // The simulator plays only after the greeting, so its batch shows the port was reopened
    // and greeted.
    std::unique_ptr<Sim> second = ptySim(link, "2222");
    ASSERT_TRUE(QTest::qWaitFor([&] { return filed("2222") >= 1; }, 15000))
        << run.program.log().data();
    ASSERT_TRUE(run.program.waitForLogLines(1, kRestored));
    // The device's loss is reported once, without an event storm.
    const QByteArrayList entries = logEntries(run.program);
    ASSERT_EQ(entries.size(), 2) << run.program.log().constData();
    EXPECT_TRUE(entries[0].startsWith(kCommError + QByteArray("8020, Error reading comm device (")))
        << entries[0].constData();
    EXPECT_EQ(entries[1], kRestored);
    run.expectStopsCleanly();
}

// Two instruments (RUN MODE first, CAL. CHECK second), each batch in a second of its own, and
// a third that goes away and comes back listening while the program retries every second.
TEST(HeadlessRun, DataFilesAreAnnouncedADroppedInstrumentIsReconnectedAndSigtermExitsZero) {
    const QStringList common =
        args({"--listen", "0", "--seed", "353", "--batches", "0", "--interval", "1200"});
    Sim runMode(common + args({"--end", "ERR"}));
    Sim calCheck(common + args({"--mode", "CAL. CHECK", "--codes", "W1,D1,T3"}));
    TestInstrument dropping;
    Headless run({runMode.waitForPort(), calCheck.waitForPort(), dropping.port()});
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(dropping.waitForProgram(10000)) << run.program.log().constData();
    dropping.goAway();
    ASSERT_TRUE(run.program.waitForLogLines(1, kLinkReset)) << run.program.log().constData();
    QTest::qWait(1500); // an attempt or two find nobody listening
    ASSERT_TRUE(dropping.listenAgain());
    ASSERT_TRUE(dropping.waitForProgram(10000)) << "not reconnected and greeted";
    ASSERT_TRUE(run.program.waitForLogLines(1, kRestored));
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.program.announcements().size() >= 4; }, 15000))
        << run.program.log().constData();
    run.expectStopsCleanly();
    EXPECT_EQ(logEntries(run.program).count(kLinkReset), 1) << "a line closed at the end dropped";

    // "M/d/yyyy h:mm:ss AP, index, path", one line per file written; the seed's first batch of
    // each instrument is the known answer.
    static const QRegularExpression announced(
        QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M, ([12]), (.+)$"));
    const QByteArray folderOf[] = {{}, run.program.dataFolder(), run.program.path("Cal Check/")};
    const char* knownOf[] = {nullptr, "sim/run-seed353-column.dat", "sim/cal-seed353-column.dat"};
    QByteArrayList paths;
    bool seen[3] = {};
    for (const QByteArray& line : run.program.announcements()) {
        const QRegularExpressionMatch m = announced.match(QString::fromLatin1(line));
        ASSERT_TRUE(m.hasMatch()) << line.constData();
        const int index = m.captured(1).toInt();
        const QByteArray path = m.captured(2).toLatin1();
        ASSERT_TRUE(path.startsWith(folderOf[index])) << line.constData();
        if (!std::exchange(seen[index], true)) {
            EXPECT_EQ(readBytes(path), knownFile(knownOf[index], path)) << line.constData();
        }
        paths << path;
    }
    QByteArrayList written; // sorted: "Cal Check" before "Data Files", each folder sorted
    for (const QByteArray& folder : {folderOf[2], folderOf[1]})
        for (const QByteArray& name : listFiles(folder))
            written << folder + name;
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, written) << "each file announced once";
}

TEST(HeadlessRun, SigtermDuringTheStartUpConnectWaitEndsTheRunOnceTheWaitIsOver) {
    FullListener unanswered;
    Headless run({unanswered.port()});
    ASSERT_TRUE(run.start());
    run.expectStopsCleanly();
    EXPECT_EQ(logEntries(run.program),
              QByteArrayList{"frmZNRInterface.CreateEthernetConnection, 0, Winsock Error IP "
                             "Address Unavailable"});
}

} // namespace
} // namespace znr::test
