#include "ExpectedFiles.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace sim {

namespace {

// More seconds than this between sending the end and its ACK8 are not worth a file each.
constexpr qint64 kMaxCandidates = 60;

QByteArray twoDigits(int n) {
    return QByteArray::number(n).rightJustified(2, '0');
}

QByteArray headerLine(const Batch& b, const QDateTime& t) {
    return b.id.left(4) + "," + b.batchCode.right(3) + "," + generalTime(t) + "," +
           QByteArray::number(b.rowCount()) + "," + QByteArray::number(b.codes.size()) + "\r\n";
}

// Reading r of code k, or nothing when the code got fewer readings.
QByteArray cell(const Batch& b, qsizetype k, int r) {
    const auto& values = b.readings[std::size_t(k)];
    return std::size_t(r) < values.size() ? fileValue(values[std::size_t(r)]) : QByteArray();
}

QByteArrayList fileCodes(const Batch& b) {
    QByteArrayList codes;
    for (const QByteArray& c : b.codes)
        codes.append(c.left(2));
    return codes;
}

bool append(const QString& path, const QByteArray& bytes, QString* error) {
    QFile f(path);
    if (f.open(QIODevice::Append) && f.write(bytes) == bytes.size() && f.flush())
        return true;
    *error = path + QStringLiteral(": ") + f.errorString();
    return false;
}

} // namespace

QByteArray fileValue(qint64 tenThousandths) {
    const qint64 magnitude = tenThousandths < 0 ? -tenThousandths : tenThousandths;
    const qint64 thousandths = (magnitude + 5) / 10;
    QByteArray text = QByteArray::number(thousandths / 1000);
    QByteArray fraction = QByteArray::number(thousandths % 1000).rightJustified(3, '0');
    while (fraction.endsWith('0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += "." + fraction;
    return (tenThousandths < 0 && thousandths != 0 ? "-" : "") + text;
}

QByteArray generalTime(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    const int hour12 = h.hour() % 12 == 0 ? 12 : h.hour() % 12;
    return QByteArray::number(d.month()) + "/" + QByteArray::number(d.day()) + "/" +
           QByteArray::number(d.year()) + " " + QByteArray::number(hour12) + ":" +
           twoDigits(h.minute()) + ":" + twoDigits(h.second()) + (h.hour() < 12 ? " AM" : " PM");
}

QByteArray fileStamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    return twoDigits(d.month()) + "-" + twoDigits(d.day()) + "-" + QByteArray::number(d.year()) +
           "-" + twoDigits(h.hour()) + twoDigits(h.minute()) + twoDigits(h.second());
}

QByteArray fileName(const Batch& b, const QDateTime& t) {
    QByteArray id = b.id.left(4);
    for (char& c : id)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f ||
            QByteArray("/\\:*?\"<>|").contains(c))
            c = '_';
    return id + " " + fileStamp(t) + ".dat";
}

QByteArray columnLayout(const Batch& b, const QDateTime& t) {
    QByteArray out = headerLine(b, t) + fileCodes(b).join(',') + "\r\n";
    for (int r = 0; r < b.rowCount(); ++r) {
        QByteArrayList line;
        for (qsizetype k = 0; k < b.codes.size(); ++k)
            line.append(cell(b, k, r));
        out += line.join(',') + "\r\n";
    }
    return out;
}

QByteArray rowLayout(const Batch& b, const QDateTime& t) {
    QByteArray out = headerLine(b, t);
    const QByteArrayList codes = fileCodes(b);
    for (qsizetype k = 0; k < codes.size(); ++k) {
        out += codes[k];
        for (int r = 0; r < b.rowCount(); ++r)
            out += "," + cell(b, k, r);
        out += "\r\n";
    }
    return out;
}

bool writeExpected(const QString& dir, const Batch& b, const QDateTime& before,
                   const QDateTime& after, QString* error) {
    if (b.rowCount() < 1)
        return true;
    const QString column = dir + QStringLiteral("/COLUMN/");
    const QString row = dir + QStringLiteral("/ROW/");
    if (!QDir().mkpath(column) || !QDir().mkpath(row)) {
        *error = dir + QStringLiteral(": cannot create COLUMN and ROW");
        return false;
    }
    const qint64 first = before.toSecsSinceEpoch();
    const qint64 last = std::clamp(after.toSecsSinceEpoch(), first, first + kMaxCandidates - 1);
    for (qint64 s = first; s <= last; ++s) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(s);
        const QString name = QFile::decodeName(fileName(b, t));
        if (!append(column + name, columnLayout(b, t), error) ||
            !append(row + name, rowLayout(b, t), error))
            return false;
    }
    return true;
}

} // namespace sim
