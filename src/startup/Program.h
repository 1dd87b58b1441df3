#pragma once

#include "config/AppSettings.h"
#include "connections/Connections.h"
#include "connections/ListRows.h"
#include "connections/frmZNRInterface.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/QtUserPrompts.h"
#include "protocol/ConnectionTable.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ReceivePath.h"
#include "records/ErrorLog.h"
#include "records/RawTraffic.h"
#include "startup/Login.h"
#include "startup/PasswordGate.h"

#include <QPointer>

namespace znr {

class frmDebug;
class frmSettings;

// The state of one run of the program, created once in main() and handed to the windows: the
// settings, the per-connection tables, the raw traffic slots, the password contract and the
// debug flag, with the windows and the connections that use them.
class Program final : public DebugTextSink {
public:
    explicit Program(QString programFolder);
    ~Program() override;

    // Start-up: the splash reads the configuration (opening the configured instruments while
    // the main window stays hidden), then gives way to the main window.
    void start();

    void appendText(const QByteArray& text) override; // to the trouble-shooting window

private:
    void loadConfiguration();
    void showSettings();
    void showNewConnection();
    void showDebugWindow();

    QString programFolder_;
    AppSettings settings_;
    SystemClock clock_;
    ErrorLog log_{settings_, clock_};
    RawData rawData_;
    ConnectionTable table_;
    LoginState login_;
    bool debugMode_ = false;
    QtUserPrompts prompts_;
    QtEventPump pump_;
    PasswordGate gate_{settings_, login_, prompts_, log_, pump_};
    frmZNRInterface window_{settings_, login_, gate_, log_};
    ListRows rows_{window_.list()};
    ProtocolContext protocol_{settings_, table_, rawData_, log_, clock_, rows_};
    ReceivePath receivePath_{protocol_, debugMode_, *this};
    Connections connections_;
    QPointer<frmDebug> debugWindow_;
    QPointer<frmSettings> settingsWindow_;
    QPointer<QWidget> connectionDialog_;
};

} // namespace znr
