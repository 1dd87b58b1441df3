#include "SoakPlan.h"

#include <QRandomGenerator>

namespace soak {

namespace {

QString latin1(const QByteArray& b) {
    return QString::fromLatin1(b);
}

QString number(int n) {
    return QString::number(n);
}

const char* const kModes[] = {"RUN MODE", "CAL. CHECK", "FAST MODE", "RUN MODE"};
const char* const kCodeSets[] = {"W1,D1", "A1,B2,C3", "W1", "T1,T2,T3,T4"};

} // namespace

QByteArray InstrumentSpec::rawPrefix() const {
    return id + "_" + batchCode.right(3) + "_";
}

int InstrumentSpec::datFrames() const {
    if (mode != "CAL. CHECK")
        return rows;
    int frames = 0;
    for (int k = 0; k < codes.size(); ++k)
        frames += std::max(1, rows - k);
    return frames;
}

QByteArray InstrumentSpec::endLine() const {
    return endsWithErr ? "<RECIVED><SOH>1ERR<STX>A2CD,E17<ETX><EOT>"
                       : "<RECIVED><SOH>1ENB<STX>0<ETX><EOT>";
}

QStringList InstrumentSpec::arguments() const {
    QStringList a{
        QStringLiteral("--id"),         latin1(id),
        QStringLiteral("--mode"),       latin1(mode),
        QStringLiteral("--batch-code"), latin1(batchCode),
        QStringLiteral("--codes"),      latin1(codes.join(',')),
        QStringLiteral("--rows"),       number(rows),
        QStringLiteral("--batches"),    QStringLiteral("0"),
        QStringLiteral("--interval"),   number(intervalMs),
        QStringLiteral("--end"),        endsWithErr ? QStringLiteral("ERR") : QStringLiteral("ENB"),
        QStringLiteral("--fragment"),   number(fragments),
        QStringLiteral("--gap"),        number(gapMs)};
    if (lateMs > 0)
        a << QStringLiteral("--late") << number(lateMs);
    if (burst)
        a << QStringLiteral("--burst");
    return a << QStringLiteral("--verbose");
}

QList<InstrumentSpec> tcpInstruments(quint64 seed) {
    QRandomGenerator rng(quint32(seed ^ (seed >> 32)));
    QList<InstrumentSpec> list;
    for (int i = 0; i < 50; ++i) {
        InstrumentSpec s;
        s.name = "t" + QByteArray::number(i).rightJustified(2, '0');
        s.id = "T" + QByteArray::number(i).rightJustified(3, '0');
        s.mode = kModes[i % 4];
        // Every fourth instrument is a RUN MODE one with the check-rod code: its files go to
        // Check Rods.
        s.batchCode =
            i % 4 == 3 ? QByteArray("X") + kCheckRodId : "B" + QByteArray::number(100 + i);
        s.codes = QByteArray(kCodeSets[(i / 4) % 4]).split(',');
        s.rows = 1 + i % 5;
        s.intervalMs = 3000 + int(rng.bounded(5000));
        s.endsWithErr = i % 6 == 1;
        if (i % 10 == 5) {
            s.lateMs = 5300; // past the 5-second deadline: NAK8, then the frame again
            s.gapMs = 200;
        } else if (i % 10 == 7) {
            s.burst = true;
        }
        if (i % 3 == 0 && !s.burst) { // random fragmentation
            s.fragments = std::max(s.fragments, 2 + int(rng.bounded(4)));
            s.gapMs = std::max(s.gapMs, int(rng.bounded(40)));
        }
        list.append(s);
    }
    return list;
}

QList<InstrumentSpec> serialInstruments() {
    QList<InstrumentSpec> list;
    for (int i = 0; i < 4; ++i) {
        InstrumentSpec s;
        s.name = "s" + QByteArray::number(i);
        s.id = "S" + QByteArray::number(i).rightJustified(3, '0');
        s.mode = kModes[i];
        s.batchCode = i == 3 ? QByteArray("X") + kCheckRodId : "C" + QByteArray::number(200 + i);
        s.codes = QByteArray(kCodeSets[i]).split(',');
        s.rows = 2 + i;
        s.intervalMs = 2500 + 500 * i;
        s.endsWithErr = i == 2;
        s.fragments = i == 1 ? 3 : 1;
        s.gapMs = i == 1 ? 20 : 0;
        s.comPort = 3 + i;
        list.append(s);
    }
    return list;
}

} // namespace soak
