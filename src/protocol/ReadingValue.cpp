#include "protocol/ReadingValue.h"

#include "core/Characters.h"
#include "core/Failure.h"

#include <charconv>

namespace znr {

double readingValue(const QByteArray& field) {
    const QByteArray text = field.left(8);
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && isBlank(text[i]))
        ++i;
    while (end > i && isBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    qint64 whole = 0; // at most 8 digits
    int digits = 0;
    for (; i < end && isDigit(text[i]); ++i, ++digits)
        whole = whole * 10 + (text[i] - '0');
    int thousandths = 0;
    int fractionDigits = 0;
    bool roundUp = false;
    if (i < end && text[i] == '.') {
        for (++i; i < end && isDigit(text[i]); ++i, ++digits, ++fractionDigits) {
            if (fractionDigits < 3)
                thousandths = thousandths * 10 + (text[i] - '0');
            else if (fractionDigits == 3)
                roundUp = text[i] >= '5';
        }
    }
    if (i != end || digits == 0)
        throw Failure::typeMismatch();
    for (int f = fractionDigits; f < 3; ++f)
        thousandths *= 10;

    const qint64 magnitude = whole * 1000 + thousandths + (roundUp ? 1 : 0);
    if (magnitude == 0)
        return 0.0;
    // Both operands are exact, so the quotient is the double nearest to the decimal value.
    const double value = double(magnitude) / 1000.0;
    return negative ? -value : value;
}

QByteArray readingText(double value) {
    if (value == 0.0)
        return "0";
    char buf[1100]; // room for any double in plain form
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc())
        return QByteArray::number(value, 'g', 17);
    return QByteArray(buf, end - buf);
}

} // namespace znr
