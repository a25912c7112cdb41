#include "entryform.h"

#include "dberror.h"
#include "picker.h"
#include "budgets.h"
#include "posting.h"
#include "shell/budgetwarning.h"
#include "toolbars.h"
#include "shell/app.h"
#include "shell/gridexport.h"
#include "shell/inputs.h"
#include "shell/valuelabel.h"

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
    {"frmsrzhang", QStringLiteral("收入帐"), QStringLiteral("收入临时"), QStringLiteral("收入帐"),
     QStringLiteral("收入类型"), QStringLiteral("查找收入类型"), QStringLiteral("收入类型不能为空"),
     QStringLiteral("收入金额不能为空"), QStringLiteral("入帐/返回"), true},
    {"frmzczhang", QStringLiteral("支出帐"), QStringLiteral("支出临时"), QStringLiteral("支出帐"),
     QStringLiteral("支出类型"), QStringLiteral("查找支出类型"), QStringLiteral("支出类型不能为空"),
     QStringLiteral("支出金额不能为空"), QStringLiteral("入帐/返回"), true},
    {"frmtzhang", QStringLiteral("投资帐录入"), QStringLiteral("投资帐"), QString(), QStringLiteral("投资类型"),
     QStringLiteral("查找投资类型"), QStringLiteral("投资类型不能为空"), QStringLiteral("投资金额不能为空"),
     QStringLiteral("返回"), false},
};

EntryForm::EntryForm(const EntryFormKind& kind, QWidget* parent)
    : DataWindow(QLatin1String(kind.name), parent), kind_(kind)
{
    setWindowTitle(kind.caption);
    setEscapeCloses(false);
    resize(twips(7200), twips(6300));

    Toolbar1 = Toolbars::editingToolbar(this, kind.exitCaption,
                                       {[this] { doAddNew(); }, [this] { doUpdate(); }, [this] { doCancel(); },
                                        [this] { doDelete(); }, [this] { doExit(); }});

    auto* Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    lblcyID = valueBox(QStringLiteral("lblcyID"), QStringLiteral("成员ID"), 1200, Frame1);
    lblcy = valueBox(QStringLiteral("lblcy"), QStringLiteral("成员"), 1200, Frame1);
    cmdfindt = Toolbars::lookupButton(QStringLiteral("cmdfindt"), QStringLiteral("查找成员"), Frame1);
    lbllxID = valueBox(QStringLiteral("lbllxID"), QStringLiteral("类型ID"), 1200, Frame1);
    lbllx = valueBox(QStringLiteral("lbllx"), QStringLiteral("类型"), 1200, Frame1);
    cmdfindo = Toolbars::lookupButton(QStringLiteral("cmdfindo"), kind.typeTip, Frame1);
    txtJe = new QLineEdit(Frame1);
    txtJe->setObjectName(QStringLiteral("txtJe"));
    txtJe->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtMemo = new QLineEdit(Frame1);
    txtMemo->setObjectName(QStringLiteral("txtMemo"));
    setCharacterLimit(txtMemo, 20);
    dpDate = datePicker(QStringLiteral("dpDate"), App::today(), Frame1);

    auto* grid = new QGridLayout(Frame1);
    addFieldRow(grid, 0, {{QStringLiteral("成员ID:"), lblcyID}, {QStringLiteral("成员:"), lblcy}});
    grid->addWidget(cmdfindt, 0, 4);
    addFieldRow(grid, 1, {{QStringLiteral("类型ID:"), lbllxID}, {QStringLiteral("类型:"), lbllx}});
    grid->addWidget(cmdfindo, 1, 4);
    addFieldRow(grid, 2, {{QStringLiteral("金额:"), txtJe}, {QStringLiteral("日期:"), dpDate}});
    grid->addWidget(buddyLabel(QStringLiteral("备注:"), txtMemo, Frame1), 3, 0);
    grid->addWidget(txtMemo, 3, 1, 1, 3);
    grid->setColumnStretch(3, 1);

    FG = new DataGrid(this);
    FG->setObjectName(QStringLiteral("FG"));
    FG->setAccessibleName(kind.caption);
    Label2 = new QLabel(QStringLiteral("请单击工具条相应按钮进行操作"), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Toolbar1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(6, 6, 6, 6);
    body->addWidget(Frame1);
    body->addWidget(FG, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label2, 1);
    bottom->addWidget(GridExport::exportButton(FG, kind.caption, this));
    body->addLayout(bottom);
    layout->addLayout(body, 1);

    setTabOrder(cmdfindt, cmdfindo);
    setTabOrder(cmdfindo, txtJe);
    setTabOrder(txtJe, txtMemo);
    setTabOrder(txtMemo, dpDate);

    // Amount: digits, the decimal point and Backspace; Enter moves on.
    installAmountBox(txtJe, false, true);

    connect(cmdfindt, &QToolButton::clicked, this, [this] { pickMember(); });
    connect(cmdfindo, &QToolButton::clicked, this, [this] { pickType(); });

    // Load.
    setButtons(true);
    try {
        rs_.open(App::conn,
                 QStringLiteral("select 成员ID,类型ID,金额,日期,备注,月份 from ") + kind.table, Recordset::Pessimistic);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取“%1”。").arg(kind.table));
    }
    FG->setRecordset(&rs_);
    if (rs_.isOpen()) {
        FG->setColumnTwips(2, 700);
        FG->setColumnAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        FG->setColumnFormat(2, RecordsetModel::Format::Grouped);
        FG->setColumnTwips(3, 700);
        FG->setColumnHiddenWidth(5);
    }
    binder_ = new Binder(&rs_, this);
    binder_->bind(lbllxID, QStringLiteral("类型ID"));
    binder_->bind(lblcyID, QStringLiteral("成员ID"));
    binder_->bind(txtJe, QStringLiteral("金额"));
    binder_->bind(txtMemo, QStringLiteral("备注"));
}

EntryForm::~EntryForm()
{
    if (!unloaded_)
        unload();
}

void EntryForm::setButtons(bool sta)
{
    Toolbars::setEditingState(Toolbar1, sta, kind_.exitFollowsState);
    // What is typed or picked outside an edit would never reach the file: the boxes take input and
    // the lookups work only while a record is being added.
    txtJe->setReadOnly(sta);
    txtMemo->setReadOnly(sta);
    cmdfindt->setEnabled(!sta);
    cmdfindo->setEnabled(!sta);
}

void EntryForm::doAddNew()
{
    if (!binder_->addNew())
        return;
    setButtons(false);
    cmdfindt->setFocus();
    lblcy->setText(QString());
    lbllx->setText(QString());
}

void EntryForm::doUpdate()
{
    if (!checkRecord({{lbllxID->text(), kind_.emptyTypeMessage, cmdfindo},
                      {lblcyID->text(), QStringLiteral("成员不能为空"), cmdfindt},
                      {txtJe->text(), kind_.emptyAmountMessage, txtJe}},
                     txtJe))
        return;
    const QDate date = dpDate->date();
    const bool saved = binder_->save([&](Recordset& rs) {
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

void EntryForm::doDelete()
{
    confirmDeleteCurrent(rs_);
    setButtons(true);
}

void EntryForm::doExit()
{
    if (!kind_.ledger.isEmpty()) {
        // Posting and emptying the staging table succeed or fail together: a record is never both
        // posted and still staged (the next visit would post it again), and never lost.
        QList<Budgets::Touch> touched;
        try {
            if (kind_.ledger == QStringLiteral("支出帐"))
                touched = Budgets::touchedBy(App::conn, kind_.table);
            postStaged(App::conn, kind_.table, kind_.ledger);
        } catch (const std::exception& e) {
            showDbError(e, QStringLiteral("入帐没有成功，记录仍保留在本窗口中。"));
            return;
        }
        warnOverBudget(touched);
    }
    done(QDialog::Accepted);
}

void EntryForm::pickMember()
{
    Picker::pickInto(this, QStringLiteral("成员"), QStringLiteral("姓名"), lblcyID, lblcy);
}

void EntryForm::pickType()
{
    Picker::pickInto(this, kind_.typeTable, QStringLiteral("类型"), lbllxID, lbllx);
    txtJe->setFocus();
}

void EntryForm::unload()
{
    unloaded_ = true;
    // Closing empties the staging table, whatever was staged during the visit.
    if (!kind_.ledger.isEmpty()) {
        try {
            App::conn.execute(QStringLiteral("delete from ") + kind_.table);
        } catch (const DbError& e) {
            showDbError(e, QStringLiteral("没能清空“%1”中暂存的记录。").arg(kind_.table));
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
