#include "support/FakeSerialElement.h"

#include "link/SerialSettings.h"

namespace znr::test {

namespace {
Failure notOpen() {
    return {CommErrorNo::PortNotOpen, "Operation valid only when the port is open"};
}
} // namespace

void FakeSerialElement::feed(const QByteArray& bytes) {
    waiting_ += bytes;
    if (rThreshold_ > 0 && waiting_.size() >= rThreshold_)
        raise([this] { Q_EMIT commEvent(index()); });
}

void FakeSerialElement::raiseEvent() {
    raise([this] { Q_EMIT commEvent(index()); });
}

void FakeSerialElement::loseDevice(int number, const QByteArray& description) {
    open_ = false;
    raise([this, number, description] { Q_EMIT deviceLost(index(), number, description); });
}

void FakeSerialElement::setCommPort(qint16 comPort) {
    calls.append("CommPort=" + QByteArray::number(comPort));
    if (open_)
        throw Failure(CommErrorNo::PortAlreadyOpen, "Port already open");
    if (comPort < 1)
        throw Failure(CommErrorNo::InvalidPortNumber, "Invalid port number");
    commPort_ = comPort;
}

void FakeSerialElement::setSettings(const QByteArray& text) {
    calls.append("Settings=" + text);
    parseSerialSettings(text);
    settings_ = text;
}

void FakeSerialElement::setPortOpen(bool open) {
    calls.append(open ? "PortOpen=true" : "PortOpen=false");
    if (!open) {
        open_ = false;
        return;
    }
    ++openCalls;
    if (open_)
        throw Failure(CommErrorNo::PortAlreadyOpen, "Port already open");
    if (openFailure)
        throw *openFailure;
    open_ = true;
}

void FakeSerialElement::Output(const QByteArray& data) {
    calls.append("Output");
    if (outputFailure)
        throw *outputFailure;
    if (!open_)
        throw notOpen();
    written.append(data);
}

QByteArray FakeSerialElement::Input() {
    if (!open_)
        throw notOpen();
    return std::exchange(waiting_, {});
}

void FakeSerialElement::retire() {
    retired = true;
    disconnect();
    open_ = false;
}

} // namespace znr::test
