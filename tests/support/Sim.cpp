#include "support/Sim.h"

#include "support/FileBytes.h"

#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

namespace znr::test {

QStringList args(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* a : list)
        out.append(QString::fromLatin1(a));
    return out;
}

Sim::Sim(QStringList arguments, const QString& outputBase) : outputBase_(outputBase) {
    if (!outputBase.isEmpty()) {
        process_.setStandardOutputFile(outputBase + QStringLiteral(".out"));
        process_.setStandardErrorFile(outputBase + QStringLiteral(".err"));
    }
    // A run that dies without unwinding takes the simulator with it.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start(QStringLiteral(ZNR_BIN_DIR "/znr-sim"), arguments);
    process_.waitForStarted(10000);
}

Sim::~Sim() {
    if (process_.state() != QProcess::NotRunning)
        kill();
}

std::unique_ptr<Sim> Sim::instrument(const QByteArray& expectDir, QStringList more,
                                     const QByteArray& ptyLink) {
    more << QStringLiteral("--verbose") << QStringLiteral("--expect-dir")
         << QString::fromLatin1(expectDir);
    more += ptyLink.isEmpty() ? args({"--listen", "0"})
                              : QStringList{QStringLiteral("--pty"), QFile::decodeName(ptyLink)};
    auto sim = std::make_unique<Sim>(more);
    sim->expectDir_ = expectDir;
    if (ptyLink.isEmpty())
        sim->ready_ = sim->waitForPort() != 0;
    else
        sim->ready_ = QTest::qWaitFor([&] { return sim->out().contains("pty "); }, 10000);
    return sim;
}

QByteArray Sim::out() {
    if (!outputBase_.isEmpty())
        return readBytes(QFile::encodeName(outputBase_ + QStringLiteral(".out")));
    out_ += process_.readAllStandardOutput();
    return out_;
}

QByteArray Sim::err() {
    if (!outputBase_.isEmpty())
        return readBytes(QFile::encodeName(outputBase_ + QStringLiteral(".err")));
    err_ += process_.readAllStandardError();
    return err_;
}

void Sim::kill() {
    process_.kill();
    process_.waitForFinished(10000);
}

quint16 Sim::waitForPort() {
    static const QRegularExpression announced(QStringLiteral("listening on [^:\\s]+:(\\d+)"));
    QRegularExpressionMatch m;
    (void)QTest::qWaitFor(
        [&] {
            m = announced.match(QString::fromLatin1(out()));
            return m.hasMatch() || process_.state() == QProcess::NotRunning;
        },
        10000);
    port_ = m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    return port_;
}

bool Sim::waitForExit(int timeoutMs) {
    return QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
}

QByteArray Sim::expectedFolder(bool column) const {
    return expectDir_ + (column ? "/COLUMN/" : "/ROW/");
}

QByteArrayList Sim::framesSent() {
    QByteArrayList frames;
    QByteArray frame;
    for (const QByteArray& line : err().split('\n')) {
        if (!line.startsWith("znr-sim: sent "))
            continue;
        frame += line.mid(int(qstrlen("znr-sim: sent ")));
        if (frame.endsWith("<EOT>")) {
            frames.append(frame);
            frame.clear();
        }
    }
    return frames;
}

QByteArray Sim::diagnostics() {
    return "exit " + QByteArray::number(exitCode()) + "\n" + out() + err();
}

} // namespace znr::test
