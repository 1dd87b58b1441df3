#pragma once

#include "station/EventPump.h"
#include "support/FakeClock.h"

#include <QCoreApplication>
#include <algorithm>
#include <functional>
#include <map>

namespace znr::test {

// The turns of the program's waits without real waiting: each turn moves the fake clock on by
// at most one step, runs the action scheduled for that turn (a socket connecting, an error, a
// click in the middle of a wait), then delivers the pending Qt events.
class FakePump final : public EventPump {
public:
    explicit FakePump(FakeClock& clock, qint64 stepMs = 100) : clock_(clock), stepMs_(stepMs) {}

    void turn(qint64 maxWaitMs) override {
        ++turns;
        clock_.advanceMs(std::min(maxWaitMs, stepMs_));
        if (const auto it = actions_.find(turns); it != actions_.end()) {
            const std::function<void()> action = std::move(it->second);
            actions_.erase(it);
            action();
        }
        QCoreApplication::processEvents();
    }

    // Runs `action` on the n-th turn from now (1 = the next turn).
    void onTurn(int n, std::function<void()> action) { actions_[turns + n] = std::move(action); }

    int turns = 0;

private:
    FakeClock& clock_;
    qint64 stepMs_;
    std::map<int, std::function<void()>> actions_;
};

} // namespace znr::test
