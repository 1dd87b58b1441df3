#pragma once

#include "config/ConnectionOpener.h"
#include "core/Failure.h"
#include "link/Link.h"
#include "protocol/BatchWriter.h"
#include "protocol/Channel.h"
#include "station/IndexAllocator.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace znr {

struct AppSettings;
class Clock;
class ConnectionList;
class ErrorLog;
class ReceivePath;

// Everything the main window does with connections, without the window: opening, reopening,
// disconnecting, deleting and closing them, choosing their indexes, and handling what their
// links report. Every operation returns at once; its outcome shows in the list's rows and the
// error log. The window (or a headless run) supplies the list.
class Connections final : public QObject, public ConnectionOpener {
    Q_OBJECT
public:
    struct Services {
        AppSettings& settings;
        const ErrorLog& log;
        const Clock& clock;
        ConnectionList& list;
        ReceivePath& receivePath;
    };

    Connections(Services services, LinkFactory makeLink);
    ~Connections() override;

    // Opening (ConnectionOpener): once the line is open the instrument is greeted with ACK8 and
    // its connection gets the next index and a row. Openings run side by side; their rows and
    // log lines follow the order they were asked for in.
    void openEthernet(const EthernetInstrument& instrument) override;
    void openSerial(const SerialInstrument& instrument) override;
    // Reopens the connection of the selected row.
    void reopenSelected();

    // Closing: the operations behind the three password-guarded buttons.
    void disconnectSelected();
    void disconnectAll();
    void deleteSelected();
    // Closes every line, waits for all of them together (at most the deadline), forgets every
    // connection and then runs `done`: at once when no line has bytes left to deliver.
    void shutDown(std::function<void()> done = {});

    // Connections that dropped by themselves and were not touched by the operator since; they
    // are retried while reconnectSeconds > 0.
    const std::set<int>& dropped() const { return dropped_; }
    // One round of retries, as the retry timer runs it every reconnectSeconds.
    void retryDropped();
    bool retryTimerRunning() const { return retryTimer_.isActive(); }
    // A new retry interval, in force at once: 0 ends the retries, a positive one retries every
    // connection that is down by itself at that interval.
    void setReconnectSeconds(qint16 seconds);

    IndexAllocator& indexes() { return indexes_; }
    // The index has a connection entry (a live, closed or freshly deleted connection).
    bool hasEntry(int index) const { return entries_.count(index) != 0; }
    // The receive state and batch of connection `index`; null before it was first greeted and
    // after it was deleted.
    const Channel* channelOf(int index) const;
    bool openingsPending() const { return !openings_.empty(); }

Q_SIGNALS:
    // The last of the openings under way has been settled.
    void openingsSettled();
    // Connection `index` has filed a batch (its channel's lastFiled()).
    void batchFiled(int index);

public:
    // How long an opening or a close may take.
    int deadlineMs = 5000;

private:
    // A link or timer may be thrown away inside one of its own events: it is silenced at once
    // and deleted from the event loop (or with the connections).
    struct LinkDisposer {
        Connections* owner; // unused for a null pointer
        void operator()(Link* link) const;
    };
    struct TimerDisposer {
        Connections* owner; // unused for a null pointer
        void operator()(QTimer* timer) const;
    };
    using LinkPtr = std::unique_ptr<Link, LinkDisposer>;
    using TimerPtr = std::unique_ptr<QTimer, TimerDisposer>;

    // One connection: the endpoint it was created with, its line, and what the protocol keeps
    // of it (receive state and batch, made when it is first greeted).
    struct Entry {
        LinkEndpoint endpoint;
        LinkPtr link;
        std::unique_ptr<Channel> channel;
        bool retrying = false; // an automatic retry is under way
    };
    // A line being opened for a new connection (index 0) or for an existing one.
    struct Opening {
        int index = 0;
        std::string_view procedure;
        LinkEndpoint endpoint;
        QByteArray rowEndpoint, rowParameter;
        LinkPtr link;
        TimerPtr deadline;
        bool settled = false;
        std::optional<Failure> failure;
        bool wasDropped = false;
        QByteArray early; // bytes that came before the connection was set up
        std::optional<Failure> lateDrop;
    };

    void startOpening(std::unique_ptr<Opening> opening);
    void settleOpenings();
    // The first settled opening that no earlier new one holds back.
    std::list<std::unique_ptr<Opening>>::iterator firstReadyOpening();
    void finishOpening(Opening& o);
    void finishNew(Opening& o);
    void finishReopen(Opening& o);
    bool openingFor(const LinkEndpoint& endpoint) const;
    // The index of the selected row, taken out of the retries and of any reopening it has
    // under way, as every operator action on a connection does; nothing when no row is selected.
    std::optional<int> takeSelected();
    // Drops the reopening of `index` (of every connection when 0) without a word.
    void cancelReopening(int index);

    // Runs `then(true)` once `link` has closed, `then(false)` when it has not by the deadline.
    void awaitClose(Link& link, std::function<void(bool)> then);
    void finishShutdown(const std::function<void()>& done);

    LinkPtr makeLink(const LinkEndpoint& endpoint);
    void retire(QObject* object);
    void attach(int index, LinkPtr link);
    Entry& entryAt(int index);
    Channel& channelAt(int index);
    Link& linkOf(int index);
    bool isOpen(int index) const;
    bool holdsConnection(int index) const;
    IndexAllocator::Occupancy occupancy() const;
    void updateNextIndex();
    void resetBatchRows(int index);
    void appendConnectedRow(int index, const QByteArray& endpoint, const QByteArray& parameter);
    void markRow(int position, const char* status);
    void addOneToCount();
    std::string_view receivedName(int index) const;

    void onReceived(int index, const QByteArray& bytes);
    // A batch end came back from the writer.
    void onCommitted(std::unique_ptr<BatchCommit> commit);
    // Runs one step of the receive path on the channel of `index` (its failures kept beside the
    // connection), then hands a batch end it held to the writer and tells of a batch filed.
    template <class Step> void serve(int index, Channel& channel, Step&& step);
    void onDropped(int index, int number, const QByteArray& text);
    void onOpened(int index);

    // Automatic reconnect (off unless reconnectSeconds > 0).
    void noteDropped(int index);
    void forgetDropped(int index);
    void forgetAllDropped();
    void scheduleRetries();
    // The drop shown beside the row of `index`: a new reason when given (empty: plain again),
    // and whether it is retried.
    void showDrop(int index, std::optional<QByteArray> reason = std::nullopt);
    QByteArray dropReason(int number, const QByteArray& text) const;
    void retry(int index);
    void restored(int index);

    Services s_;
    LinkFactory makeLink_;
    IndexAllocator indexes_;
    std::vector<std::unique_ptr<QObject>> retired_; // before what retires into it
    QTimer purge_;
    std::map<int, Entry> entries_;
    std::list<std::unique_ptr<Opening>> openings_; // in the order they were asked for
    std::set<int> dropped_;
    QTimer retryTimer_;
    bool shutDown_ = false;
    quint64 lastTicket_ = 0;
    // Last, so that it is gone (its queue written) before what its results would reach.
    BatchWriter writer_{[this](std::unique_ptr<BatchCommit> c) { onCommitted(std::move(c)); }};
};

} // namespace znr
