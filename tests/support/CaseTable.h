#pragma once

#include "support/FileBytes.h"

#include <QByteArrayList>
#include <vector>

namespace znr::test {

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
