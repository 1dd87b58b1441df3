#include "Subject.h"

#include "support/ProgramRun.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lg {

std::uint64_t nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::uint64_t(ts.tv_sec) * 1000000000ull + std::uint64_t(ts.tv_nsec);
}

ProcSample sampleProcess(pid_t pid) {
    ProcSample s;
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        if (!std::getline(stat, text))
            return s;
        // Fields after the command name (which may hold blanks) start after the last ')'.
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos)
            return s;
        std::istringstream rest(text.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::stoull(field);
            if (i == 15)
                stime = std::stoull(field);
        }
        s.cpuSeconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            s.rssKiB = std::stol(line.substr(6));
        else if (line.rfind("VmHWM:", 0) == 0)
            s.hwmKiB = std::stol(line.substr(6));
    }
    s.ok = true;
    return s;
}

namespace {

[[noreturn]] void execOrDie(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    std::fprintf(stderr, "znr-loadgen: cannot start %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
}

void redirect(int targetFd, const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        dup2(fd, targetFd);
        close(fd);
    }
}

} // namespace

std::string prepareProgramFolder(const std::string& workRoot, const std::string& binary,
                                 const std::vector<std::uint16_t>& ports) {
    std::string pattern = workRoot + "/znr-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a folder under " + workRoot);
    znr::test::ProgramConfig config;
    config.rawSlots = int(ports.size()) + 1; // a raw slot for every connection
    config.company = "Load generator";
    for (std::uint16_t port : ports)
        config.ethernetInstruments.append({"127.0.0.1", port});
    if (!znr::test::prepareProgramFolder(QByteArray::fromStdString(pattern + "/"), config,
                                         QByteArray::fromStdString(binary)))
        throw std::runtime_error("cannot prepare the program's folder in " + pattern);
    return pattern;
}

Subject::Subject(Kind kind, pid_t pid, std::uint64_t startNs, std::string folder)
    : kind_(kind), pid_(pid), startNs_(startNs), folder_(std::move(folder)) {
    pidFd_ = int(syscall(SYS_pidfd_open, pid, 0));
}

Subject::Subject(Subject&& o) noexcept
    : kind_(o.kind_), pid_(o.pid_), pidFd_(o.pidFd_), startNs_(o.startNs_),
      folder_(std::move(o.folder_)), exitCode_(o.exitCode_) {
    o.pid_ = -1;
    o.pidFd_ = -1;
}

Subject::~Subject() {
    if (pid_ > 0 && running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (pidFd_ >= 0)
        close(pidFd_);
}

Subject Subject::startProgram(const std::string& folder, const std::vector<std::string>& wrap) {
    const std::uint64_t start = nowNs();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        redirect(STDOUT_FILENO, folder + "/announcements.txt");
        redirect(STDERR_FILENO, folder + "/stderr.txt");
        std::vector<std::string> args = wrap;
        if (!args.empty() && args[0].find('/') == std::string::npos)
            args[0] = "/usr/bin/" + args[0];
        args.push_back(folder + "/znr-extractor");
        args.push_back("--headless");
        execOrDie(args);
    }
    return Subject(Kind::Program, pid, start, folder);
}

Subject Subject::startResponder(const std::string& binary,
                                const std::vector<std::uint16_t>& ports) {
    std::vector<std::string> args{binary};
    for (std::uint16_t p : ports)
        args.push_back(std::to_string(p));
    const std::uint64_t start = nowNs();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
        execOrDie(args);
    return Subject(Kind::Responder, pid, start, {});
}

bool Subject::running() {
    if (exitCode_ >= 0 || pid_ <= 0)
        return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0)
        return true;
    if (r == pid_)
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    else
        exitCode_ = 255;
    return false;
}

void Subject::terminate() {
    if (running())
        kill(pid_, SIGTERM);
}

} // namespace lg
