#pragma once

#include "Farm.h"
#include "Verify.h"

#include <set>
#include <string>
#include <vector>

namespace lg {

struct Options {
    std::string program;   // znr-extractor
    std::string responder; // znr-bare-responder
    std::string workRoot = "/tmp";
    std::string outDir;
    std::vector<int> sizes{1, 10, 100, 500};
    double seconds = 10;
    int rows = 20;
    std::set<std::string> scenarios{"load",         "paced", "startup", "startup-unreachable",
                                    "connect-wait", "leak",  "idle"};
    std::vector<int> pacedSizes{100, 500};
    double paceMs = 10; // paced runs: wait after each ACK8
    int startupInstruments = 100;
    int startupRuns = 3;
    int unreachableInstruments = 20; // startup-unreachable: listeners that never answer
    long leakBatches = 10000;
    int leakInstruments = 10;
    int idleConnections = 500;
    double soakMinutes = 30;
    unsigned long long soakSeed = 1;
    bool keep = false;
    std::vector<std::string> wrap; // words put before the program (a profiler)
};

// Latency figures in microseconds.
struct Latency {
    double p50 = 0, p99 = 0, max = 0;
};
Latency latencyOf(std::vector<std::uint64_t> rttNs);

// One subject under the fixed-time load with N instruments.
struct LoadReport {
    int instruments = 0;
    double paceMs = 0; // 0: each frame follows its ACK8 at once
    std::string subject;
    bool ok = false;
    std::vector<std::string> errors;
    double startupS = 0;
    double windowS = 0;
    long frames = 0;
    long batches = 0;
    double framesPerS = 0;
    double batchesPerS = 0;
    Latency all, body, end;
    double cpuPer1000Frames = 0;
    long peakRssKiB = 0;
    int exitCode = -1;
    bool verified = false; // files checked (program only)
    VerifyResult verify;
};
LoadReport runLoadScenario(const Options& o, int instruments, Subject::Kind kind,
                           double paceMs = 0);

struct StartupReport {
    std::string subject;
    int instruments = 0;
    std::vector<double> seconds; // one per run; empty entry on failure
    std::vector<std::string> errors;
    double median() const;
};
StartupReport runStartupScenario(const Options& o, Subject::Kind kind);
// The program's start-up with the unreachable instruments listed before the reachable ones.
StartupReport runUnreachableStartupScenario(const Options& o);

struct ConnectWaitReport {
    bool ok = false;
    std::vector<std::string> errors;
    bool probeHung = false;     // a test connect to the full listener did not complete
    double windowS = 0;         // the sampled stretch inside the wait
    double cpuPercent = 0;      // of one core, over that stretch
    double waitEndedAfterS = 0; // when the "IP Address Unavailable" line appeared
    double totalCpuS = 0;       // start to end of the wait
};
ConnectWaitReport runConnectWaitScenario(const Options& o);

struct LeakReport {
    bool ok = false;
    std::vector<std::string> errors;
    int instruments = 0;
    long batches = 0;
    std::vector<std::pair<long, long>> rssKiB; // (batches done, VmRSS) every 1,000 batches
    long growthKiB = 0;                        // from the 2,000th batch to the last
    double seconds = 0;                        // the whole run
    bool verified = false;
    VerifyResult verify;
};
LeakReport runLeakScenario(const Options& o);

struct IdleReport {
    bool ok = false;
    std::vector<std::string> errors;
    int connections = 0;
    long rssNoneKiB = 0;
    long rssAllKiB = 0;
    double perConnectionKiB = 0;
};
IdleReport runIdleScenario(const Options& o);

} // namespace lg
