#pragma once

#include "recordset.h"
#include "shell/datagrid.h"

#include <QDialog>

class QLabel;
class QToolBar;

// The lookup picker: lists the identifier and name of one reference table (named by
// App::findTable, findIdField and findNameField) and hands the chosen row back through
// App::findId and findName.
class Picker : public QDialog {
    Q_OBJECT
public:
    explicit Picker(QWidget* parent = nullptr);
    ~Picker() override;

    // Shows the picker modally. True when " 确认 " handed back a row; false after " 取消 ", the close
    // box, an empty list or a failed read, and then findId and findName are left as they were.
    static bool pick(QWidget* parent = nullptr);

    // The name of a code in its reference table; empty when the code is no longer there.
    static QString nameOf(const QString& table, const QString& nameField, const QString& code);
    // The calling convention of every window: asks for `table` (identifier "ID", name `nameField`)
    // and, when a row was chosen, puts its identifier and name into the two labels.
    static bool pickInto(QWidget* parent, const QString& table, const QString& nameField, QLabel* idLabel,
                         QLabel* nameLabel);

    bool chosen() const { return chosen_; }

private:
    void toolbarClick(const QString& key);

    Recordset rs_;
    DataGrid* FG = nullptr;
    QToolBar* Toolbar1 = nullptr;
    bool chosen_ = false;
};
