#pragma once

#include <QByteArray>
#include <pty.h>
#include <unistd.h>

namespace znr::test {

// A pseudo-terminal for one test: the element under test opens the slave device by its
// path while the master side stays open.
class Pty {
public:
    Pty() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
            master_ = -1;
            return;
        }
        ::close(slave);
        slavePath_ = name;
    }
    ~Pty() {
        if (master_ >= 0)
            ::close(master_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0; }
    const QByteArray& slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    QByteArray slavePath_;
};

} // namespace znr::test
