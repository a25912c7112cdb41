#pragma once

#include "datawindow.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QStandardItemModel;
class QTableView;
class Store;

// 预算: the household's or one member's budget for each expense type, for one month or as the
// default that every month without its own takes. 复制上月 makes last month's budgets this month's.
class BudgetEditor : public DataWindow {
    Q_OBJECT
public:
    explicit BudgetEditor(Store& store, QWidget* parent = nullptr);

private:
    QString memberId() const;
    QString month() const;  // "" for the default
    void load();
    bool save();
    void copyPrevious();
    void fillScopes();

    Store& store_;
    QComboBox* scopeBox = nullptr;
    QCheckBox* defaultBox = nullptr;
    QDateEdit* monthBox = nullptr;
    QTableView* grid = nullptr;
    QStandardItemModel* model_ = nullptr;
};
