#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace znr::test {

TempDir::TempDir() {
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

QByteArray TempDir::folder() const {
    return QFile::encodeName(dir_.path()) + '/';
}

QByteArray TempDir::sub(const char* name) const {
    QDir(dir_.path()).mkpath(QString::fromLatin1(name));
    return folder() + name + '/';
}

QByteArray TempDir::path(const QByteArray& name) const {
    return folder() + name;
}

} // namespace znr::test
