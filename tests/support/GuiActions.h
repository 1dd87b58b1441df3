#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace znr::test {

// What a user does to a real widget, delivered as the events the platform would send.

inline void click(QWidget* w) {
    const QPointF at = QRectF(w->rect()).center();
    const QPointF global = w->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
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
