#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace znr {

struct AppSettings;
struct LoginState;
class ErrorLog;
class UserPrompts;

// Masks `field` and shows each typed character as "*", whatever the style's own mask.
void showTypedAsStars(QLineEdit& field);

// The password window. Shown without blocking; it deletes itself on OK with the right password
// and on Cancel, so every showing starts empty. The title-bar close box changes nothing.
class frmLogin final : public QDialog {
    Q_OBJECT
public:
    frmLogin(const AppSettings& settings, LoginState& login, UserPrompts& prompts,
             const ErrorLog& log, QWidget* parent = nullptr);

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void reject() override;                   // Esc is Cancel
    void closeEvent(QCloseEvent* e) override; // the close box changes nothing

private:
    const AppSettings& settings_;
    LoginState& login_;
    UserPrompts& prompts_;
    const ErrorLog& log_;
    QLineEdit* txtPassword_;
};

} // namespace znr
