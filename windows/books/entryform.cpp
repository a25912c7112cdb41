#include "entryform.h"

#include "dberror.h"
#include "picker.h"
#include "budgets.h"
#include "store.h"
#include "budgetwarning.h"
#include "toolbars.h"
#include "app.h"
#include "gridexport.h"
#include "inputs.h"
#include "valuelabel.h"
#include "store.h"

#include <QAction>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

const EntryFormKind kEntryForms[3] = {
    {"frmsrzhang", QStringLiteral("收入帐"), Ledger::Income, true, QStringLiteral("查找收入类型"), QStringLiteral("收入类型不能为空"),
     QStringLiteral("收入金额不能为空"), QStringLiteral("入帐/返回"), true},
    {"frmzczhang", QStringLiteral("支出帐"), Ledger::Expense, true, QStringLiteral("查找支出类型"), QStringLiteral("支出类型不能为空"),
     QStringLiteral("支出金额不能为空"), QStringLiteral("入帐/返回"), true},
    {"frmtzhang", QStringLiteral("投资帐录入"), Ledger::Investment, false, QStringLiteral("查找投资类型"), QStringLiteral("投资类型不能为空"), QStringLiteral("投资金额不能为空"),
     QStringLiteral("返回"), false},
};

EntryForm::EntryForm(Store& store, const EntryFormKind& kind, QWidget* parent)
    : DataWindow(QLatin1String(kind.name), parent), store_(store), kind_(kind)
{
    setWindowTitle(kind.caption);
    setEscapeCloses(false);
    resize(twips(7200), twips(6300));

    toolbar = Toolbars::editingToolbar(this, kind.exitCaption,
                                       {[this] { doAddNew(); }, [this] { doUpdate(); }, [this] { doCancel(); },
                                        [this] { doDelete(); }, [this] { doExit(); }});

    QFrame* fieldsFrame = buildFields();

    stagedGrid = new DataGrid(this);
    stagedGrid->setObjectName(QStringLiteral("FG"));
    stagedGrid->setAccessibleName(kind.caption);
    hintLabel = new QLabel(QStringLiteral("请单击工具条相应按钮进行操作"), this);
    hintLabel->setObjectName(QStringLiteral("Label2"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toolbar);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(6, 6, 6, 6);
    body->addWidget(fieldsFrame);
    body->addWidget(stagedGrid, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(hintLabel, 1);
    bottom->addWidget(GridExport::exportButton(stagedGrid, kind.caption, this));
    body->addLayout(bottom);
    layout->addLayout(body, 1);

    setTabOrder(pickMemberButton, pickTypeButton);
    setTabOrder(pickTypeButton, amountEdit);
    setTabOrder(amountEdit, noteEdit);
    setTabOrder(noteEdit, dateEdit);

    // Amount: digits, the decimal point and Backspace; Enter moves on.
    installAmountBox(amountEdit, false, true);

    connect(pickMemberButton, &QToolButton::clicked, this, [this] { pickMember(); });
    connect(pickTypeButton, &QToolButton::clicked, this, [this] { pickType(); });

    // Load.
    setButtons(true);
    loadRecords();
}

// The frame of the record's fields: member, type, amount, date and note.
QFrame* EntryForm::buildFields()
{
    auto* fieldsFrame = new QFrame(this);
    fieldsFrame->setObjectName(QStringLiteral("Frame1"));
    fieldsFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);

    memberIdLabel = valueBox(QStringLiteral("lblcyID"), QStringLiteral("成员ID"), 1200, fieldsFrame);
    memberLabel = valueBox(QStringLiteral("lblcy"), QStringLiteral("成员"), 1200, fieldsFrame);
    pickMemberButton = Toolbars::lookupButton(QStringLiteral("cmdfindt"), QStringLiteral("查找成员"), fieldsFrame);
    typeIdLabel = valueBox(QStringLiteral("lbllxID"), QStringLiteral("类型ID"), 1200, fieldsFrame);
    typeLabel = valueBox(QStringLiteral("lbllx"), QStringLiteral("类型"), 1200, fieldsFrame);
    pickTypeButton = Toolbars::lookupButton(QStringLiteral("cmdfindo"), kind_.typeTip, fieldsFrame);
    amountEdit = new QLineEdit(fieldsFrame);
    amountEdit->setObjectName(QStringLiteral("txtJe"));
    amountEdit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    noteEdit = new QLineEdit(fieldsFrame);
    noteEdit->setObjectName(QStringLiteral("txtMemo"));
    setCharacterLimit(noteEdit, 20);
    dateEdit = datePicker(QStringLiteral("dpDate"), App::today(), fieldsFrame);

    auto* grid = new QGridLayout(fieldsFrame);
    addFieldRow(grid, 0, {{QStringLiteral("成员ID:"), memberIdLabel}, {QStringLiteral("成员:"), memberLabel}});
    grid->addWidget(pickMemberButton, 0, 4);
    addFieldRow(grid, 1, {{QStringLiteral("类型ID:"), typeIdLabel}, {QStringLiteral("类型:"), typeLabel}});
    grid->addWidget(pickTypeButton, 1, 4);
    addFieldRow(grid, 2, {{QStringLiteral("金额:"), amountEdit}, {QStringLiteral("日期:"), dateEdit}});
    grid->addWidget(buddyLabel(QStringLiteral("备注:"), noteEdit, fieldsFrame), 3, 0);
    grid->addWidget(noteEdit, 3, 1, 1, 3);
    grid->setColumnStretch(3, 1);
    return fieldsFrame;
}

// The staged (or invested) records, in the grid and bound to the fields.
void EntryForm::loadRecords()
{
    try {
        rs_.open(store_, editedTable());
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取“%1”。").arg(editedTable().table));
    }
    stagedGrid->setRecordset(&rs_);
    if (rs_.isOpen()) {
        stagedGrid->setColumnTwips(2, 700);
        stagedGrid->setColumnAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        stagedGrid->setColumnFormat(2, RecordsetModel::Format::Grouped);
        stagedGrid->setColumnTwips(3, 700);
        stagedGrid->setColumnHiddenWidth(5);
    }
    binder_ = new Binder(&rs_, this);
    binder_->bind(typeIdLabel, QStringLiteral("类型ID"));
    binder_->bind(memberIdLabel, QStringLiteral("成员ID"));
    binder_->bind(amountEdit, QStringLiteral("金额"));
    binder_->bind(noteEdit, QStringLiteral("备注"));
}

EntryForm::~EntryForm()
{
    if (!unloaded_)
        unload();
}

void EntryForm::setButtons(bool browsing)
{
    Toolbars::setEditingState(toolbar, browsing, kind_.exitFollowsState);
    // What is typed or picked outside an edit would never reach the file: the boxes take input and
    // the lookups work only while a record is being added.
    amountEdit->setReadOnly(browsing);
    noteEdit->setReadOnly(browsing);
    pickMemberButton->setEnabled(!browsing);
    pickTypeButton->setEnabled(!browsing);
}

void EntryForm::doAddNew()
{
    if (!binder_->addNew())
        return;
    setButtons(false);
    pickMemberButton->setFocus();
    memberLabel->setText(QString());
    typeLabel->setText(QString());
}

void EntryForm::doUpdate()
{
    if (!checkRecord({{typeIdLabel->text(), kind_.emptyTypeMessage, pickTypeButton},
                      {memberIdLabel->text(), QStringLiteral("成员不能为空"), pickMemberButton},
                      {amountEdit->text(), kind_.emptyAmountMessage, amountEdit}},
                     amountEdit))
        return;
    const QDate date = dateEdit->date();
    const bool saved = binder_->save([&](EditableRows& rs) {
        rs.setValue(QStringLiteral("日期"), date);
        rs.setValue(QStringLiteral("月份"), date.month());
    });
    if (saved)
        setButtons(true);
}

void EntryForm::doCancel()
{
    binder_->cancel();
    setButtons(true);
}

EditedTable EntryForm::editedTable() const
{
    return kind_.staged ? EditedTable::stagingOf(kind_.ledger) : EditedTable::of(kind_.ledger);
}

void EntryForm::doDelete()
{
    confirmDeleteCurrent(rs_);
    setButtons(true);
}

void EntryForm::doExit()
{
    if (kind_.staged) {
        // Posting and emptying the staging table succeed or fail together: a record is never both
        // posted and still staged (the next visit would post it again), and never lost.
        QList<Budgets::Touch> touched;
        try {
            touched = store_.postStaged(kind_.ledger);
        } catch (const std::exception& e) {
            showDbError(e, QStringLiteral("入帐没有成功，记录仍保留在本窗口中。"));
            return;
        }
        warnOverBudget(store_, touched);
    }
    done(QDialog::Accepted);
}

void EntryForm::pickMember()
{
    Picker::pickInto(store_, ReferenceList::Members, this, memberIdLabel, memberLabel);
}

void EntryForm::pickType()
{
    Picker::pickInto(store_, *kind_.ledger.typeList(), this, typeIdLabel, typeLabel);
    amountEdit->setFocus();
}

void EntryForm::unload()
{
    unloaded_ = true;
    // Closing empties the staging table, whatever was staged during the visit.
    if (kind_.staged) {
        try {
            store_.clearStaged(kind_.ledger);
        } catch (const DbError& e) {
            showDbError(e, QStringLiteral("没能清空“%1”中暂存的记录。").arg(kind_.ledger.stagingTable()));
        }
    }
    rs_.close();
}

void EntryForm::done(int r)
{
    if (!unloaded_)
        unload();
    DataWindow::done(r);
}
