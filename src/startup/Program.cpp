#include "startup/Program.h"

#include "config/LoadConstants.h"
#include "platform/ElementSets.h"
#include "platform/ProgramPaths.h"
#include "startup/CreateDirectory.h"
#include "startup/frmSplash.h"

namespace znr {

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
    LoadConstants(settings_, rawData_, connections_, log_);
}

void Program::appendText(const QByteArray& /*text*/) {}

void Program::showSettings() {}

void Program::showNewConnection() {}

void Program::showDebugWindow() {}

} // namespace znr
