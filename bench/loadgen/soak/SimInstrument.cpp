#include "SimInstrument.h"

#include "support/FileBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <unistd.h>
#include <utility>

namespace soak {

namespace {

// The process state letter from /proc/PID/stat ('T' when stopped); 0 when it is gone.
char processState(qint64 pid) {
    const QByteArray stat = znr::test::readBytes("/proc/" + QByteArray::number(pid) + "/stat");
    const qsizetype paren = stat.lastIndexOf(')');
    return paren < 0 || paren + 2 >= stat.size() ? 0 : stat[paren + 2];
}

bool waitForState(qint64 pid, bool stopped) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        const char s = processState(pid);
        if (s == 0 || (s == 'T' || s == 't') == stopped)
            return s != 0;
        QThread::usleep(200);
    }
    return false;
}

} // namespace

SimLog readSimLog(const QByteArray& err, const QByteArray& out) {
    SimLog log;
    bool endRefused = false; // the end frame in flight got a NAK8
    for (const QByteArray& line : err.split('\n')) {
        if (line.startsWith("znr-sim: received <ACK>8")) {
            log.greeted = true;
        } else if (line.startsWith("znr-sim: received <NAK>8")) {
            ++log.naks;
            log.refusedEnds += log.endInFlight && !std::exchange(endRefused, true) ? 1 : 0;
        } else if (line.startsWith("znr-sim: sent ")) {
            log.frames += line.contains("<EOT>") ? 1 : 0;
            log.midBatch = true;
        } else if (line.startsWith("znr-sim: ending batch ")) {
            log.endInFlight = true;
            log.midBatch = true;
            endRefused = false;
        } else if (line.startsWith("znr-sim: batch ") && line.endsWith(" acknowledged")) {
            ++log.acknowledged;
            log.endInFlight = false;
            log.midBatch = false;
        }
    }
    static const QRegularExpression listening(QStringLiteral("listening on [^:\\s]+:(\\d+)"));
    const QRegularExpressionMatch m = listening.match(QString::fromLatin1(out));
    if (m.hasMatch())
        log.listenedPort = m.captured(1).toLatin1();
    return log;
}

SimInstrument::SimInstrument(InstrumentSpec setup, QString workFolder, QString ptyLink)
    : setup_(std::move(setup)), workFolder_(std::move(workFolder)), ptyLink_(std::move(ptyLink)) {}

bool SimInstrument::startIncarnation(quint64 seed, QString* error) {
    auto run = std::make_unique<Incarnation>();
    run->number = int(runs_.size()) + 1;
    run->seed = seed;
    const QString base = workFolder_ + QStringLiteral("/sims/") + QString::fromLatin1(setup_.name) +
                         QStringLiteral(".") + QString::number(run->number);
    run->expectDir = workFolder_ + QStringLiteral("/expect/") + QString::fromLatin1(setup_.name) +
                     QStringLiteral("/") + QString::number(run->number);
    QDir().mkpath(workFolder_ + QStringLiteral("/sims"));

    QStringList args = setup_.serial()
                           ? QStringList{QStringLiteral("--pty"), ptyLink_}
                           : QStringList{QStringLiteral("--listen"), QString::number(port_)};
    args << setup_.arguments() << QStringLiteral("--seed") << QString::number(seed)
         << QStringLiteral("--expect-dir") << run->expectDir;
    run->logBase = base;
    run->sim = std::make_unique<znr::test::Sim>(args, base);
    Incarnation& r = *run;
    runs_.push_back(std::move(run));
    // Up when it listens (TCP) or its pty link exists.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && r.sim->running()) {
        const SimLog log = r.log();
        if (!setup_.serial() && !log.listenedPort.isEmpty()) {
            port_ = quint16(log.listenedPort.toUInt());
            return true;
        }
        if (setup_.serial() && r.sim->out().contains("pty "))
            return true;
        QThread::msleep(10);
    }
    *error =
        QStringLiteral("%1: znr-sim did not come up: %2")
            .arg(QString::fromLatin1(setup_.name), QString::fromLatin1(r.sim->err().right(400)));
    return false;
}

bool SimInstrument::running() const {
    return !runs_.empty() && runs_.back()->sim->running() && !runs_.back()->killed;
}

bool SimInstrument::up() const {
    return running() && runs_.back()->log().greeted;
}

bool SimInstrument::seemsMidBatch() const {
    if (runs_.empty())
        return false;
    QFile f(runs_.back()->logBase + QStringLiteral(".err"));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(std::max<qint64>(0, f.size() - 2048)))
        return false;
    const QByteArray tail = f.readAll();
    return tail.lastIndexOf("znr-sim: sent ") > tail.lastIndexOf(" acknowledged\n");
}

SimInstrument::Freeze SimInstrument::freezeAtSafePoint() {
    const qint64 pid = current().sim->pid();
    if (pid <= 0 || ::kill(pid_t(pid), SIGSTOP) != 0 || !waitForState(pid, true))
        return Freeze::Failed;
    const SimLog log = current().log();
    if (!log.endInFlight)
        return log.midBatch ? Freeze::MidBatch : Freeze::BetweenBatches;
    resume();
    return Freeze::Unsafe;
}

void SimInstrument::resume() {
    const qint64 pid = current().sim->pid();
    if (pid > 0) {
        ::kill(pid_t(pid), SIGCONT);
        waitForState(pid, false);
    }
}

void SimInstrument::killFrozen() {
    Incarnation& r = current();
    r.killed = true;
    r.sim->kill();
    if (setup_.serial())
        QFile::remove(ptyLink_); // left dangling by the SIGKILL
}

void SimInstrument::killAll() {
    for (auto& r : runs_)
        if (r->sim->running())
            r->sim->kill();
}

} // namespace soak
