#include "Batch.h"

#include <algorithm>

namespace sim {

namespace {

// splitmix64: small, fast, and the same everywhere (std distributions are not).
class Rng {
public:
    explicit Rng(quint64 seed) : state_(seed) {}
    quint64 next() {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    quint64 state_;
};

// Mostly 0.0000..99.9999; one value in eight is negative, -1.0000..-9.9999.
qint64 reading(Rng& rng) {
    if (rng.next() % 8 == 0)
        return -qint64(10'000 + rng.next() % 90'000);
    return qint64(rng.next() % 1'000'000);
}

QByteArray istPayload(const SimOptions& o) {
    return o.mode + ",a,b," + o.id + ",x";
}

QByteArray endFrame(const SimOptions& o) {
    return o.end == "ERR" ? makeFrame("ERR", "A2CD,E17") : makeFrame("ENB", "0");
}

void addRunReadings(const SimOptions& o, Rng& rng, Batch& b) {
    b.frames.append(makeFrame("STB", o.batchCode + "," + o.codes.join(',')));
    b.readings.assign(o.codes.size(), {});
    for (int r = 0; r < o.rows; ++r) {
        QByteArray payload = QByteArray::number(r + 1);
        for (auto& values : b.readings) {
            values.push_back(reading(rng));
            payload += "," + wireValue(values.back());
        }
        if (b.lateFrame < 0)
            b.lateFrame = int(b.frames.size());
        b.frames.append(makeFrame("DAT", payload));
    }
}

void addCalCheckReadings(const SimOptions& o, Rng& rng, Batch& b) {
    for (qsizetype k = 0; k < o.codes.size(); ++k) {
        b.frames.append(makeFrame("STB", o.batchCode + "," + o.codes[k]));
        std::vector<qint64>& values = b.readings.emplace_back();
        const int count = o.rows == 0 ? 0 : std::max(1, o.rows - int(k));
        for (int r = 0; r < count; ++r) {
            values.push_back(reading(rng));
            if (b.lateFrame < 0)
                b.lateFrame = int(b.frames.size());
            b.frames.append(
                makeFrame("DAT", QByteArray::number(r + 1) + "," + wireValue(values.back())));
        }
    }
}

} // namespace

int Batch::rowCount() const {
    std::size_t most = 0;
    for (const auto& values : readings)
        most = std::max(most, values.size());
    return int(most);
}

QByteArray makeFrame(const char* type, const QByteArray& payload) {
    QByteArray f;
    f += SOH;
    f += '1';
    f += type;
    f += STX;
    f += payload;
    f += ETX;
    f += EOT;
    return f;
}

QByteArray wireValue(qint64 tenThousandths) {
    const qint64 magnitude = tenThousandths < 0 ? -tenThousandths : tenThousandths;
    QByteArray fraction = QByteArray::number(magnitude % 10'000).rightJustified(4, '0');
    return (tenThousandths < 0 ? "-" : "") + QByteArray::number(magnitude / 10'000) + "." +
           fraction;
}

Batch makeBatch(const SimOptions& o, int number) {
    Rng rng(o.seed * 1'000'003ull + quint64(number));
    Batch b;
    b.mode = o.mode;
    b.id = o.id;
    b.batchCode = o.batchCode;
    b.codes = o.codes;
    b.frames.append(makeFrame("IST", istPayload(o)));
    if (o.calCheck())
        addCalCheckReadings(o, rng, b);
    else
        addRunReadings(o, rng, b);
    if (b.lateFrame < 0)
        b.lateFrame = 1; // no DAT: the (first) STB
    b.frames.append(endFrame(o));
    return b;
}

} // namespace sim
