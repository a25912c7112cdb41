#pragma once

#include "editablerows.h"
#include "ledger.h"
#include "binder.h"
#include "datagrid.h"
#include "datawindow.h"

class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;

// One kind of entry form: income and expense are staged and posted, investments go straight to
// their ledger.
struct EntryFormKind {
    const char* name;          // window name: frmsrzhang, frmzczhang, frmtzhang
    QString caption;
    Ledger ledger;             // the ledger its records go to
    bool staged;               // kept in the ledger's staging table until the form posts them
    QString typeTip;           // tooltip of the type lookup button
    QString emptyTypeMessage;
    QString emptyAmountMessage;
    QString exitCaption;
    bool exitFollowsState;     // the exit button is disabled while a record is being added
};

// The three entry forms, in menu order: income, expense, investment.
extern const EntryFormKind kEntryForms[3];

class Store;

class EntryForm : public DataWindow {
    Q_OBJECT
public:
    EntryForm(Store& store, const EntryFormKind& kind, QWidget* parent = nullptr);
    ~EntryForm() override;

    // true: browse; false: a record is being added.
    void setButtons(bool browsing);

    void done(int r) override;


private:
    QFrame* buildFields();
    void loadRecords();
    void doAddNew();
    void doUpdate();
    void doCancel();
    void doDelete();
    void doExit();
    void pickType();
    void pickMember();
    void unload();

    // The table the form edits: the staging table, or the ledger itself.
    EditedTable editedTable() const;

    Store& store_;
    const EntryFormKind& kind_;
    EditableRows rs_;
    Binder* binder_ = nullptr;
    bool unloaded_ = false;

    QToolBar* toolbar = nullptr;
    QLabel* memberIdLabel = nullptr;
    QLabel* memberLabel = nullptr;
    QToolButton* pickMemberButton = nullptr;
    QLabel* typeIdLabel = nullptr;
    QLabel* typeLabel = nullptr;
    QToolButton* pickTypeButton = nullptr;
    QLineEdit* amountEdit = nullptr;
    QLineEdit* noteEdit = nullptr;
    QDateEdit* dateEdit = nullptr;
    DataGrid* stagedGrid = nullptr;
    QLabel* hintLabel = nullptr;
};
