#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;

namespace znr {

class UserPrompts;

// The automatic reconnect's retry interval in seconds (0 = off), for the operator to change.
// OK refuses anything but a whole number from 0 to 3600 with a message and stays open; a valid
// number goes to `apply` and closes the dialog. Not modal; it deletes itself when closed.
class ReconnectDialog final : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<void(qint16 seconds)>;

    ReconnectDialog(qint16 seconds, UserPrompts& prompts, Apply apply, QWidget* parent = nullptr);

    void onOk();

private:
    UserPrompts& prompts_;
    Apply apply_;
    QLineEdit* txtSeconds_ = nullptr;
};

} // namespace znr
