#include "SimHarness.h"

#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

namespace znr::test {

QByteArray wireFrame(const char* type, const QByteArray& payload) {
    return QByteArray("\x01"
                      "1") +
           type + '\x02' + payload + '\x03' + '\x04';
}

SimProcess::SimProcess(const QStringList& arguments) {
    // A test run that dies without unwinding takes the simulator with it.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start(QStringLiteral(ZNR_BIN_DIR "/znr-sim"), arguments);
    process_.waitForStarted(10000);
}

SimProcess::~SimProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

QByteArray SimProcess::out() {
    out_ += process_.readAllStandardOutput();
    return out_;
}

QByteArray SimProcess::err() {
    err_ += process_.readAllStandardError();
    return err_;
}

void SimProcess::kill() {
    process_.kill();
    process_.waitForFinished(10000);
}

quint16 SimProcess::waitForPort() {
    static const QRegularExpression announced(QStringLiteral("listening on [^:\\s]+:(\\d+)"));
    QRegularExpressionMatch m;
    (void)QTest::qWaitFor(
        [&] {
            m = announced.match(QString::fromLatin1(out()));
            return m.hasMatch() || process_.state() == QProcess::NotRunning;
        },
        10000);
    return m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
}

bool SimProcess::waitForExit(int timeoutMs) {
    return QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
}

SimRun runSim(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral(ZNR_BIN_DIR "/znr-sim"), arguments);
    SimRun run;
    if (!p.waitForFinished(30000))
        return run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

std::optional<QByteArray> FrameCollector::take() {
    const qsizetype eot = buffer_.indexOf('\x04');
    if (eot < 0)
        return std::nullopt;
    const qsizetype soh = buffer_.lastIndexOf('\x01', eot);
    QByteArray frame = buffer_.mid(soh < 0 ? 0 : soh, eot + 1 - (soh < 0 ? 0 : soh));
    buffer_.remove(0, eot + 1);
    return frame;
}

bool ProgramClient::connectTo(quint16 port) {
    socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
    return QTest::qWaitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; },
                           10000);
}

void ProgramClient::send(const QByteArray& bytes) {
    socket_.write(bytes);
    socket_.flush();
}

void ProgramClient::pull() {
    const QByteArray got = socket_.readAll();
    received_ += got.size();
    frames_.add(got);
}

std::optional<QByteArray> ProgramClient::nextFrame(int timeoutMs) {
    std::optional<QByteArray> frame;
    (void)QTest::qWaitFor(
        [&] {
            pull();
            frame = frames_.take();
            return frame.has_value();
        },
        timeoutMs);
    return frame;
}

bool ProgramClient::waitForPartialFrame(int timeoutMs) {
    bool partial = false;
    (void)QTest::qWaitFor(
        [&] {
            if (socket_.bytesAvailable() == 0)
                return false;
            pull();
            partial = frames_.holdsPartialFrame();
            return true;
        },
        timeoutMs);
    return partial;
}

bool ProgramClient::anythingArrivesWithin(int ms) {
    const qint64 before = received_;
    QTest::qWait(ms);
    pull();
    return received_ > before;
}

} // namespace znr::test
