#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace znr::test {

QByteArray readBytes(const QByteArray& path) {
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool fileExists(const QByteArray& path) {
    return QFile::exists(QFile::decodeName(path));
}

void writeBytes(const QByteArray& path, const QByteArray& bytes) {
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArrayList listFiles(const QByteArray& folder) {
    QByteArrayList names;
    const auto entries = QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& e : entries)
        names.append(QFile::encodeName(e));
    return names;
}

QByteArray testData(const char* relativePath) {
    QFile f(QString::fromUtf8(ZNR_TEST_DATA_DIR) + u'/' + QString::fromUtf8(relativePath));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("missing test data: ") + relativePath);
    return f.readAll();
}

} // namespace znr::test
