#pragma once

#include "charts.h"
#include "printedreport.h"
#include "datagrid.h"
#include "datawindow.h"

class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class MonthsModel;
class Store;

// The month-by-month totals of income, expenses and investments of a year, each added up exactly
// from the year's records. Under
// the grid the year's totals and what is left (结余); beside it the months as a chart.
class YearSummary : public DataWindow {
    Q_OBJECT
public:
    explicit YearSummary(Store& store, QWidget* parent = nullptr);
    ~YearSummary() override;

    // The year chosen in cboYear.
    int year() const;
    // The months shown; none before the summary is shown or after a failed one.
    QList<MonthFigures> months() const;

private:
    void summarise();
    void doNow();
    void fillYears();
    void yearChosen();
    void showTotals();
    void redrawChart();
    ReportContent report() const;

    Store& store_;
    MonthsModel* months_;  // what the grid shows
    int shownYear_ = 0;  // the year the grid holds; 0 before the summary is shown
    QComboBox* yearBox = nullptr;
    QPushButton* summaryButton = nullptr;
    QPushButton* closeButton = nullptr;
    PrintedReport::Buttons printing_{};
    DataGrid* monthsGrid = nullptr;
    QLabel* totalsLabel = nullptr;
    QChartView* chart = nullptr;
};
