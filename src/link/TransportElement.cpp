#include "link/TransportElement.h"

#include <QMetaObject>

namespace znr {

void TransportElement::raise(std::function<void()> emitFn) {
    if (inOperation_ == 0) {
        emitNow(emitFn);
        return;
    }
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation, fn = std::move(emitFn)] {
            if (generation == generation_)
                emitNow(fn);
        },
        Qt::QueuedConnection);
}

void TransportElement::emitNow(const std::function<void()>& emitFn) {
    ++emitting_;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{emitting_};
    emitFn();
}

} // namespace znr
