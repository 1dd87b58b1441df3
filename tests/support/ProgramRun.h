#pragma once

#include "support/FileBytes.h"
#include "support/Frames.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>
#include <stdexcept>
#include <sys/prctl.h>
#include <utility>

namespace znr::test {

// What goes into the program's ZNRExtractor.ini (passwords "admin" and "disconnect"); its six
// folders are always those beside it.
struct ProgramConfig {
    struct Serial {
        QByteArray commPort; // "3"
        QByteArray settings = "9600,n,8,1";
    };

    bool ethernet = true; // MODE=ETHERNET, otherwise SERIAL
    bool column = true;   // [DATA LAYOUT] COLUMN
    bool archive = true;  // [ARCHIVE RAW FILE] SAVE
    QByteArray checkRodsId = "ROD";
    int rawSlots = 100;
    QByteArray company = "Integration Test";
    std::optional<QByteArray> reconnectSeconds;            // [RECONNECT] SECONDS when given
    QList<std::pair<QByteArray, int>> ethernetInstruments; // host, port
    QList<Serial> serialInstruments;
    QMap<int, QByteArray> serialPorts; // [SERIAL PORTS] COMn=device

    void addSerial(int comPort, const QByteArray& device) {
        serialInstruments.append({QByteArray::number(comPort)});
        serialPorts[comPort] = device;
    }
};

// The INI text of `config` (CR LF lines) for a program in `folder` (ending with '/'): the
// sections of tests/data/program/ZNRExtractor.ini, then one section per instrument.
inline QByteArray iniText(const ProgramConfig& c, const QByteArray& folder) {
    const auto number = [](qsizetype n) { return QByteArray::number(n); };
    const QByteArray reconnect =
        c.reconnectSeconds ? "[RECONNECT]\r\nSECONDS=" + *c.reconnectSeconds + "\r\n" : "";
    QByteArray text = testData("program/ZNRExtractor.ini")
                          .replace("@MODE@", c.ethernet ? "ETHERNET" : "SERIAL")
                          .replace("@COLUMN@", c.column ? "True" : "False")
                          .replace("@ETHERNET@", number(c.ethernetInstruments.size()))
                          .replace("@SERIAL@", number(c.serialInstruments.size()))
                          .replace("@RODS@", c.checkRodsId)
                          .replace("@ARCHIVE@", c.archive ? "YES" : "NO")
                          .replace("@SLOTS@", number(c.rawSlots))
                          .replace("@COMPANY@", c.company)
                          .replace("@RECONNECT@", reconnect)
                          .replace("@FOLDER@", folder);
    QByteArrayList lines;
    for (qsizetype n = 0; n < c.ethernetInstruments.size(); ++n)
        lines << "[ZNR-ENT" + number(n + 1) + "]"
              << "IP=" + c.ethernetInstruments[n].first
              << "Port=" + number(c.ethernetInstruments[n].second);
    for (qsizetype n = 0; n < c.serialInstruments.size(); ++n)
        lines << "[ZNR-SER" + number(n + 1) + "]"
              << "CommPort=" + c.serialInstruments[n].commPort
              << "Settings=" + c.serialInstruments[n].settings << "HandShaking=0"
              << "DTR=False"
              << "RTS=False";
    if (!c.serialPorts.isEmpty())
        lines << "[SERIAL PORTS]";
    for (auto it = c.serialPorts.cbegin(); it != c.serialPorts.cend(); ++it)
        lines << "COM" + number(it.key()) + "=" + it.value();
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

// Copies the program into `folder` (ending with '/') unless it is there, makes the six folders
// beside it and writes its INI; false when any of it fails.
inline bool prepareProgramFolder(const QByteArray& folder, const ProgramConfig& config,
                                 const QByteArray& binary = ZNR_BIN_DIR "/znr-extractor") {
    const QString copy = QFile::decodeName(folder + "znr-extractor");
    if (!QDir().mkpath(QFile::decodeName(folder)) ||
        (!QFile::exists(copy) && !QFile::copy(QFile::decodeName(binary), copy)))
        return false;
    for (const char* f :
         {"Data Files", "Cal Check", "Check Rods", "Fast Mode", "Error Log", "Raw Files"})
        QDir().mkpath(QFile::decodeName(folder + f));
    QFile ini(QFile::decodeName(folder + "ZNRExtractor.ini"));
    const QByteArray text = iniText(config, folder);
    return ini.open(QIODevice::WriteOnly | QIODevice::Truncate) && ini.write(text) == text.size();
}

// The real znr-extractor run in a folder of its own (a temporary one unless named), started
// offscreen (or headless with "--headless") and killed when this ends with it still running.
class ProgramRun {
public:
    explicit ProgramRun(const QByteArray& folder = {})
        : folder_(folder.isEmpty() ? QFile::encodeName(temporary_.path()) : folder) {
        if (!folder_.endsWith('/'))
            folder_ += '/';
        if (!prepareProgramFolder(folder_, ProgramConfig{}))
            throw std::runtime_error("cannot prepare the program's folder");
    }
    ~ProgramRun() {
        if (running()) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    bool writeIni(const ProgramConfig& config) { return prepareProgramFolder(folder_, config); }
    QByteArray path(const QByteArray& name) const { return folder_ + name; }
    // The folders the INI names, each ending in '/'; the others are path("Cal Check/") etc.
    QByteArray dataFolder() const { return path("Data Files/"); }
    QByteArray rawFolder() const { return path("Raw Files/"); }

    // Headless, waits until the program has blocked its stop signals (from then on SIGTERM is
    // its own to handle). SIGPIPE is left at its default, as in a shell.
    bool start(const QStringList& arguments = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(QFile::decodeName(folder_));
        // A run that dies without unwinding takes the program with it.
        process_.setChildProcessModifier([] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            std::signal(SIGPIPE, SIG_DFL);
        });
        process_.start(QFile::decodeName(path("znr-extractor")), arguments);
        if (!process_.waitForStarted(10000) || !arguments.contains(QStringLiteral("--headless")))
            return running();
        return QTest::qWaitFor([&] { return stopSignalsBlocked() || !running(); }, 10000) &&
               running();
    }
    // SIGTERM, then waits; true when it ended normally within the limit.
    bool stop(int timeoutMs = 15000) {
        process_.terminate();
        return QTest::qWaitFor([&] { return !running(); }, timeoutMs) &&
               process_.exitStatus() == QProcess::NormalExit;
    }
    int exitCode() const { return process_.exitCode(); }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    QProcess& process() { return process_; }
    // Whole lines of standard output so far.
    QByteArrayList announcements() {
        stdout_ += process_.readAllStandardOutput();
        QByteArrayList lines = stdout_.split('\n');
        lines.removeLast(); // the unfinished rest, or empty
        return lines;
    }

    QByteArray log() const { return readBytes(path("Error Log/ZNRError.log")); }
    // The whole lines of the log, without their CR LF.
    QByteArrayList logLines() const {
        QByteArrayList lines = log().split('\n');
        lines.removeLast(); // what follows the last line end
        for (QByteArray& line : lines)
            line.chop(1);
        return lines;
    }
    // Waits until the log holds `count` lines (or `count` lines containing `text`).
    bool waitForLogLines(int count, const QByteArray& text = "\r\n") const {
        return QTest::qWaitFor([&] { return log().count(text) >= count; }, 15000);
    }

    qint64 residentKiB() const { return status("VmRSS:").split(' ').value(0).toLongLong(); }
    qint64 peakResidentKiB() const { return status("VmHWM:").split(' ').value(0).toLongLong(); }

private:
    // The value of `key` in /proc/PID/status; empty when unreadable.
    QByteArray status(const char* key) const {
        const QByteArray path = "/proc/" + QByteArray::number(process_.processId()) + "/status";
        for (const QByteArray& line : readBytes(path).split('\n'))
            if (line.startsWith(key))
                return line.mid(qstrlen(key)).trimmed();
        return {};
    }
    bool stopSignalsBlocked() const {
        return (status("SigBlk:").toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }

    QTemporaryDir temporary_; // unused when a folder is named
    QByteArray folder_;
    QProcess process_;
    QByteArray stdout_;
};

} // namespace znr::test
