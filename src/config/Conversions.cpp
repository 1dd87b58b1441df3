#include "config/Conversions.h"

#include "config/IniText.h"
#include "core/Characters.h"
#include "core/Failure.h"

#include <algorithm>

namespace znr {

namespace {

// Beyond this the exact size no longer matters: every range checked here is far smaller.
constexpr qint64 Saturated = 1'000'000'000;

// The number a text begins with, already rounded, and how far it reached.
struct Scan {
    qint64 value = 0;       // rounded; saturated at +-Saturated
    bool hasDigits = false; // a number was found
    bool nonZero = false;   // some digit, before or after the point, is not 0
    qsizetype end = 0;      // index of the first character not part of the number
};

Scan scanNumber(const QByteArray& text) {
    Scan s;
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i]))
            ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool inFraction = false;
    int firstFraction = -1;   // first digit after the point
    bool restNonZero = false; // any non-zero digit after that one
    for (skipBlanks(); i < text.size(); skipBlanks()) {
        const char c = text[i];
        if (c == '.' && !inFraction) {
            inFraction = true;
        } else if (isDigit(c)) {
            const int d = c - '0';
            s.hasDigits = true;
            s.nonZero = s.nonZero || d != 0;
            if (!inFraction)
                s.value = std::min(s.value * 10 + d, Saturated);
            else if (firstFraction < 0)
                firstFraction = d;
            else
                restNonZero = restNonZero || d != 0;
        } else {
            break;
        }
        ++i;
        s.end = i;
    }
    const bool roundUp = firstFraction > 5 || (firstFraction == 5 && restNonZero) ||
                         (firstFraction == 5 && s.value % 2 == 1);
    if (roundUp)
        s.value = std::min(s.value + 1, Saturated);
    if (negative)
        s.value = -s.value;
    if (!s.hasDigits)
        s.value = 0;
    return s;
}

qint16 checked16(qint64 value) {
    if (value < -32768 || value > 32767)
        throw Failure::overflow();
    return qint16(value);
}

// The scan of a text that must be a number from end to end.
Scan wholeNumber(const QByteArray& text) {
    const QByteArray trimmed = trimBlanks(text);
    const Scan s = scanNumber(trimmed);
    if (!s.hasDigits || s.end != trimmed.size())
        throw Failure::typeMismatch();
    return s;
}

} // namespace

qint16 textToNumber(const QByteArray& text) {
    return checked16(scanNumber(text).value);
}

quint16 textToPort(const QByteArray& text) {
    const qint64 value = scanNumber(text).value;
    if (value < 0 || value > 65535)
        throw Failure::overflow();
    return quint16(value);
}

qint16 textToInteger(const QByteArray& text) {
    return checked16(wholeNumber(text).value);
}

quint16 textToWholePort(const QByteArray& text) {
    const qint64 value = wholeNumber(text).value;
    if (value < 0 || value > 65535)
        throw Failure::overflow();
    return quint16(value);
}

bool textToBoolean(const QByteArray& text) {
    const QByteArray trimmed = trimBlanks(text);
    if (sameName(trimmed, "True"))
        return true;
    if (sameName(trimmed, "False"))
        return false;
    return wholeNumber(trimmed).nonZero;
}

QByteArray numberToText(int value) {
    const QByteArray digits = QByteArray::number(value);
    return value < 0 ? digits : ' ' + digits;
}

QByteArray booleanToText(bool value) {
    return value ? "True" : "False";
}

} // namespace znr
