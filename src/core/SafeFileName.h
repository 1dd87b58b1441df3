#pragma once

#include <QByteArray>

namespace znr {

// Text from the wire made fit to be part of a file name: every path separator, ':', '*', '?',
// '"', '<', '>', '|' and control character becomes '_', so the name stays inside its folder.
QByteArray safeFileNamePart(const QByteArray& text);

} // namespace znr
