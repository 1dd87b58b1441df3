#include "Player.h"

#include "ExpectedFiles.h"

namespace sim {

namespace {

constexpr char ACK = 0x06;
constexpr char NAK = 0x15;

// `bytes` cut into `parts` pieces of nearly equal size (fewer when it is shorter).
QByteArrayList split(const QByteArray& bytes, int parts) {
    const qsizetype n = std::clamp<qsizetype>(parts, 1, std::max<qsizetype>(1, bytes.size()));
    QByteArrayList pieces;
    for (qsizetype i = 0; i < n; ++i)
        pieces.append(
            bytes.mid(i * bytes.size() / n, (i + 1) * bytes.size() / n - i * bytes.size() / n));
    return pieces;
}

QString rendered(const QByteArray& bytes) {
    static const char* const names[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK"};
    QString out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 7)
            out += QStringLiteral("<%1>").arg(QLatin1String(names[u]));
        else if (u == 0x15)
            out += QStringLiteral("<NAK>");
        else
            out += QChar::fromLatin1(c);
    }
    return out;
}

} // namespace

Player::Player(const SimOptions& options, Link& link) : o_(options), link_(link) {
    clock_.start();
    stepTimer_.setSingleShot(true);
    pauseTimer_.setSingleShot(true);
    resendTimer_.setSingleShot(true);
    // --late, --gap, --interval and --resend-wait are minimum delays; coarse timers may fire 5 %
    // early.
    stepTimer_.setTimerType(Qt::PreciseTimer);
    pauseTimer_.setTimerType(Qt::PreciseTimer);
    resendTimer_.setTimerType(Qt::PreciseTimer);
    connect(&stepTimer_, &QTimer::timeout, this, &Player::onStep);
    connect(&pauseTimer_, &QTimer::timeout, this, &Player::startBatch);
    connect(&resendTimer_, &QTimer::timeout, this, &Player::resendRefusedFrame);
    connect(&link_, &Link::opened, this, &Player::onOpened);
    connect(&link_, &Link::closed, this, &Player::onClosed);
    connect(&link_, &Link::received, this, &Player::onReceived);
}

void Player::stop(int exitCode) {
    if (phase_ == Phase::Done)
        return;
    phase_ = Phase::Done;
    stepTimer_.stop();
    pauseTimer_.stop();
    resendTimer_.stop();
    link_.finish();
    Q_EMIT finished(exitCode);
}

void Player::onOpened() {
    phase_ = Phase::WaitingForGreeting;
    replyTail_.clear();
}

void Player::onClosed() {
    if (phase_ == Phase::Done)
        return;
    if (phase_ == Phase::Playing)
        Q_EMIT log(QStringLiteral("link closed during batch %1; it is played again on the next "
                                  "connection")
                       .arg(batchNumber_ + 1));
    phase_ = Phase::WaitingForLink;
    steps_.clear();
    awaitingAck_.clear();
    stepTimer_.stop();
    pauseTimer_.stop();
    resendTimer_.stop();
}

void Player::onReceived(const QByteArray& bytes) {
    const QByteArray data = replyTail_ + bytes;
    replyTail_.clear();
    for (qsizetype i = 0; i < data.size() && phase_ != Phase::Done; ++i) {
        if (data[i] != ACK && data[i] != NAK)
            continue;
        if (i + 1 == data.size()) {
            replyTail_ = data.right(1); // the rest of the reply is still on its way
            break;
        }
        if (data[i + 1] != '8')
            continue;
        verbose(QStringLiteral("received"), data.mid(i, 2));
        data[i] == ACK ? onAck() : onNak();
        ++i;
    }
}

void Player::onAck() {
    ++stats_.acks;
    if (phase_ == Phase::WaitingForGreeting) {
        ++stats_.greetings;
        startBatch();
        return;
    }
    if (phase_ != Phase::Playing || awaitingAck_.empty())
        return; // a reply to nothing of ours
    stats_.roundTripsMs.push_back(double(clock_.nsecsElapsed() - awaitingAck_.front()) / 1e6);
    awaitingAck_.pop_front();
    frameAcknowledged();
}

// Mid-frame (stop-and-wait): the frame again at once, once. Once everything written is
// complete, the NAK8 refuses the oldest frame awaiting its reply (e.g. a batch end the extractor
// could not file): that frame again after --resend-wait, as often as it is refused.
void Player::onNak() {
    ++stats_.naks;
    if (phase_ != Phase::Playing)
        return;
    if (!endOfCurrentFrameSent()) {
        if (!o_.burst && !resent_)
            resendCurrentFrame();
        return;
    }
    if (awaitingAck_.empty() || resendTimer_.isActive())
        return; // a reply to nothing of ours
    awaitingAck_.pop_front();
    refused_ = o_.burst ? acksInBatch_ : current_;
    resendTimer_.start(o_.resendWaitMs);
}

void Player::startBatch() {
    if (phase_ != Phase::WaitingForGreeting && phase_ != Phase::Pausing)
        return;
    phase_ = Phase::Playing;
    batch_ = makeBatch(o_, batchNumber_);
    acksInBatch_ = 0;
    if (o_.burst) {
        for (int i = 0; i < batch_.frames.size(); ++i)
            queueFrame(i);
    } else {
        current_ = 0;
        queueFrame(0);
    }
    scheduleStep();
}

// The frame's writes: --fragment pieces --gap apart. The late frame holds back its last piece
// before the EOT by --late, then sends the EOT on its own.
void Player::queueFrame(int index) {
    const QByteArray& frame = batch_.frames[index];
    const bool late = o_.lateMs > 0 && index == batch_.lateFrame;
    const QByteArrayList pieces =
        late ? split(frame.chopped(1), std::max(2, o_.fragments - 1)) : split(frame, o_.fragments);
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        Step s;
        s.delayMs = p == 0 ? 0 : (late && p == pieces.size() - 1 ? o_.lateMs : o_.gapMs);
        s.bytes = pieces[p];
        s.endsFrame = !late && p == pieces.size() - 1;
        s.startsEnding = p == 0 && index == batch_.frames.size() - 1;
        steps_.push_back(s);
    }
    if (late)
        steps_.push_back(Step{o_.gapMs, QByteArray(1, EOT), true, false});
}

void Player::scheduleStep() {
    if (!steps_.empty() && !stepTimer_.isActive())
        stepTimer_.start(steps_.front().delayMs);
}

// Writes the next step, and every following one that is due at once.
void Player::onStep() {
    do {
        const Step s = steps_.front();
        steps_.pop_front();
        if (s.startsEnding) {
            endingSentAt_ = QDateTime::currentDateTime();
            if (o_.verbose)
                Q_EMIT log(QStringLiteral("ending batch %1").arg(batchNumber_ + 1));
        }
        // Logged before the write: a reader of the log that stopped the simulator knows that
        // nothing it does not see has reached the link.
        verbose(QStringLiteral("sent"), s.bytes);
        link_.send(s.bytes);
        if (s.endsFrame) {
            ++stats_.framesSent;
            awaitingAck_.push_back(clock_.nsecsElapsed());
        }
    } while (!steps_.empty() && steps_.front().delayMs == 0 && phase_ == Phase::Playing);
    scheduleStep();
}

bool Player::endOfCurrentFrameSent() const {
    return steps_.empty();
}

void Player::resendCurrentFrame() {
    steps_.clear();
    stepTimer_.stop();
    resent_ = true;
    ++stats_.resent;
    if (current_ == batch_.frames.size() - 1)
        endingSentAt_ = QDateTime::currentDateTime();
    Step s{0, batch_.frames[current_], true, false};
    steps_.push_back(s);
    onStep();
}

void Player::resendRefusedFrame() {
    if (phase_ != Phase::Playing || !steps_.empty())
        return;
    ++stats_.resent;
    steps_.push_back(Step{0, batch_.frames[refused_], true, false});
    onStep();
}

void Player::frameAcknowledged() {
    ++acksInBatch_;
    if (o_.burst) {
        if (acksInBatch_ == batch_.frames.size())
            batchDone();
        return;
    }
    if (current_ == batch_.frames.size() - 1)
        return batchDone();
    ++current_;
    resent_ = false;
    queueFrame(current_);
    scheduleStep();
}

void Player::batchDone() {
    const QDateTime acknowledgedAt = QDateTime::currentDateTime();
    ++stats_.batches;
    ++batchNumber_;
    resent_ = false;
    if (!o_.expectDir.isEmpty()) {
        QString error;
        if (!writeExpected(o_.expectDir, batch_, endingSentAt_, acknowledgedAt, &error)) {
            Q_EMIT log(error);
            return stop(1);
        }
    }
    if (o_.verbose)
        Q_EMIT log(QStringLiteral("batch %1 acknowledged").arg(batchNumber_));
    if (o_.batches > 0 && batchNumber_ >= o_.batches)
        return stop(0);
    phase_ = Phase::Pausing;
    pauseTimer_.start(o_.intervalMs);
}

void Player::verbose(const QString& what, const QByteArray& bytes) {
    if (o_.verbose)
        Q_EMIT log(what + QStringLiteral(" ") + rendered(bytes));
}

} // namespace sim
