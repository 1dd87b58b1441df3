#pragma once

#include <QByteArray>
#include <QPointer>
#include <functional>

namespace znr {

struct AppSettings;
struct LoginState;
class ErrorLog;
class UserPrompts;
class LoginDialog;

// Runs the password window's contract for a caller: sets the purpose, opens the window without
// waiting for it, and once it has closed calls back with loggedIn. The caller acts on the answer
// and then sets loggedIn back to false. While a window is open, a further request only brings it
// to the front.
class PasswordGate {
public:
    using Answer = std::function<void(bool allowed)>;

    PasswordGate(const AppSettings& settings, LoginState& login, UserPrompts& prompts,
                 const ErrorLog& log)
        : settings_(settings), login_(login), prompts_(prompts), log_(log) {}

    void ask(const QByteArray& purpose, Answer answered);

private:
    const AppSettings& settings_;
    LoginState& login_;
    UserPrompts& prompts_;
    const ErrorLog& log_;
    QPointer<LoginDialog> open_;
};

} // namespace znr
