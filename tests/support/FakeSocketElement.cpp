#include "support/FakeSocketElement.h"

namespace znr::test {

void FakeSocketElement::feed(const QByteArray& bytes) {
    waiting_ += bytes;
    const qint64 n = waiting_.size();
    raise([this, n] { Q_EMIT dataArrival(index(), n); });
}

void FakeSocketElement::raiseError(int number, const QByteArray& description) {
    state_ = SocketState::Error;
    raise([this, number, description] { Q_EMIT error(index(), number, description); });
}

void FakeSocketElement::completeConnect() {
    state_ = SocketState::Connected;
    raise([this] { Q_EMIT connected(index()); });
}

void FakeSocketElement::Connect(const QByteArray& host, quint16 port) {
    ++connectCalls;
    host_ = host;
    port_ = port;
    if (connectFailure) {
        const Failure f = *connectFailure;
        connectFailure.reset();
        throw f;
    }
    state_ = stateAfterConnect;
}

void FakeSocketElement::Close() {
    ++closeCalls;
    state_ = stateAfterClose;
}

void FakeSocketElement::SendData(const QByteArray& data) {
    if (sendFailure)
        throw *sendFailure;
    if (state_ != SocketState::Connected)
        throw Failure(SocketErrorNo::BadState,
                      "Wrong protocol or connection state for the requested transaction or "
                      "request");
    sent.append(data);
}

QByteArray FakeSocketElement::GetData() {
    return std::exchange(waiting_, {});
}

void FakeSocketElement::retire() {
    retired = true;
    disconnect();
    state_ = SocketState::Closed;
}

} // namespace znr::test
