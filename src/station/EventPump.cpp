#include "station/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace znr {

void QtEventPump::turn(qint64 maxWaitMs) {
    // The timer only exists to wake the sleeping event loop at the deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(int(std::clamp<qint64>(maxWaitMs, 0, 60000)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace znr
