#pragma once

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <vector>

namespace znr::test {

// Settings whose file and error log live in a fresh folder.
struct ConfigFixture : ::testing::Test {
    TempDir dir;
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    QByteArray iniPath = dir.path("ZNRExtractor.ini");

    void SetUp() override {
        s.IniFilePath = QFile::decodeName(iniPath);
        s.ErrorLogFolder = dir.sub("log");
    }
    QByteArray ini() const { return readBytes(iniPath); }
    QByteArray logText() const { return readBytes(s.ErrorLogFolder + "ZNRError.log"); }
    void clearLog() const { QFile::remove(QFile::decodeName(s.ErrorLogFolder + "ZNRError.log")); }
};

// A field of a case table: \r \n \t \\ and \xHH stand for their bytes.
inline QByteArray unescaped(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        if (c == 'x') {
            out += char(field.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

// The rows of a case table kept in tests/data: one case a line, fields split at '|', lines
// that are empty or start with '#' skipped.
inline std::vector<QByteArrayList> caseTable(const char* relativePath) {
    std::vector<QByteArrayList> rows;
    for (const QByteArray& line : testData(relativePath).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QByteArrayList fields;
        for (const QByteArray& field : line.split('|'))
            fields.append(unescaped(field));
        rows.push_back(fields);
    }
    return rows;
}

} // namespace znr::test
