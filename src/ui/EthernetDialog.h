#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace znr {

struct AppSettings;
class ConnectionOpener;
class ErrorLog;

// The dialog that adds an Ethernet instrument: host and port, optionally saved for every start,
// then handed to the run's connections to open. Not modal; it deletes itself when closed. Enter
// presses OK; Esc does nothing.
class EthernetDialog final : public QDialog {
    Q_OBJECT
public:
    EthernetDialog(AppSettings& settings, ConnectionOpener& opener, const ErrorLog& log,
                   QWidget* parent = nullptr);

    void onOk();
    void onCancel();

protected:
    void reject() override;                   // Esc does not cancel
    void closeEvent(QCloseEvent* e) override; // the close box discards

private:
    AppSettings& settings_;
    ConnectionOpener& opener_;
    const ErrorLog& log_;
    bool finished_ = false; // OK has closed the dialog; a late second press does nothing

    QLineEdit* txtHost_ = nullptr;
    QLineEdit* txtPort_ = nullptr;
    QCheckBox* chkAutoRestart_ = nullptr;
};

} // namespace znr
