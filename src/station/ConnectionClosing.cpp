#include "config/AppSettings.h"
#include "config/Conversions.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

#include <QPointer>

namespace znr {

bool Connections::waitForClose(int index) {
    QPointer<ISocketElement> socket = &sockets_.at(index);
    for (;;) {
        if (!socket || socket->State() != SocketState::Connected)
            return true;
        turnUntilDeadline(index);
        if (deadlinePassed(index))
            return false;
        if (socket && socket->State() == SocketState::Error)
            return false;
    }
}

void Connections::DisconnectConnection() {
    static constexpr std::string_view name = "frmZNRInterface.DisconnectConnection";
    guarded(s_.log, name, [&] {
        const std::optional<int> selected = s_.list.selectedPosition();
        if (!selected)
            return;
        const int rowIndex = s_.list.indexAt(*selected);
        forgetDropped(rowIndex);
        if (ethernetRun()) {
            const QByteArray ip = s_.list.cell(*selected, ConnectionList::EndpointColumn);
            const quint16 port =
                textToPort(s_.list.cell(*selected, ConnectionList::ParameterColumn));
            if (ip.isEmpty() || port == 0)
                return;
            if (const std::optional<int> i = lastSocketMatching(ip, port)) {
                sockets_.at(*i).Close();
                armDeadline(*i);
                if (!waitForClose(*i)) {
                    s_.log.WriteErrorLog(name, 0, "Winsock Error Closing Connection");
                    return;
                }
            }
        } else if (ports_.at(rowIndex).PortOpen()) {
            ports_.at(rowIndex).setPortOpen(false);
        }
        if (const std::optional<int> row = s_.list.positionOf(rowIndex))
            markRow(*row, "Disconnected");
        s_.list.recount();
    });
}

void Connections::DisconnectAll() {
    guarded(s_.log, "frmZNRInterface.DisconnectAll", [&] {
        forgetAllDropped();
        if (ethernetRun()) {
            for (int i = 1; i <= sockets_.highestIndex(); ++i)
                if (sockets_.exists(i))
                    sockets_.at(i).Close();
        } else {
            for (int i = 1; i <= ports_.highestIndex(); ++i)
                if (ports_.exists(i) && ports_.at(i).PortOpen())
                    ports_.at(i).setPortOpen(false);
        }
        for (int p = 0; p < s_.list.rowCount(); ++p)
            s_.list.setCell(p, ConnectionList::StatusColumn, "Disconnected");
        s_.list.setCountText("0");
    });
}

void Connections::DeleteConnection() {
    guarded(s_.log, "frmZNRInterface.DeleteConnection", [&] {
        const std::optional<int> selected = s_.list.selectedPosition();
        if (!selected)
            return;
        const int rowIndex = s_.list.indexAt(*selected);
        forgetDropped(rowIndex);
        const QByteArray endpoint = s_.list.cell(*selected, ConnectionList::EndpointColumn);
        const QByteArray parameter = s_.list.cell(*selected, ConnectionList::ParameterColumn);
        if (ethernetRun()) {
            const quint16 port = textToPort(parameter);
            if (endpoint.isEmpty() || port == 0)
                return;
            const std::optional<int> i = lastSocketMatching(endpoint, port);
            if (!i)
                return;
            nodes_.appendFree(*i);
            sockets_.at(*i).Close();
            armDeadline(*i);
            if (!waitForClose(*i)) {
                s_.log.WriteErrorLog("frmZNRInterface.cmdDeleteConnection_Click", 0,
                                     "Winsock Error Closing Connection");
                // The connection stays, so its index must not be handed out again.
                nodes_.removeFree(*i);
                return;
            }
            sockets_.create(*i); // a fresh, closed element replaces the old one
            s_.channels.drop(*i);
        } else {
            const qint16 comPort = textToInteger(endpoint);
            if (parameter.isEmpty() || comPort == 0)
                return;
            const std::optional<int> i = lastPortMatching(comPort, parameter);
            if (!i)
                return;
            nodes_.appendFree(*i);
            if (ports_.at(*i).PortOpen())
                ports_.at(*i).setPortOpen(false);
            ports_.create(*i);
            s_.channels.drop(*i);
        }
        if (const std::optional<int> row = s_.list.positionOf(rowIndex))
            s_.list.removeRow(*row);
        s_.list.recount();
        callGetCurrentNode();
    });
}

void Connections::closeAllForShutdown() {
    closedForShutdown_ = true;
    guarded(s_.log, "frmZNRInterface.Form_Unload", [&] {
        forgetAllDropped();
        if (ethernetRun()) {
            for (int i = 1; i <= sockets_.highestIndex(); ++i) {
                if (!sockets_.exists(i))
                    continue;
                sockets_.at(i).Close();
                armDeadline(i);
                // A socket that does not close is logged and the others are still closed.
                if (!waitForClose(i))
                    s_.log.WriteErrorLog("frmZNRInterface.Form_Unload", 0,
                                         "Winsock Error Closing Connection");
                sockets_.destroy(i);
            }
        } else {
            for (int i = 1; i <= ports_.highestIndex(); ++i) {
                if (!ports_.exists(i))
                    continue;
                if (ports_.at(i).PortOpen())
                    ports_.at(i).setPortOpen(false);
                ports_.destroy(i);
            }
        }
    });
}

} // namespace znr
