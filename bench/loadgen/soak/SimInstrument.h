#pragma once

#include "SoakPlan.h"
#include "support/Sim.h"

#include <QString>
#include <memory>
#include <vector>

namespace soak {

// What one incarnation's --verbose log says.
struct SimLog {
    bool greeted = false;     // the extractor's ACK8 came: it holds a connection to us
    int acknowledged = 0;     // "batch N acknowledged" lines (expected files written)
    bool endInFlight = false; // an end frame went out after the last acknowledged batch
    bool midBatch = false;    // something of a batch went out after the last acknowledged one
    int frames = 0;           // writes that carried a frame's EOT
    int naks = 0;             // NAK8 received
    int refusedEnds = 0;      // batches whose end frame was answered with NAK8 (then resent)
    QByteArray listenedPort;  // from standard output: "listening on ADDRESS:PORT"
};
SimLog readSimLog(const QByteArray& err, const QByteArray& out);

// One znr-sim run of an instrument; killed and replaced by a new one when the instrument drops.
struct Incarnation {
    int number = 0;
    quint64 seed = 0;
    QString expectDir;                   // its --expect-dir
    QString logBase;                     // its outputs: "<logBase>.out" and "<logBase>.err"
    std::unique_ptr<znr::test::Sim> sim; // outputs in files: the --verbose log is standard error
    bool killed = false;                 // by the soak, while the extractor was connected

    SimLog log() const { return readSimLog(sim->err(), sim->out()); }
};

// An instrument of the soak with all its incarnations.
class SimInstrument {
public:
    SimInstrument(InstrumentSpec setup, QString workFolder, QString ptyLink);

    const InstrumentSpec& setup() const { return setup_; }
    const std::vector<std::unique_ptr<Incarnation>>& incarnations() const { return runs_; }
    Incarnation& current() { return *runs_.back(); }
    quint16 port() const { return port_; }
    const QString& ptyLink() const { return ptyLink_; }

    // Starts a new incarnation (the first listens on any free port, later ones on the same port
    // or pty link); false with a message when it did not come up.
    bool startIncarnation(quint64 seed, QString* error);
    // Whether the current incarnation is running and greeted by the extractor.
    bool up() const;
    bool running() const;
    // From the end of its log: something of a batch went out after the last acknowledged one.
    bool seemsMidBatch() const;

    enum class Freeze { MidBatch, BetweenBatches, Unsafe, Failed };
    // Stops the current incarnation (SIGSTOP) and reads its log: stopped MidBatch or
    // BetweenBatches when no end frame is in flight (the extractor cannot be about to file a
    // batch the simulator does not know about); otherwise it is let go on (SIGCONT) and Unsafe
    // is returned.
    Freeze freezeAtSafePoint();
    void resume();
    // SIGKILL of the frozen current incarnation: the instrument vanishes mid-batch or between
    // batches. The dead pty link is removed so that nothing else can be opened through it.
    void killFrozen();
    void killAll();

private:
    InstrumentSpec setup_;
    QString workFolder_;
    QString ptyLink_;
    quint16 port_ = 0;
    std::vector<std::unique_ptr<Incarnation>> runs_;
};

} // namespace soak
