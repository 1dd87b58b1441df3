#pragma once

#include <QByteArray>

namespace znr {

// The connection list as the protocol logic sees it: one row per connection index, bound to
// that index. The main window implements it; an operation on an index without a row throws a
// Failure, which the calling routine logs.
class ConnectionRows {
public:
    virtual ~ConnectionRows() = default;

    // The row's text: its first column, "ZNR ID".
    virtual void setRowText(int index, const QByteArray& text) = 0;
    // The row's "Last Updated" cell.
    virtual void setLastUpdated(int index, const QByteArray& text) = 0;
};

} // namespace znr
