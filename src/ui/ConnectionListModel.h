#pragma once

#include <QAbstractTableModel>

class QTreeView;

namespace znr {

class ConnectionList;

// The connection list as a table for a view: the list's rows, texts and headings, following its
// changes. It holds no state of its own.
class ConnectionListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ConnectionListModel(ConnectionList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Shows the model in `view` with the list's column widths and whole-row single selection;
    // the row the user selects becomes the list's selected row.
    void showIn(QTreeView& view);

private:
    ConnectionList& list_;
};

} // namespace znr
