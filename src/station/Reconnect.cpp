#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "protocol/ControlChars.h"
#include "protocol/ReceivePath.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

// Automatic reconnect: a connection that dropped by itself (a broken TCP line, a vanished serial
// device) is tried again every reconnectSeconds without blocking anything. Operator actions on
// a connection take it out of the retries for good.

namespace znr {

// A connection that went down by itself is remembered whether or not retries are on, so that
// turning them on later takes it up.
void Connections::noteDropped(int index) {
    dropped_.insert(index);
    scheduleRetries();
    showDrop(index);
}

void Connections::forgetDropped(int index) {
    if (!dropped_.erase(index))
        return;
    scheduleRetries();
    showDrop(index);
}

void Connections::forgetAllDropped() {
    dropped_.clear();
    retryTimer_.stop();
}

void Connections::scheduleRetries() {
    const int intervalMs = int(s_.settings.reconnectSeconds) * 1000;
    if (intervalMs <= 0 || dropped_.empty())
        retryTimer_.stop();
    else if (!retryTimer_.isActive() || retryTimer_.interval() != intervalMs)
        retryTimer_.start(intervalMs);
}

void Connections::setReconnectSeconds(qint16 seconds) {
    s_.settings.reconnectSeconds = std::max<qint16>(0, seconds);
    scheduleRetries();
    for (int index : dropped_)
        showDrop(index);
}

void Connections::retryDropped() {
    if (s_.settings.reconnectSeconds <= 0)
        return;
    const std::set<int> indexes = dropped_; // a retry may change the set
    for (int i : indexes)
        if (dropped_.count(i))
            retry(i);
}

// Each attempt gets a fresh line to the endpoint the connection was created with.
void Connections::retry(int index) {
    const auto it = entries_.find(index);
    if (it == entries_.end() || !it->second.link) {
        forgetDropped(index);
        return;
    }
    Entry& entry = it->second;
    if (entry.link->isOpen()) {
        restored(index);
        return;
    }
    if (entry.retrying)
        return; // the last attempt is still under way
    attach(index, makeLink(entry.endpoint));
    entry.retrying = true;
    try {
        entry.link->open();
    } catch (const Failure&) {
        entry.retrying = false;
        return; // still gone; the next retry follows
    }
    if (entry.link->isOpen()) {
        entry.retrying = false;
        restored(index);
    }
}

// Greets the instrument, starts its traffic afresh and shows the connection again.
void Connections::restored(int index) {
    forgetDropped(index);
    guarded(s_.log, logname::Reconnect, [&] {
        const QByteArray ack8(ctl::ACK8.data(), qsizetype(ctl::ACK8.size()));
        channelAt(index).restart();
        linkOf(index).write(ack8);
        if (const std::optional<int> row = s_.list.positionOf(index))
            markRow(*row, "Connected");
        showDrop(index, QByteArray());
        s_.list.recount();
        s_.log.write(logname::Reconnect, 0, "Connection restored");
    });
}

} // namespace znr
