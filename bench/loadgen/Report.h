#pragma once

#include "Scenarios.h"

#include <optional>
#include <string>
#include <vector>

namespace lg {

// Everything one suite run measured.
struct SuiteResults {
    std::string date;
    std::string machine;    // nproc, CPU model, memory
    std::string loadBefore; // load averages when the suite started
    std::string loadAfter;
    std::string workFolder; // where the program wrote its files, with the file system type
    Options options;
    std::vector<LoadReport> loads;
    std::vector<StartupReport> startups;
    std::optional<ConnectWaitReport> connectWait;
    std::optional<LeakReport> leak;
    std::optional<IdleReport> idle;
};

std::string machineDescription();
std::string loadAverage();
std::string fileSystemOf(const std::string& path);
std::string localDateTime();

std::string toMarkdown(const SuiteResults& r);
std::string toJson(const SuiteResults& r);

} // namespace lg
