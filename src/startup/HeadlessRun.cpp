#include "startup/HeadlessRun.h"

#include "records/DateTimeText.h"

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

bool HeadlessRun::blockStopSignals() {
    const sigset_t set = stopSignals();
    return ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
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
    engine_.loadConfiguration(programFolder_);
    return true;
}

void HeadlessRun::onStopSignal() {
    signalfd_siginfo info;
    while (::read(signalFd_, &info, sizeof info) == ssize_t(sizeof info)) {
    }
    stop();
}

void HeadlessRun::stop() {
    if (stopped_)
        return;
    stopped_ = true;
    engine_.connections().closeAllForShutdown();
    QCoreApplication::exit(0);
}

// One line per data file: local time, connection index, path.
void HeadlessRun::announce(int index, const QByteArray& path) {
    const QByteArray line =
        generalDateTime(run_.clock.now()) + ", " + QByteArray::number(index) + ", " + path + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), announcements_);
    std::fflush(announcements_);
}

} // namespace znr
