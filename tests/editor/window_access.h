#pragma once

// Finds the window's controls by name, the way tools and tests see them.

#include "main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

inline QLineEdit* box(QWidget* w, const char* name)
{
    auto* found = w->findChild<QLineEdit*>(name);
    if (!found)
        qFatal("no text box %s", name);
    return found;
}

inline QComboBox* combo(QWidget* w, const char* name)
{
    auto* found = w->findChild<QComboBox*>(name);
    if (!found)
        qFatal("no combo box %s", name);
    return found;
}

inline QRadioButton* option(QWidget* w, int index)
{
    for (auto* o : w->findChildren<QRadioButton*>("optLv"))
        if (o->property("Index").toInt() == index)
            return o;
    qFatal("no level option %d", index);
}

// Types into a text box the way a user does: focus, select all, keys.
inline void typeInto(QWidget* w, const char* name, const QString& text)
{
    QLineEdit* b = box(w, name);
    b->setFocus();
    b->selectAll();
    if (text.isEmpty())
        QTest::keyClick(b, Qt::Key_Delete);
    for (qsizetype i = 0; i < text.size(); ++i) {
        // QTest only types Latin-1; other characters arrive as key events
        // carrying text, a surrogate pair as one character.
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString ch = text.mid(i, length);
        i += length - 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, ch);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, ch);
        QApplication::sendEvent(b, &press);
        QApplication::sendEvent(b, &release);
    }
}
