#pragma once

#include "support/FileBytes.h"

#include <QByteArray>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <csignal>
#include <initializer_list>
#include <sys/prctl.h>

namespace znr::test {

inline QStringList args(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* a : list)
        out.append(QString::fromLatin1(a));
    return out;
}

// The real build/bin/znr-sim, killed when this ends.
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

    // The port announced as "listening on ADDRESS:PORT"; 0 when none came.
    quint16 waitForPort() {
        static const QRegularExpression announced(QStringLiteral("listening on [^:\\s]+:(\\d+)"));
        QRegularExpressionMatch m;
        (void)QTest::qWaitFor(
            [&] {
                return (m = announced.match(QString::fromLatin1(out()))).hasMatch() || !running();
            },
            10000);
        return quint16(m.captured(1).toUInt());
    }
    // Waits for the end; true when it played all its batches (exit code 0).
    bool finishes(int timeoutMs) {
        return QTest::qWaitFor([&] { return !running(); }, timeoutMs) && exitCode() == 0;
    }
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

    // With --verbose: every frame sent, its pieces joined, control characters as "<SOH>" tokens.
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

private:
    QByteArray gathered(QByteArray& kept, QProcess::ProcessChannel channel, const char* suffix) {
        if (!outputBase_.isEmpty())
            return readBytes(QFile::encodeName(outputBase_ + QLatin1String(suffix)));
        process_.setReadChannel(channel);
        return kept += process_.readAll();
    }

    QProcess process_;
    QString outputBase_;
    QByteArray out_;
    QByteArray err_;
};

} // namespace znr::test
