#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace znr {

struct ProtocolContext;

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

// Reshapes the readings of connection `index` to rows 0..rowBound by columns 0..columnBound,
// keeping the cells of rows 0..rowBound-1; a wider table restarts RowIndex at 0. ColumnBound
// becomes columnBound. Failures (a bound below zero) are logged under "RedimArray".
void RedimArray(const ProtocolContext& ctx, int index, int rowBound, int columnBound);

// Appends the codes of an STB message (the first 2 characters of each field after field 0) to
// the connection's CodeList, then drops one leading comma. A code that would take the batch
// past MaxCodesPerBatch or MaxCellsPerBatch is refused, with one "ParseString" line per batch,
// and the batch takes no further codes or readings.
void appendCodes(const ProtocolContext& ctx, int index, const QByteArrayList& fields);

// Stores the fields of one DAT message as the connection's next reading row and advances
// RowIndex / RowCount. Part of the parser: a failure (a reading that is not a number, a cell
// outside the table, more than 32767 rows) is thrown, and the row does not advance. A row that
// would take the batch past MaxCellsPerBatch is refused as appendCodes() refuses a code.
void storeReadings(const ProtocolContext& ctx, int index, const QByteArrayList& fields);

// Ends the batch of connection `index`: readings discarded, batch fields emptied, RowCount and
// RowIndex 0, the connection's raw traffic record emptied. Failures are logged under
// "BatchComplete".
void BatchComplete(const ProtocolContext& ctx, int index);

} // namespace znr
