// The TCP and serial links on loopback sockets and ptys, for what the program does not show:
// the order of the last bytes and the drop, writes refused on a closed line, the same line
// opened afresh, and a port that is already open.

#include "config/AppSettings.h"
#include "core/Failure.h"
#include "link/Links.h"
#include "link/SerialSettings.h"
#include "support/Frames.h"
#include "support/Pty.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace znr {
namespace {

using test::kAck8;

// The bytes sent before the peer closed arrive first; the line then drops once, refuses writes
// and opens afresh. Closed with bytes still unsent, it goes on closing and takes no more writes,
// and the peer going away then is no drop.
TEST(TcpLinkTest, PeerClosingDropsOnceAfterItsLastBytesAndAClosedLineDoesNot) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    AppSettings settings;
    const std::unique_ptr<Link> link =
        realLinks(settings)(LinkEndpoint::tcp("127.0.0.1", server.serverPort()));
    QByteArray received;
    QByteArray receivedAtDrop;
    QSignalSpy dropped(link.get(), &Link::dropped);
    QObject::connect(link.get(), &Link::received, [&](const QByteArray& b) { received += b; });
    QObject::connect(link.get(), &Link::dropped, [&] { receivedAtDrop = received; });
    const auto openAndAccept = [&] {
        QSignalSpy opened(link.get(), &Link::opened);
        link->open();
        EXPECT_TRUE(opened.isEmpty()) << "raised inside open()";
        EXPECT_TRUE(QTest::qWaitFor([&] { return link->isOpen() && opened.size() == 1; }));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }));
        return std::unique_ptr<QTcpSocket>(server.nextPendingConnection());
    };

    std::unique_ptr<QTcpSocket> peer = openAndAccept();
    ASSERT_TRUE(peer);
    const QByteArray piece = test::wireFrame("DAT", "1,0.81,7.8").left(5);
    peer->write(piece);
    peer->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dropped.isEmpty(); }));
    QTest::qWait(100);
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped[0][0].toInt(), 10054);
    EXPECT_EQ(dropped[0][1].toByteArray(), "Connection is reset by remote side");
    EXPECT_EQ(receivedAtDrop, piece);
    EXPECT_FALSE(link->isOpen());
    EXPECT_THROW(link->write(kAck8), Failure);

    peer = openAndAccept();
    ASSERT_TRUE(peer);
    link->write(QByteArray(32 << 20, 'x')); // more than the socket buffers hold
    link->close();
    EXPECT_THROW(link->write(kAck8), Failure);
    peer->abort();
    QTest::qWait(300);
    EXPECT_EQ(dropped.size(), 1);
}

// A pty opens as a serial port (it has no modem lines: DTR and RTS are refused as unsupported,
// which is no failure), refuses a second opening, and refuses writes once closed. Settings a
// port cannot take and missing devices are seen through the program's log.
TEST(SerialLinkTest, OpenPortRefusesASecondOpeningAndAClosedOneRefusesWrites) {
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    AppSettings settings;
    settings.serialPortDevices[7] = pty.slavePath();
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
