#pragma once

#include "config/ConnectionOpener.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;

namespace znr {

struct AppSettings;
class ErrorLog;

// The dialog that adds a serial instrument: port and line settings, optionally saved for every
// start, then handed to the run's connections to open. Not modal; it deletes itself when closed.
// Enter and Esc do nothing.
class SerialDialog final : public QDialog {
    Q_OBJECT
public:
    SerialDialog(AppSettings& settings, ConnectionOpener& opener, const ErrorLog& log,
                 QWidget* parent = nullptr);

    void load();
    void fillPortList();
    // The instrument the dialog's controls describe.
    SerialInstrument takeLineSettings();
    void onOk();
    void onCancel();

protected:
    void reject() override;                   // Esc does not cancel
    void closeEvent(QCloseEvent* e) override; // the close box discards, scratch fields untouched

private:
    QGroupBox* addOptionGroup(const char* frameName, const char* title, const char* groupName,
                              const QStringList& captions, QButtonGroup*& group);

    AppSettings& settings_;
    ConnectionOpener& opener_;
    const ErrorLog& log_;
    bool finished_ = false; // OK has opened the connection; a late second press does nothing

    QListWidget* lstConnector_ = nullptr;
    QButtonGroup* optBaudRate_ = nullptr;
    QButtonGroup* optParity_ = nullptr;
    QButtonGroup* optDataBits_ = nullptr;
    QButtonGroup* optStopBits_ = nullptr;
    QButtonGroup* optFlowControl_ = nullptr;
    QCheckBox* chkDTR_ = nullptr;
    QCheckBox* chkRTS_ = nullptr;
    QCheckBox* chkAutoRestart_ = nullptr;
};

} // namespace znr
