#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lg {

// Monotonic nanoseconds.
std::uint64_t nowNs();

// CPU time and memory of a process, from /proc/<pid>/stat and /proc/<pid>/status.
struct ProcSample {
    bool ok = false;
    double cpuSeconds = 0; // utime + stime of every thread
    long rssKiB = 0;       // VmRSS
    long hwmKiB = 0;       // VmHWM, the peak resident set
};
ProcSample sampleProcess(pid_t pid);

// A program folder for znr-extractor, made by the tests' launcher: a copy of the binary, the six
// standard folders and a ZNRExtractor.ini listing one Ethernet instrument per port on
// 127.0.0.1, raw archiving on.
// Returns the folder (under `workRoot`).
std::string prepareProgramFolder(const std::string& workRoot, const std::string& binary,
                                 const std::vector<std::uint16_t>& ports);

// The process under test: the program (run --headless in its folder) or the bare responder.
class Subject {
public:
    enum class Kind { Program, Responder };

    // Starts `znr-extractor --headless` in `folder` (stdout and stderr into files there),
    // behind the words of `wrap` when given (a profiler: the measured process is then the
    // wrapper, so its CPU and memory figures are not the program's).
    static Subject startProgram(const std::string& folder,
                                const std::vector<std::string>& wrap = {});
    // Starts the bare responder on the ports.
    static Subject startResponder(const std::string& binary,
                                  const std::vector<std::uint16_t>& ports);

    Subject(Subject&& other) noexcept;
    Subject& operator=(Subject&&) = delete;
    Subject(const Subject&) = delete;
    ~Subject(); // kills a subject that is still running

    Kind kind() const { return kind_; }
    const char* name() const { return kind_ == Kind::Program ? "program" : "bare"; }
    pid_t pid() const { return pid_; }
    int exitFd() const { return pidFd_; } // readable once the process has ended; -1 if none
    std::uint64_t startNs() const { return startNs_; }
    const std::string& folder() const { return folder_; }

    // True while the process runs (reaps it when it has ended).
    bool running();
    // Sends SIGTERM.
    void terminate();
    // Exit code once ended: 0..255, or 128 + signal; -1 while running.
    int exitCode() const { return exitCode_; }

private:
    Subject(Kind kind, pid_t pid, std::uint64_t startNs, std::string folder);

    Kind kind_;
    pid_t pid_;
    int pidFd_ = -1;
    std::uint64_t startNs_;
    std::string folder_;
    int exitCode_ = -1;
};

} // namespace lg
