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

    list_.setConnectedCount(0);
    engine_.loadConfiguration(programFolder_);
    return true;
}

void HeadlessRun::onStopSignal() {
    signalfd_siginfo info;
    while (::read(signalFd_, &info, sizeof info) == ssize_t(sizeof info)) {
    }
    stop();
}

// A stop that comes while the configured instruments are being opened waits until each of them
// is connected or has failed, so every opening is logged as in a run that is not stopped.
void HeadlessRun::stop() {
    Connections& connections = engine_.connections();
    if (connections.openingsPending()) {
        connect(&connections, &Connections::openingsSettled, this, &HeadlessRun::stop,
                Qt::SingleShotConnection);
        return;
    }
    if (stopped_)
        return;
    stopped_ = true;
    // Queued, so that the exit also holds when the event loop has not started yet.
    engine_.connections().shutDown([] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
}

// One line per data file: local time, connection index, path.
void HeadlessRun::announce(int index, const QByteArray& path) {
    const QByteArray line =
        generalDateTime(run_.clock.now()) + ", " + QByteArray::number(index) + ", " + path + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), announcements_);
    std::fflush(announcements_);
}

} // namespace znr
