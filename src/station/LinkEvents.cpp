#include "config/AppSettings.h"
#include "config/Conversions.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "protocol/ReceivePath.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

namespace znr {

void Connections::ZNRSocket_DataArrival(int index, qint64 /*bytesWaiting*/) {
    QByteArray bytes;
    ISocketElement* socket = nullptr;
    Channel* channel = nullptr;
    if (!guarded(s_.log, logname::SocketReceived, [&] {
            socket = &sockets_.at(index);
            bytes = socket->GetData();
            channel = &s_.channels.at(index);
        }))
        return;
    s_.receivePath.onArrival(
        *channel, bytes, [socket](const QByteArray& reply) { socket->SendData(reply); },
        logname::SocketReceived);
}

void Connections::ZNRComm_OnComm(int index) {
    QByteArray bytes;
    ISerialElement* port = nullptr;
    Channel* channel = nullptr;
    if (!guarded(s_.log, logname::SerialReceived, [&] {
            port = &ports_.at(index);
            bytes = port->Input();
            channel = &s_.channels.at(index);
        }))
        return;
    s_.receivePath.onArrival(
        *channel, bytes, [port](const QByteArray& reply) { port->Output(reply); },
        logname::SerialReceived);
}

void Connections::ZNRSocket_Error(int index, int number, const QByteArray& description) {
    // A connect wait reports the failure of its own attempt, once.
    if (const auto wait = connectWaits_.find(index); wait != connectWaits_.end()) {
        wait->second = true;
        return;
    }
    // A failed attempt of the automatic reconnect: the next retry follows, nothing is logged.
    if (dropped_.count(index))
        return;
    guarded(s_.log, "frmZNRInterface.ZNRSocket_Error", [&] {
        ISocketElement& socket = sockets_.at(index);
        std::optional<int> row;
        // Every row's port cell must be a whole number, a serial row's settings text too: one
        // that is not ends the search with its conversion failure.
        for (int p = 0; p < s_.list.rowCount(); ++p) {
            const quint16 port = textToWholePort(s_.list.cell(p, ConnectionList::ParameterColumn));
            if (s_.list.cell(p, ConnectionList::EndpointColumn) == socket.RemoteHost() &&
                port == socket.RemotePort())
                row = p;
        }
        socket.Close();
        if (!row)
            throw Failure::outOfRange();
        markRow(*row, "Disconnected");
        s_.list.recount();
        s_.log.WriteErrorLog("frmZNRInterface.ZNRSocket_Error", number, description);
        noteDropped(index);
    });
}

// The port has already closed itself, once; the row and the count follow, as for a socket.
void Connections::ZNRComm_DeviceLost(int index, int number, const QByteArray& description) {
    guarded(s_.log, logname::SerialReceived, [&] {
        if (const std::optional<int> row = s_.list.positionOf(index))
            markRow(*row, "Disconnected");
        s_.list.recount();
        s_.log.WriteErrorLog(logname::SerialReceived, number, description);
        noteDropped(index);
    });
}

} // namespace znr
