#include "station/Login.h"

#include "config/AppSettings.h"

namespace znr {

bool passwordAccepted(const AppSettings& settings, const QByteArray& purpose,
                      const QByteArray& entered) {
    const QByteArray& reference =
        purpose == "DISCONNECT" ? settings.DisconnectPassword : settings.AdminPassword;
    return entered == reference;
}

} // namespace znr
