#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace znr {

// Where a new window goes beside another one: the frame positions of both.
struct Placement {
    QPoint window;
    QPoint anchor; // moved only to make room
};

// Places a window whose frame is `size` beside the frame `anchor` within `screen`: to its right,
// else below it, else to its left, else above it, the first that fits (sliding along that side
// to stay on the screen). When none fits but the two fit side by side, or one above the other,
// the anchor moves towards the left or top edge just enough to make room on its right or below.
// Otherwise the window goes to the corner of the screen where it covers least of the anchor.
Placement besidePlacement(const QRect& anchor, const QSize& size, const QRect& screen);

// Moves the top-level `window`, not yet shown, beside `anchor` on the anchor's screen, and the
// anchor too when that makes room. The new window's frame is taken to be as thick as the
// anchor's.
void placeBeside(QWidget& window, QWidget& anchor);

} // namespace znr
