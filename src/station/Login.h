#pragma once

#include <QByteArray>

namespace znr {

struct AppSettings;

// The password window's contract: the caller sets the purpose ("CLOSE", "DISCONNECT", "MENU"),
// shows the window, waits for it to close, reads LoginOK, acts, and sets it back to false.
struct LoginState {
    QByteArray LoginPurpose;
    bool LoginOK = false;
};

// "DISCONNECT" is checked against the disconnect password; every other purpose against the
// administrator password. The comparison is exact; an empty password matches an empty entry.
bool passwordAccepted(const AppSettings& settings, const QByteArray& purpose,
                      const QByteArray& entered);

} // namespace znr
