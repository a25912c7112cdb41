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
    // Names a ledger record whose amount makes a month's total (or, after an overflow, the summary
    // itself) no valid figure; true when one was named.
    bool nameBadAmount(bool overflowed);

    Recordset rs_;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    DataGrid* dg = nullptr;
};
