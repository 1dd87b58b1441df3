#pragma once

#include "protocol/DebugTextSink.h"
#include "station/ConnectionList.h"
#include "station/RunState.h"
#include "ui/DesktopServices.h"
#include "ui/MainWindow.h"
#include "ui/PasswordGate.h"
#include "ui/QtUserPrompts.h"

#include <QPointer>

namespace znr {

class TroubleShootingWindow;
class SettingsWindow;

// The program with its windows: the run's state and connections, shown through the main
// window, with the settings window, the connection dialogs and the trouble-shooting window.
class Program final : public DebugTextSink {
public:
    explicit Program(QString programFolder);
    ~Program() override;

    // Start-up: the splash reads the configuration (opening the configured instruments while
    // the main window stays hidden), then gives way to the main window.
    void start();

    void appendText(const QByteArray& text) override; // to the trouble-shooting window

private:
    void showSettings();
    void showNewConnection();
    void showDebugWindow();

    QString programFolder_;
    RunState run_;
    QtUserPrompts prompts_;
    QtDesktopServices desktop_;
    PasswordGate gate_{run_.settings, run_.login, prompts_, run_.log};
    ConnectionList list_;
    MainWindow window_{run_.settings, run_.login, gate_, run_.log, list_};
    ConnectionEngine engine_{run_, list_, *this};
    QPointer<TroubleShootingWindow> debugWindow_;
    QPointer<SettingsWindow> settingsWindow_;
    QPointer<QWidget> connectionDialog_;
};

} // namespace znr
