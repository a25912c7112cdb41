#pragma once

#include "recordset.h"
#include "shell/ui.h"

class QPushButton;

// The month-by-month totals of income, expenses and investments of the year, read from the
// database's stored query 查询.
class frmYear : public DataWindow {
    Q_OBJECT
public:
    explicit frmYear(QWidget* parent = nullptr);
    ~frmYear() override;

private:
    void Command1_Click();
    void doNow();

    Recordset rs_;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    DataGrid* dg = nullptr;
};
