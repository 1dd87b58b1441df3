// znr-loadgen: plays N instruments against znr-extractor and against a bare responder, and
// reports ACK round trips, throughput, CPU and memory side by side. See README "Benchmarks".

#include "Report.h"
#include "Scenarios.h"
#include "soak/SoakRun.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const char* const Usage =
    "Usage: znr-loadgen [options]\n"
    "  --program PATH       znr-extractor to measure (default: beside znr-loadgen)\n"
    "  --responder PATH     the bare responder (default: beside znr-loadgen)\n"
    "  --sizes LIST         instrument counts of the load runs (default 1,10,100,500)\n"
    "  --seconds S          length of each load run (default 10)\n"
    "  --rows R             DAT rows per batch (default 20)\n"
    "  --scenarios LIST     any of load,paced,startup,startup-unreachable,connect-wait,leak,\n"
    "                       idle (default: all),\n"
    "                       or soak alone: two headless programs, 50 znr-sim instruments over\n"
    "                       TCP and 4 on ptys, killed at random and coming back; fails unless\n"
    "                       every acknowledged batch has its exact data file and one raw file,\n"
    "                       the error log holds only what the faults explain and memory is flat\n"
    "  --minutes M          soak: how long (default 30)\n"
    "  --seed N             soak: seed of the fault schedule (default 1)\n"
    "  --paced-sizes LIST   instrument counts of the paced runs (default 100,500)\n"
    "  --pace MS            paced runs: wait after each ACK8 (default 10)\n"
    "  --leak-batches B     batches of the RSS growth run (default 10000)\n"
    "  --idle N             idle connections of the memory run (default 500)\n"
    "  --unreachable N      listeners that never answer in startup-unreachable (default 20)\n"
    "  --work DIR           where the program folders are made (default /tmp)\n"
    "  --out DIR            where results.md and results.json go (default: build/bench-results)\n"
    "  --keep               keep the program folders\n"
    "  --wrap \"CMD ARGS\"    run the program behind a profiler (for example\n"
    "                       \"perf record -g -o /tmp/p.data --\"); its CPU and memory\n"
    "                       figures are then those of the wrapper\n";

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream s(text);
    std::string item;
    while (std::getline(s, item, ','))
        if (!item.empty())
            items.push_back(item);
    return items;
}

bool parse(int argc, char** argv, lg::Options& o) {
    const fs::path here = fs::read_symlink("/proc/self/exe").parent_path();
    o.program = (here / "znr-extractor").string();
    o.responder = (here / "znr-bare-responder").string();
    o.outDir = (here.parent_path() / "bench-results").string();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(a + " needs a value");
            return argv[++i];
        };
        if (a == "--program")
            o.program = value();
        else if (a == "--responder")
            o.responder = value();
        else if (a == "--sizes") {
            o.sizes.clear();
            for (const std::string& s : splitList(value()))
                o.sizes.push_back(std::stoi(s));
        } else if (a == "--paced-sizes") {
            o.pacedSizes.clear();
            for (const std::string& s : splitList(value()))
                o.pacedSizes.push_back(std::stoi(s));
        } else if (a == "--pace")
            o.paceMs = std::stod(value());
        else if (a == "--seconds")
            o.seconds = std::stod(value());
        else if (a == "--rows")
            o.rows = std::max(1, std::stoi(value()));
        else if (a == "--scenarios") {
            const std::vector<std::string> list = splitList(value());
            o.scenarios = {list.begin(), list.end()};
        } else if (a == "--leak-batches")
            o.leakBatches = std::stol(value());
        else if (a == "--idle")
            o.idleConnections = std::stoi(value());
        else if (a == "--unreachable")
            o.unreachableInstruments = std::stoi(value());
        else if (a == "--work")
            o.workRoot = value();
        else if (a == "--out")
            o.outDir = value();
        else if (a == "--minutes")
            o.soakMinutes = std::stod(value());
        else if (a == "--seed")
            o.soakSeed = std::stoull(value());
        else if (a == "--keep")
            o.keep = true;
        else if (a == "--wrap") {
            std::istringstream words(value());
            for (std::string w; words >> w;)
                o.wrap.push_back(w);
        } else
            return false;
    }
    return true;
}

// Up to 500 instruments need a listener and a connection each.
void raiseFileLimit() {
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
        r.rlim_cur = r.rlim_max;
        setrlimit(RLIMIT_NOFILE, &r);
    }
}

void progress(const std::string& text) {
    std::fprintf(stderr, "znr-loadgen: %s\n", text.c_str());
}

bool wants(const lg::Options& o, const char* scenario) {
    return o.scenarios.count(scenario) != 0;
}

lg::SuiteResults runSuite(const lg::Options& o) {
    lg::SuiteResults r;
    r.date = lg::localDateTime();
    r.machine = lg::machineDescription();
    r.loadBefore = lg::loadAverage();
    r.workFolder = lg::fileSystemOf(o.workRoot);
    r.options = o;
    if (wants(o, "load"))
        for (int n : o.sizes)
            for (auto kind : {lg::Subject::Kind::Responder, lg::Subject::Kind::Program}) {
                progress("load, N = " + std::to_string(n) +
                         (kind == lg::Subject::Kind::Program ? ", program" : ", bare responder"));
                r.loads.push_back(lg::runLoadScenario(o, n, kind));
            }
    if (wants(o, "paced"))
        for (int n : o.pacedSizes)
            for (auto kind : {lg::Subject::Kind::Responder, lg::Subject::Kind::Program}) {
                progress("paced load, N = " + std::to_string(n) +
                         (kind == lg::Subject::Kind::Program ? ", program" : ", bare responder"));
                r.loads.push_back(lg::runLoadScenario(o, n, kind, o.paceMs));
            }
    if (wants(o, "startup"))
        for (auto kind : {lg::Subject::Kind::Responder, lg::Subject::Kind::Program}) {
            progress("start-up with " + std::to_string(o.startupInstruments) + " instruments");
            r.startups.push_back(lg::runStartupScenario(o, kind));
        }
    if (wants(o, "startup-unreachable")) {
        progress("start-up with " + std::to_string(o.unreachableInstruments) +
                 " unreachable instruments first");
        r.startups.push_back(lg::runUnreachableStartupScenario(o));
    }
    if (wants(o, "connect-wait")) {
        progress("connect wait on an instrument that never answers");
        r.connectWait = lg::runConnectWaitScenario(o);
    }
    if (wants(o, "idle")) {
        progress("memory with " + std::to_string(o.idleConnections) + " idle connections");
        r.idle = lg::runIdleScenario(o);
    }
    if (wants(o, "leak")) {
        progress("RSS over " + std::to_string(o.leakBatches) + " batches");
        r.leak = lg::runLeakScenario(o);
    }
    r.loadAfter = lg::loadAverage();
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    lg::Options o;
    try {
        if (!parse(argc, argv, o)) {
            std::fputs(Usage, stderr);
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "znr-loadgen: %s\n%s", e.what(), Usage);
        return 2;
    }
    raiseFileLimit();
    if (wants(o, "soak"))
        return soak::runSoak(o.soakMinutes, o.soakSeed, QString::fromStdString(o.workRoot));
    std::signal(SIGPIPE, SIG_IGN);
    for (const std::string& p : {o.program, o.responder})
        if (access(p.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "znr-loadgen: %s is not there (build first)\n", p.c_str());
            return 2;
        }
    try {
        const lg::SuiteResults r = runSuite(o);
        fs::create_directories(o.outDir);
        const std::string md = lg::toMarkdown(r);
        std::ofstream(fs::path(o.outDir) / "results.md") << md;
        std::ofstream(fs::path(o.outDir) / "results.json") << lg::toJson(r);
        std::fputs(md.c_str(), stdout);
        std::fprintf(stderr, "znr-loadgen: results in %s/results.md and results.json\n",
                     o.outDir.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "znr-loadgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
