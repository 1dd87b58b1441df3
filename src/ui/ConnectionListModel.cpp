#include "ui/ConnectionListModel.h"

#include "station/ConnectionList.h"

#include <QBrush>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QPalette>
#include <QTreeView>

namespace znr {

ConnectionListModel::ConnectionListModel(ConnectionList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    connect(&list, &ConnectionList::rowAboutToBeAppended, this,
            [this](int position) { beginInsertRows({}, position, position); });
    connect(&list, &ConnectionList::rowAppended, this, [this] { endInsertRows(); });
    connect(&list, &ConnectionList::rowAboutToBeRemoved, this,
            [this](int position) { beginRemoveRows({}, position, position); });
    connect(&list, &ConnectionList::rowRemoved, this, [this] { endRemoveRows(); });
    connect(&list, &ConnectionList::cellChanged, this, [this](int position, int column) {
        const QModelIndex changed = index(position, column);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    });
    connect(&list, &ConnectionList::dropChanged, this, [this](int position) {
        emit dataChanged(index(position, 0), index(position, ConnectionList::ColumnCount - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
    });
    connect(&list, &ConnectionList::headingsChanged, this,
            [this] { emit headerDataChanged(Qt::Horizontal, 0, ConnectionList::ColumnCount - 1); });
}

int ConnectionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.rowCount();
}

int ConnectionListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ConnectionList::ColumnCount;
}

QVariant ConnectionListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(list_.cell(index.row(), ConnectionList::Column(index.column())));
    const ConnectionList::Drop& drop = list_.drop(index.row());
    if (drop.reason.isEmpty())
        return {};
    if (role == Qt::BackgroundRole)
        return QBrush(warningColour());
    if (role == Qt::ToolTipRole)
        return dropText(drop);
    return {};
}

// An amber tint of the palette's base: light on a light theme, dark on a dark one, so the
// palette's text stays readable on it.
QColor ConnectionListModel::warningColour() {
    const QColor base = QGuiApplication::palette().color(QPalette::Base);
    const QColor amber(255, 170, 0);
    const auto mix = [](int from, int to) { return (from * 3 + to * 2) / 5; };
    return QColor(mix(base.red(), amber.red()), mix(base.green(), amber.green()),
                  mix(base.blue(), amber.blue()));
}

QString ConnectionListModel::dropText(const ConnectionList::Drop& drop) {
    QString text = QString::fromLatin1(drop.reason);
    if (drop.retrySeconds > 0)
        text += QStringLiteral("\nretrying every %1 s").arg(drop.retrySeconds);
    return text;
}

QVariant ConnectionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return QString::fromLatin1(list_.heading(ConnectionList::Column(section)));
}

void ConnectionListModel::showIn(QTreeView& view) {
    view.setModel(this);
    // Widths in the proportion 1 : 1 : 0.69 : 1 : 1.39 of an inch.
    const double inch = view.logicalDpiX();
    const double widths[ConnectionList::ColumnCount] = {1.0, 1.0, 0.69, 1.0, 1.39};
    for (int c = 0; c < ConnectionList::ColumnCount; ++c)
        view.setColumnWidth(c, int(widths[c] * inch));
    view.setRootIsDecorated(false);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);

    connect(view.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, &view] {
        const QModelIndexList rows = view.selectionModel()->selectedRows();
        list_.select(rows.isEmpty() ? std::nullopt : std::optional<int>(rows.constFirst().row()));
    });
}

} // namespace znr
