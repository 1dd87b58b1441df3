#pragma once

#include "station/ConnectionList.h"

class QLabel;
class QTreeWidget;

namespace znr {

// The connection list on the main window's report list and count label. Each item keeps its
// connection index in its data, so the binding survives the removal of other rows.
class TreeConnectionList final : public ConnectionList {
public:
    TreeConnectionList(QTreeWidget& tree, QLabel& count) : tree_(tree), count_(count) {}

    int rowCount() const override;
    int indexAt(int position) const override;
    QByteArray cell(int position, Column column) const override;
    void setCell(int position, Column column, const QByteArray& text) override;
    void appendRow(int index, const QByteArray (&texts)[ColumnCount]) override;
    void removeRow(int position) override;
    std::optional<int> selectedPosition() const override;
    QByteArray countText() const override;
    void setCountText(const QByteArray& text) override;
    void setEndpointHeadings(const QByteArray& endpoint, const QByteArray& parameter) override;

    // Sets up the five columns with their headings and widths.
    static void setUpColumns(QTreeWidget& tree);

private:
    QTreeWidget& tree_;
    QLabel& count_;
};

} // namespace znr
