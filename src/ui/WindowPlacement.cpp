#include "ui/WindowPlacement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace znr {
namespace {

constexpr int Gap = 4;

// The corner of `screen` where a window of `size` covers least of `anchor`.
QPoint leastCoveringCorner(const QRect& anchor, const QSize& size, const QRect& screen) {
    const int right = screen.right() + 1 - size.width();
    const int bottom = screen.bottom() + 1 - size.height();
    const QPoint corners[] = {{right, screen.top()},
                              {right, bottom},
                              {screen.left(), bottom},
                              {screen.left(), screen.top()}};
    const auto covered = [&](const QPoint& at) {
        const QRect common = anchor.intersected(QRect(at, size));
        return qint64(common.width()) * common.height();
    };
    return *std::min_element(
        std::begin(corners), std::end(corners),
        [&](const QPoint& a, const QPoint& b) { return covered(a) < covered(b); });
}

} // namespace

Placement besidePlacement(const QRect& anchor, const QSize& size, const QRect& screen) {
    const auto onScreenX = [&](int x) {
        return std::max(screen.left(), std::min(x, screen.right() + 1 - size.width()));
    };
    const auto onScreenY = [&](int y) {
        return std::max(screen.top(), std::min(y, screen.bottom() + 1 - size.height()));
    };
    const auto rightOf = [&](const QRect& a) {
        return QPoint(a.right() + 1 + Gap, onScreenY(a.top()));
    };
    const auto below = [&](const QRect& a) {
        return QPoint(onScreenX(a.left()), a.bottom() + 1 + Gap);
    };
    const auto fits = [&](const QPoint& at) { return screen.contains(QRect(at, size)); };

    const QPoint sides[] = {rightOf(anchor),
                            below(anchor),
                            {anchor.left() - Gap - size.width(), onScreenY(anchor.top())},
                            {onScreenX(anchor.left()), anchor.top() - Gap - size.height()}};
    for (const QPoint& at : sides)
        if (fits(at))
            return {at, anchor.topLeft()};
    const QRect toLeft = anchor.translated(
        screen.right() + 1 - size.width() - Gap - anchor.width() - anchor.left(), 0);
    if (toLeft.left() >= screen.left() && fits(rightOf(toLeft)))
        return {rightOf(toLeft), toLeft.topLeft()};
    const QRect toTop = anchor.translated(0, screen.bottom() + 1 - size.height() - Gap -
                                                 anchor.height() - anchor.top());
    if (toTop.top() >= screen.top() && fits(below(toTop)))
        return {below(toTop), toTop.topLeft()};
    return {leastCoveringCorner(anchor, size, screen), anchor.topLeft()};
}

void placeBeside(QWidget& window, QWidget& anchor) {
    const QScreen* screen = anchor.screen();
    if (!screen)
        return;
    const QRect frame = anchor.frameGeometry();
    const Placement placed = besidePlacement(frame, window.size() + (frame.size() - anchor.size()),
                                             screen->availableGeometry());
    if (placed.anchor != frame.topLeft())
        anchor.move(placed.anchor);
    window.move(placed.window);
}

} // namespace znr
