#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace znr {

// Where a window whose frame is `size` goes beside the frame `anchor` within `screen`: to its
// right, else below it, else to its left, else above it, the first that fits (sliding along that
// side to stay on the screen); when none does, to its right, pushed back onto the screen.
QPoint besidePosition(const QRect& anchor, const QSize& size, const QRect& screen);

// Moves the top-level `window`, not yet shown, beside `anchor` on the anchor's screen. The new
// window's frame is taken to be as thick as the anchor's.
void placeBeside(QWidget& window, const QWidget& anchor);

} // namespace znr
