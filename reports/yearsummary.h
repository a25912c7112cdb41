#pragma once

#include "recordset.h"
#include "shell/datagrid.h"
#include "shell/datawindow.h"

class QPushButton;

// The month-by-month totals of income, expenses and investments of the year, read from the
// database's stored query 查询.
class YearSummary : public DataWindow {
    Q_OBJECT
public:
    explicit YearSummary(QWidget* parent = nullptr);
    ~YearSummary() override;

private:
    void Command1_Click();
    void doNow();

    Recordset rs_;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    DataGrid* dg = nullptr;
};
