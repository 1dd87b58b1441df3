#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>
#include <optional>

namespace znr::test {

inline const QByteArray kAck8("\x06\x38", 2);
inline const QByteArray kNak8("\x15\x38", 2);

// A frame as the instrument sends it: SOH "1" type STX payload ETX EOT.
QByteArray wireFrame(const char* type, const QByteArray& payload);

// The real build/bin/znr-sim, run for one test and killed at its end.
class SimProcess {
public:
    explicit SimProcess(const QStringList& arguments);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The port announced as "listening on ADDRESS:PORT"; 0 when none came.
    quint16 waitForPort();
    bool waitForExit(int timeoutMs = 30000);
    int exitCode() const { return process_.exitCode(); }
    QByteArray out(); // standard output so far
    QByteArray err(); // standard error so far
    void kill();      // SIGKILL: the instrument vanishes without a word

private:
    QProcess process_;
    QByteArray out_;
    QByteArray err_;
};

// Runs the simulator to its end: exit code and both outputs.
struct SimRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
SimRun runSim(const QStringList& arguments);

// Gathers frames from a byte stream: a frame is complete at its EOT and is taken from the last
// SOH before it (a resent frame replaces what came before it).
class FrameCollector {
public:
    void add(const QByteArray& bytes) { buffer_ += bytes; }
    std::optional<QByteArray> take();
    bool holdsPartialFrame() const { return buffer_.contains('\x01') && !buffer_.contains('\x04'); }

private:
    QByteArray buffer_;
};

// Plays the extractor over TCP.
class ProgramClient {
public:
    bool connectTo(quint16 port);
    void send(const QByteArray& bytes);
    // The next complete frame, waiting up to `timeoutMs` while processing events.
    std::optional<QByteArray> nextFrame(int timeoutMs = 10000);
    // Waits until an arrival leaves a partial frame; false when a whole frame came first.
    bool waitForPartialFrame(int timeoutMs = 10000);
    // Bytes arrived within `ms` (no frame is taken).
    bool anythingArrivesWithin(int ms);
    QTcpSocket& socket() { return socket_; }

private:
    void pull();

    QTcpSocket socket_;
    FrameCollector frames_;
    qint64 received_ = 0;
};

} // namespace znr::test
