#pragma once

#include <QDateTime>

namespace znr {

// Time for the logic: local wall time for the texts it writes, a monotonic count for deadlines.
// Tests hand in a fake that they advance themselves.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;      // local wall time
    virtual qint64 monotonicMs() const = 0; // never goes back; for deadlines only
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    qint64 monotonicMs() const override;
};

} // namespace znr
