#include "support/TestInstrument.h"

#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace znr::test {

TestInstrument::TestInstrument() {
    server_.listen(QHostAddress::LocalHost, 0);
    port_ = server_.serverPort();
}

bool TestInstrument::accept(int timeoutMs) {
    if (!QTest::qWaitFor([&] { return server_.hasPendingConnections(); }, timeoutMs))
        return false;
    socket_ = server_.nextPendingConnection(); // owned by the server
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    all_.clear();
    unread_.clear();
    return true;
}

bool TestInstrument::waitForProgram(int timeoutMs) {
    return accept(timeoutMs) && waitForAcks(0, timeoutMs);
}

bool TestInstrument::connectTo(quint16 port) {
    socket_ = new QTcpSocket(&server_);
    socket_->connectToHost(QStringLiteral("127.0.0.1"), port);
    return QTest::qWaitFor([&] { return connected(); }, 10000);
}

bool TestInstrument::connected() const {
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void TestInstrument::pull() {
    const QByteArray got = socket_ ? socket_->readAll() : QByteArray();
    all_ += got;
    unread_ += got;
    frames_.add(got);
}

qint64 TestInstrument::acks() {
    pull();
    return all_.count(kAck8) - 1;
}

qint64 TestInstrument::strayBytes() {
    pull();
    return all_.size() - 2 * (all_.count(kAck8) + all_.count(kNak8));
}

bool TestInstrument::send(const QByteArray& bytes, int timeoutMs) {
    if (!connected())
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

bool TestInstrument::waitForAcks(qint64 count, int timeoutMs) {
    return QTest::qWaitFor([&] { return acks() >= count; }, timeoutMs);
}

bool TestInstrument::sendFrames(const QByteArrayList& frames, int timeoutMs) {
    for (const QByteArray& f : frames) {
        const qint64 before = acks();
        if (!send(f, timeoutMs) || !waitForAcks(before + 1, timeoutMs))
            return false;
    }
    return true;
}

QByteArray TestInstrument::take(int count, int timeoutMs) {
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

bool TestInstrument::quietFor(int ms) {
    pull();
    const qsizetype before = unread_.size();
    QTest::qWait(ms);
    pull();
    return unread_.size() == before;
}

std::optional<QByteArray> TestInstrument::nextFrame(int timeoutMs) {
    std::optional<QByteArray> frame;
    (void)QTest::qWaitFor(
        [&] {
            pull();
            return (frame = frames_.take()).has_value();
        },
        timeoutMs);
    return frame;
}

void TestInstrument::goAway() {
    server_.close();
    if (socket_)
        socket_->close();
}

bool TestInstrument::listenAgain() {
    return server_.listen(QHostAddress::LocalHost, port_);
}

FullListener::FullListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
        ::listen(fd_, 0) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        return;
    port_ = ntohs(a.sin_port);
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        (void)::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers_.append(fd);
    }
}

FullListener::~FullListener() {
    for (int fd : fillers_)
        ::close(fd);
    if (fd_ >= 0)
        ::close(fd_);
}

bool FullListener::swallowsConnects(int ms) const {
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port_);
    const bool connected = probe.waitForConnected(ms);
    probe.abort();
    return !connected;
}

quint16 refusingPort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

} // namespace znr::test
