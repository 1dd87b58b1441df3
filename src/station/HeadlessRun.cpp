#include "station/HeadlessRun.h"

#include "core/DateTimeText.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace znr {

HeadlessRun::HeadlessRun(QString programFolder, std::FILE* announcements)
    : programFolder_(std::move(programFolder)), announcements_(announcements) {}

HeadlessRun::~HeadlessRun() {
    if (signalFd_ >= 0)
        ::close(signalFd_);
}

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

// A reader of the announcements that goes away must not end the run: with SIGPIPE ignored, a
// write to a closed pipe merely fails.
bool HeadlessRun::blockStopSignals() {
    const sigset_t set = stopSignals();
    return ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0 &&
           std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

// The stop signals arrive as readable data on a signalfd, in the event loop like any event.
bool HeadlessRun::start() {
    const sigset_t set = stopSignals();
    const int fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0)
        return false;
    signalFd_ = fd;
    stopNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(stopNotifier_, &QSocketNotifier::activated, this, &HeadlessRun::onStopSignal);

    list_.setCountText("0");
    loading_ = true;
    engine_.loadConfiguration(programFolder_);
    loading_ = false;
    if (stopRequested_)
        stop();
    return true;
}

// A signal that comes while the instruments are being opened (their connect waits run the
// event loop) is kept until the opening is over, so no connection is closed under its wait.
void HeadlessRun::onStopSignal() {
    signalfd_siginfo info;
    while (::read(signalFd_, &info, sizeof info) == ssize_t(sizeof info)) {
    }
    stopRequested_ = true;
    if (!loading_)
        stop();
}

void HeadlessRun::stop() {
    if (stopped_)
        return;
    stopped_ = true;
    engine_.connections().closeAllForShutdown();
    // Queued, so that the exit also holds when the event loop has not started yet.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

// One line per data file: local time, connection index, path.
void HeadlessRun::announce(int index, const QByteArray& path) {
    const QByteArray line =
        generalDateTime(run_.clock.now()) + ", " + QByteArray::number(index) + ", " + path + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), announcements_);
    std::fflush(announcements_);
}

} // namespace znr
