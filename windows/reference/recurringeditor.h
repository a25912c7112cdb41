#pragma once

#include "recurring.h"
#include "datawindow.h"

class Store;

class QCheckBox;
class QGridLayout;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QSpinBox;
class QStandardItemModel;
class QTableView;

// 定期收支: the templates of recurring records. The list above; the selected template's fields
// below, saved by 保存; 新增 starts a new one, 删除 removes the selected one.
class RecurringEditor : public DataWindow {
    Q_OBJECT
public:
    explicit RecurringEditor(Store& store, QWidget* parent = nullptr);

private:
    QGridLayout* buildFields();
    void load(qint64 select = 0);
    void showTemplate(int row);
    void fillTypes();
    void updateFields();
    bool save();
    void removeSelected();

    Store& store_;
    QList<Recurring::Template> templates_;
    qint64 editing_ = 0;  // the template in the fields; 0: a new one
    QStandardItemModel* model_ = nullptr;
    QTableView* grid = nullptr;
    QComboBox* ledgerBox = nullptr;
    QComboBox* memberBox = nullptr;
    QComboBox* typeBox = nullptr;   // the type, or for the bank ledger the bank
    QComboBox* inOutBox = nullptr;
    QLineEdit* bankKindBox = nullptr;
    QLineEdit* amountBox = nullptr;
    QLineEdit* noteBox = nullptr;
    QComboBox* periodBox = nullptr;
    QSpinBox* dayBox = nullptr;
    QSpinBox* intervalBox = nullptr;
    QDateEdit* startBox = nullptr;
    QCheckBox* hasEndBox = nullptr;
    QDateEdit* endBox = nullptr;
    QSpinBox* countBox = nullptr;
};
