#include "link/SocketElement.h"

#include "core/Failure.h"

#include <QTcpSocket>

namespace znr {

namespace {

// The number and description a socket failure is reported with.
Failure describe(QAbstractSocket::SocketError e) {
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return {SocketErrorNo::ConnectionRefused, "Connection is forcefully rejected"};
    case QAbstractSocket::RemoteHostClosedError:
        return {SocketErrorNo::ConnectionReset, "Connection is reset by remote side"};
    case QAbstractSocket::HostNotFoundError:
        return {SocketErrorNo::HostNotFound, "Authoritative answer: Host not found"};
    case QAbstractSocket::SocketTimeoutError:
        return {SocketErrorNo::TimedOut,
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

int stateNumber(QAbstractSocket::SocketState s) {
    switch (s) {
    case QAbstractSocket::UnconnectedState:
        return SocketState::Closed;
    case QAbstractSocket::HostLookupState:
        return SocketState::ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return SocketState::Connecting;
    case QAbstractSocket::ConnectedState:
        return SocketState::Connected;
    case QAbstractSocket::BoundState:
        return SocketState::Open;
    case QAbstractSocket::ListeningState:
        return SocketState::Listening;
    case QAbstractSocket::ClosingState:
        return SocketState::Closing;
    }
    return SocketState::Closed;
}

} // namespace

SocketElement::SocketElement(int index) : ISocketElement(index), socket_(new QTcpSocket(this)) {
    connect(socket_, &QTcpSocket::connected, this, [this] {
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        raise([this] { Q_EMIT connected(this->index()); });
    });
    connect(socket_, &QTcpSocket::readyRead, this, &SocketElement::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &SocketElement::onSocketError);
}

void SocketElement::Connect(const QByteArray& host, quint16 port) {
    OperationScope scope(*this);
    startNewGeneration();
    remoteHost_ = host;
    remotePort_ = port;
    errorReported_ = false;
    socket_->abort();
    socket_->connectToHost(QString::fromLatin1(host), port);
}

void SocketElement::Close() {
    OperationScope scope(*this);
    startNewGeneration();
    errorReported_ = false;
    if (socket_->state() == QAbstractSocket::ConnectedState) {
        socket_->flush();
        socket_->disconnectFromHost(); // goes on closing (state 8) only while data is unsent
    } else {
        socket_->abort();
    }
}

int SocketElement::State() const {
    return errorReported_ ? SocketState::Error : stateNumber(socket_->state());
}

void SocketElement::SendData(const QByteArray& data) {
    OperationScope scope(*this);
    if (errorReported_ || socket_->state() != QAbstractSocket::ConnectedState)
        throw Failure(SocketErrorNo::BadState,
                      "Wrong protocol or connection state for the requested transaction or "
                      "request");
    const qint64 written = socket_->write(data);
    if (written != data.size())
        throw Failure(10055, "No buffer space is available");
    socket_->flush();
}

QByteArray SocketElement::GetData() {
    return socket_->readAll();
}

void SocketElement::retire() {
    disconnect();
    socket_->disconnect(this);
    startNewGeneration();
    socket_->abort();
}

void SocketElement::onReadyRead() {
    const qint64 waiting = socket_->bytesAvailable();
    if (waiting > 0)
        raise([this, waiting] { Q_EMIT dataArrival(index(), waiting); });
}

void SocketElement::onSocketError() {
    if (errorReported_)
        return; // one report per attempt or connection
    errorReported_ = true;
    const Failure f = describe(socket_->error());
    raise([this, f] { Q_EMIT error(index(), f.number(), f.description()); });
}

} // namespace znr
