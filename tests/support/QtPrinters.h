#pragma once

#include <QByteArray>
#include <QDateTime>
#include <ostream>

// Readable failure messages: bytes as a C-style escaped string instead of one char per line
// (lists of them print element by element through it).
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"';
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            *os << '\\' << c;
        else if (u >= 32 && u < 127)
            *os << c;
        else
            *os << "\\x"
                << "0123456789abcdef"[u >> 4] << "0123456789abcdef"[u & 15];
    }
    *os << '"';
}

inline void PrintTo(const QDateTime& t, std::ostream* os) {
    *os << t.toString(Qt::ISODateWithMs).toStdString();
}
