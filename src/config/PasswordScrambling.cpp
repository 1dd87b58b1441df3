#include "config/PasswordScrambling.h"

#include "core/ErrorLog.h"
#include "core/LogNames.h"

namespace znr {

namespace {

QByteArray shifted(const QByteArray& text, int by, const ErrorLog& log,
                   std::string_view procedure) {
    QByteArray out;
    const bool ok = guarded(log, procedure, [&] {
        out.reserve(text.size());
        for (const char c : text) {
            const int code = static_cast<unsigned char>(c) + by;
            if (code < 0 || code > 255)
                throw Failure::invalidArgument();
            out.append(char(code));
        }
    });
    return ok ? out : QByteArray();
}

} // namespace

QByteArray scramblePassword(const QByteArray& plain, const ErrorLog& log) {
    return shifted(plain, -10, log, logname::ScramblePassword);
}

QByteArray unscramblePassword(const QByteArray& stored, const ErrorLog& log) {
    return shifted(stored, +10, log, logname::UnscramblePassword);
}

} // namespace znr
