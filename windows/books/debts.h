#pragma once

#include "money.h"
#include "editablerows.h"
#include "binder.h"
#include "datagrid.h"
#include "datawindow.h"

#include <QVariant>

class QComboBox;
class QFrame;
class QGridLayout;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class Store;

// 债权债务管理: loans owed and lent, their repayments and what is still outstanding (table 负债).
class DebtsWindow : public DataWindow {
    Q_OBJECT
public:
    explicit DebtsWindow(Store& store, QWidget* parent = nullptr);
    ~DebtsWindow() override;

    // true: browse; false: editing a new loan or a repayment.
    void setButtons(bool browsing);

    // The numeric value of a text: its longest leading part that reads as a number, blanks anywhere
    // ignored; no such part (an empty text, "-") gives 0. "1.5.2" gives 1.5, "-30" gives -30.
    static Money numericValue(const QString& text);

    void done(int r) override;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QFrame* buildFields();
    QGridLayout* buildButtons();
    void loadDebts();
    void addDebt();
    void editDebt();
    void saveDebt();
    void cancelEdit();
    void deleteDebt();
    void repaymentBoxLeft();
    bool appendRepayment();
    // What is wrong with the repayment typed, or empty.
    QString repaymentProblem() const;
    void endEditing();
    // The repayment's date box shown (while a repayment is edited) or hidden.
    void showRepaymentDate(bool shown);

    Store& store_;
    EditableRows rs_;
    Binder* binder_ = nullptr;
    bool repayMark_ = false;   // a repayment typed and not yet logged in 还款记录
    bool repaying_ = false;    // editing a repayment (not a new loan)
    QString loggedEntry_;      // the entry this repayment appended to the record box
    QVariant storedBalance_;   // 余额 of the row being repaid, as stored before the edit

    QDateEdit* dateEdit = nullptr;        // 借款时间: a new loan's date
    QDateEdit* repaidDateEdit = nullptr;  // 还款日期: the day of the repayment being edited
    QLabel* repaidDateLabel = nullptr;
    QLineEdit* creditorEdit = nullptr;
    QComboBox* debtKindBox = nullptr;
    QLineEdit* amountEdit = nullptr;
    QLineEdit* repaymentEdit = nullptr;
    QPlainTextEdit* repaymentLogEdit = nullptr;
    DataGrid* debtsGrid = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* editButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* deleteButton = nullptr;
};
