#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "protocol/ControlChars.h"
#include "protocol/ReceivePath.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

// Automatic reconnect: a connection that dropped by itself (a socket error, a vanished serial
// device) is tried again every ReconnectSeconds without blocking anything. Operator actions on
// a connection take it out of the retries for good.

namespace znr {

void Connections::noteDropped(int index) {
    if (s_.settings.ReconnectSeconds <= 0)
        return;
    dropped_.insert(index);
    if (!retryTimer_.isActive())
        retryTimer_.start(int(s_.settings.ReconnectSeconds) * 1000);
}

void Connections::forgetDropped(int index) {
    dropped_.erase(index);
    if (dropped_.empty())
        retryTimer_.stop();
}

void Connections::forgetAllDropped() {
    dropped_.clear();
    retryTimer_.stop();
}

void Connections::retryDropped() {
    const std::set<int> indexes = dropped_; // a retry may change the set
    for (int i : indexes) {
        if (!dropped_.count(i))
            continue;
        if (ethernetRun())
            retrySocket(i);
        else
            retryPort(i);
    }
}

void Connections::retrySocket(int index) {
    if (!sockets_.exists(index)) {
        forgetDropped(index);
        return;
    }
    ISocketElement& socket = sockets_.at(index);
    switch (socket.State()) {
    case SocketState::Connected:
        restored(index);
        return;
    case SocketState::ConnectionPending:
    case SocketState::ResolvingHost:
    case SocketState::HostResolved:
    case SocketState::Connecting:
        return; // the last attempt is still under way
    default:
        socket.Connect(socket.RemoteHost(), socket.RemotePort());
    }
}

void Connections::retryPort(int index) {
    if (!ports_.exists(index)) {
        forgetDropped(index);
        return;
    }
    const Endpoint& endpoint = endpoints_[index];
    ISerialElement& port = ports_.at(index);
    try {
        configureAndOpenPort(port, endpoint.commPort, endpoint.settings, endpoint.dtr,
                             endpoint.rts);
    } catch (const Failure&) {
        if (port.PortOpen())
            port.setPortOpen(false);
        return; // still gone; the next retry follows
    }
    restored(index);
}

void Connections::ZNRSocket_Connected(int index) {
    if (dropped_.count(index) && !connectWaits_.count(index))
        restored(index);
}

// Greets the instrument, starts its traffic afresh and shows the connection again.
void Connections::restored(int index) {
    forgetDropped(index);
    guarded(s_.log, "frmZNRInterface.ReconnectConnection", [&] {
        const QByteArray ack8(ctl::ACK8.data(), qsizetype(ctl::ACK8.size()));
        s_.channels.at(index).restart();
        if (ethernetRun())
            sockets_.at(index).SendData(ack8);
        else
            ports_.at(index).Output(ack8);
        if (const std::optional<int> row = s_.list.positionOf(index))
            markRow(*row, "Connected");
        s_.list.recount();
        s_.log.WriteErrorLog("frmZNRInterface.ReconnectConnection", 0, "Connection restored");
    });
}

} // namespace znr
