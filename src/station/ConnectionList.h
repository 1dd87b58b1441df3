#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <optional>

namespace znr {

// The connection list: one row per connection, bound to its connection index, five columns of
// 8-bit text, at most one selected row, the connected count and the headings of the endpoint
// columns. It is the state; a window shows it through an item model and follows its signals.
class ConnectionList final : public QObject {
    Q_OBJECT
public:
    enum Column {
        IdColumn = 0,
        EndpointColumn = 1,
        ParameterColumn = 2,
        StatusColumn = 3,
        LastUpdatedColumn = 4,
        ColumnCount = 5
    };

    int rowCount() const { return int(rows_.size()); }
    int indexAt(int position) const { return rows_.at(position).index; } // the row's connection
    QByteArray cell(int position, Column column) const { return rows_.at(position).texts[column]; }
    void setCell(int position, Column column, const QByteArray& text);
    // Appends a row bound to `index` with the five texts.
    void appendRow(int index, const QByteArray (&texts)[ColumnCount]);
    void removeRow(int position);

    std::optional<int> selectedPosition() const { return selected_; }
    void select(std::optional<int> position);

    // The number of connected instruments the window shows; set as the program goes, so it can
    // differ from the rows' statuses until the next recount.
    int connectedCount() const { return count_; }
    void setConnectedCount(int count);
    // Shows the number of rows whose Status is exactly "Connected".
    void recount();

    QByteArray heading(Column column) const;
    // Headings of the endpoint and parameter columns.
    void setEndpointHeadings(const QByteArray& endpoint, const QByteArray& parameter);
    // The endpoint headings of a run: exactly "SERIAL" names the serial ones; any other text
    // gives the Ethernet headings (though it makes a serial run).
    void setHeadingsOfRun(const QByteArray& defaultStartup);
    const QByteArray* endpointHeadings() const { return headings_; }

    // The row bound to `index`, if any (the first one, should two be bound to it); found at once,
    // as every frame updates its connection's row.
    std::optional<int> positionOf(int index) const;

    // Why a row's connection went down by itself, shown beside its status: the reason (when and
    // what the line reported; empty for a row the operator left plain) and the retry interval
    // while the automatic reconnect retries it (0 when it does not).
    struct Drop {
        QByteArray reason;
        int retrySeconds = 0;
        bool operator==(const Drop&) const = default;
    };
    const Drop& drop(int position) const { return rows_.at(position).drop; }
    void setDrop(int position, const Drop& drop);

signals:
    void rowAboutToBeAppended(int position);
    void rowAppended();
    void rowAboutToBeRemoved(int position);
    void rowRemoved();
    void cellChanged(int position, int column);
    void selectionChanged();
    void countChanged();
    void headingsChanged();
    void dropChanged(int position);

private:
    struct Row {
        int index = 0;
        QByteArray texts[ColumnCount];
        Drop drop;
    };

    void reindex();

    QList<Row> rows_;
    QHash<int, int> positions_; // each connection index's first row
    std::optional<int> selected_;
    int count_ = 0;
    QByteArray headings_[2] = {"IP Address", "Port"};
};

} // namespace znr
