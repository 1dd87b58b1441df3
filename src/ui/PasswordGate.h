#pragma once

#include <QByteArray>

namespace znr {

struct AppSettings;
struct LoginState;
class ErrorLog;
class EventPump;
class UserPrompts;

// Runs the password window's contract for a caller: sets the purpose, shows the window without
// blocking, keeps the program live until it has closed, and returns LoginOK. The caller acts on
// the answer and then sets LoginOK back to false.
class PasswordGate {
public:
    PasswordGate(const AppSettings& settings, LoginState& login, UserPrompts& prompts,
                 const ErrorLog& log, EventPump& pump)
        : settings_(settings), login_(login), prompts_(prompts), log_(log), pump_(pump) {}

    bool ask(const QByteArray& purpose);

private:
    const AppSettings& settings_;
    LoginState& login_;
    UserPrompts& prompts_;
    const ErrorLog& log_;
    EventPump& pump_;
};

} // namespace znr
