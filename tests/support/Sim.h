#pragma once

#include "support/FileBytes.h"

#include <QByteArray>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <csignal>
#include <initializer_list>
#include <memory>
#include <sys/prctl.h>

namespace znr::test {

inline QStringList args(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* a : list)
        out.append(QString::fromLatin1(a));
    return out;
}

// The real build/bin/znr-sim, killed when this ends. With an expect folder it logs every write
// (--verbose) and writes there the data files the program should produce.
class Sim {
public:
    // Started with `arguments`; with `outputBase` its outputs go to "<base>.out" / "<base>.err".
    explicit Sim(const QStringList& arguments, const QString& outputBase = {})
        : outputBase_(outputBase) {
        if (!outputBase.isEmpty()) {
            process_.setStandardOutputFile(outputBase + QStringLiteral(".out"));
            process_.setStandardErrorFile(outputBase + QStringLiteral(".err"));
        }
        // A run that dies without unwinding takes the simulator with it.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process_.start(QStringLiteral(ZNR_BIN_DIR "/znr-sim"), arguments);
        process_.waitForStarted(10000);
    }
    ~Sim() {
        if (process_.state() != QProcess::NotRunning)
            kill();
    }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // An instrument on a free loopback port or on a new pty behind `ptyLink`; ready() false
    // when it did not come up.
    static std::unique_ptr<Sim> instrument(const QByteArray& expectDir, QStringList more,
                                           const QByteArray& ptyLink = {}) {
        more << QStringLiteral("--verbose") << QStringLiteral("--expect-dir")
             << QString::fromLatin1(expectDir);
        more += ptyLink.isEmpty()
                    ? args({"--listen", "0"})
                    : QStringList{QStringLiteral("--pty"), QFile::decodeName(ptyLink)};
        auto sim = std::make_unique<Sim>(more);
        sim->expectDir_ = expectDir;
        sim->ready_ = ptyLink.isEmpty()
                          ? sim->waitForPort() != 0
                          : QTest::qWaitFor([&] { return sim->out().contains("pty "); }, 10000);
        return sim;
    }

    // The port announced as "listening on ADDRESS:PORT"; 0 when none came.
    quint16 waitForPort() {
        static const QRegularExpression announced(QStringLiteral("listening on [^:\\s]+:(\\d+)"));
        QRegularExpressionMatch m;
        (void)QTest::qWaitFor(
            [&] {
                return (m = announced.match(QString::fromLatin1(out()))).hasMatch() || !running();
            },
            10000);
        port_ = quint16(m.captured(1).toUInt());
        return port_;
    }
    quint16 port() const { return port_; }
    bool ready() const { return ready_; }
    bool waitForExit(int timeoutMs = 30000) {
        return QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
    }
    // Waits for the end; true when it played all its batches (exit code 0).
    bool finishes(int timeoutMs = 30000) { return waitForExit(timeoutMs) && exitCode() == 0; }
    int exitCode() const { return process_.exitCode(); }
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() == QProcess::Running; }
    // Standard output and standard error so far.
    QByteArray out() { return gathered(out_, QProcess::StandardOutput, ".out"); }
    QByteArray err() { return gathered(err_, QProcess::StandardError, ".err"); }
    // SIGKILL: the instrument vanishes without a word.
    void kill() {
        process_.kill();
        process_.waitForFinished(10000);
    }

    // "<expectDir>/COLUMN/" or "<expectDir>/ROW/".
    QByteArray expectedFolder(bool column) const {
        return expectDir_ + (column ? "/COLUMN/" : "/ROW/");
    }
    // Every frame sent, its pieces joined, control characters as "<SOH>" tokens.
    QByteArrayList framesSent() {
        const QByteArray sent = "znr-sim: sent ";
        QByteArrayList frames{{}};
        for (const QByteArray& line : err().split('\n')) {
            if (line.startsWith(sent))
                frames.last() += line.mid(sent.size());
            if (frames.last().endsWith("<EOT>"))
                frames.append(QByteArray());
        }
        frames.removeLast();
        return frames;
    }
    // Exit code and what the simulator printed.
    QByteArray diagnostics() {
        return "exit " + QByteArray::number(exitCode()) + "\n" + out() + err();
    }

private:
    QByteArray gathered(QByteArray& kept, QProcess::ProcessChannel channel, const char* suffix) {
        if (!outputBase_.isEmpty())
            return readBytes(QFile::encodeName(outputBase_ + QLatin1String(suffix)));
        process_.setReadChannel(channel);
        return kept += process_.readAll();
    }

    QProcess process_;
    QString outputBase_;
    QByteArray expectDir_;
    QByteArray out_;
    QByteArray err_;
    quint16 port_ = 0;
    bool ready_ = false;
};

} // namespace znr::test
