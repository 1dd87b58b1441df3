#pragma once

#include "Batch.h"
#include "Link.h"
#include "SimOptions.h"
#include "Stats.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>

namespace sim {

// Plays the batches over a link: waits for the greeting ACK8, sends frames (stop-and-wait or
// burst), answers NAK8 with a resend (at once mid-frame, after --resend-wait for a complete
// frame), and writes the expected data files.
class Player : public QObject {
    Q_OBJECT
public:
    Player(const SimOptions& options, Link& link);

    const Stats& stats() const { return stats_; }
    // Batches are done or the run stops: lets go of the link and reports the exit code.
    void stop(int exitCode);

Q_SIGNALS:
    void finished(int exitCode);
    void log(const QString& line);

private:
    enum class Phase { WaitingForLink, WaitingForGreeting, Playing, Pausing, Done };

    // One write, possibly after a pause.
    struct Step {
        int delayMs = 0;
        QByteArray bytes;
        bool endsFrame = false;    // carries the frame's EOT
        bool startsEnding = false; // first write of the batch's ENB/ERR frame
    };

    void onOpened();
    void onClosed();
    void onReceived(const QByteArray& bytes);
    void onAck();
    void onNak();
    void startBatch();
    void queueFrame(int index);
    void onStep();
    void scheduleStep();
    void frameAcknowledged();
    void batchDone();
    void resendCurrentFrame();
    void resendRefusedFrame();
    bool endOfCurrentFrameSent() const;
    void verbose(const QString& what, const QByteArray& bytes);

    const SimOptions& o_;
    Link& link_;
    Stats stats_;
    Phase phase_ = Phase::WaitingForLink;
    int batchNumber_ = 0;
    Batch batch_;
    int current_ = 0;     // stop-and-wait: the frame in flight
    bool resent_ = false; // the frame in flight was resent already
    int refused_ = 0;     // the complete frame answered with NAK8, resent when resendTimer_ fires
    int acksInBatch_ = 0;
    std::deque<Step> steps_;
    std::deque<qint64> awaitingAck_; // when each unacknowledged frame's EOT went out (ns)
    QTimer stepTimer_;
    QTimer pauseTimer_;
    QTimer resendTimer_;
    QElapsedTimer clock_;
    QDateTime endingSentAt_;
    QByteArray replyTail_;
};

} // namespace sim
