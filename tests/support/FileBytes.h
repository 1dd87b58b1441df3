#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace znr::test {

// Whole contents of a file as bytes; empty when it does not exist.
QByteArray readBytes(const QByteArray& path);
bool fileExists(const QByteArray& path);
void writeBytes(const QByteArray& path, const QByteArray& bytes);
// Names of the files directly in a folder, sorted.
QByteArrayList listFiles(const QByteArray& folder);
// Contents of a file kept beside the tests (tests/data/...).
QByteArray testData(const char* relativePath);

} // namespace znr::test
