#pragma once

#include <QAbstractTableModel>
#include <memory>

namespace znr {

class FiledBatch;

// The readings of a filed batch as a table: one column per code, one row per reading row, each
// cell the text the data file holds. Cells are read when the view asks for them, so a batch of
// any size costs nothing more to show.
class FiledBatchModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setBatch(std::shared_ptr<const FiledBatch> batch);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const FiledBatch> batch_;
};

} // namespace znr
