#pragma once

#include "printedreport.h"
#include "datawindow.h"

class DataGrid;
class ExecutionModel;
class Store;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;

// 预算执行: for a month or a year, the household's or one member's budget per expense type beside
// what was spent, what is left and a bar of the share used; the totals under them, and which months
// they count. A year counts its whole (全年) or up to this month (年初至今), never a month before the
// book's first record.
class BudgetReport : public DataWindow {
    Q_OBJECT
public:
    explicit BudgetReport(Store& store, QWidget* parent = nullptr);
    ~BudgetReport() override;

private:
    void compute();
    ReportContent report() const;
    QString periodText() const;

    Store& store_;
    ExecutionModel* figures_;  // what the grid shows
    bool shown_ = false;       // the figures of the criteria chosen are on show
    QComboBox* scopeBox = nullptr;
    QComboBox* periodBox = nullptr;
    QComboBox* yearPartBox = nullptr;  // 全年 or 年初至今, for a year
    QDateEdit* monthBox = nullptr;
    DataGrid* grid = nullptr;
    QLabel* totals = nullptr;
    QLabel* monthsLabel = nullptr;  // which months are counted
    PrintedReport::Buttons printing_{};
    QPushButton* exportButton = nullptr;
};

// The members as the scope boxes offer them: 全家 (ID "") first, then each member by name, as
// entered. A list that cannot be read is told, and 全家 stays.
void fillScopes(Store& store, QComboBox* box);
