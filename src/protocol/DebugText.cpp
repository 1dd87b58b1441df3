#include "protocol/DebugText.h"

namespace znr {

namespace {
constexpr char16_t ShownCr = 0x240D; // SYMBOL FOR CARRIAGE RETURN
}

QString debugDisplayText(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue; // the LF after it breaks the line
        text.append(c == '\r' ? QChar(ShownCr) : QChar(QLatin1Char(c)));
    }
    return text;
}

QByteArray debugBytesFromDisplay(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n' || u == QChar::ParagraphSeparator || u == QChar::LineSeparator)
            bytes.append("\r\n");
        else if (u == ShownCr)
            bytes.append('\r');
        else
            bytes.append(u < 256 ? char(u) : '?');
    }
    return bytes;
}

qsizetype debugTrimPoint(const QByteArray& record, qsizetype keep) {
    const qsizetype least = record.size() - keep;
    if (least <= 0)
        return 0;
    const qsizetype lf = record.indexOf('\n', least - 1);
    return lf < 0 ? least : lf + 1;
}

} // namespace znr
