#include "protocol/FiledBatch.h"

namespace znr {

FiledBatchBuilder::FiledBatchBuilder(QByteArrayList codes, int rowCount, bool columnLayout) {
    batch_.codes = std::move(codes);
    batch_.rowCount_ = rowCount;
    batch_.byCode_ = !columnLayout;
    batch_.starts_.reserve(size_t(rowCount) * size_t(batch_.codeCount()) + 1);
    batch_.starts_.push_back(0);
}

void FiledBatchBuilder::addLine(const QByteArray& line) {
    ++lines_;
    if (lines_ == 1 || batch_.codes.isEmpty())
        return; // the header, or a batch without cells
    if (!batch_.byCode_) {
        if (lines_ > 2) // after the line of codes
            addCells(line);
    } else {
        const qsizetype comma = line.indexOf(',');
        if (comma >= 0) // after the code
            addCells(QByteArrayView(line).sliced(comma + 1));
    }
}

// The fields of one line: cell texts hold no comma, so every comma ends a cell.
void FiledBatchBuilder::addCells(QByteArrayView fields) {
    QByteArray& text = batch_.cellText_;
    for (qsizetype from = 0;;) {
        const qsizetype comma = fields.indexOf(',', from);
        const qsizetype end = comma < 0 ? fields.size() : comma;
        text.append(fields.sliced(from, end - from));
        batch_.starts_.push_back(qint32(text.size()));
        if (comma < 0)
            return;
        from = comma + 1;
    }
}

} // namespace znr
