#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <optional>

namespace znr::test {

// What goes into the program's ZNRExtractor.ini (passwords "admin" and "disconnect"); its six
// folders are always those beside it.
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

// The INI text of `config` (CR LF lines) for a program in `folder` (ending with '/').
QByteArray iniText(const ProgramConfig& config, const QByteArray& folder);

// Copies the program into `folder` (ending with '/') unless it is there, makes the six folders
// beside it and writes its INI; false when any of it fails.
bool prepareProgramFolder(const QByteArray& folder, const ProgramConfig& config,
                          const QByteArray& binary = ZNR_BIN_DIR "/znr-extractor");

// The real znr-extractor run in a folder of its own (a temporary one unless named), started
// offscreen (or headless with "--headless") and killed when this ends with it still running.
class ProgramRun {
public:
    explicit ProgramRun(const QByteArray& folder = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool writeIni(const ProgramConfig& config) { return prepareProgramFolder(folder_, config); }
    QByteArray path(const QByteArray& name) const { return folder_ + name; }
    QByteArray iniPath() const { return path("ZNRExtractor.ini"); }
    // The folders the INI names, each ending in '/'; the others are path("Cal Check/") etc.
    QByteArray dataFolder() const { return path("Data Files/"); }
    QByteArray errorLogFolder() const { return path("Error Log/"); }
    QByteArray rawFolder() const { return path("Raw Files/"); }

    // Headless, waits until the program has blocked its stop signals (from then on SIGTERM is
    // its own to handle). SIGPIPE is left at its default, as in a shell.
    bool start(const QStringList& arguments = {});
    // SIGTERM, then waits; true when it ended normally within the limit.
    bool stop(int timeoutMs = 15000);
    int exitCode() const { return process_.exitCode(); }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    QProcess& process() { return process_; }
    QByteArray output();            // all it printed, for failure messages
    QByteArrayList announcements(); // whole lines of standard output so far

    QByteArrayList logLines() const; // lines of ZNRError.log, without their CR LF
    // Waits until the log holds at least `count` lines (containing `text`).
    bool waitForLogLines(int count, int timeoutMs = 15000, const QByteArray& text = {}) const;

    qint64 residentKiB() const { return statusKiB("VmRSS:"); }
    qint64 peakResidentKiB() const { return statusKiB("VmHWM:"); }

private:
    qint64 statusKiB(const char* key) const; // 0 when unreadable
    bool stopSignalsBlocked() const;

    std::optional<QTemporaryDir> temporary_;
    QByteArray folder_;
    QProcess process_;
    QByteArray stdout_;
    QByteArray stderr_;
};

} // namespace znr::test
