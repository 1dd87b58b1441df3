#include "Scenarios.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace lg {

namespace fs = std::filesystem;

namespace {

double secondsSince(std::uint64_t startNs) {
    return double(nowNs() - startNs) / 1e9;
}

void sleepUntil(std::uint64_t startNs, double seconds) {
    const double left = seconds - secondsSince(startNs);
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
}

Subject startSubject(const Options& o, Subject::Kind kind,
                     const std::vector<std::uint16_t>& ports) {
    if (kind == Subject::Kind::Responder)
        return Subject::startResponder(o.responder, ports);
    return Subject::startProgram(prepareProgramFolder(o.workRoot, o.program, ports), o.wrap);
}

// SIGTERM, then serve the instruments (their connections are closed by the subject) until the
// subject has ended.
int stopSubject(Subject& s, Farm* farm) {
    s.terminate();
    const std::uint64_t start = nowNs();
    while (s.running() && secondsSince(start) < 120) {
        if (farm)
            farm->serve(s, 0.1, true);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return s.running() ? -1 : s.exitCode();
}

void removeFolder(const Options& o, const Subject& s, bool ok, std::vector<std::string>& errors) {
    if (s.folder().empty())
        return;
    if (o.keep || !ok) {
        errors.push_back("folder kept: " + s.folder());
        return;
    }
    std::error_code ec;
    fs::remove_all(s.folder(), ec);
}

} // namespace

Latency latencyOf(std::vector<std::uint64_t> rtt) {
    Latency l;
    if (rtt.empty())
        return l;
    std::sort(rtt.begin(), rtt.end());
    auto at = [&](double p) {
        std::size_t k = std::size_t(p * double(rtt.size()));
        return double(rtt[std::min(k, rtt.size() - 1)]) / 1000.0;
    };
    l.p50 = at(0.50);
    l.p99 = at(0.99);
    l.max = double(rtt.back()) / 1000.0;
    return l;
}

LoadReport runLoadScenario(const Options& o, int instruments, Subject::Kind kind, double paceMs) {
    LoadReport rep;
    rep.instruments = instruments;
    rep.paceMs = paceMs;
    const Script script(o.rows);
    Farm farm(instruments, script);
    Subject s = startSubject(o, kind, farm.ports());
    rep.subject = s.name();
    std::string error;
    if (!farm.awaitGreetings(s, 30 + instruments * 0.2, error)) {
        rep.errors.push_back(error);
        rep.exitCode = stopSubject(s, &farm);
        removeFolder(o, s, false, rep.errors);
        return rep;
    }
    rep.startupS = double(farm.lastGreetingNs() - s.startNs()) / 1e9;
    const LoadResult lr = farm.runLoad(s, {o.seconds, 0, paceMs});
    rep.errors = lr.errors;
    rep.peakRssKiB = sampleProcess(s.pid()).hwmKiB;
    rep.windowS = lr.windowSeconds;
    rep.frames = lr.framesInWindow;
    rep.batches = lr.batchesInWindow;
    rep.framesPerS = double(lr.framesInWindow) / lr.windowSeconds;
    rep.batchesPerS = double(lr.batchesInWindow) / lr.windowSeconds;
    std::vector<std::uint64_t> all = lr.bodyRtt;
    all.insert(all.end(), lr.endRtt.begin(), lr.endRtt.end());
    rep.all = latencyOf(all);
    rep.body = latencyOf(lr.bodyRtt);
    rep.end = latencyOf(lr.endRtt);
    if (lr.framesInWindow > 0)
        rep.cpuPer1000Frames = (lr.atWindowEnd.cpuSeconds - lr.atStart.cpuSeconds) /
                               double(lr.framesInWindow) * 1000.0;
    rep.exitCode = stopSubject(s, &farm);
    if (rep.exitCode != 0)
        rep.errors.push_back(std::string(s.name()) + " exit code " + std::to_string(rep.exitCode));
    if (kind == Subject::Kind::Program) {
        rep.verified = true;
        rep.verify =
            verifyProgramFolder(s.folder(), script, lr.batchesPerInstrument, lr.framesTotal);
        for (const std::string& p : rep.verify.problems)
            rep.errors.push_back("files: " + p);
    }
    rep.ok = rep.errors.empty() && (!rep.verified || rep.verify.ok);
    removeFolder(o, s, rep.ok, rep.errors);
    return rep;
}

double StartupReport::median() const {
    if (seconds.empty())
        return 0;
    std::vector<double> v = seconds;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

namespace {

// Process start to the last greeting of the farm's instruments; `unanswered` ports come first
// in the INI.
StartupReport measureStartups(const Options& o, Subject::Kind kind,
                              const std::vector<std::uint16_t>& unanswered) {
    StartupReport rep;
    rep.instruments = o.startupInstruments;
    for (int run = 0; run < o.startupRuns; ++run) {
        Farm farm(o.startupInstruments, Script(o.rows));
        std::vector<std::uint16_t> ports = unanswered;
        ports.insert(ports.end(), farm.ports().begin(), farm.ports().end());
        Subject s = startSubject(o, kind, ports);
        rep.subject = s.name();
        if (!unanswered.empty())
            rep.subject += " after " + std::to_string(unanswered.size()) + " unreachable";
        std::string error;
        const bool ok = farm.awaitGreetings(s, 60, error);
        if (ok)
            rep.seconds.push_back(double(farm.lastGreetingNs() - s.startNs()) / 1e9);
        else
            rep.errors.push_back(error);
        const int code = stopSubject(s, &farm);
        if (code != 0)
            rep.errors.push_back(std::string(s.name()) + " exit code " + std::to_string(code));
        removeFolder(o, s, ok && code == 0, rep.errors);
    }
    return rep;
}

} // namespace

StartupReport runStartupScenario(const Options& o, Subject::Kind kind) {
    return measureStartups(o, kind, {});
}

namespace {

// A loopback listener whose accept queue is full: listen(fd, 0), never accepted, with extra
// connects queued first. A further connect to it hangs in SYN_SENT without leaving the machine.
struct FullListener {
    int fd = -1;
    std::uint16_t port = 0;
    std::vector<int> fillers;

    FullListener() {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd, 0);
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        for (int k = 0; k < 4; ++k)
            fillers.push_back(connectNonBlocking());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~FullListener() {
        for (int f : fillers)
            close(f);
        close(fd);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    int connectNonBlocking() const {
        const int c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
        return c;
    }

    // True when a fresh connect is still pending after `ms` milliseconds.
    bool connectHangs(int ms) const {
        const int c = connectNonBlocking();
        pollfd p{c, POLLOUT, 0};
        const int n = poll(&p, 1, ms);
        close(c);
        return n == 0;
    }
};

bool fileContains(const fs::path& p, const std::string& needle) {
    std::ifstream in(p, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.find(needle) != std::string::npos;
}

} // namespace

StartupReport runUnreachableStartupScenario(const Options& o) {
    std::vector<std::unique_ptr<FullListener>> listeners;
    std::vector<std::uint16_t> ports;
    for (int k = 0; k < o.unreachableInstruments; ++k) {
        listeners.push_back(std::make_unique<FullListener>());
        ports.push_back(listeners.back()->port);
    }
    return measureStartups(o, Subject::Kind::Program, ports);
}

ConnectWaitReport runConnectWaitScenario(const Options& o) {
    ConnectWaitReport rep;
    FullListener listener;
    rep.probeHung = listener.connectHangs(300);
    if (!rep.probeHung)
        rep.errors.push_back("a connect to the full listener completed: the wait is not measured");
    Subject s = startSubject(o, Subject::Kind::Program, {listener.port});
    // Start-up (Qt, the INI) is over after a second; the wait runs until about 5 s.
    sleepUntil(s.startNs(), 1.0);
    const ProcSample a = sampleProcess(s.pid());
    sleepUntil(s.startNs(), 4.5);
    const ProcSample b = sampleProcess(s.pid());
    rep.windowS = 3.5;
    rep.cpuPercent = (b.cpuSeconds - a.cpuSeconds) / rep.windowS * 100.0;
    const fs::path log = fs::path(s.folder()) / "Error Log" / "ZNRError.log";
    while (secondsSince(s.startNs()) < 15 &&
           !fileContains(log, "Winsock Error IP Address Unavailable"))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    rep.waitEndedAfterS = secondsSince(s.startNs());
    rep.totalCpuS = sampleProcess(s.pid()).cpuSeconds;
    if (!fileContains(log, "Winsock Error IP Address Unavailable"))
        rep.errors.push_back("no \"IP Address Unavailable\" line within 15 s");
    const int code = stopSubject(s, nullptr);
    if (code != 0)
        rep.errors.push_back("program exit code " + std::to_string(code));
    rep.ok = rep.errors.empty();
    removeFolder(o, s, rep.ok, rep.errors);
    return rep;
}

LeakReport runLeakScenario(const Options& o) {
    LeakReport rep;
    rep.instruments = o.leakInstruments;
    const Script script(o.rows);
    Farm farm(o.leakInstruments, script);
    Subject s = startSubject(o, Subject::Kind::Program, farm.ports());
    std::string error;
    if (!farm.awaitGreetings(s, 60, error)) {
        rep.errors.push_back(error);
        stopSubject(s, &farm);
        removeFolder(o, s, false, rep.errors);
        return rep;
    }
    const pid_t pid = s.pid();
    const LoadResult lr = farm.runLoad(s, {0, o.leakBatches}, [&](long done) {
        if (done % 1000 == 0)
            rep.rssKiB.emplace_back(done, sampleProcess(pid).rssKiB);
    });
    rep.errors = lr.errors;
    rep.batches = lr.batchesTotal;
    rep.seconds = lr.windowSeconds;
    long from = 0;
    for (const auto& [done, rss] : rep.rssKiB)
        if (done == 2000)
            from = rss;
    if (from > 0 && !rep.rssKiB.empty())
        rep.growthKiB = rep.rssKiB.back().second - from;
    const int code = stopSubject(s, &farm);
    if (code != 0)
        rep.errors.push_back("program exit code " + std::to_string(code));
    rep.verified = true;
    rep.verify = verifyProgramFolder(s.folder(), script, lr.batchesPerInstrument, lr.framesTotal);
    for (const std::string& p : rep.verify.problems)
        rep.errors.push_back("files: " + p);
    rep.ok = rep.errors.empty() && rep.verify.ok;
    removeFolder(o, s, rep.ok, rep.errors);
    return rep;
}

IdleReport runIdleScenario(const Options& o) {
    IdleReport rep;
    rep.connections = o.idleConnections;
    {
        Subject s = startSubject(o, Subject::Kind::Program, {});
        sleepUntil(s.startNs(), 2.0);
        rep.rssNoneKiB = sampleProcess(s.pid()).rssKiB;
        const int code = stopSubject(s, nullptr);
        if (code != 0)
            rep.errors.push_back("program exit code " + std::to_string(code));
        removeFolder(o, s, code == 0, rep.errors);
    }
    Farm farm(o.idleConnections, Script(o.rows));
    Subject s = startSubject(o, Subject::Kind::Program, farm.ports());
    std::string error;
    if (farm.awaitGreetings(s, 120, error)) {
        farm.serve(s, 2.0);
        rep.rssAllKiB = sampleProcess(s.pid()).rssKiB;
        rep.perConnectionKiB = double(rep.rssAllKiB - rep.rssNoneKiB) / o.idleConnections;
    } else {
        rep.errors.push_back(error);
    }
    const int code = stopSubject(s, &farm);
    if (code != 0)
        rep.errors.push_back("program exit code " + std::to_string(code));
    rep.ok = rep.errors.empty();
    removeFolder(o, s, rep.ok, rep.errors);
    return rep;
}

} // namespace lg
