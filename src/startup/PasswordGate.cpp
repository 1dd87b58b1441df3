#include "startup/PasswordGate.h"

#include "platform/EventPump.h"
#include "startup/Login.h"
#include "startup/frmLogin.h"

#include <QPointer>

namespace znr {

bool PasswordGate::ask(const QByteArray& purpose) {
    login_.LoginPurpose = purpose;
    QPointer<frmLogin> window = new frmLogin(settings_, login_, prompts_, log_);
    window->show();
    window->activateWindow();
    while (window && window->isVisible())
        pump_.turn(60'000);
    if (window)
        window->deleteLater();
    return login_.LoginOK;
}

} // namespace znr
