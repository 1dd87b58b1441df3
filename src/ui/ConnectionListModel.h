#pragma once

#include "station/ConnectionList.h"

#include <QAbstractTableModel>
#include <QColor>

class QTreeView;

namespace znr {

// The connection list as a table for a view: the list's rows, texts and headings, following its
// changes. A row whose connection went down by itself is tinted with a warning colour and its
// tooltip tells why and whether it is retried. It holds no state of its own.
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
    // The tint of a row that went down by itself, from the application's palette.
    static QColor warningColour();
    static QString dropText(const ConnectionList::Drop& drop);

    ConnectionList& list_;
};

} // namespace znr
