#include "station/RunState.h"

#include "config/LoadSettings.h"
#include "core/ProgramPaths.h"
#include "link/Links.h"

namespace znr {
namespace {

// Hands the configured instruments on, running a hook once before the first of them.
class HookedOpener final : public ConnectionOpener {
public:
    HookedOpener(ConnectionOpener& opener, const std::function<void()>& hook)
        : opener_(opener), hook_(hook) {}

    void openEthernet(const EthernetInstrument& instrument) override {
        runHook();
        opener_.openEthernet(instrument);
    }
    void openSerial(const SerialInstrument& instrument) override {
        runHook();
        opener_.openSerial(instrument);
    }
    void runHook() {
        if (!ran_ && hook_)
            hook_();
        ran_ = true;
    }

private:
    ConnectionOpener& opener_;
    const std::function<void()>& hook_;
    bool ran_ = false;
};

} // namespace

ConnectionEngine::ConnectionEngine(RunState& run, ConnectionList& list, DebugTextSink& debugSink,
                                   DataFileObserver dataFileWritten)
    : run_(run),
      rows_(list), protocol_{run.settings, run.log, run.clock, rows_, std::move(dataFileWritten),
                             &run.rawSweep},
      receivePath_(protocol_, run.debugMode, debugSink),
      connections_({run.settings, run.log, run.clock, list, receivePath_},
                   realLinks(run.settings)) {}

void ConnectionEngine::loadConfiguration(const QString& programFolder,
                                         const std::function<void()>& beforeInstruments) {
    run_.settings.iniFilePath = iniFilePathIn(programFolder);
    HookedOpener opener(connections_, beforeInstruments);
    loadSettings(run_.settings, opener, run_.log);
    opener.runHook();
}

} // namespace znr
