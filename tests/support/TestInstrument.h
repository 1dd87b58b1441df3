#pragma once

#include "support/Frames.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace znr::test {

// An instrument played inside the test: a TCP server on a free loopback port that the program
// connects to. The test decides every byte sent, reads the program's replies or counts them,
// and can close its end and listen again on the same port.
class TestInstrument {
public:
    TestInstrument() {
        server_.listen(QHostAddress::LocalHost, 0);
        port_ = server_.serverPort();
    }

    quint16 port() const { return port_; }
    // Takes the program's next connection, waiting up to `timeoutMs`; false when none came.
    bool accept(int timeoutMs = 20000) {
        if (!QTest::qWaitFor([&] { return server_.hasPendingConnections(); }, timeoutMs))
            return false;
        socket_ = server_.nextPendingConnection(); // owned by the server
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        all_.clear();
        unread_.clear();
        return true;
    }
    // Takes the connection and waits for the program's greeting ACK8.
    bool waitForProgram(int timeoutMs = 20000) {
        return accept(timeoutMs) && waitForAcks(0, timeoutMs);
    }
    // Writes and waits until the bytes have left (processing events).
    bool send(const QByteArray& bytes, int timeoutMs = 20000) {
        if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState)
            return false;
        socket_->write(bytes);
        return QTest::qWaitFor(
            [&] {
                pull();
                socket_->flush();
                return socket_->bytesToWrite() == 0;
            },
            timeoutMs);
    }
    // Sends each frame and waits for its ACK8 before the next; false when one does not come.
    bool sendFrames(const QByteArrayList& frames, int timeoutMs = 20000) {
        for (const QByteArray& f : frames) {
            const qint64 before = acks();
            if (!send(f, timeoutMs) || !waitForAcks(before + 1, timeoutMs))
                return false;
        }
        return true;
    }
    // Waits until at least `count` ACK8 came after the greeting in all.
    bool waitForAcks(qint64 count, int timeoutMs = 20000) {
        return QTest::qWaitFor([&] { return acks() >= count; }, timeoutMs);
    }
    // ACK8 received since the greeting.
    qint64 acks() {
        pull();
        return all_.count(kAck8) - 1;
    }
    // Bytes that were neither ACK8 nor NAK8 (must stay 0).
    qint64 strayBytes() {
        pull();
        return all_.size() - 2 * (all_.count(kAck8) + all_.count(kNak8));
    }

    // The next `count` bytes the program sent, waiting up to `timeoutMs` for them.
    QByteArray take(int count, int timeoutMs = 10000) {
        (void)QTest::qWaitFor(
            [&] {
                pull();
                return unread_.size() >= count;
            },
            timeoutMs);
        const QByteArray head = unread_.left(count);
        unread_.remove(0, head.size());
        return head;
    }
    // Nothing more arrives within `ms`.
    bool quietFor(int ms) {
        pull();
        const qsizetype before = all_.size();
        QTest::qWait(ms);
        pull();
        return all_.size() == before;
    }
    // Stops listening and closes the connection from this side.
    void goAway() {
        server_.close();
        if (socket_)
            socket_->close();
    }
    bool listenAgain() { return server_.listen(QHostAddress::LocalHost, port_); }

private:
    void pull() {
        const QByteArray got = socket_ ? socket_->readAll() : QByteArray();
        all_ += got;
        unread_ += got;
    }

    QTcpServer server_;
    quint16 port_ = 0;
    QTcpSocket* socket_ = nullptr;
    QByteArray all_;    // everything received on this connection
    QByteArray unread_; // for take()
};

// A loopback listener whose accept queue is full (backlog 0, connections never accepted): the
// kernel drops every further SYN, so a connect to it neither succeeds nor fails.
class FullListener {
public:
    FullListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        const auto address = reinterpret_cast<sockaddr*>(&a);
        if (fd_ < 0 || ::bind(fd_, address, size) != 0 || ::listen(fd_, 0) != 0 ||
            ::getsockname(fd_, address, &size) != 0)
            return;
        port_ = ntohs(a.sin_port);
        for (int i = 0; i < 3; ++i) {
            fillers_.append(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            (void)::connect(fillers_.last(), address, sizeof a);
        }
    }
    ~FullListener() {
        for (int fd : fillers_)
            ::close(fd);
        ::close(fd_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    quint16 port() const { return port_; }
    // A further client gets nowhere within `ms`.
    bool swallowsConnects(int ms) const {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), port_);
        return !probe.waitForConnected(ms);
    }

private:
    int fd_ = -1;
    quint16 port_ = 0;
    QList<int> fillers_;
};

} // namespace znr::test
