#include "station/Connections.h"

#include "config/AppSettings.h"
#include "config/Conversions.h"
#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "station/ConnectionList.h"
#include "station/EventPump.h"

namespace znr {

Connections::Connections(Services services, SocketSet::Factory makeSocket,
                         SerialSet::Factory makePort)
    : s_(services), sockets_(std::move(makeSocket), [this](ISocketElement& e) { wireSocket(e); }),
      ports_(std::move(makePort), [this](ISerialElement& e) { wirePort(e); }) {
    connect(&retryTimer_, &QTimer::timeout, this, &Connections::retryDropped);
}

Connections::~Connections() = default;

bool Connections::ethernetRun() const {
    return s_.settings.isEthernetRun();
}

NodeAllocator::Elements Connections::elementsOfRun() const {
    if (ethernetRun())
        return {sockets_.highestIndex(), [this](int i) { return !sockets_.exists(i); },
                [this](int i) { return sockets_.at(i).State() == SocketState::Connected; }};
    return {ports_.highestIndex(), [this](int i) { return !ports_.exists(i); },
            [this](int i) { return ports_.at(i).PortOpen(); }};
}

void Connections::callGetCurrentNode() {
    guarded(s_.log, "frmZNRInterface.GetCurrentNode",
            [&] { nodes_.GetCurrentNode(elementsOfRun()); });
}

void Connections::armDeadline(int index) {
    s_.channels.ensure(index).receive.deadline = s_.clock.monotonicMs() + WaitMs;
}

bool Connections::deadlinePassed(int index) const {
    return s_.clock.monotonicMs() >= s_.channels.at(index).receive.deadline;
}

void Connections::turnUntilDeadline(int index) {
    const qint64 left = s_.channels.at(index).receive.deadline - s_.clock.monotonicMs();
    s_.pump.turn(std::max<qint64>(1, left));
}

void Connections::resetBatchRows(int index) {
    Batch& batch = s_.channels.at(index).batch;
    batch.rowCount = 0;
    batch.rowIndex = 0;
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

// The number shown plus one, even when the number shown was stale.
void Connections::addOneToCount() {
    s_.list.setCountText(QByteArray::number(textToNumber(s_.list.countText()) + 1));
}

std::optional<int> Connections::lastSocketMatching(const QByteArray& ip, quint16 port) const {
    std::optional<int> match;
    for (int i = 1; i <= sockets_.highestIndex(); ++i)
        if (holdsConnection(i) && sockets_.at(i).RemoteHost() == ip &&
            sockets_.at(i).RemotePort() == port)
            match = i;
    return match;
}

// A port element on its own says nothing: a fresh one (after a delete) still names COM1, and
// one that failed to open keeps its number. Only an index with a row uses its COM port.
bool Connections::holdsConnection(int index) const {
    const bool element = ethernetRun() ? sockets_.exists(index) : ports_.exists(index);
    return element && s_.list.positionOf(index).has_value();
}

std::optional<int> Connections::lastPortMatching(qint16 comPort, const QByteArray& settings) const {
    std::optional<int> match;
    for (int i = 1; i <= ports_.highestIndex(); ++i)
        if (holdsConnection(i) && ports_.at(i).CommPort() == comPort &&
            ports_.at(i).Settings() == settings)
            match = i;
    return match;
}

void Connections::wireSocket(ISocketElement& socket) {
    connect(&socket, &ISocketElement::dataArrival, this, &Connections::ZNRSocket_DataArrival);
    connect(&socket, &ISocketElement::error, this, &Connections::ZNRSocket_Error);
    connect(&socket, &ISocketElement::connected, this, &Connections::ZNRSocket_Connected);
}

void Connections::wirePort(ISerialElement& port) {
    connect(&port, &ISerialElement::commEvent, this, &Connections::ZNRComm_OnComm);
    connect(&port, &ISerialElement::deviceLost, this, &Connections::ZNRComm_DeviceLost);
}

} // namespace znr
