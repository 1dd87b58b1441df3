#include "link/ElementSets.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace znr {
namespace {

const QByteArray kAck8("\x06\x38", 2);
const QByteArray kFrame("\x01"
                        "1DAT\x02"
                        "1,0.81,7.8\x03\x04");

// An instrument on loopback that accepts one client; arrivals are read the way the receive
// path reads them: everything waiting, inside the event.
struct SocketElementTest : ::testing::Test {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    SocketElement element{3};
    QSignalSpy errors{&element, &ISocketElement::error};
    QByteArray received;
    QList<int> indexes;
    QList<qint64> reported;   // bytes waiting, as the event said
    QList<qint64> handedOver; // bytes GetData returned in that event

    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&element, &ISocketElement::dataArrival, [this](int i, qint64 n) {
            const QByteArray d = element.GetData();
            indexes.append(i);
            reported.append(n);
            handedOver.append(d.size());
            received += d;
        });
    }

    // Leaves the test (fatal failure) unless the element reaches Connected.
    void connectElement() {
        element.Connect("127.0.0.1", server.serverPort());
        ASSERT_TRUE(QTest::qWaitFor([&] { return element.State() == SocketState::Connected; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }));
        peer = server.nextPendingConnection();
        ASSERT_NE(peer, nullptr);
    }

    void peerSends(const QByteArray& bytes) {
        peer->write(bytes);
        peer->flush();
    }

    bool receivedAtLeast(qsizetype n) {
        return QTest::qWaitFor([&] { return received.size() >= n; });
    }
};

TEST_F(SocketElementTest, GreetingReachesTheInstrumentInOneWrite) {
    connectElement();
    EXPECT_EQ(element.RemoteHost(), "127.0.0.1");
    EXPECT_EQ(element.RemotePort(), server.serverPort());
    element.SendData(kAck8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer->bytesAvailable() >= 2; }));
    EXPECT_EQ(peer->readAll(), kAck8);
}

TEST_F(SocketElementTest, SplitFrameArrivesWholeWithTheIndexOnEveryEvent) {
    connectElement();
    peerSends(kFrame.left(3));
    ASSERT_TRUE(receivedAtLeast(3));
    peerSends(kFrame.mid(3, 6));
    ASSERT_TRUE(receivedAtLeast(9));
    peerSends(kFrame.mid(9));
    ASSERT_TRUE(receivedAtLeast(kFrame.size()));
    EXPECT_EQ(received, kFrame);
    EXPECT_GE(indexes.size(), 3);
    EXPECT_EQ(indexes.count(3), indexes.size());
    EXPECT_EQ(reported, handedOver);
}

TEST_F(SocketElementTest, TwoFramesInOneWriteAreAllHandedOver) {
    connectElement();
    peerSends(kFrame + kFrame);
    ASSERT_TRUE(receivedAtLeast(2 * kFrame.size()));
    QTest::qWait(50);
    EXPECT_EQ(received, kFrame + kFrame);
    EXPECT_EQ(reported, handedOver);
}

TEST_F(SocketElementTest, PeerClosingMidBatchIsReportedOnceAndLeavesState9) {
    connectElement();
    peerSends(kFrame.left(5));
    peer->disconnectFromHost();
    ASSERT_TRUE(errors.wait(5000));
    QTest::qWait(200);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.first().at(0).toInt(), 3);
    EXPECT_EQ(errors.first().at(1).toInt(), SocketErrorNo::ConnectionReset);
    EXPECT_EQ(errors.first().at(2).toByteArray(), "Connection is reset by remote side");
    EXPECT_EQ(element.State(), SocketState::Error);
    try {
        element.SendData(kAck8);
        FAIL() << "sent on a broken connection";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), SocketErrorNo::BadState);
    }
    element.Close();
    EXPECT_EQ(element.State(), SocketState::Closed);
}

TEST_F(SocketElementTest, RefusedConnectionReachesState9AfterConnectReturned) {
    const quint16 deadPort = server.serverPort();
    server.close(); // nobody listens there any more
    element.Connect("127.0.0.1", deadPort);
    EXPECT_EQ(errors.size(), 0) << "error raised inside Connect";
    ASSERT_TRUE(QTest::qWaitFor([&] { return element.State() == SocketState::Error; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors.size() == 1; }));
    EXPECT_EQ(errors.first().at(1).toInt(), SocketErrorNo::ConnectionRefused);
    EXPECT_EQ(errors.first().at(2).toByteArray(), "Connection is forcefully rejected");
    EXPECT_EQ(element.RemotePort(), deadPort);
}

TEST_F(SocketElementTest, UnknownHostReachesState9WithHostNotFound) {
    element.Connect("no-such-host.invalid", 3001); // a name that never resolves
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors.size() == 1; }, 30000));
    EXPECT_EQ(element.State(), SocketState::Error);
    EXPECT_EQ(errors.first().at(1).toInt(), SocketErrorNo::HostNotFound);
    EXPECT_EQ(errors.first().at(2).toByteArray(), "Authoritative answer: Host not found");
    EXPECT_EQ(element.RemoteHost(), "no-such-host.invalid");
}

TEST_F(SocketElementTest, CloseLeavesConnectedAtOnceAndTheInstrumentSeesIt) {
    connectElement();
    element.Close();
    EXPECT_NE(element.State(), SocketState::Connected);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(element.RemoteHost(), "127.0.0.1"); // kept for matching rows
}

TEST_F(SocketElementTest, ReconnectAfterAnErrorStartsClean) {
    connectElement();
    peer->abort();
    ASSERT_TRUE(errors.wait(5000));
    element.Close();
    element.Connect("127.0.0.1", server.serverPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return element.State() == SocketState::Connected; }));
    EXPECT_EQ(errors.size(), 1);
}

// A handler may destroy the socket that reported to it: the socket's own notification code,
// still running below the handler, must survive that.
TEST(SocketElementSetTest, HandlerMayDestroyTheSocketThatReportedTheError) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    SocketSet set(socketElementFactory());
    int errorsSeen = 0;
    ISocketElement& element = set.create(5);
    QObject::connect(&element, &ISocketElement::error, [&](int index, int, const QByteArray&) {
        ++errorsSeen;
        set.destroy(index);
    });
    element.Connect("127.0.0.1", server.serverPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    ASSERT_TRUE(QTest::qWaitFor([&] { return set.at(5).State() == SocketState::Connected; }));
    peer->abort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !set.exists(5); }));
    QTest::qWait(50);
    EXPECT_EQ(errorsSeen, 1);
    EXPECT_EQ(set.highestIndex(), 0);
}

} // namespace
} // namespace znr
