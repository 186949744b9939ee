// The keyboard as a user uses it, for tests on the toolkit's offscreen platform: a key goes to the widget
// that has the keyboard focus, and a test's keys for a modal dialog wait until the dialog is up and has
// the keyboard.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

inline void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "nothing has the keyboard";
    QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &up);
}

// Types text into a field key by key (letters, digits, '/', '.'), each key where the keyboard is: the
// field's completion list while it shows (it hands the keys on), else the focused widget.
inline void TypeInto(QLineEdit& field, const QString& text) {
    for (QChar ch : text) {
        const int key = ch.isLetter() ? Qt::Key_A + (ch.toUpper().unicode() - 'A')
                        : ch == '/'   ? Qt::Key_Slash
                        : ch == '.'   ? Qt::Key_Period
                        : ch == ' '   ? Qt::Key_Space
                                      : Qt::Key_0 + (ch.unicode() - '0');
        QWidget* popup = field.completer() ? field.completer()->popup() : nullptr;
        QWidget* target = popup && popup->isVisible() ? popup : QApplication::focusWidget();
        ASSERT_NE(target, nullptr) << "nothing has the keyboard";
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &down);
        QCoreApplication::processEvents(); // the completer follows the text
    }
}

// The completion list closed, as a click beside it closes it.
inline void CloseCompletion(QLineEdit& field) {
    if (QWidget* popup = field.completer() ? field.completer()->popup() : nullptr)
        popup->hide();
}

// Runs `act` from the toolkit's loop once a modal dialog (of the toolkit class `kind`, when given) is up
// and the keyboard is in it.
inline void WhenModal(std::function<void(QWidget* dialog)> act, const char* kind = nullptr) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, kind, poll] {
        QWidget* modal = QApplication::activeModalWidget();
        QWidget* focus = QApplication::focusWidget();
        if (modal && focus && modal->isAncestorOf(focus) && (!kind || modal->inherits(kind))) {
            act(modal);
            *poll = nullptr; // the poll lets go of itself
            return;
        }
        QTimer::singleShot(5, [poll] {
            if (*poll)
                (*poll)();
        });
    };
    QTimer::singleShot(0, [poll] { (*poll)(); });
}
