#include "startup/RunState.h"

#include "config/LoadConstants.h"
#include "platform/ElementSets.h"
#include "platform/ProgramPaths.h"

namespace znr {

ConnectionEngine::ConnectionEngine(RunState& run, ConnectionList& list, DebugTextSink& debugSink,
                                   DataFileObserver dataFileWritten)
    : run_(run), rows_(list), protocol_{run.settings,
                                        run.table,
                                        run.rawData,
                                        run.log,
                                        run.clock,
                                        rows_,
                                        std::move(dataFileWritten),
                                        &run.rawSweep},
      receivePath_(protocol_, run.debugMode, debugSink),
      connections_({run.settings, run.table, run.log, run.clock, run.pump, list, receivePath_},
                   socketElementFactory(), serialElementFactory(run.settings)) {}

void ConnectionEngine::loadConfiguration(const QString& programFolder) {
    run_.settings.IniFilePath = iniFilePathIn(programFolder);
    LoadConstants(run_.settings, run_.rawData, connections_, run_.log);
}

} // namespace znr
