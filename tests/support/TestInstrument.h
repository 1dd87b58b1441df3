#pragma once

#include "support/Frames.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

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
    // Takes the program's next connection and waits for its greeting ACK8.
    bool waitForProgram(int timeoutMs = 20000) {
        if (!QTest::qWaitFor([&] { return server_.hasPendingConnections(); }, timeoutMs))
            return false;
        socket_ = server_.nextPendingConnection(); // owned by the server
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        received_.clear();
        return waitForAcks(0, timeoutMs);
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
    bool sendFrames(const QByteArrayList& frames) {
        for (const QByteArray& f : frames)
            if (reply(f) != kAck8)
                return false;
        return true;
    }
    // Sends `frame` and returns the program's two-byte reply to it; empty when none came.
    QByteArray reply(const QByteArray& frame, int timeoutMs = 20000) {
        const qsizetype before = received().size();
        if (!send(frame) ||
            !QTest::qWaitFor([&] { return received().size() >= before + 2; }, timeoutMs))
            return {};
        return received().mid(before, 2);
    }
    // Waits until at least `count` ACK8 came after the greeting in all.
    bool waitForAcks(qint64 count, int timeoutMs = 20000) {
        return QTest::qWaitFor([&] { return acks() >= count; }, timeoutMs);
    }
    // ACK8 received since the greeting.
    qint64 acks() {
        pull();
        return received_.count(kAck8) - 1;
    }
    // Every byte the program sent on this connection.
    QByteArray received() {
        pull();
        return received_;
    }
    // Stops listening and closes the connection from this side.
    void goAway() {
        server_.close();
        if (socket_)
            socket_->close();
    }
    bool listenAgain() { return server_.listen(QHostAddress::LocalHost, port_); }

private:
    void pull() { received_ += socket_ ? socket_->readAll() : QByteArray(); }

    QTcpServer server_;
    quint16 port_ = 0;
    QTcpSocket* socket_ = nullptr;
    QByteArray received_;
};

// A loopback listener that takes no connection and whose accept queue (backlog 0) is full: the
// kernel drops every further SYN, so a connect to it neither succeeds nor fails.
class FullListener {
public:
    FullListener() {
        server_.setListenBacklogSize(0);
        server_.setMaxPendingConnections(0);
        server_.listen(QHostAddress::LocalHost, 0);
        for (QTcpSocket& filler : fillers_)
            filler.connectToHost(QHostAddress::LocalHost, server_.serverPort());
    }
    quint16 port() const { return server_.serverPort(); }

private:
    QTcpServer server_;
    QTcpSocket fillers_[3];
};

} // namespace znr::test
