#pragma once

#include "recordset.h"
#include "datagrid.h"

#include <QDialog>
#include <optional>

class QLabel;
class QToolBar;

// A row chosen in the picker: its identifier and name.
struct PickedRow {
    QString id;
    QString name;
};

// The lookup picker: lists the identifier and name of one reference table and hands back the row
// chosen.
class Picker : public QDialog {
    Q_OBJECT
public:
    Picker(const QString& table, const QString& idField, const QString& nameField, QWidget* parent = nullptr);
    ~Picker() override;

    // Shows the picker modally: the row " 确认 " chose; nothing after " 取消 ", the close box, an
    // empty list or a failed read.
    static std::optional<PickedRow> choose(QWidget* parent, const QString& table, const QString& idField,
                                           const QString& nameField);

    // The name of a code in its reference table; empty when the code is no longer there.
    static QString nameOf(const QString& table, const QString& nameField, const QString& code);
    // The calling convention of every window: asks for `table` (identifier "ID", name `nameField`)
    // and, when a row was chosen, puts its identifier and name into the two labels.
    static bool pickInto(QWidget* parent, const QString& table, const QString& nameField, QLabel* idLabel,
                         QLabel* nameLabel);

    const std::optional<PickedRow>& picked() const { return picked_; }

private:
    void toolbarClick(const QString& key);

    Recordset rs_;
    DataGrid* rowsGrid = nullptr;
    QToolBar* toolbar = nullptr;
    std::optional<PickedRow> picked_;
};
