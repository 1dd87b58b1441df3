#pragma once

#include <QByteArray>
#include <QString>

namespace znr {

// How the trouble-shooting window shows received bytes and gives them back. Each byte is one
// character (Latin-1); CR LF and a lone LF end a line; a lone CR is shown as the symbol U+240D,
// so that a line of the display and a line of the bytes always correspond.
QString debugDisplayText(const QByteArray& bytes);

// The bytes of text the user has edited: each line break becomes CR LF, U+240D becomes CR;
// characters outside Latin-1 become '?'.
QByteArray debugBytesFromDisplay(const QString& text);

// Where to cut the front of `record` so that at most `keep` bytes remain: just after the first
// LF that leaves no more than `keep`, or exactly `size - keep` when no LF is in reach. 0 when the
// record is no longer than `keep`.
qsizetype debugTrimPoint(const QByteArray& record, qsizetype keep);

} // namespace znr
