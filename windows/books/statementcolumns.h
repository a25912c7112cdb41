#pragma once

#include "bills.h"
#include "datawindow.h"

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTableView;
class Store;

// 导入账单… with a statement whose layout the program does not know (a bank's): the user says which
// column holds the date (and in which form it is written), the amount or the debit and credit, the
// counterparty and the note, with the header and the first rows shown; what a positive amount is
// (金额为正数时) and which column says the direction (收支列); the balance, currency and card columns
// that tell movements apart; the file's bank, and whether each movement also goes into 银行帐. Columns
// whose names say what they hold are chosen already (the two columns of a pair before one amount),
// and the date form is guessed from the first rows. Dates without a year take the statement's month
// from the lines above the table, or from 账单月份.
class StatementColumnsDialog : public DataWindow {
    Q_OBJECT
public:
    // `start`: the columns named for this header before (shown instead of the guesses).
    StatementColumnsDialog(Store& store, const Bills::Table& table, const std::optional<Bills::Columns>& start,
                           QWidget* parent = nullptr);

    // The columns named, or nothing when the user gave up.
    static std::optional<Bills::Columns> ask(Store& store, const Bills::Table& table, const std::optional<Bills::Columns>& start,
                                             QWidget* parent);
    Bills::Columns columns() const;

private:
    void buildFirstRows();
    void buildColumnBoxes();
    void buildBankBoxes(Store& store);
    // Columns whose names say what they hold, and the date form their first rows are written in.
    void guessColumns();
    void showColumns(const Bills::Columns& columns);
    void buildLayout();
    void confirm();
    void guessForm();
    void formChosen();
    // A list of the columns, the first entry saying what none means.
    QComboBox* columnBox(const QString& name, const QString& says);
    // The first column whose name matches `pattern` and not `unless`, one that also matches `prefer`
    // before the others; -1 for none.
    int columnNamed(const QString& pattern, const QString& unless = {}, const QString& prefer = {}) const;
    void choose(QComboBox* box, int column);
    // The statement's period as 账单月份 says it ("2024-01", "2024年1月", "202401"): its last day.
    QDate periodGiven() const;

    Bills::Table table_;
    QComboBox* dateColumnBox = nullptr;
    QComboBox* dateFormBox = nullptr;
    QLineEdit* periodBox = nullptr;
    QComboBox* amountColumnBox = nullptr;
    QComboBox* positiveBox = nullptr;
    QComboBox* directionColumnBox = nullptr;
    QComboBox* debitColumnBox = nullptr;
    QComboBox* creditColumnBox = nullptr;
    QComboBox* counterpartyColumnBox = nullptr;
    QComboBox* noteColumnBox = nullptr;
    QComboBox* balanceColumnBox = nullptr;
    QComboBox* currencyColumnBox = nullptr;
    QComboBox* accountColumnBox = nullptr;
    QComboBox* bankBox = nullptr;
    QCheckBox* alsoBankBox = nullptr;
    QTableView* firstRowsGrid = nullptr;
    QMap<QString, Bills::Kind> words_;  // the 收支 words named before, kept as they were
};

// A word of a statement's 收支 column that the program does not know ("不计收支", "冲正"): the user
// says once whether it means income, an expense or neither; the answer is remembered with the
// columns.
class DirectionWordDialog : public DataWindow {
    Q_OBJECT
public:
    DirectionWordDialog(const QString& word, const QString& column, int rows, QWidget* parent = nullptr);
    static std::optional<Bills::Kind> ask(const QString& word, const QString& column, int rows, QWidget* parent);
    Bills::Kind kind() const;

private:
    QComboBox* kindBox = nullptr;
};
