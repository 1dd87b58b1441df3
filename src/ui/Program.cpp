#include "ui/Program.h"

#include "core/CreateDirectory.h"
#include "protocol/RawTrafficFiles.h"
#include "ui/EthernetDialog.h"
#include "ui/SerialDialog.h"
#include "ui/SettingsWindow.h"
#include "ui/SplashScreen.h"
#include "ui/TroubleShootingWindow.h"
#include "ui/WindowPlacement.h"

namespace znr {

Program::Program(QString programFolder) : programFolder_(std::move(programFolder)) {
    window_.attach(engine_.connections(),
                   {[this] { showSettings(); }, [this] { showNewConnection(); }});
    window_.useSeams(prompts_, desktop_);
}

Program::~Program() = default;

void Program::start() {
    auto* splash = new SplashScreen(
        run_.settings, run_.log,
        {[this] { engine_.loadConfiguration(programFolder_, [this] { window_.start(); }); },
         [this] { CreateDirectory(programFolder_, run_.log); }, [this] { window_.show(); }});
    splash->start();
    splash->show();
}

void Program::appendText(const QByteArray& text) {
    if (debugWindow_)
        debugWindow_->appendText(text);
}

// Windows other than the main window are created on first use and discard themselves when
// closed; a second request while one is open brings it to the front.
template <class Window> static void bringUp(Window* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void Program::showSettings() {
    if (!settingsWindow_)
        settingsWindow_ = new SettingsWindow(run_.settings, run_.login, run_.debugMode, list_,
                                             prompts_, run_.log, [this] { showDebugWindow(); });
    bringUp(settingsWindow_.data());
}

// A dialog that OK has closed lives on until its connect wait is over; it is done, so a new
// request gets a fresh one.
void Program::showNewConnection() {
    if (!connectionDialog_ || connectionDialog_->isHidden()) {
        if (run_.settings.isEthernetRun())
            connectionDialog_ = new EthernetDialog(run_.settings, engine_.connections(), run_.log);
        else
            connectionDialog_ = new SerialDialog(run_.settings, engine_.connections(), run_.log);
    }
    bringUp(connectionDialog_.data());
}

// A new trouble-shooting window opens beside the main window, so that both stay in view.
void Program::showDebugWindow() {
    if (!debugWindow_) {
        debugWindow_ =
            new TroubleShootingWindow(run_.debugMode, run_.log, [this](const QByteArray& text) {
                exportTroubleShootingText(run_.troubleShootingRecord, text, run_.settings, run_.log,
                                          &run_.rawSweep);
            });
        placeBeside(*debugWindow_, window_);
    }
    bringUp(debugWindow_.data());
}

} // namespace znr
