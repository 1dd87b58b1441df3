#pragma once

#include <QByteArray>

namespace znr::test {

// A pseudo-terminal for one test: the element under test opens the slave device by its path,
// the test plays the instrument on the master side.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0; }
    const QByteArray& slavePath() const { return slavePath_; }

    void write(const QByteArray& bytes);
    // Everything the element wrote so far, waiting up to `timeoutMs` for at least `atLeast`
    // bytes while processing events.
    QByteArray read(int atLeast, int timeoutMs = 5000);
    // The device vanishes under the element.
    void closeMaster();

private:
    int master_ = -1;
    QByteArray slavePath_;
};

} // namespace znr::test
