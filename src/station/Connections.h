#pragma once

#include "config/ConnectionOpener.h"
#include "link/ElementSets.h"
#include "station/Endpoint.h"
#include "station/NodeAllocator.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <map>
#include <set>
#include <string_view>

namespace znr {

struct AppSettings;
class Channels;
class Clock;
class ConnectionList;
class ErrorLog;
class EventPump;
class ReceivePath;

// Everything the main window does with connections, without the window: opening, reopening,
// disconnecting, deleting and closing them, choosing their indexes, and handling what their
// transport elements report. The window (or a headless run) supplies the list and the pump.
class Connections final : public QObject, public ConnectionOpener {
    Q_OBJECT
public:
    struct Services {
        AppSettings& settings;
        Channels& channels;
        const ErrorLog& log;
        const Clock& clock;
        EventPump& pump;
        ConnectionList& list;
        ReceivePath& receivePath;
    };

    Connections(Services services, SocketSet::Factory makeSocket, SerialSet::Factory makePort);
    ~Connections() override;

    // Opening (ConnectionOpener): a new connection on CurrentNode, greeted with ACK8.
    void CreateEthernetConnection(const QByteArray& ip, quint16 port) override;
    void CreateSerialConnection(const QByteArray& commPort, const QByteArray& settings) override;
    // Reopens the connection of the selected row.
    void cmdConnect_Click();

    // Closing: the operations behind the three password-guarded buttons.
    void DisconnectConnection();
    void DisconnectAll();
    void DeleteConnection();
    // Closes every connection and destroys its element, as closing the main window does.
    void closeAllForShutdown();

    // Transport events.
    void ZNRSocket_DataArrival(int index, qint64 bytesWaiting);
    void ZNRSocket_Error(int index, int number, const QByteArray& description);
    void ZNRComm_OnComm(int index);
    void ZNRComm_DeviceLost(int index, int number, const QByteArray& description);

    // Connections that dropped by themselves and are retried while ReconnectSeconds > 0.
    const std::set<int>& dropped() const { return dropped_; }
    // One round of retries, as the retry timer runs it every ReconnectSeconds while any
    // connection is in dropped().
    void retryDropped();
    bool retryTimerRunning() const { return retryTimer_.isActive(); }

    NodeAllocator& nodes() { return nodes_; }
    // What each index was last opened with.
    const std::map<int, Endpoint>& endpoints() const { return endpoints_; }
    SocketSet& ZNRSocket() { return sockets_; }
    SerialSet& ZNRComm() { return ports_; }

    static constexpr qint64 WaitMs = 5000;

private:
    bool ethernetRun() const;
    NodeAllocator::Elements elementsOfRun() const;
    void callGetCurrentNode();

    // The connect wait on socket `index`; true once connected. On failure the message is logged
    // under `procedure` with number 0.
    bool waitForConnect(int index, std::string_view procedure);
    // The close wait after Close(); true when the socket left the connected state.
    bool waitForClose(int index);
    void armDeadline(int index);
    bool deadlinePassed(int index) const;
    void turnUntilDeadline(int index);

    void greetOrClose(ISocketElement& socket);
    void resetBatchRows(int index);
    void configureAndOpenPort(ISerialElement& port, const QByteArray& commPort,
                              const QByteArray& settings, bool dtr, bool rts);
    void appendConnectedRow(int index, const QByteArray& endpoint, const QByteArray& parameter);
    void markRow(int position, const char* status);
    void addOneToCount();
    std::optional<int> lastSocketMatching(const QByteArray& ip, quint16 port) const;
    // An index that carries a connection: it has an element and a row in the list. An element
    // whose opening failed part-way has no row, so its endpoint can be tried again.
    bool holdsConnection(int index) const;
    std::optional<int> lastPortMatching(qint16 comPort, const QByteArray& settings) const;

    // Automatic reconnect (off unless ReconnectSeconds > 0).
    void noteDropped(int index);
    void forgetDropped(int index);
    void forgetAllDropped();
    void retrySocket(int index);
    void retryPort(int index);
    void ZNRSocket_Connected(int index);
    void restored(int index);

    void wireSocket(ISocketElement& socket);
    void wirePort(ISerialElement& port);

    Services s_;
    NodeAllocator nodes_;
    SocketSet sockets_;
    SerialSet ports_;
    // What each index was last opened with.
    std::map<int, Endpoint> endpoints_;
    // The sockets that connect waits are running on (waits nest when a click inside one starts
    // another), each with whether its error event has arrived.
    std::map<int, bool> connectWaits_;
    std::set<int> dropped_;
    QTimer retryTimer_;
    // Set once closeAllForShutdown has run; connect waits still running then end silently.
    bool closedForShutdown_ = false;
};

} // namespace znr
