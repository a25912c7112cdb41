#pragma once

#include "bills.h"
#include "shell/datawindow.h"

#include <optional>

class QComboBox;
class QTableView;

// 导入账单… with a statement whose layout the program does not know (a bank's): the user says which
// column holds the date (and in which form it is written), the amount or the debit and credit, the
// counterparty and the note, with the header and the first rows shown. Columns whose names say what
// they hold are chosen already, and the date form is guessed from the first rows.
class StatementColumnsDialog : public DataWindow {
    Q_OBJECT
public:
    StatementColumnsDialog(const Bills::Table& table, QWidget* parent = nullptr);

    // The columns named, or nothing when the user gave up.
    static std::optional<Bills::Columns> ask(const Bills::Table& table, QWidget* parent);
    Bills::Columns columns() const;

private:
    void confirm();
    void guessForm();
    QComboBox* columnBox(const QString& name, const QString& says, const QString& pattern);

    Bills::Table table_;
    QComboBox* dateColumnBox = nullptr;
    QComboBox* dateFormBox = nullptr;
    QComboBox* amountColumnBox = nullptr;
    QComboBox* debitColumnBox = nullptr;
    QComboBox* creditColumnBox = nullptr;
    QComboBox* counterpartyColumnBox = nullptr;
    QComboBox* noteColumnBox = nullptr;
    QTableView* firstRowsGrid = nullptr;
};
