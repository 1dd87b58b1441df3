#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "protocol/ReceivePath.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

namespace znr {

void Connections::onReceived(int index, const QByteArray& bytes) {
    const std::string_view name = receivedName(index);
    Channel* channel = nullptr;
    if (!guarded(s_.log, name, [&] { channel = &channelAt(index); }))
        return;
    serve(index, *channel,
          [&](const ReplyFn& reply) { s_.receivePath.onArrival(*channel, bytes, reply, name); });
}

void Connections::onCommitted(std::unique_ptr<BatchCommit> commit) {
    const int index = commit->index;
    const auto it = entries_.find(index);
    Channel* channel = it == entries_.end() ? nullptr : it->second.channel.get();
    if (!channel || !channel->awaits(*commit))
        return; // restarted or deleted meanwhile: its files stay, and nothing is answered
    // A line that went down meanwhile gets no reply: its drop is what the log tells.
    const bool open = isOpen(index);
    const ReplyFn none = [](const QByteArray&) {};
    serve(index, *channel, [&](const ReplyFn& reply) {
        s_.receivePath.onCommitted(*channel, std::move(commit), open ? reply : none,
                                   receivedName(index));
    });
}

template <class Step> void Connections::serve(int index, Channel& channel, Step&& step) {
    const qint64 filedBefore = channel.counters.batchesFiled;
    {
        const ErrorLog::Capture failures(s_.log, channel.counters.lastFailureLine);
        step([this, index](const QByteArray& reply) { linkOf(index).write(reply); });
    }
    if (std::unique_ptr<BatchCommit> commit = channel.takeCommit(++lastTicket_))
        writer_.submit(std::move(commit));
    if (channel.counters.batchesFiled != filedBefore)
        emit batchFiled(index);
}

// A failed attempt of the automatic reconnect is followed by the next retry, nothing is logged.
// Any other drop closes the line, shows the row disconnected and is logged with the line's words.
void Connections::onDropped(int index, int number, const QByteArray& text) {
    Entry& entry = entries_[index];
    entry.retrying = false;
    if (dropped_.count(index))
        return;
    const bool serial = entry.endpoint.serial;
    const std::string_view name = serial ? logname::SerialReceived : logname::SocketError;
    QByteArray unkept;
    const ErrorLog::Capture failures(s_.log, entry.channel ? entry.channel->counters.lastFailureLine
                                                           : unkept);
    guarded(s_.log, name, [&] {
        if (entry.link)
            entry.link->close();
        const std::optional<int> row = s_.list.positionOf(index);
        if (!row && !serial)
            throw Failure::outOfRange();
        if (row)
            markRow(*row, "Disconnected");
        s_.list.recount();
        s_.log.write(name, number, text);
        noteDropped(index);
        showDrop(index, dropReason(number, text));
    });
}

void Connections::onOpened(int index) {
    entries_[index].retrying = false;
    if (dropped_.count(index))
        restored(index);
}

} // namespace znr
