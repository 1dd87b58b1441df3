#include "support/Pty.h"

#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace znr::test {

Pty::Pty() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        master_ = -1;
        return;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = name;
}

Pty::~Pty() {
    closeMaster();
}

void Pty::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
    }
}

QByteArray Pty::read(int atLeast, int timeoutMs) {
    QByteArray got;
    const auto drain = [&] {
        char buf[512];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0)
            got.append(buf, n);
        return got.size() >= atLeast;
    };
    if (!drain())
        (void)QTest::qWaitFor(drain, timeoutMs);
    return got;
}

void Pty::closeMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

} // namespace znr::test
