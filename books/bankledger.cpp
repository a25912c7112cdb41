#include "bankledger.h"

#include "picker.h"
#include "toolbars.h"
#include "shell/app.h"
#include "shell/inputs.h"
#include "shell/valuelabel.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

QComboBox* bankChoiceBox(const QString& name, bool direction, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->addItems(direction ? QStringList{QStringLiteral("存入"), QStringLiteral("支出")}
                          : QStringList{QStringLiteral("活期"), QStringLiteral("定期")});
    c->setInsertPolicy(QComboBox::NoInsert);  // typed texts are kept for the row, not added to the list
    c->setCompleter(nullptr);                 // what is typed stays exactly as typed
    installFocusColor(c);
    // A reminder on every change typed into the box; choosing from the list is no such change.
    const QString reminder = direction
        ? QStringLiteral("系统默认为“存入或支出”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！")
        : QStringLiteral("系统默认为“定期或活期”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！");
    QObject::connect(c->lineEdit(), &QLineEdit::textEdited, c,
                     [reminder] { App::msgBox(reminder, App::MsgStyle::Information, QStringLiteral("重要提示")); });
    return c;
}

BankLedger::BankLedger(QWidget* parent) : DataWindow(QStringLiteral("frmyhzhang"), parent)
{
    setWindowTitle(QStringLiteral("银行帐"));
    setEscapeCloses(false);
    resize(twips(7800), twips(6300));

    Toolbar1 = Toolbars::editingToolbar(this, QStringLiteral("入帐/返回"),
                                       {[this] { doAddNew(); }, [this] { doUpdate(); }, [this] { doCancel(); },
                                        [this] { doDelete(); }, [this] { done(QDialog::Accepted); }});

    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    lblyhid = valueBox(QStringLiteral("lblyhid"), QStringLiteral("银行ID"), 1200, frame);
    lblyh = valueBox(QStringLiteral("lblyh"), QStringLiteral("银行"), 1200, frame);
    cmdfindo = Toolbars::lookupButton(QStringLiteral("cmdfindo"), QStringLiteral("查找银行信息"), frame);
    lblcyid = valueBox(QStringLiteral("lblcyid"), QStringLiteral("成员ID"), 1200, frame);
    lblcy = valueBox(QStringLiteral("lblcy"), QStringLiteral("成员"), 1200, frame);
    cmdfindt = Toolbars::lookupButton(QStringLiteral("cmdfindt"), QStringLiteral("查找成员信息"), frame);
    cbocq = bankChoiceBox(QStringLiteral("cbocq"), true, frame);
    cbolx = bankChoiceBox(QStringLiteral("cbolx"), false, frame);
    txtJE = new QLineEdit(frame);
    txtJE->setObjectName(QStringLiteral("txtJE"));
    txtJE->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    installFocusColor(txtJE);
    dpdate = datePicker(QStringLiteral("dpdate"), App::today(), frame);

    auto* grid = new QGridLayout(frame);
    addFieldRow(grid, 0, {{QStringLiteral("银行ID:"), lblyhid}, {QStringLiteral("银行:"), lblyh}});
    grid->addWidget(cmdfindo, 0, 4);
    addFieldRow(grid, 1, {{QStringLiteral("成员ID:"), lblcyid}, {QStringLiteral("成员:"), lblcy}});
    grid->addWidget(cmdfindt, 1, 4);
    addFieldRow(grid, 2, {{QStringLiteral("存或取:"), cbocq}, {QStringLiteral("类型:"), cbolx}});
    addFieldRow(grid, 3, {{QStringLiteral("金  额:"), txtJE}, {QStringLiteral("日期:"), dpdate}});
    grid->setColumnStretch(3, 1);

    Label7 = new QLabel(QStringLiteral("银行存取记录："), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    DG = new DataGrid(this);
    DG->setObjectName(QStringLiteral("DG"));
    Label7->setBuddy(DG);
    DG->setAccessibleName(QStringLiteral("银行存取记录"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Toolbar1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(6, 6, 6, 6);
    body->addWidget(frame);
    body->addWidget(Label7);
    body->addWidget(DG, 1);
    layout->addLayout(body, 1);

    setTabOrder(cmdfindo, cmdfindt);
    setTabOrder(cmdfindt, cbocq);
    setTabOrder(cbocq, cbolx);
    setTabOrder(cbolx, txtJE);
    setTabOrder(txtJE, dpdate);

    // Digits, the decimal point and Backspace; Enter does nothing.
    installAmountBox(txtJE, false, false);

    connect(cmdfindo, &QToolButton::clicked, this, [this] { pickBank(); });
    connect(cmdfindt, &QToolButton::clicked, this, [this] { pickMember(); });
    // Load.
    setButtons(true);
    try {
        rs_.open(App::conn, QStringLiteral("select 银行ID,成员ID,存或取,类型,金额,日期 from 银行帐"),
                 Recordset::Pessimistic);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取“银行帐”。"));
    }
    DG->setRecordset(&rs_);
    binder_ = new Binder(&rs_, this);
    binder_->bind(lblyhid, QStringLiteral("银行ID"));
    binder_->bind(lblcyid, QStringLiteral("成员ID"));
    binder_->bind(txtJE, QStringLiteral("金额"));
    cbocq->setCurrentIndex(0);
    cbolx->setCurrentIndex(0);
    rememberChoice();
    // While browsing, every field shows the current row, its bank and member named.
    connect(&rs_, &Recordset::currentChanged, this, [this] { showRow(); });
    connect(&rs_, &Recordset::reset, this, [this] { showRow(); });
    showRow();
    if (rs_.isOpen()) {
        DG->setColumnTwips(4, 1300);
        DG->setColumnAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        DG->setColumnFormat(4, RecordsetModel::Format::Grouped);
    }
}

BankLedger::~BankLedger() = default;

void BankLedger::setButtons(bool sta)
{
    Toolbars::setEditingState(Toolbar1, sta, false);
    // The amount takes input and the lookups work only while a row is being added: nothing typed
    // or picked is lost unseen.
    txtJE->setReadOnly(sta);
    cmdfindo->setEnabled(!sta);
    cmdfindt->setEnabled(!sta);
    // A combo or date changed while browsing would show a row other than the one stored.
    for (QWidget* w : std::initializer_list<QWidget*>{cbocq, cbolx, dpdate})
        w->setEnabled(!sta);
}

void BankLedger::showRow()
{
    if (!rs_.isOpen() || rs_.editMode() != Recordset::EditNone || rs_.position() < 0 || rs_.position() >= rs_.rowCount())
        return;
    lblyh->setText(Picker::nameOf(QStringLiteral("银行"), QStringLiteral("开户行"), rs_.text(QStringLiteral("银行ID"))));
    lblcy->setText(Picker::nameOf(QStringLiteral("成员"), QStringLiteral("姓名"), rs_.text(QStringLiteral("成员ID"))));
    cbocq->setEditText(rs_.text(QStringLiteral("存或取")));
    cbolx->setEditText(rs_.text(QStringLiteral("类型")));
    if (const QDate d = QDate::fromString(rs_.text(QStringLiteral("日期")), Qt::ISODate); d.isValid())
        dpdate->setDate(d);
}

void BankLedger::rememberChoice()
{
    lastChoice_ = {lblyh->text(), lblcy->text(), cbocq->currentText(), cbolx->currentText(), dpdate->date()};
}

void BankLedger::restoreChoice()
{
    lblyh->setText(lastChoice_.bank);
    lblcy->setText(lastChoice_.member);
    cbocq->setEditText(lastChoice_.direction);
    cbolx->setEditText(lastChoice_.kind);
    dpdate->setDate(lastChoice_.date);
}

void BankLedger::doAddNew()
{
    if (!binder_->addNew())
        return;
    // A new row starts from the last one added, for quick entry of similar rows.
    restoreChoice();
    setButtons(false);
    cmdfindt->setFocus();
}

void BankLedger::doUpdate()
{
    if (!checkRecord({{lblyhid->text(), QStringLiteral("银行不能为空"), cmdfindo},
                      {lblcyid->text(), QStringLiteral("成员不能为空"), cmdfindt},
                      {txtJE->text(), QStringLiteral("金额不能为空"), txtJE}},
                     txtJE))
        return;
    const bool saved = binder_->save([&](Recordset& rs) {
        rs.setValue(QStringLiteral("存或取"), cbocq->currentText());
        rs.setValue(QStringLiteral("类型"), cbolx->currentText());
        rs.setValue(QStringLiteral("日期"), dpdate->date());
    });
    if (saved) {
        rememberChoice();
        setButtons(true);
    }
}

void BankLedger::doCancel()
{
    binder_->cancel();
    setButtons(true);
}

void BankLedger::doDelete()
{
    confirmDeleteCurrent(rs_);
    setButtons(true);
}

void BankLedger::pickBank()
{
    Picker::pickInto(this, QStringLiteral("银行"), QStringLiteral("开户行"), lblyhid, lblyh);
    txtJE->setFocus();
}

void BankLedger::pickMember()
{
    Picker::pickInto(this, QStringLiteral("成员"), QStringLiteral("姓名"), lblcyid, lblcy);
}

void BankLedger::done(int r)
{
    // A row being added and not saved is dropped with the recordset.
    rs_.close();
    DataWindow::done(r);
}
