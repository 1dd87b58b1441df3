#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

namespace znr::test {

// A fresh folder for one test, removed afterwards. folder() ends with '/', the form the
// program's folder settings take.
class TempDir {
public:
    TempDir() {
        if (!dir_.isValid())
            throw std::runtime_error("cannot create a temporary folder");
    }
    QByteArray folder() const { return QFile::encodeName(dir_.path()) + '/'; }
    QByteArray path(const QByteArray& name) const { return folder() + name; }
    // Creates "<folder>name/" and returns it.
    QByteArray sub(const char* name) const {
        QDir(dir_.path()).mkpath(QString::fromLatin1(name));
        return folder() + name + '/';
    }

private:
    QTemporaryDir dir_;
};

} // namespace znr::test
