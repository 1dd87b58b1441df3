// The real program with --headless: data files announced on standard output, the stop signal
// closing every connection, and the run surviving what an unattended process meets.

#include "../transport/SimHarness.h"
#include "HeadlessProgram.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace znr::test {
namespace {

QString latin1(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

// The known answer of one batch, with line 1's date-time being that of the file name's stamp.
QByteArray knownFile(const char* known, const QByteArray& fileName) {
    static const QRegularExpression stamped(QStringLiteral("(\\d\\d-\\d\\d-\\d{4}-\\d{6})\\.dat$"));
    const QRegularExpressionMatch m = stamped.match(latin1(fileName));
    const QDateTime t = QDateTime::fromString(m.captured(1), QStringLiteral("MM-dd-yyyy-HHmmss"));
    const QByteArray when =
        QLocale::c().toString(t, QStringLiteral("M/d/yyyy h:mm:ss AP")).toLatin1();
    return testData(known).replace("@TIME@", when);
}

quint16 startedOn(SimProcess& sim) {
    const quint16 port = sim.waitForPort();
    EXPECT_NE(port, 0) << sim.err().constData();
    return port;
}

// Two instruments (RUN MODE first, CAL. CHECK second), each batch in a second of its own.
TEST(HeadlessRun, DataFilesAreAnnouncedAndSigtermClosesEveryConnectionAndExitsZero) {
    const QStringList common{QStringLiteral("--listen"),   QStringLiteral("0"),
                             QStringLiteral("--seed"),     QStringLiteral("353"),
                             QStringLiteral("--batches"),  QStringLiteral("0"),
                             QStringLiteral("--interval"), QStringLiteral("1200")};
    SimProcess runMode(common + QStringList{QStringLiteral("--end"), QStringLiteral("ERR")});
    SimProcess calCheck(common + QStringList{QStringLiteral("--mode"), QStringLiteral("CAL. CHECK"),
                                             QStringLiteral("--codes"),
                                             QStringLiteral("W1,D1,T3")});
    ProgramSetup setup;
    setup.tcpPorts = {startedOn(runMode), startedOn(calCheck)};
    HeadlessProgram program(setup);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForAnnouncements(4, 15000))
        << program.logLines().join('\n').constData();
    ASSERT_TRUE(program.stop());
    EXPECT_EQ(program.exitCode(), 0);

    // "M/d/yyyy h:mm:ss AP, index, path", one line per file, naming the files in the folders.
    static const QRegularExpression announced(
        QStringLiteral("^(\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M), ([12]), (.+)$"));
    const QByteArray folderOf[] = {{}, program.folder("Data Files"), program.folder("Cal Check")};
    const char* knownOf[] = {nullptr, "sim/run-seed353-column.dat", "sim/cal-seed353-column.dat"};
    QSet<QByteArray> paths;
    bool firstSeen[3] = {};
    for (const QByteArray& line : program.announcements()) {
        const QRegularExpressionMatch m = announced.match(latin1(line));
        ASSERT_TRUE(m.hasMatch()) << line.constData();
        EXPECT_TRUE(
            QDateTime::fromString(m.captured(1), QStringLiteral("M/d/yyyy h:mm:ss AP")).isValid())
            << line.constData();
        const int index = m.captured(2).toInt();
        const QByteArray path = m.captured(3).toLatin1();
        ASSERT_TRUE(path.startsWith(folderOf[index])) << line.constData();
        const QByteArray name = path.mid(folderOf[index].size());
        const QByteArray known = knownFile(knownOf[index], name);
        if (!firstSeen[index]) { // the seed's first batch is the known answer
            firstSeen[index] = true;
            EXPECT_EQ(readBytes(path).toStdString(), known.toStdString()) << line.constData();
        } else { // later batches have other values: one batch, its header stamped alike
            const QByteArray header = known.left(known.indexOf('\n') + 1);
            EXPECT_TRUE(readBytes(path).startsWith(header)) << line.constData();
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
    for (SimProcess* sim : {&runMode, &calCheck}) {
        ProgramClient client;
        ASSERT_TRUE(client.connectTo(quint16(setup.tcpPorts[sim == &runMode ? 0 : 1])));
        client.send(kAck8);
        const std::optional<QByteArray> frame = client.nextFrame(5000);
        ASSERT_TRUE(frame) << "the program's connection was never closed";
        EXPECT_TRUE(frame->contains("IST"));
    }
}

// A listening socket whose accept queue is full: the kernel drops new connection requests, so
// a connect to it stays pending.
class FullBacklogListener {
public:
    FullBacklogListener() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
            ::listen(listener_, 0) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        port_ = ntohs(a.sin_port);
        for (int i = 0; i < 3; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            (void)::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers_.push_back(fd);
        }
    }
    ~FullBacklogListener() {
        for (int fd : fillers_)
            ::close(fd);
        ::close(listener_);
    }
    quint16 port() const { return port_; }

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::vector<int> fillers_;
};

TEST(HeadlessRun, SigtermDuringTheStartUpConnectWaitEndsTheRunOnceTheWaitIsOver) {
    FullBacklogListener unanswered;
    ASSERT_NE(unanswered.port(), 0);
    ProgramSetup setup;
    setup.tcpPorts = {unanswered.port()};
    HeadlessProgram program(setup);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.stop(15000)) << "still running after SIGTERM";
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.logLines().size(), 1);
    EXPECT_EQ(program.logLinesContaining("frmZNRInterface.CreateEthernetConnection, 0, Winsock "
                                         "Error IP Address Unavailable"),
              1)
        << program.logLines().join('\n').constData();
}

// A serial run: no TCP socket exists that would make the network layer ignore SIGPIPE.
TEST(HeadlessRun, ReaderOfTheAnnouncementsGoingAwayDoesNotEndTheRun) {
    TempDir links;
    const QByteArray link = links.path("tty3");
    SimProcess sim({QStringLiteral("--pty"), QFile::decodeName(link), QStringLiteral("--batches"),
                    QStringLiteral("0"), QStringLiteral("--interval"), QStringLiteral("100")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(QFile::decodeName(link)); }, 10000));
    ProgramSetup setup;
    setup.mode = "SERIAL";
    setup.serialLinks = {link};
    HeadlessProgram program(setup);
    // Standard output is a FIFO whose only reader the test closes once the program runs.
    const QByteArray fifo = links.path("announcements");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    program.process().setStandardOutputFile(QFile::decodeName(fifo));
    ASSERT_TRUE(program.start());
    ::close(reader);
    // Data files of two different seconds: several announcements went to the closed pipe.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return listFiles(program.folder("Data Files")).size() >= 2 || !program.running(); },
        10000));
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(program.stop());
    EXPECT_EQ(program.exitCode(), 0);
}

} // namespace
} // namespace znr::test
