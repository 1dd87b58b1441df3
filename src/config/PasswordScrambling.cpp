#include "config/PasswordScrambling.h"

#include "core/ErrorLog.h"

namespace znr {

namespace {

QByteArray shifted(const QByteArray& text, int by, const ErrorLog& log, const char* procedure) {
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

QByteArray EncryptPassword(const QByteArray& plain, const ErrorLog& log) {
    return shifted(plain, -10, log, "Module.EncryptPassword");
}

QByteArray DecryptPassword(const QByteArray& stored, const ErrorLog& log) {
    return shifted(stored, +10, log, "Module.DecryptPassword");
}

} // namespace znr
