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

// The password window. Shown without blocking; it closes and deletes itself on OK with the right
// password, on Cancel and on the close box (which leaves loggedIn as it was), so every showing
// starts empty. Each way out emits `finished` once.
class LoginDialog final : public QDialog {
    Q_OBJECT
public:
    LoginDialog(const AppSettings& settings, LoginState& login, UserPrompts& prompts,
                const ErrorLog& log, QWidget* parent = nullptr);

    void onOkClicked();
    void onCancelClicked();

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
