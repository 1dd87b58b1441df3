// The TCP and serial links on loopback sockets and ptys, for what the program does not show:
// the order of the last bytes and the drop, writes refused on a closed line, and the same line
// opened afresh.

#include "config/AppSettings.h"
#include "core/Failure.h"
#include "link/Links.h"
#include "link/SerialSettings.h"
#include "support/Pty.h"

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

// A TCP link to an instrument on loopback that accepts it, and everything the link reports.
struct TcpLinkTest : ::testing::Test {
    AppSettings settings;
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    std::unique_ptr<Link> link;
    QByteArray received;

    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        link = realLinks(settings)(LinkEndpoint::tcp("127.0.0.1", server.serverPort()));
        QObject::connect(link.get(), &Link::received,
                         [this](const QByteArray& bytes) { received += bytes; });
        QSignalSpy opened(link.get(), &Link::opened);
        link->open();
        EXPECT_TRUE(opened.isEmpty()) << "raised inside open()";
        ASSERT_TRUE(QTest::qWaitFor([&] { return link->isOpen(); }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }));
        peer.reset(server.nextPendingConnection());
        EXPECT_EQ(opened.size(), 1);
    }
};

// The bytes sent before the peer closed arrive first; the line then drops once, refuses
// writes, and opens afresh.
TEST_F(TcpLinkTest, PeerClosingMidBatchDropsOnceAfterItsLastBytes) {
    QSignalSpy dropped(link.get(), &Link::dropped);
    QByteArray receivedAtDrop;
    QObject::connect(link.get(), &Link::dropped, [&] { receivedAtDrop = received; });
    peer->write(kFrame.left(5));
    peer->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dropped.isEmpty(); }));
    QTest::qWait(100);
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped[0][0].toInt(), 10054);
    EXPECT_EQ(dropped[0][1].toByteArray(), "Connection is reset by remote side");
    EXPECT_EQ(receivedAtDrop, kFrame.left(5));
    EXPECT_FALSE(link->isOpen());
    EXPECT_THROW(link->write(kAck8), Failure);
    link->open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link->isOpen(); }));
}

// A line closed with bytes still unsent goes on closing and takes no more writes; the peer going
// away then is no drop.
TEST_F(TcpLinkTest, LineClosedWithBytesUnsentReportsNoDrop) {
    QSignalSpy dropped(link.get(), &Link::dropped);
    link->write(QByteArray(32 << 20, 'x')); // more than the socket buffers hold
    link->close();
    EXPECT_THROW(link->write(kAck8), Failure);
    peer->abort();
    QTest::qWait(300);
    EXPECT_TRUE(dropped.isEmpty());
}

// A pty opens as a serial port (it has no modem lines: DTR and RTS are refused as unsupported,
// which is no failure), refuses a second opening, and refuses writes once closed. Settings a
// port cannot take and missing devices are seen through the program's log.
TEST(SerialLinkTest, OpenPortRefusesASecondOpeningAndAClosedOneRefusesWrites) {
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    AppSettings settings;
    settings.SerialPortDevices[7] = pty.slavePath();
    const auto port = [&] {
        return realLinks(settings)(LinkEndpoint::serialPort(7, "9600,n,8,1", true, true));
    };
    const std::unique_ptr<Link> holder = port();
    ASSERT_NO_THROW(holder->open());
    try {
        port()->open();
        ADD_FAILURE() << "opened twice";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), CommErrorNo::PortAlreadyOpen);
    }
    holder->close();
    EXPECT_THROW(holder->write(kAck8), Failure);
}

} // namespace
} // namespace znr
