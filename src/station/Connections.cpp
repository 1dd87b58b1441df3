#include "station/Connections.h"

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "station/ConnectionList.h"

namespace znr {

void Connections::LinkDisposer::operator()(Link* link) const {
    link->disconnect();
    link->close();
    owner->retire(link);
}

void Connections::TimerDisposer::operator()(QTimer* timer) const {
    timer->stop();
    timer->disconnect();
    owner->retire(timer);
}

Connections::Connections(Services services, LinkFactory makeLink)
    : s_(services), makeLink_(std::move(makeLink)) {
    connect(&retryTimer_, &QTimer::timeout, this, &Connections::retryDropped);
    purge_.setSingleShot(true);
    connect(&purge_, &QTimer::timeout, this, [this] { retired_.clear(); });
}

Connections::LinkPtr Connections::makeLink(const LinkEndpoint& endpoint) {
    return LinkPtr(makeLink_(endpoint).release(), LinkDisposer{this});
}

void Connections::retire(QObject* object) {
    retired_.emplace_back(object);
    if (!purge_.isActive())
        purge_.start(0);
}

Connections::~Connections() = default;

void Connections::attach(int index, LinkPtr link) {
    Entry& entry = entries_[index];
    entry.link = std::move(link);
    entry.retrying = false;
    if (!entry.link)
        return;
    Link* l = entry.link.get();
    l->disconnect(this);
    connect(l, &Link::received, this, [this, index](const QByteArray& b) { onReceived(index, b); });
    connect(l, &Link::dropped, this,
            [this, index](int number, const QByteArray& text) { onDropped(index, number, text); });
    connect(l, &Link::opened, this, [this, index] { onOpened(index); });
}

Connections::Entry& Connections::entryAt(int index) {
    const auto it = entries_.find(index);
    if (it == entries_.end())
        throw Failure(340,
                      "Control array element '" + QByteArray::number(index) + "' doesn't exist");
    return it->second;
}

Link& Connections::linkOf(int index) {
    Entry& entry = entryAt(index);
    if (!entry.link)
        throw Failure(LinkErrorNo::NotOpen,
                      "Wrong protocol or connection state for the requested transaction or "
                      "request");
    return *entry.link;
}

bool Connections::isOpen(int index) const {
    const auto it = entries_.find(index);
    return it != entries_.end() && it->second.link && it->second.link->isOpen();
}

// An index that carries a connection: it has an entry and a row in the list. An entry whose
// opening failed part-way has no row, so its endpoint can be tried again.
bool Connections::holdsConnection(int index) const {
    return entries_.count(index) && s_.list.positionOf(index).has_value();
}

IndexAllocator::Occupancy Connections::occupancy() const {
    return {entries_.empty() ? 0 : entries_.rbegin()->first,
            [this](int i) { return !entries_.count(i); }, [this](int i) { return isOpen(i); }};
}

void Connections::updateNextIndex() {
    guarded(s_.log, logname::NextIndex, [&] { indexes_.update(occupancy()); });
}

void Connections::resetBatchRows(int index) {
    std::unique_ptr<Channel>& channel = entries_[index].channel;
    if (!channel)
        channel = std::make_unique<Channel>(index);
    channel->abandonHold();
    channel->batch.rowCount = 0;
    channel->batch.rowIndex = 0;
}

Channel& Connections::channelAt(int index) {
    const auto it = entries_.find(index);
    if (it == entries_.end() || !it->second.channel)
        throw Failure::outOfRange();
    return *it->second.channel;
}

const Channel* Connections::channelOf(int index) const {
    const auto it = entries_.find(index);
    return it == entries_.end() ? nullptr : it->second.channel.get();
}

void Connections::appendConnectedRow(int index, const QByteArray& endpoint,
                                     const QByteArray& parameter) {
    s_.list.appendRow(index,
                      {"N/A", endpoint, parameter, "Connected", generalDateTime(s_.clock.now())});
}

void Connections::markRow(int position, const char* status) {
    s_.list.setCell(position, ConnectionList::StatusColumn, status);
    s_.list.setCell(position, ConnectionList::LastUpdatedColumn, generalDateTime(s_.clock.now()));
}

void Connections::showDrop(int index, std::optional<QByteArray> reason) {
    const std::optional<int> row = s_.list.positionOf(index);
    if (!row)
        return;
    ConnectionList::Drop drop = s_.list.drop(*row);
    if (reason)
        drop.reason = *reason;
    const bool retried = !drop.reason.isEmpty() && dropped_.count(index);
    drop.retrySeconds = retried ? std::max<int>(0, s_.settings.reconnectSeconds) : 0;
    s_.list.setDrop(*row, drop);
}

// What the log says of the drop, with its time: "12/6/2026 9:15:30 AM: <text> (<number>)".
QByteArray Connections::dropReason(int number, const QByteArray& text) const {
    QByteArray reason = generalDateTime(s_.clock.now()) + ": " + text;
    if (number != 0)
        reason += " (" + QByteArray::number(number) + ")";
    return reason;
}

// The number shown plus one, even when the number shown was stale.
void Connections::addOneToCount() {
    s_.list.setConnectedCount(s_.list.connectedCount() + 1);
}

std::string_view Connections::receivedName(int index) const {
    const auto it = entries_.find(index);
    const bool serial = it != entries_.end() && it->second.endpoint.serial;
    return serial ? logname::SerialReceived : logname::SocketReceived;
}

} // namespace znr
