#pragma once

#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QKeyEvent>
#include <QToolBar>

// Helpers shared by the tests of the entry forms, the picker, the bank ledger and the debts window.

// Answers the next picker: selects `row` with the mouse (or leaves the selection when row < 0) and
// presses " 确认 ".
inline void answerPicker(int row)
{
    whenModal([row](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("frmFind"));
        if (auto* fg = d->findChild<QTableView*>(QStringLiteral("FG")); fg && row >= 0) {
            const QRect r = fg->visualRect(fg->model()->index(row, 0));
            QTest::mouseClick(fg->viewport(), Qt::LeftButton, {}, r.center());
        }
        click(d, QStringLiteral("ok"));
        if (d->isVisible())
            d->reject();
    });
}

// Answers the next picker with " 取消 " (or the close box).
inline void cancelPicker(bool closeBox = false)
{
    whenModal([closeBox](QDialog* d) {
        if (closeBox)
            d->close();
        else
            click(d, QStringLiteral("cancel"));
        if (d->isVisible())
            d->reject();
    });
}

// Types any text, Chinese included, one key press per character (QTest::keyClicks knows ASCII only).
inline void typeText(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(w, c.toLatin1());
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

inline QString labelText(QWidget* w, const QString& name)
{
    auto* l = child<QLabel>(w, name);
    return l ? l->text() : QString();
}

inline QString boxText(QWidget* w, const QString& name)
{
    auto* e = child<QLineEdit>(w, name);
    return e ? e->text() : QString();
}

inline bool actionEnabled(QWidget* w, const QString& key)
{
    auto* bar = child<QToolBar>(w, QStringLiteral("Toolbar1"));
    for (QAction* a : bar->actions())
        if (a->objectName() == key)
            return a->isEnabled();
    ADD_FAILURE() << "no action " << key.toStdString();
    return false;
}

inline void selectGridRow(QWidget* w, const QString& grid, int row)
{
    auto* fg = child<QTableView>(w, grid);
    const QRect r = fg->visualRect(fg->model()->index(row, 0));
    QTest::mouseClick(fg->viewport(), Qt::LeftButton, {}, r.center());
}

// Shows a window and makes it the active one, so that focus moves behave as for a person.
inline void showActive(QWidget* w)
{
    w->show();
    QApplication::setActiveWindow(w);
    w->activateWindow();
    (void)QTest::qWaitForWindowActive(w, 1000);
}
