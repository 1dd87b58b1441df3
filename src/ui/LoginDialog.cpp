#include "ui/LoginDialog.h"

#include "core/ErrorLog.h"
#include "station/Login.h"
#include "ui/DialogParts.h"
#include "ui/UserPrompts.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace znr {

void showTypedAsStars(QLineEdit& field) {
    field.setEchoMode(QLineEdit::Password);
    field.setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

LoginDialog::LoginDialog(const AppSettings& settings, LoginState& login, UserPrompts& prompts,
                         const ErrorLog& log, QWidget* parent)
    : QDialog(parent), settings_(settings), login_(login), prompts_(prompts), log_(log) {
    setUpFixedDialog(*this, "frmLogin", "Login");

    auto* lblLabels = new QLabel(QStringLiteral("&Password:"), this);
    lblLabels->setObjectName(QStringLiteral("lblLabels"));
    txtPassword_ = new QLineEdit(this);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    showTypedAsStars(*txtPassword_);
    lblLabels->setBuddy(txtPassword_);

    const auto [cmdOK, cmdCancel] = makeOkCancel(*this);
    connect(cmdOK, &QPushButton::clicked, this, &LoginDialog::onOkClicked);
    connect(cmdCancel, &QPushButton::clicked, this, &LoginDialog::onCancelClicked);

    auto* layout = new QGridLayout(this);
    layout->addWidget(lblLabels, 0, 0);
    layout->addWidget(txtPassword_, 0, 1, 1, 2);
    layout->addWidget(cmdOK, 1, 1);
    layout->addWidget(cmdCancel, 1, 2);
    setFixedSize(sizeHint());
}

void LoginDialog::onOkClicked() {
    guarded(log_, "frmLogin_cmdOK_Click", [&] {
        if (passwordAccepted(settings_, login_.purpose, txtPassword_->text())) {
            login_.loggedIn = true;
            done(Accepted);
            return;
        }
        prompts_.information(QStringLiteral("Invalid Password, try again!"),
                             QStringLiteral("Login"), UserPrompts::Icon::None);
        txtPassword_->setFocus();
        txtPassword_->selectAll();
    });
}

void LoginDialog::onCancelClicked() {
    guarded(log_, "frmLogin_cmdCancel_Click", [&] {
        login_.loggedIn = false;
        done(Rejected);
    });
}

void LoginDialog::reject() {
    onCancelClicked();
}

// The close box answers with loggedIn as it stands. (OK and Cancel end through done(), which
// closes without this event.)
void LoginDialog::closeEvent(QCloseEvent* e) {
    e->accept();
    if (isVisible())
        emit finished(Rejected);
}

} // namespace znr
