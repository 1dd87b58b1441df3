#pragma once

#include "SimInstrument.h"
#include "SoakCheck.h"
#include "support/Mounts.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

namespace soak {

struct SoakOptions {
    double minutes = 30;
    quint64 seed = 1;
    QString workFolder; // created; kept when the run fails
};

// The whole soak: two headless programs (50 TCP instruments; 4 pty instruments), instruments
// killed at random and started again, a data folder of the TCP program now and then on a full
// disk for some seconds, memory sampled; then every acknowledged batch checked.
class SoakRun {
public:
    explicit SoakRun(SoakOptions options);
    ~SoakRun();
    // Runs for the given time and reports; the exit code of the soak.
    int run();

private:
    struct Side {
        std::unique_ptr<SoakProgram> program;
        std::vector<std::unique_ptr<SimInstrument>> instruments;
    };

    bool setUp();
    bool startInstruments(Side& side, const QList<InstrumentSpec>& specs);
    bool waitUntilAllUp(int timeoutMs);
    void loop();
    void tick();
    void injectFault();
    void restartDue();
    void fillDisk(qint64 now);
    void freeDisk();
    bool freezeAll();
    int report();
    quint64 nextSeed() { return rng_.generate64() % 1'000'000'000ull + 1; }
    void fail(const QString& problem) { problems_ << problem; }

    SoakOptions o_;
    QRandomGenerator64 rng_;
    Side tcp_;
    Side serial_;
    QElapsedTimer clock_;
    qint64 durationMs_ = 0;
    qint64 nextSampleMs_ = 0;
    qint64 nextFaultMs_ = 0;
    std::multimap<qint64, SimInstrument*> restarts_; // due time -> instrument
    int tcpKills_ = 0;
    int ptyKills_ = 0;
    int unsafeSkips_ = 0;
    int midBatchKills_ = 0;
    std::unique_ptr<znr::test::ScopedMount>
        fullDisk_; // the full tmpfs, while bound over fullFolder_
    QByteArray fullFolder_;
    qint64 nextFillMs_ = 0;
    qint64 freeAtMs_ = 0;
    int diskFills_ = 0;
    bool noMounts_ = false; // mounting is not allowed here: no disk fills
    qint64 peakKiB_[2] = {0, 0};
    QStringList problems_;
};

// The soak scenario of znr-loadgen: runs for `minutes` in a new folder under `workRoot`;
// returns the exit code (0 when every check held, 1 otherwise).
int runSoak(double minutes, quint64 seed, const QString& workRoot);

} // namespace soak
