#pragma once

#include "charts.h"
#include "printedreport.h"
#include "recordset.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class DataGrid;
class LedgerQuery;
class QBoxLayout;
class QChartView;
class QComboBox;

// The ring chart of a query window's listed records: their totals by type or by member, each slice
// with its amount and share. It stays open beside its query and follows it: after 执行, or a
// correction of a listed record, it redraws.
class QueryChart : public QDialog {
    Q_OBJECT
public:
    QueryChart(const QString& queryTitle, Recordset* rs, QWidget* parent);

    // 0: by type (the default), 1: by member.
    int grouping() const;
    // What the ring shows, as drawn last.
    const QList<ChartFigure>& figures() const { return figures_; }
    // The listed records' totals for a grouping; DbError at an amount that is none.
    static QList<ChartFigure> totals(const Recordset* rs, int grouping);
    static QString title(int grouping, const QList<ChartFigure>& figures);

private:
    void redraw();

    QPointer<Recordset> rs_;
    QComboBox* chartGroupingBox = nullptr;
    QChartView* chart = nullptr;
    QList<ChartFigure> figures_;
};

// Adds to a query window the buttons 图表 (where it shows a total), 打印… and 导出PDF…, in a row at
// the end of `layout`.
void addQueryOutputs(LedgerQuery* window, QBoxLayout* layout);
