#pragma once

#include "core/Clock.h"

namespace znr::test {

// A clock the test moves: wall time and monotonic time advance together.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2012, 5, 1), QTime(10, 15, 30)))
        : wall_(std::move(start)) {}

    QDateTime now() const override { return wall_; }
    qint64 monotonicMs() const override { return mono_; }

    void advanceMs(qint64 ms) {
        wall_ = wall_.addMSecs(ms);
        mono_ += ms;
    }
    void setWall(const QDateTime& t) { wall_ = t; }

private:
    QDateTime wall_;
    qint64 mono_ = 1'000'000;
};

} // namespace znr::test
