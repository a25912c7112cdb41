#pragma once

#include "datawindow.h"
#include "ledger.h"

#include <QVariantList>
#include <functional>

class QComboBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class Store;

// The correction of one posted record: its member and type (or bank) by the lookup picker, amount,
// date and note (a bank movement: direction and kind instead of the note), with the checks of the
// entry forms. It shows the record as the file holds it, codes included, so that a record whose
// member or type has since been deleted keeps its codes unless new ones are picked.
//
// 保存 hands the record's new values, in the ledger's field order, to the window that opened the
// form; the form closes when that window reports them written, and stays open (everything typed
// kept) when the file refused them.
class CorrectionForm : public DataWindow {
    Q_OBJECT
public:
    using Saver = std::function<bool(const QVariantList& values)>;
    // `values`: the record as read, in the ledger's field order.
    CorrectionForm(Store& store, Ledger ledger, const QVariantList& values, Saver save, QWidget* parent = nullptr);

private:
    QGridLayout* buildFieldRows();
    void saveCorrection();
    // What the form holds, in the ledger's field order. A control still showing what was read keeps
    // the value as stored (its kind, or an empty field, included).
    QVariantList values() const;
    QVariant kept(int field, const QString& shown) const;

    Store& store_;
    Ledger ledger_;
    QVariantList stored_;
    Saver save_;
    bool bank_ = false;

    QLabel* memberIdLabel = nullptr;  // member code
    QLabel* memberLabel = nullptr;
    QToolButton* pickMemberButton = nullptr;
    QLabel* typeIdLabel = nullptr;  // type or bank code
    QLabel* typeLabel = nullptr;
    QToolButton* pickTypeButton = nullptr;
    QComboBox* directionBox = nullptr;
    QComboBox* termBox = nullptr;
    QLineEdit* amountEdit = nullptr;
    QLineEdit* noteEdit = nullptr;
    QDateEdit* dateEdit = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;
};
