#pragma once

#include <QByteArray>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace znr::test {

// A pseudo-terminal for one test: the element under test opens the slave device by its path,
// the test plays the instrument on the master side.
class Pty {
public:
    Pty() {
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
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0; }
    const QByteArray& slavePath() const { return slavePath_; }

    void write(const QByteArray& bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return;
            done += std::max<ssize_t>(n, 0);
        }
    }
    // Everything the element wrote so far, waiting up to `timeoutMs` for at least `atLeast`
    // bytes while processing events.
    QByteArray read(int atLeast, int timeoutMs = 5000) {
        QByteArray got;
        const auto drain = [&] {
            char buf[512];
            for (ssize_t n; (n = ::read(master_, buf, sizeof buf)) > 0;)
                got.append(buf, n);
            return got.size() >= atLeast;
        };
        if (!drain())
            (void)QTest::qWaitFor(drain, timeoutMs);
        return got;
    }
    // The device vanishes under the element.
    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QByteArray slavePath_;
};

} // namespace znr::test
