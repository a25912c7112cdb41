#pragma once

#include "shell/ui.h"
#include "support/testsupport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QKeyEvent>
#include <QStringList>
#include <algorithm>

// What a grid shows, one row per line, the cells joined with '|'.
inline QStringList gridRows(const QTableView* grid)
{
    QStringList out;
    const QAbstractItemModel* m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->index(r, c).data().toString();
        out << cells.join(u'|');
    }
    return out;
}

// The grid's header texts.
inline QStringList gridHeaders(const QTableView* grid)
{
    QStringList out;
    const QAbstractItemModel* m = grid->model();
    for (int c = 0; c < m->columnCount(); ++c)
        out << m->headerData(c, Qt::Horizontal).toString();
    return out;
}

inline QStringList sorted(QStringList l)
{
    std::sort(l.begin(), l.end());
    return l;
}

// The first cell of every row, in the grid's order.
inline QStringList firstColumn(const QStringList& rows)
{
    QStringList out;
    for (const QString& r : rows)
        out << r.section(u'|', 0, 0);
    return out;
}

// Clicks `button` of `w` and, in the lookup picker it opens, selects the row whose ID is `id` and
// presses " 确认 ".
inline void pickId(QWidget* w, const QString& button, const QString& id)
{
    whenModal([id](QDialog* d) {
        auto* fg = d->findChild<QTableView*>(QStringLiteral("FG"));
        ASSERT_NE(fg, nullptr);
        int row = -1;
        for (int r = 0; r < fg->model()->rowCount(); ++r)
            if (fg->model()->index(r, 0).data().toString() == id)
                row = r;
        EXPECT_GE(row, 0) << "no row " << id.toStdString() << " in the picker";
        if (row >= 0)
            fg->selectRow(row);
        click(d, QStringLiteral("ok"));
    });
    click(w, button);
}

// Types any text (Chinese too) into `w`, one key press per character, as an input method hands it over.
inline void typeText(QWidget* w, const QString& text)
{
    w->setFocus();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}
