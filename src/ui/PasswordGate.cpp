#include "ui/PasswordGate.h"

#include "station/EventPump.h"
#include "station/Login.h"
#include "ui/frmLogin.h"

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
