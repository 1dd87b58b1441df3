#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QDateTime>
#include <vector>

namespace znr {

// A batch as it was filed: the data file's path and what the file says, kept once per batch so
// that it can be shown later without reading the file again. It never changes once built.
class FiledBatch {
public:
    QByteArray instrumentId;
    QByteArray mode;
    QByteArray batchCode;
    QByteArray errorText; // the instrument's error of a batch that ERR ended; empty otherwise
    QDateTime filedAt;
    QByteArray path;
    QByteArrayList codes;

    int rowCount() const { return rowCount_; }
    int codeCount() const { return int(codes.size()); }
    // The text of reading row `row` of code `code` as the file holds it; empty for an empty cell.
    QByteArrayView cell(int row, int code) const {
        const qsizetype k =
            byCode_ ? qsizetype(code) * rowCount_ + row : qsizetype(row) * codeCount() + code;
        return QByteArrayView(cellText_).sliced(starts_[k], starts_[k + 1] - starts_[k]);
    }

private:
    friend class FiledBatchBuilder;

    QByteArray cellText_;        // the texts of all cells, one after another, in file order
    std::vector<qint32> starts_; // where each cell starts in cellText_, and one past the last
    bool byCode_ = false;        // ROW layout: the file runs code by code
    int rowCount_ = 0;
};

// Collects a FiledBatch from the lines of its data file as they are written: line 1, then in
// COLUMN layout the codes and one line per reading row, in ROW layout one line per code.
class FiledBatchBuilder {
public:
    FiledBatchBuilder(QByteArrayList codes, int rowCount, bool columnLayout);

    void addLine(const QByteArray& line);
    FiledBatch take() { return std::move(batch_); }

private:
    void addCells(QByteArrayView fields);

    FiledBatch batch_;
    int lines_ = 0;
};

} // namespace znr
