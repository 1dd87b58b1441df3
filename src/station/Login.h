#pragma once

#include <QByteArray>
#include <QString>

namespace znr {

struct AppSettings;

// The password window's contract: the caller sets the purpose ("CLOSE", "DISCONNECT", "MENU"),
// shows the window, waits for it to close, reads loggedIn, acts, and sets it back to false.
struct LoginState {
    QByteArray purpose;
    bool loggedIn = false;
};

// "DISCONNECT" is checked against the disconnect password; every other purpose against the
// administrator password. The comparison is exact; an empty password matches an empty entry.
// Passwords are single-byte text: an entry with a character outside Latin-1 matches none.
bool passwordAccepted(const AppSettings& settings, const QByteArray& purpose,
                      const QString& entered);

} // namespace znr
