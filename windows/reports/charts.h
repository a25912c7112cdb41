#pragma once

#include "money.h"
#include "store.h"

#include <QList>
#include <QString>
#include <functional>

class QChart;
class QChartView;
class QObject;
class QPainter;
class QRectF;
class QWidget;
class Recordset;

// What the report windows draw: the months of a year, the asset position, a ring of shares. Every
// chart uses the program's Song and Kai faces, shows amounts as "#,##0.00" and has a legend.

// One labelled figure: a bar of the position, a slice of a ring.
struct ChartFigure {
    QString name;
    MoneyTotal amount;
};

// One month of the year chart. 结余 is what is left: income less expenses and investments.
using MonthFigures = Store::MonthTotals;

// A chart view as the windows show it: drawn smoothly, read by a screen reader as `accessibleName`.
QChartView* newChartView(const QString& objectName, const QString& accessibleName, QWidget* parent);

// Each replaces what the chart showed. An empty list leaves an empty chart with its title.
// The months as grouped bars of 收入 and 支出, the 结余 as a line over them.
void drawYearChart(QChart* chart, const QString& title, const QList<MonthFigures>& months);
// One bar for each figure, each in the legend with its amount.
void drawPositionChart(QChart* chart, const QString& title, const QList<ChartFigure>& figures);
// A ring of the figures' shares, each slice labelled with its name, amount and share. Figures
// that are not above zero cannot be a slice: they are left out and the title says how many.
void drawRingChart(QChart* chart, const QString& title, const QList<ChartFigure>& figures);

// The totals of `amountField` over every row of `rs`, one per distinct text of `keyField` (an empty
// one named `emptyName`), largest first. Raises DbError at an amount that is no amount.
QList<ChartFigure> totalsBy(const Recordset& rs, int keyField, int amountField, const QString& emptyName);

// What a screen reader is told of a chart that has no table beside it: its title and each figure
// with its amount ("按类型：金额总计 300.00元。伙食 200.00；教育 100.00").
QString chartDescription(const QString& title, const QList<ChartFigure>& figures);

// The percentage one figure takes of the total, as the slices show it ("45.6%").
QString shareText(const MoneyTotal& part, const MoneyTotal& whole);

// Draws a chart made by `fill` into `target` of a painter on paper or PDF, at the paper's
// resolution and with the same faces as on the screen.
void paintChart(QPainter* painter, const QRectF& target, const std::function<void(QChart*)>& fill);

// Calls `redraw` after the recordset's rows changed: opened, reopened or closed, a row changed,
// added or removed, the last slice read. Signals that come together give one redraw, once control
// is back in the event loop.
void followRecordset(Recordset* rs, QObject* context, std::function<void()> redraw);
