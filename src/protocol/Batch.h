#pragma once

#include "protocol/FiledBatch.h"
#include "protocol/RawTrafficFiles.h"
#include "protocol/ReadingTable.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <memory>
#include <optional>

namespace znr {

class ErrorLog;

// What one batch may hold, so that an instrument (or anything on the network posing as one)
// cannot make the program hold or write more than this. The cells are the data file's: reading
// rows x codes.
inline constexpr int MaxCodesPerBatch = 32767;
inline constexpr qint64 MaxCellsPerBatch = 4'194'304;

// The codes of a code list ("AB,CD" -> AB, CD); none for the empty text.
QByteArrayList splitCodes(const QByteArray& codeList);

// True for the modes whose code k lives in column k + 1 ("RUN MODE", "FAST MODE"); every other
// mode keeps code k in column k.
bool isRunLikeMode(const QByteArray& mode);

// How far the files of an ended batch got over the attempts to put them on disk: a batch whose
// files could not all be written is kept, and the instrument's resend of its end tries again
// with what is still missing.
struct BatchFiling {
    int attempts = 0;
    QByteArray rawPath;           // the raw file an attempt put on disk; empty while none did
    qsizetype rawLinesOnDisk = 0; // the raw record's lines that file holds
    // What the data file an attempt put on disk holds; null while none did.
    std::shared_ptr<const FiledBatch> data;
};

// One instrument's batch: what its messages said since the last batch end, and its traffic.
struct Batch {
    QByteArray instrumentId;              // IST: first 4 characters of field 3
    QByteArray batchCode;                 // STB: last 3 characters of field 0
    QByteArray mode;                      // IST field 0: "RUN MODE", "CAL. CHECK", ...
    std::optional<QDateTime> dateStamp;   // IDT; absent = the zero date
    std::optional<ReadingTable> readings; // absent until the batch's first reshape
    QByteArray codeList;                  // STB: two-character codes joined by ","; empty = none
    QByteArray errorText;                 // ERR: number "," text
    std::optional<QDateTime> startTime;   // IST; absent = the zero date
    std::optional<qint64> elapsedSeconds; // ENB, ERR; absent until a batch end computes it
    qint16 rowCount = 0;                  // reading rows in use
    qint16 rowIndex = 0;                  // row the next reading goes to
    qint16 columnBound = 0;               // column bound the readings were last shaped to
    // The batch passed a size limit: its further codes and readings are ignored.
    bool pastLimit = false;
    RawTrafficRecord raw;
    BatchFiling filing;

    // Starts the next batch: everything above emptied, the raw record too (its byte limit
    // stays).
    void reset();

    // The number of codes in codeList (its pieces between commas; none when it is empty).
    int codeCount() const { return codeList.isEmpty() ? 0 : int(codeListCommas_) + 1; }

    // Reshapes the readings to rows 0..rowBound by columns 0..columnBound, keeping the cells of
    // rows 0..rowBound-1; a wider table restarts rowIndex at 0. Throws for a bound below zero.
    void reshape(int rowBound, int columnBound);

    // Appends the codes of an STB message (the first 2 characters of each field after field 0)
    // to codeList, then drops one leading comma. A code that would take the batch past
    // MaxCodesPerBatch or MaxCellsPerBatch is refused, with one "ParseString" line per batch,
    // and the batch takes no further codes or readings.
    void addCodes(const QByteArrayList& fields, const ErrorLog& log);

    // Stores the fields of one DAT message as the next reading row and advances rowIndex /
    // rowCount. A failed reshape is logged under "RedimArray"; any other failure (a reading
    // that is not a number, a cell outside the table, more than 32767 rows) is thrown, and the
    // row does not advance. A row past MaxCellsPerBatch is refused as addCodes() refuses a code.
    void addReadings(const QByteArrayList& fields, const ErrorLog& log);

private:
    qint64 codesWith(const QByteArray& code) const;
    void refuseRest(const ErrorLog& log, const QByteArray& limit);
    ReadingTable& table();

    qsizetype codeListCommas_ = 0; // commas in codeList, so codes are counted at no cost
};

} // namespace znr
