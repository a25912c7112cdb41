#pragma once

#include "datagrid.h"
#include "recordset.h"
#include "referencelist.h"

#include <QDialog>
#include <optional>

class QLabel;
class QToolBar;
class Store;

// A row chosen in the picker: its identifier and name.
struct PickedRow {
    QString id;
    QString name;
};

// The lookup picker: lists the identifier and name of the rows of one reference list and hands back
// the row chosen.
class Picker : public QDialog {
    Q_OBJECT
public:
    Picker(Store& store, ReferenceList list, QWidget* parent = nullptr);
    ~Picker() override;

    // Shows the picker modally: the row " 确认 " chose; nothing after " 取消 ", the close box, an
    // empty list or a failed read.
    static std::optional<PickedRow> choose(Store& store, ReferenceList list, QWidget* parent);

    // The calling convention of every window: asks for a row of `list` and, when one was chosen, puts
    // its identifier and name into the two labels.
    static bool pickInto(Store& store, ReferenceList list, QWidget* parent, QLabel* idLabel, QLabel* nameLabel);

    const std::optional<PickedRow>& picked() const { return picked_; }

private:
    void toolbarClick(const QString& key);

    Recordset rs_;
    DataGrid* rowsGrid = nullptr;
    QToolBar* toolbar = nullptr;
    std::optional<PickedRow> picked_;
};
