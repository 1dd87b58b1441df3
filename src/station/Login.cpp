#include "station/Login.h"

#include "config/AppSettings.h"

#include <algorithm>

namespace znr {

bool passwordAccepted(const AppSettings& settings, const QByteArray& purpose,
                      const QString& entered) {
    const QByteArray& reference =
        purpose == "DISCONNECT" ? settings.disconnectPassword : settings.adminPassword;
    // toLatin1() would turn every other character into '?', which a stored '?' then matches.
    const bool latin1 =
        std::all_of(entered.cbegin(), entered.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 && entered.toLatin1() == reference;
}

} // namespace znr
