#include "Stats.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
QString ms(double v) {
    return QString::number(v, 'f', 3);
}
} // namespace

QString Stats::report() const {
    QString out;
    out += QStringLiteral("frames sent: %1 (resent: %2)\n").arg(framesSent).arg(resent);
    out += QStringLiteral("ACK8 received: %1 (greetings: %2)\n").arg(acks).arg(greetings);
    out += QStringLiteral("NAK8 received: %1\n").arg(naks);
    out += QStringLiteral("batches completed: %1\n").arg(batches);
    if (roundTripsMs.empty())
        return out + QStringLiteral("round trip ms: no samples\n");
    std::vector<double> v = roundTripsMs;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    const double p99 = v[std::size_t(std::ceil(0.99 * double(n))) - 1];
    out += QStringLiteral("round trip ms: min %1 median %2 p99 %3 max %4 (%5 samples)\n")
               .arg(ms(v.front()), ms(median), ms(p99), ms(v.back()))
               .arg(n);
    return out;
}

} // namespace sim
