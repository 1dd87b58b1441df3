#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <optional>

namespace znr::test {

// What a user does to a real widget, delivered as the events the platform would send.

// A left-button press or release at `at` in `w`'s coordinates.
inline void mouseButton(QWidget* w, QEvent::Type type, QPointF at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A click at `at`, by default the centre of `w`.
inline void click(QWidget* w, std::optional<QPointF> at = std::nullopt) {
    const QPointF point = at.value_or(QRectF(w->rect()).center());
    mouseButton(w, QEvent::MouseButtonPress, point);
    mouseButton(w, QEvent::MouseButtonRelease, point);
}

// One key typed into `w`; `text` is the character it produces (empty for moving keys).
inline void typeKey(QWidget* w, int key, const QString& text = QString(),
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(w, &release);
}

inline void typeText(QWidget* w, const QString& text) {
    for (const QChar c : text)
        typeKey(w, c.toUpper().unicode(), QString(c));
}

// Makes `w`'s window the active one and moves the keyboard focus into `w`, as a click would.
inline void giveFocus(QWidget* w) {
    QWidget* window = w->window();
    window->activateWindow();
    QApplication::processEvents();
    w->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
}

// Runs the deletions windows asked for when they closed.
inline void runDeferredDeletes() {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace znr::test
