#pragma once

#include <QDate>

#include "editablerows.h"
#include "binder.h"
#include "datagrid.h"
#include "datawindow.h"

class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;

// The editable combo boxes of a bank movement: the direction ("存入", "支出") or the kind ("活期",
// "定期"). Any other text may be typed; each change typed brings the "重要提示" reminder.
QComboBox* bankChoiceBox(const QString& name, bool direction, QWidget* parent);

class Store;

// 银行帐: deposits and withdrawals, one row of 银行帐 per movement, written directly.
class BankLedger : public DataWindow {
    Q_OBJECT
public:
    explicit BankLedger(Store& store, QWidget* parent = nullptr);
    ~BankLedger() override;

    // true: browse; false: a row is being added.
    void setButtons(bool browsing);

    void done(int r) override;


private:
    void doAddNew();
    void doUpdate();
    void doCancel();
    void doDelete();
    QFrame* buildFields();
    void loadRecords();
    void pickBank();
    void pickMember();
    void showRow();
    void rememberChoice();
    void restoreChoice();

    // What the last row added was given, for the next one.
    struct Choice {
        QString bank, member, direction, kind;
        QDate date;
    };
    Choice lastChoice_;
    Store& store_;
    EditableRows rs_;
    Binder* binder_ = nullptr;

    QToolBar* toolbar = nullptr;
    QLabel* bankIdLabel = nullptr;
    QLabel* bankLabel = nullptr;
    QToolButton* pickBankButton = nullptr;
    QLabel* memberIdLabel = nullptr;
    QLabel* memberLabel = nullptr;
    QToolButton* pickMemberButton = nullptr;
    QComboBox* directionBox = nullptr;
    QComboBox* termBox = nullptr;
    QLineEdit* amountEdit = nullptr;
    QDateEdit* dateEdit = nullptr;
    QLabel* recordsCaption = nullptr;
    DataGrid* recordsGrid = nullptr;
};
