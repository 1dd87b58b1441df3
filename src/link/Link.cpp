#include "link/Link.h"

#include <QMetaObject>

namespace znr {

void Link::raiseLater(std::function<void()> emitFn) {
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
