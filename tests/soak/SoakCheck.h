#pragma once

#include "ProgramInstance.h"
#include "SimInstrument.h"

#include <QByteArrayList>
#include <QStringList>
#include <memory>
#include <vector>

namespace soak {

// What the files and the log of one program instance showed.
struct CheckResult {
    int batches = 0; // acknowledged batches, each with its data file and raw file
    int frames = 0;  // frames the simulators sent
    int naks = 0;    // NAK8 the simulators received
    int drops = 0;   // instruments killed while connected
    int logLines = 0;
    QStringList problems; // lost, damaged or unexpected files; unexpected log lines
};

// Matches every acknowledged batch of every incarnation with exactly one data file (byte for
// byte one of the files its simulator expected) and one raw file, finds files no acknowledged
// batch explains, and sorts the error log into the lines the faults explain and the rest.
CheckResult checkInstance(const ProgramInstance& program,
                          const std::vector<std::unique_ptr<SimInstrument>>& instruments);

} // namespace soak
