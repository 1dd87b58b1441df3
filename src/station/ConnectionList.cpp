#include "station/ConnectionList.h"

namespace znr {

// A cell set to the text it shows is no change: "Last Updated" is set on every frame, but its
// text changes once a second at most.
void ConnectionList::setCell(int position, Column column, const QByteArray& text) {
    QByteArray& shown = rows_[position].texts[column];
    if (shown == text)
        return;
    shown = text;
    emit cellChanged(position, column);
}

void ConnectionList::setDrop(int position, const Drop& drop) {
    Drop& shown = rows_[position].drop;
    if (shown == drop)
        return;
    shown = drop;
    emit dropChanged(position);
}

void ConnectionList::appendRow(int index, const QByteArray (&texts)[ColumnCount]) {
    Row row;
    row.index = index;
    for (int c = 0; c < ColumnCount; ++c)
        row.texts[c] = texts[c];
    emit rowAboutToBeAppended(rowCount());
    if (!positions_.contains(index))
        positions_.insert(index, rowCount());
    rows_.append(row);
    emit rowAppended();
}

// The selection stays on its row: it goes with a removed row and moves up with a later one.
void ConnectionList::removeRow(int position) {
    const std::optional<int> before = selected_;
    emit rowAboutToBeRemoved(position);
    rows_.removeAt(position);
    reindex();
    if (selected_ && *selected_ == position)
        selected_.reset();
    else if (selected_ && *selected_ > position)
        --*selected_;
    emit rowRemoved();
    if (selected_ != before)
        emit selectionChanged();
}

void ConnectionList::select(std::optional<int> position) {
    if (position == selected_)
        return;
    selected_ = position;
    emit selectionChanged();
}

void ConnectionList::setConnectedCount(int count) {
    count_ = count;
    emit countChanged();
}

void ConnectionList::recount() {
    int connected = 0;
    for (const Row& row : rows_)
        if (row.texts[StatusColumn] == "Connected")
            ++connected;
    setConnectedCount(connected);
}

QByteArray ConnectionList::heading(Column column) const {
    switch (column) {
    case IdColumn:
        return "ZNR ID";
    case EndpointColumn:
        return headings_[0];
    case ParameterColumn:
        return headings_[1];
    case StatusColumn:
        return "Status";
    default:
        return "Last Updated";
    }
}

void ConnectionList::setEndpointHeadings(const QByteArray& endpoint, const QByteArray& parameter) {
    headings_[0] = endpoint;
    headings_[1] = parameter;
    emit headingsChanged();
}

void ConnectionList::setHeadingsOfRun(const QByteArray& defaultStartup) {
    if (defaultStartup == "SERIAL")
        setEndpointHeadings("COMM Port", "Settings");
    else
        setEndpointHeadings("IP Address", "Port Number");
}

std::optional<int> ConnectionList::positionOf(int index) const {
    const auto found = positions_.constFind(index);
    return found == positions_.cend() ? std::nullopt : std::optional<int>(*found);
}

void ConnectionList::reindex() {
    positions_.clear();
    for (int p = 0; p < rowCount(); ++p)
        if (!positions_.contains(rows_[p].index))
            positions_.insert(rows_[p].index, p);
}

} // namespace znr
