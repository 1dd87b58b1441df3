#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <functional>

namespace znr {

// A caption or picture that acts on a click: the left button released over it.
class ClickableLabel final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        QLabel::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onClick)
            onClick();
    }
};

} // namespace znr
