#pragma once

#include "support/TempDir.h"

#include <QByteArrayList>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

namespace znr::test {

// What the program's INI holds: the run's transport, its instruments and the reconnect key.
struct ProgramSetup {
    QByteArray mode = "ETHERNET";
    QList<quint16> tcpPorts;                    // [ZNR-ENTn] 127.0.0.1 and the port
    QByteArrayList serialLinks;                 // [ZNR-SERn] on COM(2+n), mapped to the link
    std::optional<QByteArray> reconnectSeconds; // [RECONNECT] SECONDS=<text> when given
    QByteArray archiveRawFile = "NO";
};

// The real znr-extractor copied into a temp folder with its own INI and the six folders, run
// with --headless for one test and killed at its end when still running.
class HeadlessProgram {
public:
    explicit HeadlessProgram(const ProgramSetup& setup);
    ~HeadlessProgram();
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    // Starts the program and waits until it has blocked its stop signals (from then on SIGTERM
    // is its own to handle). SIGPIPE is left at its default in the program, as in a shell.
    bool start();
    // SIGTERM, then waits for the end; true when it ended normally within the limit.
    bool stop(int timeoutMs = 15000);
    bool waitForExit(int timeoutMs);
    int exitCode() const { return process_.exitCode(); }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    QProcess& process() { return process_; }

    // Standard output so far, split into lines without their line ends.
    QByteArrayList announcements();
    bool waitForAnnouncements(int count, int timeoutMs = 10000);

    QByteArrayList logLines() const;
    // Waits until `count` log lines contain `text`.
    bool waitForLogLines(const QByteArray& text, int count, int timeoutMs = 10000);
    int logLinesContaining(const QByteArray& text) const;

    // "<temp>/<name>/", one of the six folders.
    QByteArray folder(const char* name) const { return dir_.folder() + name + '/'; }
    QByteArray path(const QByteArray& name) const { return dir_.path(name); }

private:
    bool stopSignalsBlocked() const;

    TempDir dir_;
    QProcess process_;
    QByteArray out_;
};

// An instrument played by the test over TCP: it listens, takes the program's connection, can
// close its end and listen again on the same port.
class TcpInstrument {
public:
    TcpInstrument();
    quint16 port() const { return port_; }

    // The next connection of the program, waiting up to `timeoutMs`; nullptr when none came.
    QTcpSocket* waitForClient(int timeoutMs);
    // Waits for the program's greeting ACK8 on `client`.
    static bool greeted(QTcpSocket& client, int timeoutMs = 5000);
    // Stops listening and closes the program's connection from this side.
    void goAway(QTcpSocket& client);
    bool listenAgain();
    bool listening() const { return server_.isListening(); }

private:
    QTcpServer server_;
    quint16 port_ = 0;
};

} // namespace znr::test
