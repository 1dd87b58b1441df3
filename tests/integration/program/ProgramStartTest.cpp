#include "integration/program/ProgramFixture.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace znr {
namespace {

using namespace test;

// A loopback listener whose accept queue is full (backlog 0, one connection never accepted):
// the kernel drops every further SYN, so a connect to it neither succeeds nor fails.
class FullListener {
public:
    FullListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
            ::listen(fd_, 0) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size))
            return;
        port_ = ntohs(a.sin_port);
        filler_.connectToHost(QStringLiteral("127.0.0.1"), port_);
        filler_.waitForConnected(5000);
    }
    ~FullListener() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    quint16 port() const { return port_; }
    // A further client gets nowhere within `ms`.
    bool swallowsConnects(int ms) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), port_);
        const bool connected = probe.waitForConnected(ms);
        probe.abort();
        return filler_.state() == QAbstractSocket::ConnectedState && !connected;
    }

private:
    int fd_ = -1;
    quint16 port_ = 0;
    QTcpSocket filler_;
};

// A loopback port that nobody listens on: connecting to it is refused at once.
quint16 refusingPort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

struct ProgramStart : ProgramFixture {};

TEST_F(ProgramStart, SilentAndRefusingInstrumentsAreLoggedOnceEachAndTheNextOneIsServed) {
    FullListener silent;
    ASSERT_NE(silent.port(), 0);
    ASSERT_TRUE(silent.swallowsConnects(200)) << "the full listener still accepts";
    const quint16 refusing = refusingPort();
    ASSERT_NE(refusing, 0);
    config.ethernetInstruments = {{"127.0.0.1", silent.port()}, {"127.0.0.1", refusing}};
    Instrument& good = addInstrument("good", args({"--id", "1234", "--seed", "2"}));
    startProgram();
    ASSERT_TRUE(good.finishes(40000)) << good.diagnostics().constData();

    expectDataFilesAsExpected(program.dataFolder(), good.expectedFolder(true), 1);
    ASSERT_TRUE(program.waitForLogLines(3));
    const QByteArrayList lines = program.logLines();
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').constData();
    EXPECT_TRUE(isLogLine(lines[0], "frmZNRInterface.CreateEthernetConnection, 0, Winsock Error "
                                    "IP Address Unavailable"))
        << lines[0].constData();
    EXPECT_TRUE(isLogLine(lines[1], "frmZNRInterface.CreateEthernetConnection, 0, Winsock Error "
                                    "Connection Unavailable"))
        << lines[1].constData();
    EXPECT_TRUE(isLogLine(lines[2], kLinkReset)) << lines[2].constData();
}

} // namespace
} // namespace znr
