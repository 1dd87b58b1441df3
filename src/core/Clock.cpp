#include "core/Clock.h"

#include <chrono>

namespace znr {

QDateTime SystemClock::now() const {
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != offsetSecond_) {
        offsetSeconds_ = QDateTime::fromMSecsSinceEpoch(second * 1000).offsetFromUtc();
        offsetSecond_ = second;
    }
    // The same local date and time a local QDateTime of this instant shows.
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offsetSeconds_);
}

qint64 SystemClock::monotonicMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace znr
