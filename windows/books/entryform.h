#pragma once

#include "recordset.h"
#include "binder.h"
#include "datagrid.h"
#include "datawindow.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;

// One kind of entry form: income and expense are staged and posted, investments go straight to
// their ledger.
struct EntryFormKind {
    const char* name;          // window name: frmsrzhang, frmzczhang, frmtzhang
    QString caption;
    QString table;             // table the form edits
    QString ledger;            // ledger the staged rows are posted to; empty: no staging
    QString typeTable;         // reference table of the types
    QString typeTip;           // tooltip of the type lookup button
    QString emptyTypeMessage;
    QString emptyAmountMessage;
    QString exitCaption;
    bool exitFollowsState;     // the exit button is disabled while a record is being added
};

// The three entry forms, in menu order: income, expense, investment.
extern const EntryFormKind kEntryForms[3];

class EntryForm : public DataWindow {
    Q_OBJECT
public:
    explicit EntryForm(const EntryFormKind& kind, QWidget* parent = nullptr);
    ~EntryForm() override;

    // true: browse; false: a record is being added.
    void setButtons(bool sta);

    void done(int r) override;


private:
    void doAddNew();
    void doUpdate();
    void doCancel();
    void doDelete();
    void doExit();
    void pickType();
    void pickMember();
    void unload();

    const EntryFormKind& kind_;
    Recordset rs_;
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
