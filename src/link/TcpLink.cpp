#include "link/TcpLink.h"

#include "core/Failure.h"

#include <QTcpSocket>
#include <sys/socket.h>

namespace znr {
namespace {

// The number and text a socket failure is reported with.
Failure describe(QAbstractSocket::SocketError e) {
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return {LinkErrorNo::ConnectionRefused, "Connection is forcefully rejected"};
    case QAbstractSocket::RemoteHostClosedError:
        return {LinkErrorNo::ConnectionReset, "Connection is reset by remote side"};
    case QAbstractSocket::HostNotFoundError:
        return {LinkErrorNo::HostNotFound, "Authoritative answer: Host not found"};
    case QAbstractSocket::SocketTimeoutError:
        return {LinkErrorNo::TimedOut,
                "Attempt to connect timed out without establishing a connection"};
    case QAbstractSocket::NetworkError:
        return {10051, "The network cannot be reached from this host at this time"};
    case QAbstractSocket::SocketAccessError:
        return {10013, "Permission denied"};
    case QAbstractSocket::SocketResourceError:
        return {10055, "No buffer space is available"};
    case QAbstractSocket::AddressInUseError:
        return {10048, "Address in use"};
    case QAbstractSocket::SocketAddressNotAvailableError:
        return {10049, "Address not available from the local machine"};
    default:
        return {10053, "Connection is aborted due to timeout or other failure"};
    }
}

} // namespace

TcpLink::TcpLink(QByteArray host, quint16 port)
    : socket_(new QTcpSocket(this)), host_(std::move(host)), port_(port) {
    connect(socket_, &QTcpSocket::connected, this, [this] {
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        raise([this] { Q_EMIT opened(); });
    });
    connect(socket_, &QTcpSocket::readyRead, this, &TcpLink::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &TcpLink::onSocketError);
    connect(socket_, &QTcpSocket::disconnected, this, &TcpLink::onDisconnected);
}

void TcpLink::open() {
    OperationScope scope(*this);
    startNewGeneration();
    dropReported_ = false;
    closing_ = false;
    socket_->abort();
    socket_->connectToHost(QString::fromLatin1(host_), port_);
}

void TcpLink::close() {
    OperationScope scope(*this);
    startNewGeneration();
    dropReported_ = false;
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        socket_->abort();
        return;
    }
    socket_->flush();
    socket_->disconnectFromHost(); // goes on closing only while bytes are unsent
    closing_ = socket_->state() == QAbstractSocket::ClosingState;
}

bool TcpLink::isOpen() const {
    const QAbstractSocket::SocketState s = socket_->state();
    return !dropReported_ &&
           (s == QAbstractSocket::ConnectedState || s == QAbstractSocket::ClosingState);
}

void TcpLink::write(const QByteArray& bytes) {
    OperationScope scope(*this);
    if (dropReported_ || socket_->state() != QAbstractSocket::ConnectedState)
        throw Failure(LinkErrorNo::NotOpen,
                      "Wrong protocol or connection state for the requested transaction or "
                      "request");
    const qsizetype sent = socket_->bytesToWrite() == 0 ? sendAtOnce(bytes) : 0;
    if (sent == bytes.size())
        return;
    const QByteArray rest = sent == 0 ? bytes : bytes.mid(sent);
    if (socket_->write(rest) != rest.size())
        throw Failure(10055, "No buffer space is available");
    socket_->flush();
}

// Hands the bytes to the kernel directly when nothing is queued before them: through
// QTcpSocket's buffer every reply would arm and then disarm its write notifier, and each change
// wakes the event loop for one more pass. Returns how many bytes went; on any failure none did,
// and the buffered write takes them and reports the failure as usual.
qsizetype TcpLink::sendAtOnce(const QByteArray& bytes) {
    const ssize_t n = ::send(int(socket_->socketDescriptor()), bytes.constData(),
                             size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    return n > 0 ? qsizetype(n) : 0;
}

void TcpLink::onReadyRead() {
    // Exactly what the socket holds: readAll() would first size its result for a whole chunk.
    const QByteArray bytes = socket_->read(socket_->bytesAvailable());
    if (!bytes.isEmpty())
        raise([this, bytes] { Q_EMIT received(bytes); });
}

void TcpLink::onSocketError() {
    if (dropReported_ || closing_)
        return;
    onReadyRead(); // whatever came before the end is handed over first
    dropReported_ = true;
    const Failure f = describe(socket_->error());
    raise([this, f] { Q_EMIT dropped(f.number(), f.description()); });
}

void TcpLink::onDisconnected() {
    if (!closing_)
        return;
    closing_ = false;
    raise([this] { Q_EMIT closed(); });
}

} // namespace znr
