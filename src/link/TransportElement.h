#pragma once

#include <QObject>
#include <functional>

namespace znr {

// What every transport element (socket or serial port) shares: the connection index it belongs
// to, and a safe way to raise its events.
//
// Events are raised directly when they come from the event loop. An event that arises inside one
// of the element's own operations (a refused connect noticed inside Connect, a broken pipe found
// by SendData) is raised from the event loop instead, after the operation has returned, so that a
// handler never runs in the middle of the caller's step. Such a late event is dropped when the
// element was closed or reconnected in between.
class TransportElement : public QObject {
    Q_OBJECT
public:
    explicit TransportElement(int index) : index_(index) {}

    int index() const { return index_; }

    // True while one of this element's events is being handled. An element must not be deleted
    // then; ElementSet::destroy defers the deletion in that case.
    bool inEmission() const { return emitting_ > 0; }

    // Stops the element for good before it is thrown away: closes it without raising events and
    // cuts every connection to its signals.
    virtual void retire() = 0;

protected:
    // Raises one event: `emitFn` emits the signal.
    void raise(std::function<void()> emitFn);

    // Marks a stretch where the element runs one of its own operations.
    class OperationScope {
    public:
        explicit OperationScope(TransportElement& e) : e_(e) { ++e_.inOperation_; }
        ~OperationScope() { --e_.inOperation_; }
        OperationScope(const OperationScope&) = delete;
        OperationScope& operator=(const OperationScope&) = delete;

    private:
        TransportElement& e_;
    };

    // A new connection or a close: events still pending from before it are stale.
    void startNewGeneration() { ++generation_; }

private:
    void emitNow(const std::function<void()>& emitFn);

    int index_;
    int emitting_ = 0;
    int inOperation_ = 0;
    quint64 generation_ = 0;
};

} // namespace znr
