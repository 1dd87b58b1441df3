#pragma once

#include <QByteArray>
#include <QString>

namespace znr {

class ErrorLog;

// Private-profile INI semantics on 8-bit text: section and key names compared without regard to
// case, first occurrence wins, values trimmed of blanks and cut to 127 characters, LF accepted,
// CR LF written, every other line kept byte for byte.

// The value, or the empty text when the file, section or key is missing. Never fails.
QByteArray ReadINIFile(const QByteArray& section, const QByteArray& key, const QString& file);

// Sets one key (replaced in place, added at the end of its section, or a new section at the end
// of the file; a missing file is created). The file is replaced atomically. Returns non-zero
// when written; a failure is logged under "WriteINIFile" and gives 0.
int WriteINIFile(const QByteArray& section, const QByteArray& key, const QByteArray& value,
                 const QString& file, const ErrorLog& log);

} // namespace znr
