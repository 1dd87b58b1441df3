#include "config/AppSettings.h"
#include "config/Conversions.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/ControlChars.h"
#include "protocol/ReceivePath.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"

namespace znr {
namespace {

const QByteArray ack8() {
    return QByteArray(ctl::ACK8.data(), qsizetype(ctl::ACK8.size()));
}

bool sameLine(const LinkEndpoint& a, const LinkEndpoint& b) {
    if (a.serial != b.serial)
        return false;
    return a.serial ? a.comPort == b.comPort : a.host == b.host && a.port == b.port;
}

} // namespace

bool Connections::openingFor(const LinkEndpoint& endpoint) const {
    for (const auto& o : openings_)
        if (o->index == 0 && sameLine(o->endpoint, endpoint))
            return true;
    for (const auto& [index, entry] : entries_)
        if (holdsConnection(index) && sameLine(entry.endpoint, endpoint))
            return true;
    return false;
}

void Connections::openEthernet(const EthernetInstrument& instrument) {
    guarded(s_.log, logname::OpenEthernet, [&] {
        auto o = std::make_unique<Opening>();
        o->procedure = logname::OpenEthernet;
        o->endpoint = LinkEndpoint::tcp(instrument.ip, instrument.port);
        if (instrument.ip.isEmpty() || instrument.port == 0 || openingFor(o->endpoint))
            return;
        o->rowEndpoint = instrument.ip;
        o->rowParameter = QByteArray::number(instrument.port);
        startOpening(std::move(o));
    });
}

void Connections::openSerial(const SerialInstrument& instrument) {
    guarded(s_.log, logname::OpenSerial, [&] {
        auto o = std::make_unique<Opening>();
        o->procedure = logname::OpenSerial;
        o->endpoint = LinkEndpoint::serialPort(textToInteger(instrument.commPort),
                                               instrument.settings, instrument.dtr, instrument.rts);
        if (instrument.settings.isEmpty() || o->endpoint.comPort == 0 || openingFor(o->endpoint))
            return;
        o->rowEndpoint = instrument.commPort;
        o->rowParameter = instrument.settings;
        startOpening(std::move(o));
    });
}

void Connections::reopenSelected() {
    guarded(s_.log, logname::Reopen, [&] {
        const std::optional<int> selected = s_.list.selectedPosition();
        if (!selected)
            return;
        auto o = std::make_unique<Opening>();
        o->index = s_.list.indexAt(*selected);
        o->procedure = logname::Reopen;
        // The connection's own endpoint, line settings included, not its row's text.
        Entry& entry = entryAt(o->index);
        o->endpoint = entry.endpoint;
        const LinkEndpoint& e = o->endpoint;
        if (e.serial ? e.settings.isEmpty() || e.comPort == 0 : e.host.isEmpty() || e.port == 0)
            return;
        if (isOpen(o->index))
            return;
        for (const auto& pending : openings_)
            if (pending->index == o->index)
                return; // the last attempt is still under way
        resetBatchRows(o->index);
        o->wasDropped = dropped_.count(o->index) > 0;
        forgetDropped(o->index);
        if (entry.link)
            entry.link->close();
        entry.retrying = false;
        startOpening(std::move(o));
    });
}

void Connections::cancelReopening(int index) {
    openings_.remove_if([index](const std::unique_ptr<Opening>& o) {
        return o->index != 0 && (index == 0 || o->index == index);
    });
}

// The line is opened at once; a line that does not open at once gets a deadline, and whatever
// it reports is kept until the opening is settled.
void Connections::startOpening(std::unique_ptr<Opening> opening) {
    if (shutDown_)
        return;
    Opening& o = *opening;
    o.link = makeLink(o.endpoint);
    openings_.push_back(std::move(opening));
    const auto settle = [this, &o](std::optional<Failure> failure) {
        if (o.settled)
            return;
        o.settled = true;
        o.failure = std::move(failure);
        o.deadline.reset();
        settleOpenings();
    };
    connect(o.link.get(), &Link::opened, this, [settle] { settle(std::nullopt); });
    connect(o.link.get(), &Link::received, this, [&o](const QByteArray& b) { o.early += b; });
    connect(o.link.get(), &Link::dropped, this, [&o, settle](int number, const QByteArray& text) {
        if (o.settled)
            o.lateDrop = Failure(number, text);
        settle(Failure(0, "Winsock Error Connection Unavailable"));
    });
    try {
        o.link->open();
    } catch (const Failure& f) {
        settle(f);
        return;
    }
    if (o.link->isOpen()) {
        settle(std::nullopt);
        return;
    }
    o.deadline = TimerPtr(new QTimer, TimerDisposer{this});
    o.deadline->setSingleShot(true);
    connect(o.deadline.get(), &QTimer::timeout, this,
            [settle] { settle(Failure(0, "Winsock Error IP Address Unavailable")); });
    o.deadline->start(deadlineMs);
}

// Settled openings are finished in the order they were asked for: a new connection waits for
// the new ones before it, so rows and indexes come as if they had been opened one by one.
void Connections::settleOpenings() {
    for (;;) {
        const auto ready = firstReadyOpening();
        if (ready == openings_.end())
            break;
        const std::unique_ptr<Opening> done = std::move(*ready);
        openings_.erase(ready);
        finishOpening(*done);
        if (shutDown_)
            return;
    }
    if (openings_.empty())
        Q_EMIT openingsSettled();
}

std::list<std::unique_ptr<Connections::Opening>>::iterator Connections::firstReadyOpening() {
    bool newOneWaiting = false;
    for (auto it = openings_.begin(); it != openings_.end(); ++it) {
        const Opening& o = **it;
        if (o.settled && (o.index != 0 || !newOneWaiting))
            return it;
        newOneWaiting = newOneWaiting || o.index == 0;
    }
    return openings_.end();
}

void Connections::finishOpening(Opening& o) {
    if (o.failure)
        s_.log.write(o.procedure, *o.failure);
    if (o.index == 0)
        finishNew(o);
    else
        finishReopen(o);
}

// A connection whose greeting cannot be sent gets no row; its line is closed, so that the same
// endpoint can be tried again instead of counting as already open. A serial line that failed to
// open keeps its entry; a TCP one leaves none.
void Connections::finishNew(Opening& o) {
    const int i = indexes_.next;
    if (o.failure) {
        if (!o.endpoint.serial) {
            entries_.erase(i);
            return;
        }
        entries_[i].endpoint = o.endpoint;
        attach(i, std::move(o.link));
        return;
    }
    resetBatchRows(i);
    entries_[i].endpoint = o.endpoint;
    attach(i, std::move(o.link));
    const bool greeted = guarded(s_.log, o.procedure, [&] {
        try {
            linkOf(i).write(ack8());
        } catch (...) {
            linkOf(i).close();
            throw;
        }
        appendConnectedRow(i, o.rowEndpoint, o.rowParameter);
        addOneToCount();
    });
    if (!greeted)
        return;
    updateNextIndex();
    if (!o.early.isEmpty())
        onReceived(i, o.early);
    if (o.lateDrop)
        onDropped(i, o.lateDrop->number(), o.lateDrop->description());
}

void Connections::finishReopen(Opening& o) {
    const int i = o.index;
    if (o.failure || !entries_.count(i)) {
        if (o.failure)
            showDrop(i, dropReason(o.failure->number(), o.failure->description()));
        if (o.wasDropped && entries_.count(i))
            noteDropped(i); // still a connection that dropped by itself
        return;
    }
    attach(i, std::move(o.link));
    guarded(s_.log, o.procedure, [&] {
        linkOf(i).write(ack8());
        // The row of the reopened connection, wherever it stands now.
        if (const std::optional<int> row = s_.list.positionOf(i))
            markRow(*row, "Connected");
        showDrop(i, QByteArray());
        addOneToCount();
    });
    if (!o.early.isEmpty())
        onReceived(i, o.early);
    if (o.lateDrop)
        onDropped(i, o.lateDrop->number(), o.lateDrop->description());
}

} // namespace znr
