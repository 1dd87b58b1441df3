#pragma once

#include "link/TransportElement.h"

#include <QByteArray>

class QTcpSocket;

namespace znr {

// Socket states in the numbering the connection code tests (7 and 9 matter).
namespace SocketState {
inline constexpr int Closed = 0;
inline constexpr int Open = 1;
inline constexpr int Listening = 2;
inline constexpr int ConnectionPending = 3;
inline constexpr int ResolvingHost = 4;
inline constexpr int HostResolved = 5;
inline constexpr int Connecting = 6;
inline constexpr int Connected = 7;
inline constexpr int Closing = 8;
inline constexpr int Error = 9;
} // namespace SocketState

// Socket failure numbers, in the numbering log readers know.
namespace SocketErrorNo {
inline constexpr int ConnectionReset = 10054; // also a peer that closed its end
inline constexpr int TimedOut = 10060;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int HostNotFound = 11001;
inline constexpr int BadState = 40006; // SendData on a socket that is not connected
} // namespace SocketErrorNo

// One TCP client connection to an instrument. Every operation returns at once; what happens on
// the wire afterwards is reported through the two signals, on the thread that owns the element.
class ISocketElement : public TransportElement {
    Q_OBJECT
public:
    using TransportElement::TransportElement;

    // Starts connecting (dropping whatever the element was doing); State() then reaches
    // Connected, or Error when the attempt fails.
    virtual void Connect(const QByteArray& host, quint16 port) = 0;
    // Closes at once; afterwards the state is no longer Connected.
    virtual void Close() = 0;
    virtual int State() const = 0;
    // Sends the bytes in one write. Throws Failure BadState when not connected.
    virtual void SendData(const QByteArray& data) = 0;
    // Every byte waiting (possibly none).
    virtual QByteArray GetData() = 0;
    // Exactly as last given to Connect; empty and 0 before the first Connect.
    virtual QByteArray RemoteHost() const = 0;
    virtual quint16 RemotePort() const = 0;

Q_SIGNALS:
    void dataArrival(int index, qint64 bytesWaiting);
    // The connection an earlier Connect started is up (State() is Connected).
    void connected(int index);
    // Raised once per failed attempt or broken connection; State() is Error from then until
    // the next Close or Connect.
    void error(int index, int number, QByteArray description);
};

// The element over QTcpSocket. Replies are sent without Nagle delay.
class SocketElement final : public ISocketElement {
    Q_OBJECT
public:
    explicit SocketElement(int index);

    void Connect(const QByteArray& host, quint16 port) override;
    void Close() override;
    int State() const override;
    void SendData(const QByteArray& data) override;
    QByteArray GetData() override;
    QByteArray RemoteHost() const override { return remoteHost_; }
    quint16 RemotePort() const override { return remotePort_; }
    void retire() override;

private:
    void onReadyRead();
    void onSocketError();

    QTcpSocket* socket_;
    QByteArray remoteHost_;
    quint16 remotePort_ = 0;
    bool errorReported_ = false;
};

} // namespace znr
