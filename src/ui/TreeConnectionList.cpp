#include "ui/TreeConnectionList.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

namespace znr {
namespace {

constexpr int IndexRole = Qt::UserRole + 1;

QString shown(const QByteArray& text) {
    return QString::fromLatin1(text);
}

} // namespace

void TreeConnectionList::setUpColumns(QTreeWidget& tree) {
    tree.setColumnCount(ColumnCount);
    tree.setHeaderLabels({QStringLiteral("ZNR ID"), QStringLiteral("IP Address"),
                          QStringLiteral("Port"), QStringLiteral("Status"),
                          QStringLiteral("Last Updated")});
    // Widths in the proportion 1 : 1 : 0.69 : 1 : 1.39 of an inch.
    const double inch = tree.logicalDpiX();
    const double widths[ColumnCount] = {1.0, 1.0, 0.69, 1.0, 1.39};
    for (int c = 0; c < ColumnCount; ++c)
        tree.setColumnWidth(c, int(widths[c] * inch));
    tree.setRootIsDecorated(false);
    tree.setSelectionMode(QAbstractItemView::SingleSelection);
    tree.setSelectionBehavior(QAbstractItemView::SelectRows);
    tree.setUniformRowHeights(true);
}

int TreeConnectionList::rowCount() const {
    return tree_.topLevelItemCount();
}

int TreeConnectionList::indexAt(int position) const {
    return tree_.topLevelItem(position)->data(0, IndexRole).toInt();
}

QByteArray TreeConnectionList::cell(int position, Column column) const {
    return tree_.topLevelItem(position)->text(column).toLatin1();
}

void TreeConnectionList::setCell(int position, Column column, const QByteArray& text) {
    tree_.topLevelItem(position)->setText(column, shown(text));
}

void TreeConnectionList::appendRow(int index, const QByteArray (&texts)[ColumnCount]) {
    auto* item = new QTreeWidgetItem;
    for (int c = 0; c < ColumnCount; ++c)
        item->setText(c, shown(texts[c]));
    item->setData(0, IndexRole, index);
    tree_.addTopLevelItem(item);
}

void TreeConnectionList::removeRow(int position) {
    delete tree_.takeTopLevelItem(position);
}

std::optional<int> TreeConnectionList::selectedPosition() const {
    const QList<QTreeWidgetItem*> selected = tree_.selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return tree_.indexOfTopLevelItem(selected.constFirst());
}

QByteArray TreeConnectionList::countText() const {
    return count_.text().toLatin1();
}

void TreeConnectionList::setCountText(const QByteArray& text) {
    count_.setText(shown(text));
}

void TreeConnectionList::setEndpointHeadings(const QByteArray& endpoint,
                                             const QByteArray& parameter) {
    QTreeWidgetItem* header = tree_.headerItem();
    header->setText(EndpointColumn, shown(endpoint));
    header->setText(ParameterColumn, shown(parameter));
}

} // namespace znr
