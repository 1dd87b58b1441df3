#pragma once

#include <QByteArray>
#include <functional>

namespace znr {

struct AppSettings;
class ErrorLog;
class Clock;
class ConnectionRows;
class RawFolderSweep;

// What the receive path, the parser and the data files share for the run. The owner of the
// run's state builds it once; every member outlives it.
struct ProtocolContext {
    const AppSettings& settings;
    const ErrorLog& log;
    const Clock& clock;
    ConnectionRows& rows;
    // Told of every data file written (connection index, path); optional.
    std::function<void(int index, const QByteArray& path)> dataFileWritten = {};
    // Keeps track of the raw-file folder between clean-ups; optional (without it every clean-up
    // reads the whole folder).
    RawFolderSweep* rawSweep = nullptr;
};

} // namespace znr
