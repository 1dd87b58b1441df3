#pragma once

#include <QtGlobal>

namespace znr {

// One turn of a wait that keeps the program live: runs the pending events, or sleeps until the
// next event arrives or `maxWaitMs` has passed, whichever comes first. Waits built on it never
// spin. Tests hand in a pump that advances a fake clock instead.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void turn(qint64 maxWaitMs) = 0;
};

class QtEventPump final : public EventPump {
public:
    void turn(qint64 maxWaitMs) override;
};

} // namespace znr
