#pragma once

#include <QByteArray>

namespace znr {

// The value of a DAT field: its first 8 characters read as a decimal number (blanks around it,
// an optional sign, an optional decimal point), rounded to 3 decimal places with halves away
// from zero. The rounding is done on the decimal digits, so 2.0005 gives 2.001. Text that is
// not such a number throws the type-mismatch failure.
double readingValue(const QByteArray& field);

// A value as the data files write it: the shortest plain decimal that reads back as the same
// value ("12.3", "7", "0.125", "-0.5"); zero is always "0".
QByteArray readingText(double value);

} // namespace znr
