#include "Link.h"

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
QString systemError(const QString& what) {
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

PtyLink::PtyLink(QString linkPath) : linkPath_(std::move(linkPath)) {}

PtyLink::~PtyLink() {
    if (linked_)
        ::unlink(QFile::encodeName(linkPath_).constData());
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
}

bool PtyLink::start(QString* error) {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        *error = systemError(QStringLiteral("openpty"));
        return false;
    }
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    const QByteArray link = QFile::encodeName(linkPath_);
    struct stat st {};
    if (::lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = linkPath_ + QStringLiteral(" exists and is not a symlink");
            return false;
        }
        ::unlink(link.constData()); // left behind by an earlier run
    }
    if (::symlink(name, link.constData()) != 0) {
        *error = systemError(linkPath_);
        return false;
    }
    linked_ = true;

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PtyLink::onReadable);
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PtyLink::onWritable);
    Q_EMIT note(QStringLiteral("pty %1 -> %2").arg(linkPath_, QString::fromLocal8Bit(name)));
    Q_EMIT opened();
    return true;
}

void PtyLink::onReadable() {
    char buf[4096];
    QByteArray got;
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0)
        got.append(buf, n);
    if (!got.isEmpty())
        Q_EMIT received(got);
}

void PtyLink::send(const QByteArray& bytes) {
    pending_ += bytes;
    onWritable();
}

void PtyLink::onWritable() {
    while (!pending_.isEmpty()) {
        const ssize_t n = ::write(master_, pending_.constData(), pending_.size());
        if (n > 0) {
            pending_.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // the pty is full: go on when it is writable again
        }
    }
    writeNotifier_->setEnabled(!pending_.isEmpty());
}

void PtyLink::finish() {
    if (pending_.isEmpty())
        return;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) & ~O_NONBLOCK);
    onWritable();
}

} // namespace sim
