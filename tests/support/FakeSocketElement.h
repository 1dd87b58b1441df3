#pragma once

#include "core/Failure.h"
#include "link/SocketElement.h"

#include <QByteArrayList>
#include <optional>

namespace znr::test {

// A socket element the test drives: it records what is sent and lets the test feed received
// bytes, raise an error or decide what Connect leads to.
class FakeSocketElement final : public ISocketElement {
public:
    using ISocketElement::ISocketElement;

    // --- what the test arranges
    int stateAfterConnect = SocketState::Connected; // e.g. Connecting, or Error for a refusal
    int stateAfterClose = SocketState::Closed;
    std::optional<Failure> connectFailure; // thrown by the next Connect
    std::optional<Failure> sendFailure;    // thrown by every SendData while set

    // --- what the test observes
    QByteArrayList sent; // one entry per SendData
    int connectCalls = 0;
    int closeCalls = 0;
    bool retired = false;

    // Bytes arrive: they wait for GetData and dataArrival is raised with the count waiting.
    void feed(const QByteArray& bytes);
    // The connection fails: state Error, then the error event.
    void raiseError(int number, const QByteArray& description);
    void setState(int state) { state_ = state; }
    // A pending connect succeeds: state Connected, then the connected event.
    void completeConnect();

    void Connect(const QByteArray& host, quint16 port) override;
    void Close() override;
    int State() const override { return state_; }
    void SendData(const QByteArray& data) override;
    QByteArray GetData() override;
    QByteArray RemoteHost() const override { return host_; }
    quint16 RemotePort() const override { return port_; }
    void retire() override;

private:
    int state_ = SocketState::Closed;
    QByteArray host_;
    quint16 port_ = 0;
    QByteArray waiting_;
};

} // namespace znr::test
