#include "bankledger.h"

#include "picker.h"
#include "toolbars.h"
#include "app.h"
#include "inputs.h"
#include "valuelabel.h"
#include "store.h"

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

BankLedger::BankLedger(Store& store, QWidget* parent) : DataWindow(QStringLiteral("frmyhzhang"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("银行帐"));
    setEscapeCloses(false);
    resize(twips(7800), twips(6300));

    toolbar = Toolbars::editingToolbar(this, QStringLiteral("入帐/返回"),
                                       {[this] { doAddNew(); }, [this] { doUpdate(); }, [this] { doCancel(); },
                                        [this] { doDelete(); }, [this] { done(QDialog::Accepted); }});

    QFrame* frame = buildFields();

    recordsCaption = new QLabel(QStringLiteral("银行存取记录："), this);
    recordsCaption->setObjectName(QStringLiteral("Label7"));
    recordsGrid = new DataGrid(this);
    recordsGrid->setObjectName(QStringLiteral("DG"));
    recordsCaption->setBuddy(recordsGrid);
    recordsGrid->setAccessibleName(QStringLiteral("银行存取记录"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toolbar);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(6, 6, 6, 6);
    body->addWidget(frame);
    body->addWidget(recordsCaption);
    body->addWidget(recordsGrid, 1);
    layout->addLayout(body, 1);

    setTabOrder(pickBankButton, pickMemberButton);
    setTabOrder(pickMemberButton, directionBox);
    setTabOrder(directionBox, termBox);
    setTabOrder(termBox, amountEdit);
    setTabOrder(amountEdit, dateEdit);

    // Digits, the decimal point and Backspace; Enter does nothing.
    installAmountBox(amountEdit, false, false);

    connect(pickBankButton, &QToolButton::clicked, this, [this] { pickBank(); });
    connect(pickMemberButton, &QToolButton::clicked, this, [this] { pickMember(); });
    // Load.
    setButtons(true);
    loadRecords();
}

// The frame of the movement's fields: bank, member, direction, term, amount and date.
QFrame* BankLedger::buildFields()
{
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bankIdLabel = valueBox(QStringLiteral("lblyhid"), QStringLiteral("银行ID"), 1200, frame);
    bankLabel = valueBox(QStringLiteral("lblyh"), QStringLiteral("银行"), 1200, frame);
    pickBankButton = Toolbars::lookupButton(QStringLiteral("cmdfindo"), QStringLiteral("查找银行信息"), frame);
    memberIdLabel = valueBox(QStringLiteral("lblcyid"), QStringLiteral("成员ID"), 1200, frame);
    memberLabel = valueBox(QStringLiteral("lblcy"), QStringLiteral("成员"), 1200, frame);
    pickMemberButton = Toolbars::lookupButton(QStringLiteral("cmdfindt"), QStringLiteral("查找成员信息"), frame);
    directionBox = bankChoiceBox(QStringLiteral("cbocq"), true, frame);
    termBox = bankChoiceBox(QStringLiteral("cbolx"), false, frame);
    amountEdit = new QLineEdit(frame);
    amountEdit->setObjectName(QStringLiteral("txtJE"));
    amountEdit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    installFocusColor(amountEdit);
    dateEdit = datePicker(QStringLiteral("dpdate"), App::today(), frame);

    auto* grid = new QGridLayout(frame);
    addFieldRow(grid, 0, {{QStringLiteral("银行ID:"), bankIdLabel}, {QStringLiteral("银行:"), bankLabel}});
    grid->addWidget(pickBankButton, 0, 4);
    addFieldRow(grid, 1, {{QStringLiteral("成员ID:"), memberIdLabel}, {QStringLiteral("成员:"), memberLabel}});
    grid->addWidget(pickMemberButton, 1, 4);
    addFieldRow(grid, 2, {{QStringLiteral("存或取:"), directionBox}, {QStringLiteral("类型:"), termBox}});
    addFieldRow(grid, 3, {{QStringLiteral("金  额:"), amountEdit}, {QStringLiteral("日期:"), dateEdit}});
    grid->setColumnStretch(3, 1);
    return frame;
}

// The bank ledger's records, in the grid and bound to the fields.
void BankLedger::loadRecords()
{
    try {
        rs_.open(store_, EditedTable::of(Ledger::Bank));
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取“银行帐”。"));
    }
    recordsGrid->setRecordset(&rs_);
    binder_ = new Binder(&rs_, this);
    binder_->bind(bankIdLabel, QStringLiteral("银行ID"));
    binder_->bind(memberIdLabel, QStringLiteral("成员ID"));
    binder_->bind(amountEdit, QStringLiteral("金额"));
    directionBox->setCurrentIndex(0);
    termBox->setCurrentIndex(0);
    rememberChoice();
    // While browsing, every field shows the current row, its bank and member named.
    connect(&rs_, &Recordset::currentChanged, this, [this] { showRow(); });
    connect(&rs_, &Recordset::reset, this, [this] { showRow(); });
    showRow();
    if (rs_.isOpen()) {
        // The codes and the two short words need less than a column's usual width: each is as wide
        // as its header and cells, so that 日期 stays in view beside them.
        const int widths[] = {800, 800, 700, 700};
        for (int c = 0; c < 4; ++c)
            recordsGrid->setColumnTwips(c, widths[c]);
        recordsGrid->setColumnTwips(4, 1300);
        recordsGrid->setColumnAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        recordsGrid->setColumnFormat(4, RecordsetModel::Format::Grouped);
    }
}

BankLedger::~BankLedger() = default;

void BankLedger::setButtons(bool browsing)
{
    Toolbars::setEditingState(toolbar, browsing, false);
    // The amount takes input and the lookups work only while a row is being added: nothing typed
    // or picked is lost unseen.
    amountEdit->setReadOnly(browsing);
    pickBankButton->setEnabled(!browsing);
    pickMemberButton->setEnabled(!browsing);
    // A combo or date changed while browsing would show a row other than the one stored.
    for (QWidget* w : std::initializer_list<QWidget*>{directionBox, termBox, dateEdit})
        w->setEnabled(!browsing);
}

void BankLedger::showRow()
{
    if (!rs_.isOpen() || rs_.editMode() != Recordset::EditNone || rs_.position() < 0 || rs_.position() >= rs_.rowCount())
        return;
    bankLabel->setText(store_.nameOf(ReferenceList::Banks, rs_.text(QStringLiteral("银行ID"))));
    memberLabel->setText(store_.nameOf(ReferenceList::Members, rs_.text(QStringLiteral("成员ID"))));
    directionBox->setEditText(rs_.text(QStringLiteral("存或取")));
    termBox->setEditText(rs_.text(QStringLiteral("类型")));
    if (const QDate d = QDate::fromString(rs_.text(QStringLiteral("日期")), Qt::ISODate); d.isValid())
        dateEdit->setDate(d);
}

void BankLedger::rememberChoice()
{
    lastChoice_ = {bankLabel->text(), memberLabel->text(), directionBox->currentText(), termBox->currentText(), dateEdit->date()};
}

void BankLedger::restoreChoice()
{
    bankLabel->setText(lastChoice_.bank);
    memberLabel->setText(lastChoice_.member);
    directionBox->setEditText(lastChoice_.direction);
    termBox->setEditText(lastChoice_.kind);
    dateEdit->setDate(lastChoice_.date);
}

void BankLedger::doAddNew()
{
    if (!binder_->addNew())
        return;
    // A new row starts from the last one added, for quick entry of similar rows.
    restoreChoice();
    setButtons(false);
    pickMemberButton->setFocus();
}

void BankLedger::doUpdate()
{
    if (!checkRecord({{bankIdLabel->text(), QStringLiteral("银行不能为空"), pickBankButton},
                      {memberIdLabel->text(), QStringLiteral("成员不能为空"), pickMemberButton},
                      {amountEdit->text(), QStringLiteral("金额不能为空"), amountEdit}},
                     amountEdit))
        return;
    const bool saved = binder_->save([&](EditableRows& rs) {
        rs.setValue(QStringLiteral("存或取"), directionBox->currentText());
        rs.setValue(QStringLiteral("类型"), termBox->currentText());
        rs.setValue(QStringLiteral("日期"), dateEdit->date());
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
    Picker::pickInto(store_, ReferenceList::Banks, this, bankIdLabel, bankLabel);
    amountEdit->setFocus();
}

void BankLedger::pickMember()
{
    Picker::pickInto(store_, ReferenceList::Members, this, memberIdLabel, memberLabel);
}

void BankLedger::done(int r)
{
    // A row being added and not saved is dropped with the recordset.
    rs_.close();
    DataWindow::done(r);
}
