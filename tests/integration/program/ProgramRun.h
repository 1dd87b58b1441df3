#pragma once

#include "support/TempDir.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QStringList>

namespace znr::test {

// What goes into the program's ZNRExtractor.ini. Folders are always the six folders inside the
// run's own temporary folder.
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
    QList<Ethernet> ethernetInstruments;
    QList<Serial> serialInstruments;
    QMap<int, QByteArray> serialPorts; // [SERIAL PORTS] COMn=device
};

// The INI text of `config` (CR LF lines, scrambled passwords), the six data folders inside
// `folder` (which ends with '/').
QByteArray iniText(const ProgramConfig& config, const QByteArray& folder);

// The real znr-extractor run in a temporary folder of its own: a copy of the binary, its INI and
// the six data folders beside it, started offscreen and killed when the run ends (the program
// has no other way to stop without an operator).
class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Writes ZNRExtractor.ini beside the copied program.
    void writeIni(const ProgramConfig& config);
    QByteArray iniPath() const { return dir_.path("ZNRExtractor.ini"); }
    QByteArray path(const QByteArray& name) const { return dir_.path(name); }

    // Starts the copied program with `arguments` (e.g. "--headless").
    bool start(const QStringList& arguments = {});
    void stop();
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() == QProcess::Running; }
    // Everything the program printed (for failure messages).
    QByteArray output();

    // "<tmp>/Data Files/" and so on: the folders the INI names, each ending in '/'.
    QByteArray dataFolder() const { return dir_.path("Data Files/"); }
    QByteArray calCheckFolder() const { return dir_.path("Cal Check/"); }
    QByteArray checkRodsFolder() const { return dir_.path("Check Rods/"); }
    QByteArray fastModeFolder() const { return dir_.path("Fast Mode/"); }
    QByteArray errorLogFolder() const { return dir_.path("Error Log/"); }
    QByteArray rawFolder() const { return dir_.path("Raw Files/"); }

    QByteArrayList logLines() const; // lines of ZNRError.log, without their CR LF
    // Waits (processing events) until the log holds at least `count` lines.
    bool waitForLogLines(int count, int timeoutMs = 15000) const;

private:
    TempDir dir_;
    QProcess process_;
    QByteArray output_;
};

// Scrambles a password the way the INI stores it: every byte minus 10.
QByteArray scrambled(const QByteArray& plain);

// The lines of a text with CR LF line ends (no empty last entry).
QByteArrayList crlfLines(const QByteArray& text);

} // namespace znr::test
