#include "SoakRun.h"

#include "SoakCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <sys/mount.h>

namespace soak {

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

double mib(qint64 kib) {
    return double(kib) / 1024.0;
}

double average(const QList<qint64>& v, qsizetype from, qsizetype to) {
    if (to <= from)
        return 0;
    return double(std::accumulate(v.begin() + from, v.begin() + to, qint64(0))) / double(to - from);
}

} // namespace

SoakRun::SoakRun(SoakOptions options) : o_(std::move(options)), rng_(o_.seed) {}

SoakRun::~SoakRun() {
    for (Side* side : {&tcp_, &serial_})
        for (auto& in : side->instruments)
            in->killAll();
}

bool SoakRun::startInstruments(Side& side, const QList<InstrumentSpec>& specs) {
    for (const InstrumentSpec& setup : specs) {
        const QString link =
            setup.serial()
                ? side.program->path(QStringLiteral("tty") + QString::number(setup.comPort))
                : QString();
        side.instruments.push_back(std::make_unique<SimInstrument>(setup, o_.workFolder, link));
        QString error;
        if (!side.instruments.back()->startIncarnation(nextSeed(), &error)) {
            fail(error);
            return false;
        }
    }
    return true;
}

bool SoakRun::setUp() {
    tcp_.program = std::make_unique<SoakProgram>(QStringLiteral("tcp"),
                                                 o_.workFolder + QStringLiteral("/tcp"));
    serial_.program = std::make_unique<SoakProgram>(QStringLiteral("serial"),
                                                    o_.workFolder + QStringLiteral("/serial"));
    if (!startInstruments(tcp_, tcpInstruments(o_.seed)) ||
        !startInstruments(serial_, serialInstruments()))
        return false;

    QList<quint16> ports;
    for (const auto& in : tcp_.instruments)
        ports.append(in->port());
    QMap<int, QString> ttys;
    for (const auto& in : serial_.instruments)
        ttys.insert(in->setup().comPort, in->ptyLink());
    if (!tcp_.program->start(true, ports, {}) || !serial_.program->start(false, {}, ttys)) {
        fail(QStringLiteral("a program did not start"));
        return false;
    }
    return waitUntilAllUp(90000);
}

bool SoakRun::waitUntilAllUp(int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        bool all = true;
        for (Side* side : {&tcp_, &serial_})
            for (const auto& in : side->instruments)
                all = all && in->up();
        if (all)
            return true;
        QThread::msleep(100);
    }
    for (Side* side : {&tcp_, &serial_})
        for (const auto& in : side->instruments)
            if (!in->up())
                fail(QStringLiteral("%1 #%2 was not greeted by the program")
                         .arg(QString::fromLatin1(in->setup().name))
                         .arg(in->incarnations().size()));
    return false;
}

// Kills one connected instrument mid-batch or between batches, never while its end frame is
// on the way (the program may or may not have filed that batch: the simulator cannot know).
void SoakRun::injectFault() {
    // One fault in four hits a pty instrument, the rest a TCP one.
    Side& side = rng_.bounded(4u) == 0 ? serial_ : tcp_;
    // Batches take far less time than the pauses between them; every other fault goes to an
    // instrument that seems to be in the middle of one, so that many batches are cut.
    const bool cut = rng_.bounded(2u) == 0;
    std::vector<SimInstrument*> candidates;
    for (const auto& in : side.instruments)
        if (in->up() && (!cut || in->seemsMidBatch()))
            candidates.push_back(in.get());
    if (candidates.empty() && cut)
        for (const auto& in : side.instruments)
            if (in->up())
                candidates.push_back(in.get());
    if (candidates.empty())
        return;
    SimInstrument* in = candidates[size_t(rng_.bounded(quint64(candidates.size())))];
    const SimInstrument::Freeze f = in->freezeAtSafePoint();
    switch (f) {
    case SimInstrument::Freeze::BetweenBatches:
    case SimInstrument::Freeze::MidBatch:
        midBatchKills_ += f == SimInstrument::Freeze::MidBatch ? 1 : 0;
        in->killFrozen();
        (in->setup().serial() ? ptyKills_ : tcpKills_) += 1;
        // Away for 1.2 to 4 s: its next batch cannot end in the second of its last one.
        restarts_.emplace(clock_.elapsed() + 1200 + qint64(rng_.bounded(2800)), in);
        break;
    case SimInstrument::Freeze::Unsafe:
        ++unsafeSkips_;
        nextFaultMs_ = clock_.elapsed() + 100;
        break;
    case SimInstrument::Freeze::Failed:
        fail(QStringLiteral("%1: could not stop the simulator")
                 .arg(QString::fromLatin1(in->setup().name)));
        break;
    }
}

void SoakRun::restartDue() {
    while (!restarts_.empty() && restarts_.begin()->first <= clock_.elapsed()) {
        SimInstrument* in = restarts_.begin()->second;
        restarts_.erase(restarts_.begin());
        QString error;
        if (!in->startIncarnation(nextSeed(), &error))
            fail(error);
    }
}

// One data folder of the TCP program (Data Files and Check Rods in turn) lands on a full file
// system: a tmpfs filled up beside the program, then bound over the folder in one step, so that
// nothing the program writes can land on it. Its batch ends are refused until freeDisk().
void SoakRun::fillDisk(qint64 now) {
    nextFillMs_ = now + 60000;
    const QByteArray staging = QFile::encodeName(o_.workFolder) + "/full-disk";
    fullFolder_ = tcp_.program->folder(diskFills_ % 2 == 0 ? "Data Files" : "Check Rods");
    QByteArray why;
    QDir().mkpath(QFile::decodeName(staging));
    fullDisk_ = znr::test::ScopedMount::fullTmpfs(staging, staging + "/ballast", &why);
    if (fullDisk_ &&
        ::mount(staging.constData(), fullFolder_.constData(), nullptr, MS_BIND, nullptr) != 0) {
        why = "mount --bind " + staging + " " + fullFolder_ + ": " + std::strerror(errno);
        fullDisk_.reset();
    }
    if (!fullDisk_) {
        noMounts_ = true;
        say(QStringLiteral("soak: no full-disk faults in this run: ") +
            QString::fromLocal8Bit(why));
        return;
    }
    ++diskFills_;
    freeAtMs_ = now + 4000 + qint64(rng_.bounded(5000));
}

// The folder is on its own disk again, with space: the refused batch ends are resent and filed.
void SoakRun::freeDisk() {
    if (::umount2(fullFolder_.constData(), MNT_DETACH) != 0)
        fail(
            QStringLiteral("umount %1: %2")
                .arg(QString::fromLocal8Bit(fullFolder_), QString::fromLocal8Bit(strerror(errno))));
    fullDisk_.reset();
}

void SoakRun::tick() {
    const qint64 now = clock_.elapsed();
    if (now >= nextSampleMs_) {
        nextSampleMs_ = now + 2000;
        tcp_.program->sample();
        serial_.program->sample();
        peakKiB_[0] = std::max(peakKiB_[0], tcp_.program->run().peakResidentKiB());
        peakKiB_[1] = std::max(peakKiB_[1], serial_.program->run().peakResidentKiB());
        for (Side* side : {&tcp_, &serial_}) {
            if (!side->program->run().running())
                fail(QStringLiteral("%1: the program ended during the run: %2")
                         .arg(side->program->name(),
                              QString::fromLatin1(side->program->errorOutput().right(400))));
            for (const auto& in : side->instruments)
                if (!in->incarnations().back()->killed && !in->running())
                    fail(QStringLiteral("%1: the simulator ended by itself")
                             .arg(QString::fromLatin1(in->setup().name)));
        }
    }
    // No faults in the last stretch: every instrument is back and greeted before the end.
    const qint64 quietTail = std::min<qint64>(20000, durationMs_ / 6);
    if (now >= nextFaultMs_ && now < durationMs_ - quietTail) {
        nextFaultMs_ = now + 1500 + qint64(rng_.bounded(3000));
        injectFault();
    }
    if (fullDisk_ && now >= freeAtMs_)
        freeDisk();
    else if (!fullDisk_ && !noMounts_ && now >= nextFillMs_ &&
             now + 10000 < durationMs_ - quietTail)
        fillDisk(now);
    restartDue();
}

void SoakRun::loop() {
    int lastMinute = 0;
    while (clock_.elapsed() < durationMs_ && problems_.isEmpty()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        tick();
        QThread::msleep(20);
        const int minute = int(clock_.elapsed() / 60000);
        if (minute != lastMinute) {
            lastMinute = minute;
            say(QStringLiteral("soak: %1 min, %2 kills, RSS %3 / %4 MiB")
                    .arg(minute)
                    .arg(tcpKills_ + ptyKills_)
                    .arg(mib(tcp_.program->run().residentKiB()), 0, 'f', 1)
                    .arg(mib(serial_.program->run().residentKiB()), 0, 'f', 1));
        }
    }
    while (!restarts_.empty() && problems_.isEmpty()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        restartDue();
        QThread::msleep(20);
    }
}

// Stops every simulator where no end frame is in flight, so the program files nothing more.
bool SoakRun::freezeAll() {
    std::vector<SimInstrument*> left;
    for (Side* side : {&tcp_, &serial_})
        for (const auto& in : side->instruments)
            left.push_back(in.get());
    QElapsedTimer t;
    t.start();
    while (!left.empty() && t.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        for (auto it = left.begin(); it != left.end();) {
            const SimInstrument::Freeze f = (*it)->freezeAtSafePoint();
            if (f == SimInstrument::Freeze::Failed) {
                fail(QStringLiteral("%1: could not stop the simulator")
                         .arg(QString::fromLatin1((*it)->setup().name)));
                return false;
            }
            it = f == SimInstrument::Freeze::Unsafe ? it + 1 : left.erase(it);
        }
        QThread::msleep(50);
    }
    if (!left.empty())
        fail(QStringLiteral("%1 simulators never reached a safe point").arg(left.size()));
    return left.empty();
}

int SoakRun::run() {
    durationMs_ = qint64(o_.minutes * 60000);
    say(QStringLiteral("soak: %1 min, seed %2, work folder %3")
            .arg(o_.minutes)
            .arg(o_.seed)
            .arg(o_.workFolder));
    if (setUp()) {
        clock_.start();
        nextFillMs_ = durationMs_ / 4;
        loop();
        if (fullDisk_)
            freeDisk();
        if (problems_.isEmpty() && waitUntilAllUp(60000) && freezeAll()) {
            tcp_.program->sample();
            serial_.program->sample();
            peakKiB_[0] = std::max(peakKiB_[0], tcp_.program->run().peakResidentKiB());
            peakKiB_[1] = std::max(peakKiB_[1], serial_.program->run().peakResidentKiB());
            for (Side* side : {&tcp_, &serial_})
                if (!side->program->run().running() || !side->program->run().stop(30000) ||
                    side->program->run().exitCode() != 0)
                    fail(QStringLiteral("%1: the program was not alive at the end or did not end "
                                        "with 0 on SIGTERM")
                             .arg(side->program->name()));
        }
    }
    for (Side* side : {&tcp_, &serial_})
        for (auto& in : side->instruments)
            in->killAll();
    return report();
}

int SoakRun::report() {
    int batches = 0, frames = 0, naks = 0, lines = 0, refused = 0;
    for (Side* side : {&tcp_, &serial_}) {
        if (!side->program)
            continue;
        const CheckResult r =
            checkInstance(*side->program, side->instruments, side == &tcp_ ? diskFills_ : 0);
        problems_ << r.problems;
        batches += r.batches;
        frames += r.frames;
        naks += r.naks;
        refused += r.refused;
        lines += r.logLines;
        const QList<qint64>& s = side->program->samples();
        const qsizetype n = s.size();
        const double q2 = average(s, n / 4, n / 2);
        const double q4 = average(s, 3 * n / 4, n);
        const qint64 peak = side == &tcp_ ? peakKiB_[0] : peakKiB_[1];
        say(QStringLiteral("%1: %2 instruments, %3 batches, %4 frames, %5 NAK8, %6 drops, %7 log "
                           "lines, RSS peak %8 MiB, 2nd quarter %9 MiB, last quarter %10 MiB")
                .arg(side->program->name())
                .arg(side->instruments.size())
                .arg(r.batches)
                .arg(r.frames)
                .arg(r.naks)
                .arg(r.drops)
                .arg(r.logLines)
                .arg(mib(peak), 0, 'f', 1)
                .arg(mib(qint64(q2)), 0, 'f', 1)
                .arg(mib(qint64(q4)), 0, 'f', 1));
        // Flat: the last quarter's average within 10 % (at least 4 MiB) of the second quarter's.
        if (n >= 8 && q4 - q2 > std::max(4096.0, q2 * 0.10))
            problems_ << QStringLiteral("%1: RSS grew from %2 to %3 MiB")
                             .arg(side->program->name())
                             .arg(mib(qint64(q2)), 0, 'f', 1)
                             .arg(mib(qint64(q4)), 0, 'f', 1);
    }
    say(QStringLiteral("summary: %1 min, %2 batches, %3 frames, %4 faults injected (%5 TCP drops, "
                       "%6 pty drops; %11 cut a batch), %7 lines logged, peak RSS %8 MiB (tcp) / "
                       "%9 MiB (serial), %10 NAK8; %12 disk fills, %13 batch ends refused and "
                       "resent")
            .arg(o_.minutes)
            .arg(batches)
            .arg(frames)
            .arg(tcpKills_ + ptyKills_)
            .arg(tcpKills_)
            .arg(ptyKills_)
            .arg(lines)
            .arg(mib(peakKiB_[0]), 0, 'f', 1)
            .arg(mib(peakKiB_[1]), 0, 'f', 1)
            .arg(naks)
            .arg(midBatchKills_)
            .arg(diskFills_)
            .arg(refused));
    if (problems_.isEmpty()) {
        say(QStringLiteral("result: PASS (%1 kill attempts deferred: end frame in flight)")
                .arg(unsafeSkips_));
        QDir(o_.workFolder).removeRecursively();
        return 0;
    }
    for (qsizetype i = 0; i < std::min<qsizetype>(problems_.size(), 60); ++i)
        say(QStringLiteral("problem: ") + problems_[i]);
    say(QStringLiteral("result: FAIL, %1 problems; files kept in %2")
            .arg(problems_.size())
            .arg(o_.workFolder));
    return 1;
}

int runSoak(double minutes, quint64 seed, const QString& workRoot) {
    QTemporaryDir dir(workRoot + QStringLiteral("/znr-soak.XXXXXX"));
    dir.setAutoRemove(false);
    SoakRun run({minutes, seed, dir.path()});
    return run.run();
}

} // namespace soak
