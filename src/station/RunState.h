#pragma once

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/ErrorLog.h"
#include "protocol/ProtocolContext.h"
#include "protocol/RawFolderSweep.h"
#include "protocol/RawTrafficFiles.h"
#include "protocol/ReceivePath.h"
#include "station/Connections.h"
#include "station/ListRows.h"
#include "station/Login.h"

namespace znr {

class ConnectionList;
class DebugTextSink;

// What one run of the program owns for its whole life: the settings, the clock and the error log,
// the raw-folder sweep, the trouble-shooting window's raw record, the password contract and the
// debug flag. Created once; never global.
struct RunState {
    AppSettings settings;
    SystemClock clock;
    ErrorLog log{settings.errorLogFolder, clock};
    RawFolderSweep rawSweep;
    // The texts the trouble-shooting window exported during the run.
    RawTrafficRecord troubleShootingRecord;
    LoginState login;
    bool debugMode = false;
};

// The receive path and the connection operations of a run, working on a connection list (the
// main window's, or one in memory when no window is shown).
class ConnectionEngine {
public:
    using DataFileObserver = std::function<void(int index, const QByteArray& path)>;

    ConnectionEngine(RunState& run, ConnectionList& list, DebugTextSink& debugSink,
                     DataFileObserver dataFileWritten = {});

    // Reads the configuration beside the program and opens the configured instruments.
    // `beforeInstruments` runs once, just before the first instrument is opened (or after the
    // configuration when none is), so a window's load sees the transport the file names.
    void loadConfiguration(const QString& programFolder,
                           const std::function<void()>& beforeInstruments = {});

    Connections& connections() { return connections_; }

private:
    RunState& run_;
    ListRows rows_;
    ProtocolContext protocol_;
    ReceivePath receivePath_;
    Connections connections_;
};

} // namespace znr
