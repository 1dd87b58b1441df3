#include "link/Link.h"

#include <QMetaObject>

namespace znr {

void Link::raise(std::function<void()> emitFn) {
    if (inOperation_ == 0) {
        emitFn();
        return;
    }
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation, fn = std::move(emitFn)] {
            if (generation == generation_)
                fn();
        },
        Qt::QueuedConnection);
}

} // namespace znr
