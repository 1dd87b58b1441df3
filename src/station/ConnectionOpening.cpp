#include "config/AppSettings.h"
#include "config/Conversions.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "protocol/ControlChars.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

#include <QPointer>

namespace znr {
namespace {

const QByteArray ack8() {
    return QByteArray(ctl::ACK8.data(), qsizetype(ctl::ACK8.size()));
}

} // namespace

// A connection whose greeting cannot be sent gets no row; it is closed, so that the same
// endpoint can be tried again instead of counting as already open.
void Connections::greetOrClose(ISocketElement& socket) {
    try {
        socket.SendData(ack8());
    } catch (...) {
        socket.Close();
        throw;
    }
}

bool Connections::waitForConnect(int index, std::string_view procedure) {
    const auto outer = connectWaits_.find(index);
    const std::optional<bool> outerSawError =
        outer == connectWaits_.end() ? std::nullopt : std::optional<bool>(outer->second);
    connectWaits_[index] = false;
    QPointer<ISocketElement> socket = &sockets_.at(index);
    const char* failure = nullptr;
    for (;;) {
        if (!socket) { // destroyed by a handler that ran inside the wait
            failure = "Winsock Error Connection Unavailable";
            break;
        }
        if (socket->State() == SocketState::Connected)
            break;
        turnUntilDeadline(index);
        if (deadlinePassed(index)) {
            failure = "Winsock Error IP Address Unavailable";
            break;
        }
        if (socket && (socket->State() == SocketState::Error || connectWaits_[index])) {
            failure = "Winsock Error Connection Unavailable";
            break;
        }
    }
    if (outerSawError)
        connectWaits_[index] = *outerSawError;
    else
        connectWaits_.erase(index);
    // A wait that the program's closing ended says nothing: the run is over.
    if (failure && !closedForShutdown_)
        s_.log.WriteErrorLog(procedure, 0, failure);
    return failure == nullptr && !closedForShutdown_;
}

void Connections::CreateEthernetConnection(const QByteArray& ip, quint16 port) {
    static constexpr std::string_view name = "frmZNRInterface.CreateEthernetConnection";
    guarded(s_.log, name, [&] {
        if (ip.isEmpty() || port == 0 || lastSocketMatching(ip, port))
            return;
        const int i = nodes_.CurrentNode;
        s_.channels.ensure(i);
        if (!sockets_.exists(i))
            sockets_.create(i);
        resetBatchRows(i);
        Endpoint& endpoint = endpoints_[i];
        endpoint.ip = s_.settings.CurrentIP;
        endpoint.port = s_.settings.CurrentPort;
        ISocketElement& socket = sockets_.at(i);
        socket.Close();
        socket.Connect(ip, port);
        armDeadline(i);
        if (!waitForConnect(i, name)) {
            sockets_.destroy(i);
            return;
        }
        greetOrClose(sockets_.at(i));
        appendConnectedRow(i, ip, QByteArray::number(port));
        addOneToCount();
        callGetCurrentNode();
    });
}

void Connections::configureAndOpenPort(ISerialElement& port, const QByteArray& commPort,
                                       const QByteArray& settings, bool dtr, bool rts) {
    if (port.PortOpen())
        port.setPortOpen(false);
    port.setCommPort(textToInteger(commPort));
    port.setSettings(settings);
    port.setDTREnable(dtr);
    port.setRTSEnable(rts);
    port.setRThreshold(1);
    port.setSThreshold(0);
    port.setPortOpen(true);
}

void Connections::CreateSerialConnection(const QByteArray& commPort, const QByteArray& settings) {
    guarded(s_.log, "frmZNRInterface.CreateSerialConnection", [&] {
        const qint16 comNumber = textToInteger(commPort);
        if (settings.isEmpty() || comNumber == 0)
            return;
        for (int i = 1; i <= ports_.highestIndex(); ++i)
            if (holdsConnection(i) && ports_.at(i).CommPort() == comNumber)
                return;
        const int i = nodes_.CurrentNode;
        s_.channels.ensure(i);
        if (!ports_.exists(i))
            ports_.create(i);
        resetBatchRows(i);
        Endpoint& endpoint = endpoints_[i];
        endpoint.commPort = s_.settings.CurrentCommPort;
        endpoint.settings = s_.settings.CurrentSettings;
        endpoint.handShaking = s_.settings.CurrentHandShaking;
        endpoint.dtr = s_.settings.CurrentDTR;
        endpoint.rts = s_.settings.CurrentRTS;
        ISerialElement& port = ports_.at(i);
        configureAndOpenPort(port, s_.settings.CurrentCommPort, s_.settings.CurrentSettings,
                             s_.settings.CurrentDTR, s_.settings.CurrentRTS);
        port.Output(ack8());
        appendConnectedRow(i, s_.settings.CurrentCommPort, s_.settings.CurrentSettings);
        addOneToCount();
        callGetCurrentNode();
    });
}

void Connections::cmdConnect_Click() {
    static constexpr std::string_view name = "frmZNRInterface.cmdConnect_Click";
    guarded(s_.log, name, [&] {
        const std::optional<int> selected = s_.list.selectedPosition();
        if (!selected)
            return;
        const int i = s_.list.indexAt(*selected);
        const QByteArray endpoint = s_.list.cell(*selected, ConnectionList::EndpointColumn);
        const QByteArray parameter = s_.list.cell(*selected, ConnectionList::ParameterColumn);
        if (ethernetRun()) {
            s_.settings.CurrentIP = endpoint;
            s_.settings.CurrentPort = textToPort(parameter);
            if (s_.settings.CurrentIP.isEmpty() || s_.settings.CurrentPort == 0)
                return;
            ISocketElement& socket = sockets_.at(i);
            if (socket.State() == SocketState::Connected)
                return;
            resetBatchRows(i);
            const bool wasDropped = dropped_.count(i) > 0;
            forgetDropped(i);
            socket.Close();
            socket.Connect(s_.settings.CurrentIP, s_.settings.CurrentPort);
            armDeadline(i);
            if (!waitForConnect(i, name)) {
                if (wasDropped)
                    noteDropped(i); // still a connection that dropped by itself
                return;
            }
            sockets_.at(i).SendData(ack8());
        } else {
            s_.settings.CurrentCommPort = endpoint;
            s_.settings.CurrentSettings = parameter;
            if (parameter.isEmpty() || textToInteger(endpoint) == 0)
                return;
            ISerialElement& port = ports_.at(i);
            if (port.PortOpen())
                return;
            resetBatchRows(i);
            const bool wasDropped = dropped_.count(i) > 0;
            forgetDropped(i);
            try {
                configureAndOpenPort(port, endpoint, parameter, s_.settings.CurrentDTR,
                                     s_.settings.CurrentRTS);
            } catch (const Failure&) {
                if (wasDropped)
                    noteDropped(i); // still a connection that dropped by itself
                throw;
            }
            port.Output(ack8());
        }
        // The row of the reopened connection, wherever it stands now.
        if (const std::optional<int> row = s_.list.positionOf(i))
            markRow(*row, "Connected");
        addOneToCount();
    });
}

} // namespace znr
