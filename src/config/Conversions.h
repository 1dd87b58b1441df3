#pragma once

#include <QByteArray>

namespace znr {

// How setting texts become numbers and Booleans, and how they are written back. A "number" is
// an optional sign, digits and at most one decimal point, blanks (spaces, tabs) anywhere in it
// ignored: "1 2" is 12. Exponents, hexadecimal forms and thousands separators are not numbers
// here ("1E3" reads as 1 and "&H10" as 0): the program never writes them. Fractions are
// rounded to the nearest whole number, halves to even ("2.5" is 2, "3.5" is 4).

// The number at the start of the text: reading stops at the first character that cannot
// continue it ("12abc" is 12), and a text that does not begin with one is 0. A result outside
// -32768..32767 throws Failure::overflow().
qint16 textToNumber(const QByteArray& text);

// A TCP port: the rule of textToNumber with the range 0..65535.
quint16 textToPort(const QByteArray& text);

// The whole text (blanks around it allowed) must be a number, else Failure::typeMismatch();
// rounded as above, outside -32768..32767 Failure::overflow().
qint16 textToInteger(const QByteArray& text);

// A TCP port typed by the user: the whole-text rule of textToInteger with the range 0..65535.
quint16 textToWholePort(const QByteArray& text);

// "True" or "False" in any letter case, or a whole number text (0 false, anything else true);
// anything else, the empty text included, throws Failure::typeMismatch().
bool textToBoolean(const QByteArray& text);

// A number as the program writes counts and days: one leading blank for a value that is not
// negative (" 30", " 0"), the minus sign otherwise ("-3").
QByteArray numberToText(int value);

// "True" or "False".
QByteArray booleanToText(bool value);

} // namespace znr
