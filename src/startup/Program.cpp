#include "startup/Program.h"

#include "config/LoadConstants.h"
#include "platform/ElementSets.h"
#include "platform/ProgramPaths.h"
#include "records/RawTrafficFiles.h"
#include "records/frmDebug.h"
#include "settings/frmSerialPortSettings.h"
#include "settings/frmSettings.h"
#include "settings/frmWinsock.h"
#include "startup/CreateDirectory.h"
#include "startup/frmSplash.h"

namespace znr {

namespace {

// Hands the configured instruments on to the main window, running the window's load just
// before the first of them, so that the load sees the transport the configuration names.
class LoadingOpener final : public ConnectionOpener {
public:
    LoadingOpener(ConnectionOpener& opener, frmZNRInterface& window)
        : opener_(opener), window_(window) {}

    void CreateEthernetConnection(const QByteArray& ip, quint16 port) override {
        loadWindow();
        opener_.CreateEthernetConnection(ip, port);
    }
    void CreateSerialConnection(const QByteArray& commPort, const QByteArray& settings) override {
        loadWindow();
        opener_.CreateSerialConnection(commPort, settings);
    }
    void loadWindow() {
        if (!loaded_)
            window_.Form_Load();
        loaded_ = true;
    }

private:
    ConnectionOpener& opener_;
    frmZNRInterface& window_;
    bool loaded_ = false;
};

} // namespace

Program::Program(QString programFolder)
    : programFolder_(std::move(programFolder)),
      connections_({settings_, table_, log_, clock_, pump_, window_.list(), receivePath_},
                   socketElementFactory(), serialElementFactory(settings_)) {
    window_.attach(connections_, {[this] { showSettings(); }, [this] { showNewConnection(); }});
}

Program::~Program() = default;

void Program::start() {
    auto* splash = new frmSplash(settings_, log_,
                                 {[this] { loadConfiguration(); },
                                  [this] { CreateDirectory(programFolder_, log_); },
                                  [this] { window_.show(); }});
    splash->Form_Load();
    splash->show();
}

void Program::loadConfiguration() {
    settings_.IniFilePath = iniFilePathIn(programFolder_);
    LoadingOpener opener(connections_, window_);
    LoadConstants(settings_, rawData_, opener, log_);
    opener.loadWindow(); // no instrument configured: the window loads all the same
}

void Program::appendText(const QByteArray& text) {
    if (debugWindow_)
        debugWindow_->appendText(text);
}

// Windows other than the main window are created on first use and discard themselves when
// closed; a second request while one is open brings it to the front.
template <class Window> static void raise(Window* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void Program::showSettings() {
    if (!settingsWindow_)
        settingsWindow_ = new frmSettings(settings_, login_, debugMode_, window_.list(), prompts_,
                                          log_, [this] { showDebugWindow(); });
    raise(settingsWindow_.data());
}

void Program::showNewConnection() {
    if (!connectionDialog_) {
        if (settings_.isEthernetRun())
            connectionDialog_ = new frmWinsock(settings_, connections_, log_);
        else
            connectionDialog_ = new frmSerialPortSettings(settings_, connections_, log_);
    }
    raise(connectionDialog_.data());
}

// The trouble-shooting window exports through the highest raw-traffic slot.
void Program::showDebugWindow() {
    if (!debugWindow_)
        debugWindow_ = new frmDebug(debugMode_, log_, [this](const QByteArray& text) {
            CreateRawFile(rawData_, text, settings_.RawDataTempNumber, log_);
            ExportRawFile(rawData_, settings_.RawDataTempNumber, settings_, log_);
        });
    raise(debugWindow_.data());
}

} // namespace znr
