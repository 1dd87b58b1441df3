#pragma once

#include <QByteArray>
#include <optional>

namespace znr {

// The connection list as the logic sees it: one row per connection, bound to its connection
// index, five columns of 8-bit text, at most one selected row, and the connected count. The
// main window implements it on its list widget; headless runs and tests keep it in memory.
class ConnectionList {
public:
    enum Column {
        IdColumn = 0,
        EndpointColumn = 1,
        ParameterColumn = 2,
        StatusColumn = 3,
        LastUpdatedColumn = 4,
        ColumnCount = 5
    };

    virtual ~ConnectionList() = default;

    virtual int rowCount() const = 0;
    virtual int indexAt(int position) const = 0; // the connection index bound to a row
    virtual QByteArray cell(int position, Column column) const = 0;
    virtual void setCell(int position, Column column, const QByteArray& text) = 0;
    // Appends a row bound to `index` with the five texts.
    virtual void appendRow(int index, const QByteArray (&texts)[ColumnCount]) = 0;
    virtual void removeRow(int position) = 0;
    virtual std::optional<int> selectedPosition() const = 0;

    virtual QByteArray countText() const = 0;
    virtual void setCountText(const QByteArray& text) = 0;

    // Headings of the endpoint and parameter columns.
    virtual void setEndpointHeadings(const QByteArray& endpoint, const QByteArray& parameter) = 0;

    // The row bound to `index`, if any.
    std::optional<int> positionOf(int index) const;
    // Shows the number of rows whose Status is exactly "Connected".
    void recount();
};

} // namespace znr
