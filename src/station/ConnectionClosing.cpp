#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

#include <QPointer>

namespace znr {
namespace {

constexpr const char* StuckClose = "Winsock Error Closing Connection";

} // namespace

void Connections::awaitClose(Link& link, std::function<void(bool)> then) {
    if (!link.isOpen()) {
        then(true);
        return;
    }
    QPointer<Link> watched = &link;
    auto* deadline = new QTimer(this);
    deadline->setSingleShot(true);
    auto finish = std::make_shared<std::function<void(bool)>>(std::move(then));
    const auto end = [deadline, finish](bool closed) {
        if (!*finish)
            return;
        const std::function<void(bool)> run = std::move(*finish);
        *finish = nullptr;
        deadline->stop();
        deadline->deleteLater();
        run(closed);
    };
    connect(&link, &Link::closed, deadline, [end] { end(true); });
    connect(deadline, &QTimer::timeout, this,
            [end, watched] { end(!watched || !watched->isOpen()); });
    deadline->start(deadlineMs);
}

std::optional<int> Connections::takeSelected() {
    const std::optional<int> selected = s_.list.selectedPosition();
    if (!selected)
        return std::nullopt;
    const int index = s_.list.indexAt(*selected);
    forgetDropped(index);
    cancelReopening(index);
    showDrop(index, QByteArray()); // the operator's choice: a plain row
    return index;
}

void Connections::disconnectSelected() {
    guarded(s_.log, logname::Disconnect, [&] {
        const std::optional<int> taken = takeSelected();
        if (!taken)
            return;
        const int index = *taken;
        const auto marked = [this, index] {
            if (const std::optional<int> row = s_.list.positionOf(index))
                markRow(*row, "Disconnected");
            s_.list.recount();
        };
        const auto it = entries_.find(index);
        if (it == entries_.end() || !it->second.link) {
            marked();
            return;
        }
        it->second.link->close();
        awaitClose(*it->second.link, [this, marked](bool closed) {
            if (closed)
                marked();
            else
                s_.log.write(logname::Disconnect, 0, StuckClose);
        });
    });
}

void Connections::disconnectAll() {
    guarded(s_.log, logname::DisconnectAll, [&] {
        forgetAllDropped();
        cancelReopening(0);
        for (auto& [index, entry] : entries_)
            if (entry.link)
                entry.link->close();
        for (int p = 0; p < s_.list.rowCount(); ++p) {
            s_.list.setCell(p, ConnectionList::StatusColumn, "Disconnected");
            s_.list.setDrop(p, {});
        }
        s_.list.setConnectedCount(0);
    });
}

// The index goes to the free list at once and comes back when the line does not close.
void Connections::deleteSelected() {
    guarded(s_.log, logname::Delete, [&] {
        const std::optional<int> taken = takeSelected();
        if (!taken)
            return;
        const int index = *taken;
        if (!holdsConnection(index) || !entries_[index].link)
            return;
        indexes_.release(index);
        Link& link = *entries_[index].link;
        link.close();
        awaitClose(link, [this, index](bool closed) {
            if (!closed) {
                s_.log.write(logname::DeleteClick, 0, StuckClose);
                indexes_.reclaim(index); // the connection stays, so must its index
                return;
            }
            guarded(s_.log, logname::Delete, [&] {
                Entry& entry = entries_[index];
                const bool serial = entry.endpoint.serial;
                entry.endpoint = LinkEndpoint();
                entry.endpoint.serial = serial;
                attach(index, LinkPtr()); // a fresh, empty entry replaces the old one
                entry.channel.reset();
                if (const std::optional<int> row = s_.list.positionOf(index))
                    s_.list.removeRow(*row);
                s_.list.recount();
            });
            updateNextIndex();
        });
    });
}

void Connections::shutDown(std::function<void()> done) {
    shutDown_ = true;
    forgetAllDropped();
    openings_.clear(); // an opening the closing cuts short says nothing
    auto waiting = std::make_shared<int>(0);
    auto finish = [this, done = std::move(done)] { finishShutdown(done); };
    auto finishOnce = std::make_shared<std::function<void()>>(finish);
    for (auto& [index, entry] : entries_) {
        if (!entry.link)
            continue;
        entry.link->close();
        if (!entry.link->isOpen())
            continue;
        ++*waiting;
        connect(entry.link.get(), &Link::closed, this, [waiting, finishOnce] {
            if (--*waiting == 0 && *finishOnce)
                std::exchange(*finishOnce, nullptr)();
        });
    }
    if (*waiting == 0) {
        std::exchange(*finishOnce, nullptr)();
        return;
    }
    QTimer::singleShot(deadlineMs, this, [this, finishOnce] {
        if (!*finishOnce)
            return;
        // A line that does not close is logged and the others are still closed.
        for (const auto& [index, entry] : entries_)
            if (entry.link && entry.link->isOpen())
                s_.log.write(logname::Shutdown, 0, StuckClose);
        std::exchange(*finishOnce, nullptr)();
    });
}

void Connections::finishShutdown(const std::function<void()>& done) {
    entries_.clear();
    if (done)
        done();
}

} // namespace znr
