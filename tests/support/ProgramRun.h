#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

namespace znr::test {

// What goes into the program's ZNRExtractor.ini. Folders are always the six folders beside it.
struct ProgramConfig {
    struct Ethernet {
        QByteArray host;
        int port = 0;
    };
    struct Serial {
        QByteArray commPort; // "3"
        QByteArray settings = "9600,n,8,1";
    };

    bool ethernet = true; // MODE=ETHERNET, otherwise SERIAL
    bool column = true;   // [DATA LAYOUT] COLUMN=True / False
    bool archive = true;  // [ARCHIVE RAW FILE] SAVE=YES / NO
    QByteArray checkRodsId = "ROD";
    QByteArray adminPassword = "admin";
    QByteArray disconnectPassword = "disconnect";
    int rawSlots = 100; // [RAW DATA TEMP] NUMBER
    QByteArray company = "Integration Test";
    std::optional<QByteArray> reconnectSeconds; // [RECONNECT] SECONDS when given
    QList<Ethernet> ethernetInstruments;
    QList<Serial> serialInstruments;
    QMap<int, QByteArray> serialPorts; // [SERIAL PORTS] COMn=device

    void addSerial(int comPort, const QByteArray& device) {
        serialInstruments.append({QByteArray::number(comPort)});
        serialPorts[comPort] = device;
    }
};

// The INI text of `config` (CR LF lines, scrambled passwords), the six data folders inside
// `folder` (which ends with '/').
QByteArray iniText(const ProgramConfig& config, const QByteArray& folder);

// Copies the program binary into `folder` (ending with '/'), makes the six folders beside it
// and writes its INI; false when any of it fails.
bool prepareProgramFolder(const QByteArray& folder, const ProgramConfig& config,
                          const QByteArray& binary = ZNR_BIN_DIR "/znr-extractor");

// The real znr-extractor run in a folder of its own (a temporary one unless named): a copy of
// the binary, its INI and the six data folders beside it. Started offscreen, or headless with
// "--headless"; killed when the run ends still running.
class ProgramRun {
public:
    explicit ProgramRun(const QByteArray& folder = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Copies the program and writes ZNRExtractor.ini beside it.
    bool writeIni(const ProgramConfig& config);
    QByteArray iniPath() const { return path("ZNRExtractor.ini"); }
    QByteArray path(const QByteArray& name) const { return folder_ + name; }

    // Starts the copied program with `arguments`. Headless, it waits until the program has
    // blocked its stop signals (from then on SIGTERM is its own to handle). SIGPIPE is left at
    // its default, as in a shell.
    bool start(const QStringList& arguments = {});
    // SIGTERM, then waits for the end; true when it ended normally within the limit.
    bool stop(int timeoutMs = 15000);
    bool waitForExit(int timeoutMs);
    int exitCode() const { return process_.exitCode(); }
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    QProcess& process() { return process_; }
    // Everything the program printed (for failure messages).
    QByteArray output();
    // Standard output so far, split into lines without their line ends.
    QByteArrayList announcements();
    bool waitForAnnouncements(int count, int timeoutMs = 10000);

    // "<folder>/Data Files/" and so on: the folders the INI names, each ending in '/'.
    QByteArray dataFolder() const { return path("Data Files/"); }
    QByteArray calCheckFolder() const { return path("Cal Check/"); }
    QByteArray checkRodsFolder() const { return path("Check Rods/"); }
    QByteArray fastModeFolder() const { return path("Fast Mode/"); }
    QByteArray errorLogFolder() const { return path("Error Log/"); }
    QByteArray rawFolder() const { return path("Raw Files/"); }

    QByteArrayList logLines() const; // lines of ZNRError.log, without their CR LF
    // Waits (processing events) until the log holds at least `count` lines (containing `text`).
    bool waitForLogLines(int count, int timeoutMs = 15000, const QByteArray& text = {}) const;
    int logLinesContaining(const QByteArray& text) const;

    // VmRSS / VmHWM in KiB (0 when unreadable).
    qint64 residentKiB() const;
    qint64 peakResidentKiB() const;

private:
    bool stopSignalsBlocked() const;

    std::optional<QTemporaryDir> temporary_;
    QByteArray folder_;
    QProcess process_;
    QByteArray stdout_;
    QByteArray stderr_;
};

// Scrambles a password the way the INI stores it: every byte minus 10.
QByteArray scrambled(const QByteArray& plain);

// A value from /proc/PID/status in KiB ("VmRSS:", "VmHWM:"); 0 when unreadable.
qint64 statusKiB(qint64 pid, const char* key);

} // namespace znr::test
