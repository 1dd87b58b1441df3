#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <initializer_list>
#include <memory>

namespace znr::test {

QStringList args(std::initializer_list<const char*> list);

// The real build/bin/znr-sim, killed when this ends. With an expect folder it logs every write
// (--verbose) and writes there the data files the program should produce.
class Sim {
public:
    // Started with `arguments`; with `outputBase` its outputs go to "<base>.out" / "<base>.err".
    explicit Sim(QStringList arguments, const QString& outputBase = {});
    ~Sim();
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // An instrument on a free loopback port (port() 0 when it did not come up) or on a new pty
    // behind `ptyLink` (ready() false when it did not come up).
    static std::unique_ptr<Sim> instrument(const QByteArray& expectDir, QStringList more,
                                           const QByteArray& ptyLink = {});

    // The port announced as "listening on ADDRESS:PORT"; 0 when none came.
    quint16 waitForPort();
    quint16 port() const { return port_; }
    bool ready() const { return ready_; }
    bool waitForExit(int timeoutMs = 30000);
    // Waits for the end; true when it played all its batches (exit code 0).
    bool finishes(int timeoutMs = 30000) { return waitForExit(timeoutMs) && exitCode() == 0; }
    int exitCode() const { return process_.exitCode(); }
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() == QProcess::Running; }
    QByteArray out(); // standard output so far
    QByteArray err(); // standard error so far
    void kill();      // SIGKILL: the instrument vanishes without a word

    // "<expectDir>/COLUMN/" or "<expectDir>/ROW/".
    QByteArray expectedFolder(bool column) const;
    // Every frame sent, its pieces joined, control characters as "<SOH>" tokens.
    QByteArrayList framesSent();
    QByteArray diagnostics(); // exit code and what the simulator printed

private:
    QProcess process_;
    QString outputBase_;
    QByteArray expectDir_;
    QByteArray out_;
    QByteArray err_;
    quint16 port_ = 0;
    bool ready_ = false;
};

} // namespace znr::test
