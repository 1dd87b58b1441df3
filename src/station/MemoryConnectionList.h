#pragma once

#include "station/ConnectionList.h"

#include <QList>

namespace znr {

// The connection list without a window: for headless runs and tests.
class MemoryConnectionList final : public ConnectionList {
public:
    struct Row {
        int index = 0;
        QByteArray texts[ColumnCount];
    };

    int rowCount() const override { return int(rows_.size()); }
    int indexAt(int position) const override { return rows_.at(position).index; }
    QByteArray cell(int position, Column column) const override {
        return rows_.at(position).texts[column];
    }
    void setCell(int position, Column column, const QByteArray& text) override {
        rows_[position].texts[column] = text;
    }
    void appendRow(int index, const QByteArray (&texts)[ColumnCount]) override;
    void removeRow(int position) override;
    std::optional<int> selectedPosition() const override { return selected_; }
    void select(std::optional<int> position) { selected_ = position; }

    QByteArray countText() const override { return count_; }
    void setCountText(const QByteArray& text) override { count_ = text; }
    void setEndpointHeadings(const QByteArray& endpoint, const QByteArray& parameter) override {
        headings_[0] = endpoint;
        headings_[1] = parameter;
    }
    const QByteArray* endpointHeadings() const { return headings_; }

private:
    QList<Row> rows_;
    std::optional<int> selected_;
    QByteArray count_ = "0";
    QByteArray headings_[2];
};

} // namespace znr
