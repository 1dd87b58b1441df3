#include "ui/FiledBatchModel.h"

#include "protocol/FiledBatch.h"

namespace znr {

void FiledBatchModel::setBatch(std::shared_ptr<const FiledBatch> batch) {
    beginResetModel();
    batch_ = std::move(batch);
    endResetModel();
}

int FiledBatchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !batch_ ? 0 : batch_->rowCount();
}

int FiledBatchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !batch_ ? 0 : batch_->codeCount();
}

QVariant FiledBatchModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || !batch_)
        return {};
    return QString::fromLatin1(batch_->cell(index.row(), index.column()));
}

QVariant FiledBatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !batch_)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return QString::fromLatin1(batch_->codes.value(section));
}

} // namespace znr
