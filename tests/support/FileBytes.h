#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <stdexcept>

namespace znr::test {

// Whole contents of a file as bytes; empty when it does not exist.
inline QByteArray readBytes(const QByteArray& path) {
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool fileExists(const QByteArray& path) {
    return QFile::exists(QFile::decodeName(path));
}

inline void writeBytes(const QByteArray& path, const QByteArray& bytes) {
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

// Names of the files directly in a folder, sorted.
inline QByteArrayList listFiles(const QByteArray& folder) {
    QByteArrayList names;
    const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::System;
    for (const QString& e : QDir(QFile::decodeName(folder)).entryList(files, QDir::Name))
        names.append(QFile::encodeName(e));
    return names;
}

// Contents of a file kept beside the tests (tests/data/...).
inline QByteArray testData(const char* relativePath) {
    QFile f(QString::fromUtf8(ZNR_TEST_DATA_DIR) + u'/' + QString::fromUtf8(relativePath));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("missing test data: ") + relativePath);
    return f.readAll();
}

} // namespace znr::test
