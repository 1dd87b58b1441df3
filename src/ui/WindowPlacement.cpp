#include "ui/WindowPlacement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace znr {

QPoint besidePosition(const QRect& anchor, const QSize& size, const QRect& screen) {
    const int gap = 4;
    const QPoint candidates[] = {
        {anchor.right() + 1 + gap, anchor.top()},
        {anchor.left(), anchor.bottom() + 1 + gap},
        {anchor.left() - gap - size.width(), anchor.top()},
        {anchor.left(), anchor.top() - gap - size.height()},
    };
    for (const QPoint& at : candidates)
        if (screen.contains(QRect(at, size)))
            return at;
    const QPoint right = candidates[0];
    return {std::max(screen.left(), std::min(right.x(), screen.right() + 1 - size.width())),
            std::max(screen.top(), std::min(right.y(), screen.bottom() + 1 - size.height()))};
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
