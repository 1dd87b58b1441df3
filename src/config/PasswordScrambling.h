#pragma once

#include <QByteArray>

namespace znr {

class ErrorLog;

// Stored passwords are the plain text with every character code shifted down by 10; there is
// no key. A character that cannot be shifted (a code below 10 to scramble, above 245 to
// unscramble) is logged under "Module.EncryptPassword" / "Module.DecryptPassword" and gives the
// empty text, never a partial one.
QByteArray scramblePassword(const QByteArray& plain, const ErrorLog& log);
QByteArray unscramblePassword(const QByteArray& stored, const ErrorLog& log);

} // namespace znr
