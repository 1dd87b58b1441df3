#include "ui/WindowPlacement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace znr {

QPoint besidePosition(const QRect& anchor, const QSize& size, const QRect& screen) {
    const int gap = 4;
    // Along the anchor's side the window slides back onto the screen where it can.
    const auto onScreenX = [&](int x) {
        return std::max(screen.left(), std::min(x, screen.right() + 1 - size.width()));
    };
    const auto onScreenY = [&](int y) {
        return std::max(screen.top(), std::min(y, screen.bottom() + 1 - size.height()));
    };
    const QPoint right(anchor.right() + 1 + gap, onScreenY(anchor.top()));
    const QPoint candidates[] = {
        right,
        {onScreenX(anchor.left()), anchor.bottom() + 1 + gap},
        {anchor.left() - gap - size.width(), onScreenY(anchor.top())},
        {onScreenX(anchor.left()), anchor.top() - gap - size.height()},
    };
    for (const QPoint& at : candidates)
        if (screen.contains(QRect(at, size)))
            return at;
    return {onScreenX(right.x()), right.y()};
}

void placeBeside(QWidget& window, const QWidget& anchor) {
    const QScreen* screen = anchor.screen();
    if (!screen)
        return;
    const QSize frame = anchor.frameGeometry().size() - anchor.size();
    window.move(
        besidePosition(anchor.frameGeometry(), window.size() + frame, screen->availableGeometry()));
}

} // namespace znr
