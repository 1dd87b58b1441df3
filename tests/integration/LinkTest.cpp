// The TCP and serial links on loopback sockets and ptys: bytes both ways, drops and failed
// openings with their numbers, and a handler destroying the link that reported to it.

#include "config/AppSettings.h"
#include "core/Failure.h"
#include "link/Links.h"
#include "link/SerialSettings.h"
#include "support/Pty.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace znr {
namespace {

const QByteArray kAck8("\x06\x38", 2);
const QByteArray kFrame("\x01"
                        "1DAT\x02"
                        "1,0.81,7.8\x03\x04");

// A real link and everything it reports.
struct Watched {
    std::unique_ptr<Link> link;
    QByteArray received;
    QSignalSpy opened{link.get(), &Link::opened};
    QSignalSpy dropped{link.get(), &Link::dropped};

    explicit Watched(std::unique_ptr<Link> l) : link(std::move(l)) {
        QObject::connect(link.get(), &Link::received,
                         [this](const QByteArray& bytes) { received += bytes; });
    }
    bool receivedAtLeast(qsizetype n) {
        return QTest::qWaitFor([&] { return received.size() >= n; });
    }
    // The number and text of the one drop reported.
    std::pair<int, QByteArray> drop() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dropped.isEmpty(); }, 30000));
        QTest::qWait(100);
        EXPECT_EQ(dropped.size(), 1);
        return dropped.isEmpty() ? std::pair{0, QByteArray()}
                                 : std::pair{dropped[0][0].toInt(), dropped[0][1].toByteArray()};
    }
};

// An instrument on loopback that accepts one client.
struct TcpLinkTest : ::testing::Test {
    AppSettings settings;
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;

    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress::LocalHost)); }
    std::unique_ptr<Watched> linkTo(const QByteArray& host, quint16 port) {
        return std::make_unique<Watched>(realLinks(settings)(LinkEndpoint::tcp(host, port)));
    }
    // Leaves the test (fatal failure) unless the link opens.
    void openLink(Watched& w) {
        w.link->open();
        EXPECT_TRUE(w.opened.isEmpty()) << "raised inside open()";
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.link->isOpen(); }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }));
        peer.reset(server.nextPendingConnection());
        EXPECT_EQ(w.opened.size(), 1);
    }
    void peerSends(const QByteArray& bytes) {
        peer->write(bytes);
        peer->flush();
    }
};

TEST_F(TcpLinkTest, RepliesGoOutAtOnceSplitFramesArriveWholeAndCloseIsQuiet) {
    auto w = linkTo("127.0.0.1", server.serverPort());
    openLink(*w);
    w->link->write(kAck8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer->bytesAvailable() >= 2; }));
    EXPECT_EQ(peer->readAll(), kAck8);
    peerSends(kFrame.left(3));
    ASSERT_TRUE(w->receivedAtLeast(3));
    peerSends(kFrame.mid(3) + kFrame);
    ASSERT_TRUE(w->receivedAtLeast(2 * kFrame.size()));
    EXPECT_EQ(w->received, kFrame + kFrame);
    // Closing ends the line at once, the peer sees it, and no drop is reported.
    w->link->close();
    EXPECT_FALSE(w->link->isOpen());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(w->dropped.isEmpty());
}

// The bytes sent before the peer closed arrive first; the line then drops once and refuses writes.
TEST_F(TcpLinkTest, PeerClosingMidBatchDropsOnceAfterItsLastBytes) {
    auto w = linkTo("127.0.0.1", server.serverPort());
    openLink(*w);
    QByteArray receivedAtDrop;
    QObject::connect(w->link.get(), &Link::dropped, [&] { receivedAtDrop = w->received; });
    peerSends(kFrame.left(5));
    peer->disconnectFromHost();
    EXPECT_EQ(w->drop(), std::pair(10054, QByteArray("Connection is reset by remote side")));
    EXPECT_EQ(receivedAtDrop, kFrame.left(5));
    EXPECT_FALSE(w->link->isOpen());
    EXPECT_THROW(w->link->write(kAck8), Failure);
    w->link->open(); // the same line opens afresh
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->link->isOpen(); }));
}

TEST_F(TcpLinkTest, FailedOpeningsDropWithTheirNumbersAfterOpenReturned) {
    const quint16 deadPort = server.serverPort();
    server.close(); // nobody listens there any more
    const struct {
        QByteArray host;
        quint16 port;
        int number;
        const char* text;
    } cases[] = {{"127.0.0.1", deadPort, 10061, "Connection is forcefully rejected"},
                 {"no-such-host.invalid", 3001, 11001, "Authoritative answer: Host not found"}};
    for (const auto& k : cases) {
        auto w = linkTo(k.host, k.port);
        w->link->open();
        EXPECT_TRUE(w->dropped.isEmpty()) << "raised inside open()";
        EXPECT_EQ(w->drop(), std::pair(k.number, QByteArray(k.text)));
    }
}

// A handler may throw away the link that reported to it, as the connections do.
TEST_F(TcpLinkTest, HandlerMayDestroyTheLinkThatReportedTheDrop) {
    auto w = linkTo("127.0.0.1", server.serverPort());
    openLink(*w);
    QPointer<Link> raw = w->link.release();
    int drops = 0;
    QObject::connect(raw, &Link::dropped, [&] {
        ++drops;
        raw->close();
        raw->deleteLater();
    });
    peer->abort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return raw.isNull(); }));
    EXPECT_EQ(drops, 1);
}

// COM 7 is a fresh pty. It has no modem lines: DTR and RTS are refused as unsupported, which is
// no failure. Bytes on a pty and a vanished one are seen end to end through the program.
TEST(SerialLinkTest, OpeningsThatFailSayWhyAndAClosedPortRefusesWrites) {
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    AppSettings settings;
    settings.SerialPortDevices[7] = pty.slavePath();
    settings.SerialPortDevices[8] = "/dev/znr-no-such-tty";
    const auto port = [&](const char* lineSettings = "9600,n,8,1", int com = 7) {
        return realLinks(settings)(LinkEndpoint::serialPort(qint16(com), lineSettings, true, true));
    };
    const auto openFailure = [](std::unique_ptr<Link> link) {
        try {
            link->open();
        } catch (const Failure& f) {
            EXPECT_FALSE(link->isOpen());
            return f.number();
        }
        return 0;
    };
    auto holder = port();
    holder->open();
    EXPECT_EQ(openFailure(port()), CommErrorNo::PortAlreadyOpen);
    holder->close();
    EXPECT_THROW(holder->write(kAck8), Failure);
    const struct {
        const char* settingsText;
        int com;
        int number;
    } cases[] = {
        {"9600,n,8,1", 8, CommErrorNo::InvalidPortNumber},      // missing device
        {"9600,n,8,1", 0, CommErrorNo::InvalidPortNumber},      // no COM 0
        {"9600,n,8,1.5", 7, CommErrorNo::InvalidPropertyValue}, // not on this system
        {"19200,e,7,2", 7, CommErrorNo::InvalidPropertyValue},  // the pty refuses it
        {"9600,e,8,1", 7, CommErrorNo::InvalidPropertyValue},   // its parity alone too
    };
    for (const auto& k : cases)
        EXPECT_EQ(openFailure(port(k.settingsText, k.com)), k.number)
            << k.settingsText << " COM" << k.com;
    EXPECT_EQ(openFailure(port()), 0) << "a refused opening releases the device";
}

} // namespace
} // namespace znr
