#pragma once

#include "charts.h"
#include "printedreport.h"
#include "recordset.h"
#include "datagrid.h"
#include "datawindow.h"

class QChartView;
class QComboBox;
class QLabel;
class QPushButton;

// The month-by-month totals of income, expenses and investments of a year, each added up exactly
// from the year's records. Under
// the grid the year's totals and what is left (结余); beside it the months as a chart.
class YearSummary : public DataWindow {
    Q_OBJECT
public:
    explicit YearSummary(QWidget* parent = nullptr);
    ~YearSummary() override;

    // The year chosen in cboYear.
    int year() const;
    // The months shown, read from the grid's rows; raises DbError for an amount that is none.
    QList<MonthFigures> months() const;

private:
    void summarise();
    void doNow();
    void fillYears();
    void yearChosen();
    void showTotals();
    void redrawChart();
    ReportContent report() const;
    // The year's totals month by month, added up exactly; raises BadAmount naming a ledger record
    // whose amount is no amount.
    static QList<MonthFigures> sumYear(int year);

    Recordset rs_;
    int shownYear_ = 0;  // the year the grid holds; 0 before the summary is shown
    QComboBox* yearBox = nullptr;
    QPushButton* summaryButton = nullptr;
    QPushButton* closeButton = nullptr;
    PrintedReport::Buttons printing_{};
    DataGrid* dg = nullptr;
    QLabel* totalsLabel = nullptr;
    QChartView* chart = nullptr;
};
