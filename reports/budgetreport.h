#pragma once

#include "printedreport.h"
#include "recordset.h"
#include "shell/datawindow.h"

class DataGrid;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;

// 预算执行: for a month or a year, the household's or one member's budget per expense type beside
// what was spent, what is left and a bar of the share used; the totals under them.
class BudgetReport : public DataWindow {
    Q_OBJECT
public:
    explicit BudgetReport(QWidget* parent = nullptr);
    ~BudgetReport() override;

private:
    void compute();
    ReportContent report() const;
    QString periodText() const;

    Recordset rs_;
    QComboBox* scopeBox = nullptr;
    QComboBox* periodBox = nullptr;
    QDateEdit* monthBox = nullptr;
    DataGrid* grid = nullptr;
    QLabel* totals = nullptr;
    PrintedReport::Buttons printing_{};
    QPushButton* exportButton = nullptr;
};

// The members as the scope boxes offer them: 全家 (ID "") first, then each member by name.
void fillScopes(QComboBox* box);
