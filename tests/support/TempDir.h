#pragma once

#include <QByteArray>
#include <QTemporaryDir>

namespace znr::test {

// A fresh folder for one test, removed afterwards. folder() ends with '/', the form the
// program's folder settings take.
class TempDir {
public:
    TempDir();
    QByteArray folder() const;                     // "/tmp/xyz/"
    QByteArray sub(const char* name) const;        // creates "/tmp/xyz/name/" and returns it
    QByteArray path(const QByteArray& name) const; // "/tmp/xyz/name"

private:
    QTemporaryDir dir_;
};

} // namespace znr::test
