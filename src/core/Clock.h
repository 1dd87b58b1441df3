#pragma once

#include <QDateTime>
#include <limits>

namespace znr {

// Time for the logic: local wall time for the texts it writes, a monotonic count for deadlines.
// Tests hand in a fake that they advance themselves.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;      // local wall time
    virtual qint64 monotonicMs() const = 0; // never goes back; for deadlines only
};

// The system's clocks. now() is asked for on every frame; the local offset from UTC changes only
// on whole seconds, so it is looked up (a time-zone conversion, which also checks the system's
// time-zone file) once per second and reused within that second.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    qint64 monotonicMs() const override;

private:
    mutable qint64 offsetSecond_ = std::numeric_limits<qint64>::min(); // UTC second looked up
    mutable int offsetSeconds_ = 0; // local offset from UTC in that second
};

} // namespace znr
