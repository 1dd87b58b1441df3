#include "ui/PasswordGate.h"

#include "station/Login.h"
#include "ui/LoginDialog.h"

namespace znr {

void PasswordGate::ask(const QByteArray& purpose, Answer answered) {
    if (open_ && open_->isVisible()) {
        open_->raise();
        open_->activateWindow();
        return;
    }
    login_.purpose = purpose;
    open_ = new LoginDialog(settings_, login_, prompts_, log_);
    QObject::connect(open_, &QDialog::finished, open_,
                     [this, answered = std::move(answered)] { answered(login_.loggedIn); });
    open_->open();
    open_->activateWindow();
}

} // namespace znr
