#pragma once

#include "support/Frames.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

namespace znr::test {

// An instrument played inside the test: a TCP server on a free loopback port that the program
// connects to. The test decides every byte sent, reads the program's replies or counts them,
// and can close its end and listen again on the same port. With connectTo() it plays the
// program instead, against a simulated instrument.
class TestInstrument {
public:
    TestInstrument();

    quint16 port() const { return port_; }
    // Takes the program's next connection, waiting up to `timeoutMs`; false when none came.
    bool accept(int timeoutMs = 20000);
    // Takes the connection and waits for the program's greeting ACK8.
    bool waitForProgram(int timeoutMs = 20000);
    bool connected() const;
    bool connectTo(quint16 port);

    // Writes and waits until the bytes have left (processing events).
    bool send(const QByteArray& bytes, int timeoutMs = 20000);
    // Sends each frame and waits for its ACK8 before the next; false when one does not come.
    bool sendFrames(const QByteArrayList& frames, int timeoutMs = 20000);
    // Waits until at least `count` ACK8 came after the greeting in all.
    bool waitForAcks(qint64 count, int timeoutMs = 20000);
    qint64 acks(); // ACK8 received since the greeting
    // Bytes that were neither ACK8 nor NAK8 (must stay 0).
    qint64 strayBytes();

    // The next `count` bytes the program sent, waiting up to `timeoutMs` for them.
    QByteArray take(int count, int timeoutMs = 10000);
    // Nothing more arrives within `ms`.
    bool quietFor(int ms);
    // The next complete frame received.
    std::optional<QByteArray> nextFrame(int timeoutMs = 10000);

    // Stops listening and closes the program's connection from this side.
    void goAway();
    bool listenAgain();

private:
    void pull();

    QTcpServer server_;
    quint16 port_ = 0;
    QTcpSocket* socket_ = nullptr;
    QByteArray all_;    // everything received on this connection
    QByteArray unread_; // for take()
    FrameCollector frames_;
};

// A loopback listener whose accept queue is full (backlog 0, connections never accepted): the
// kernel drops every further SYN, so a connect to it neither succeeds nor fails.
class FullListener {
public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    quint16 port() const { return port_; }
    // A further client gets nowhere within `ms`.
    bool swallowsConnects(int ms) const;

private:
    int fd_ = -1;
    quint16 port_ = 0;
    QList<int> fillers_;
};

// A loopback port that nobody listens on: connecting to it is refused at once.
quint16 refusingPort();

} // namespace znr::test
