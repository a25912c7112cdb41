#include "correctionform.h"

#include "budgetwarning.h"

#include "dberror.h"
#include "money.h"
#include "recordset.h"
#include "bankledger.h"
#include "entryform.h"
#include "picker.h"
#include "toolbars.h"
#include "app.h"
#include "inputs.h"
#include "valuelabel.h"
#include "store.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Fields of the ledgers, by place: income, expense and investments; the bank ledger.
constexpr int Member = 0, Type = 1, Amount = 2, Date = 3, Note = 4, Month = 5;
constexpr int Bank = 0, BankMember = 1, Direction = 2, Kind = 3, BankAmount = 4, BankDate = 5;

// A stored value as a box shows it: amounts in their plain form.
QString shown(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.metaType().id() == QMetaType::Double)
        return Money::fromDouble(v.toDouble()).toPlain();
    return v.toString();
}

const EntryFormKind* entryKindOf(Ledger ledger)
{
    for (const EntryFormKind& k : kEntryForms)
        if (k.ledger == ledger)
            return &k;
    return nullptr;
}

// The picker's date for a stored date; a record without one shows the lowest date as "（无日期）".
QDateEdit* dateBox(const QString& name, const QVariant& stored, QWidget* parent)
{
    const QDate d = QDate::fromString(shown(stored), QStringLiteral("yyyy-MM-dd"));
    QDateEdit* box = datePicker(name, d.isValid() ? d : App::today(), parent);
    if (!d.isValid()) {
        box->setSpecialValueText(QStringLiteral("（无日期）"));
        box->setDate(box->minimumDate());
    }
    return box;
}

}  // namespace

CorrectionForm::CorrectionForm(Store& store, Ledger ledger, const QVariantList& values, Saver save, QWidget* parent)
    : DataWindow(QStringLiteral("frmCorrect"), parent), store_(store), ledger_(ledger), stored_(values), save_(std::move(save)),
      bank_(ledger == Ledger::Bank)
{
    setWindowTitle(QStringLiteral("修改%1记录").arg(ledger.table()));
    while (stored_.size() < 6)
        stored_ << QVariant();
    setFont(songFont(9));
    const EntryFormKind* kind = entryKindOf(ledger);

    const QString memberTip = bank_ ? QStringLiteral("查找成员信息") : QStringLiteral("查找成员");
    const QString otherTip = bank_ ? QStringLiteral("查找银行信息") : (kind ? kind->typeTip : QString());
    memberIdLabel = valueBox(bank_ ? QStringLiteral("lblcyid") : QStringLiteral("lblcyID"), QStringLiteral("成员ID"), 1200, this);
    memberLabel = valueBox(QStringLiteral("lblcy"), QStringLiteral("成员"), 1200, this);
    pickMemberButton = Toolbars::lookupButton(QStringLiteral("cmdfindt"), memberTip, this);
    typeIdLabel = valueBox(bank_ ? QStringLiteral("lblyhid") : QStringLiteral("lbllxID"),
                       bank_ ? QStringLiteral("银行ID") : QStringLiteral("类型ID"), 1200, this);
    typeLabel = valueBox(bank_ ? QStringLiteral("lblyh") : QStringLiteral("lbllx"),
                     bank_ ? QStringLiteral("银行") : QStringLiteral("类型"), 1200, this);
    pickTypeButton = Toolbars::lookupButton(QStringLiteral("cmdfindo"), otherTip, this);
    amountEdit = new QLineEdit(this);
    amountEdit->setObjectName(bank_ ? QStringLiteral("txtJE") : QStringLiteral("txtJe"));
    amountEdit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The key filter of the entry form the record came from: Enter moves on there, not in the bank's.
    installAmountBox(amountEdit, false, !bank_);

    const ReferenceList otherList = bank_ ? ReferenceList::Banks : kind ? *kind->ledger.typeList() : ReferenceList::IncomeTypes;
    const int memberField = bank_ ? BankMember : Member, otherField = bank_ ? Bank : Type;
    for (QLabel* l : {memberIdLabel, memberLabel, typeIdLabel, typeLabel})
        l->setTextFormat(Qt::PlainText);
    memberIdLabel->setText(shown(stored_.value(memberField)));
    memberLabel->setText(store_.nameOf(ReferenceList::Members, memberIdLabel->text()));
    typeIdLabel->setText(shown(stored_.value(otherField)));
    typeLabel->setText(store_.nameOf(otherList, typeIdLabel->text()));
    amountEdit->setText(shown(stored_.value(bank_ ? BankAmount : Amount)));
    dateEdit = dateBox(bank_ ? QStringLiteral("dpdate") : QStringLiteral("dpDate"), stored_.value(bank_ ? BankDate : Date), this);

    QGridLayout* grid = buildFieldRows();

    saveButton = new QPushButton(QStringLiteral("保存"), this);
    saveButton->setObjectName(QStringLiteral("cmdsave"));
    saveButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("cmdcancel"));
    cancelButton->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(pickMemberButton, &QToolButton::clicked, this, [this] {
        Picker::pickInto(store_, ReferenceList::Members, this, memberIdLabel, memberLabel);
    });
    connect(pickTypeButton, &QToolButton::clicked, this, [this, otherList] {
        Picker::pickInto(store_, otherList, this, typeIdLabel, typeLabel);
        amountEdit->setFocus();
    });
    connect(saveButton, &QPushButton::clicked, this, [this] { saveCorrection(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    amountEdit->setFocus();
    amountEdit->selectAll();
}

// The fields in the order of the window the record came from: the bank's, or an entry form's.
QGridLayout* CorrectionForm::buildFieldRows()
{
    auto* grid = new QGridLayout;
    int row = 0;
    const auto pickRow = [&](const QString& idCaption, QLabel* id, const QString& nameCaption, QLabel* name, QToolButton* b) {
        addFieldRow(grid, row, {{idCaption, id}, {nameCaption, name}});
        grid->addWidget(b, row++, 4);
    };
    if (bank_) {
        pickRow(QStringLiteral("银行ID:"), typeIdLabel, QStringLiteral("银行:"), typeLabel, pickTypeButton);
        pickRow(QStringLiteral("成员ID:"), memberIdLabel, QStringLiteral("成员:"), memberLabel, pickMemberButton);
        directionBox = bankChoiceBox(QStringLiteral("cbocq"), true, this);
        termBox = bankChoiceBox(QStringLiteral("cbolx"), false, this);
        directionBox->setEditText(shown(stored_.value(Direction)));
        termBox->setEditText(shown(stored_.value(Kind)));
        addFieldRow(grid, row++, {{QStringLiteral("存或取:"), directionBox}, {QStringLiteral("类型:"), termBox}});
        addFieldRow(grid, row++, {{QStringLiteral("金  额:"), amountEdit}, {QStringLiteral("日期:"), dateEdit}});
    } else {
        pickRow(QStringLiteral("成员ID:"), memberIdLabel, QStringLiteral("成员:"), memberLabel, pickMemberButton);
        pickRow(QStringLiteral("类型ID:"), typeIdLabel, QStringLiteral("类型:"), typeLabel, pickTypeButton);
        addFieldRow(grid, row++, {{QStringLiteral("金额:"), amountEdit}, {QStringLiteral("日期:"), dateEdit}});
        noteEdit = new QLineEdit(this);
        noteEdit->setObjectName(QStringLiteral("txtMemo"));
        setCharacterLimit(noteEdit, 20);
        noteEdit->setText(shown(stored_.value(Note)));
        grid->addWidget(buddyLabel(QStringLiteral("备注:"), noteEdit, this), row, 0);
        grid->addWidget(noteEdit, row++, 1, 1, 3);
    }
    grid->setColumnStretch(3, 1);
    return grid;
}

void CorrectionForm::saveCorrection()
{
    const EntryFormKind* kind = entryKindOf(ledger_);
    const bool passed = bank_ ? checkRecord({{typeIdLabel->text(), QStringLiteral("银行不能为空"), pickTypeButton},
                                             {memberIdLabel->text(), QStringLiteral("成员不能为空"), pickMemberButton},
                                             {amountEdit->text(), QStringLiteral("金额不能为空"), amountEdit}},
                                            amountEdit)
                              : checkRecord({{typeIdLabel->text(), kind ? kind->emptyTypeMessage : QString(), pickTypeButton},
                                             {memberIdLabel->text(), QStringLiteral("成员不能为空"), pickMemberButton},
                                             {amountEdit->text(), kind ? kind->emptyAmountMessage : QString(), amountEdit}},
                                            amountEdit);
    if (passed && checkNoControlCharacters(this) && save_ && save_(values())) {
        // A corrected expense may take its type over the month's budget: said once, nothing refused.
        if (ledger_ == Ledger::Expense)
            warnOverBudget(store_, {{memberIdLabel->text(), typeIdLabel->text(), dateEdit->date().toString(QStringLiteral("yyyy-MM"))}});
        accept();
    }
}

QVariant CorrectionForm::kept(int field, const QString& text) const
{
    return text == shown(stored_.value(field)) ? stored_.value(field) : QVariant(text);
}

QVariantList CorrectionForm::values() const
{
    const int amountField = bank_ ? BankAmount : Amount, dateField = bank_ ? BankDate : Date;
    QVariant amount = kept(amountField, amountEdit->text());
    if (amount.metaType().id() == QMetaType::QString)
        amount = QVariant::fromValue(Money::parse(QString(amountEdit->text()).remove(u' ')).value_or(Money()));
    // A date left as read (or left empty) keeps what is stored; the month follows the date.
    const QDate stored = QDate::fromString(shown(stored_.value(dateField)), QStringLiteral("yyyy-MM-dd"));
    const bool dateKept = dateEdit->date() == (stored.isValid() ? stored : dateEdit->minimumDate());
    const QVariant date = dateKept ? stored_.value(dateField) : QVariant(dateEdit->date().toString(QStringLiteral("yyyy-MM-dd")));

    QVariantList v = stored_;
    if (bank_) {
        v[Bank] = kept(Bank, typeIdLabel->text());
        v[BankMember] = kept(BankMember, memberIdLabel->text());
        v[Direction] = kept(Direction, directionBox->currentText());
        v[Kind] = kept(Kind, termBox->currentText());
    } else {
        v[Member] = kept(Member, memberIdLabel->text());
        v[Type] = kept(Type, typeIdLabel->text());
        v[Note] = kept(Note, noteEdit->text());
        if (!dateKept)
            v[Month] = dateEdit->date().month();
    }
    v[amountField] = amount;
    v[dateField] = date;
    return v;
}
