#pragma once

#include "recordset.h"
#include "datagrid.h"
#include "datawindow.h"

class QPushButton;

class Store;

// 回收站: the records deleted from the ledgers, newest first, with when they were deleted. 还原 puts
// the chosen one back into its ledger; 清空 removes them all for good after a question.
class RecycleBinWindow : public DataWindow {
    Q_OBJECT
public:
    explicit RecycleBinWindow(Store& store, QWidget* parent = nullptr);
    ~RecycleBinWindow() override;

private:
    void load();
    void updateButtons();
    void restoreSelected();
    void emptyAll();

    Store& store_;
    Recordset rs_;
    DataGrid* binGrid = nullptr;
    QPushButton* restoreButton = nullptr;
    QPushButton* emptyButton = nullptr;
    QPushButton* closeButton = nullptr;
};
