#pragma once

// What the grid tests share: a window as the menu creates it, and its grid used with the mouse.
#include "shell/datagrid.h"
#include "support/testsupport.h"

#include <QHeaderView>
#include <memory>

inline std::unique_ptr<QDialog> openWindow(const char* name)
{
    std::unique_ptr<QDialog> w(App::createWindow(QLatin1String(name), nullptr));
    w->show();
    return w;
}

inline DataGrid* gridOf(QDialog* w)
{
    return w->findChild<DataGrid*>();
}

inline void clickHeader(DataGrid* g, int column)
{
    QHeaderView* h = g->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2));
}

// One column of the grid as shown, top to bottom.
inline QStringList columnOf(DataGrid* g, int c)
{
    QStringList out;
    for (const QString& r : gridRows(g))
        out << r.section(u'|', c, c);
    return out;
}
