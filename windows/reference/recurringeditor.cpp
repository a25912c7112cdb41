#include "recurringeditor.h"

#include "app.h"
#include "inputs.h"
#include "store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QStringList kLedgers = {Recurring::kIncome, Recurring::kExpense, Recurring::kInvestment, Recurring::kBank};

// A combo of a reference list's rows: "ID 名称" shown, the ID as its data.
void fillFrom(QComboBox* box, Store& store, ReferenceList list)
{
    box->clear();
    for (const Store::Named& row : store.names(list))
        box->addItem(row.id + QLatin1Char(' ') + row.name, row.id);
}

// Selects the item with this ID; an ID no longer there is shown as it is, so that it can be seen and mended.
void selectId(QComboBox* box, const QString& id)
{
    int i = box->findData(id);
    if (i < 0) {
        box->addItem(id + QStringLiteral("（已不存在）"), id);
        i = box->count() - 1;
    }
    box->setCurrentIndex(i);
}

}  // namespace

// The fields of a template, each with its label.
QGridLayout* RecurringEditor::buildFields()
{
    ledgerBox = new QComboBox(this);
    ledgerBox->setObjectName(QStringLiteral("cboLedger"));
    ledgerBox->addItems(kLedgers);
    memberBox = new QComboBox(this);
    memberBox->setObjectName(QStringLiteral("cboMember"));
    typeBox = new QComboBox(this);
    typeBox->setObjectName(QStringLiteral("cboType"));
    inOutBox = new QComboBox(this);
    inOutBox->setObjectName(QStringLiteral("cboInOut"));
    inOutBox->addItems({QStringLiteral("存入"), QStringLiteral("支出")});
    bankKindBox = new QLineEdit(QStringLiteral("活期"), this);
    bankKindBox->setObjectName(QStringLiteral("txtBankKind"));
    amountBox = new QLineEdit(this);
    amountBox->setObjectName(QStringLiteral("txtAmount"));
    amountBox->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    installAmountBox(amountBox, false, true);
    noteBox = new QLineEdit(this);
    noteBox->setObjectName(QStringLiteral("txtNote"));
    setCharacterLimit(noteBox, 20);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("cboPeriod"));
    for (Recurring::Period p : {Recurring::Period::Monthly, Recurring::Period::Weekly, Recurring::Period::Yearly})
        periodBox->addItem(Recurring::periodName(p));
    dayBox = new QSpinBox(this);
    dayBox->setObjectName(QStringLiteral("spnDay"));
    dayBox->setRange(1, 31);
    dayBox->setToolTip(QStringLiteral("31 表示每月最后一天"));
    intervalBox = new QSpinBox(this);
    intervalBox->setObjectName(QStringLiteral("spnWeeks"));
    intervalBox->setRange(1, 52);
    startBox = datePicker(QStringLiteral("dtStart"), App::today(), this);
    hasEndBox = new QCheckBox(QStringLiteral("有结束日期"), this);
    hasEndBox->setObjectName(QStringLiteral("chkEnd"));
    endBox = datePicker(QStringLiteral("dtEnd"), App::today().addYears(1), this);
    countBox = new QSpinBox(this);
    countBox->setObjectName(QStringLiteral("spnCount"));
    countBox->setRange(0, 9999);
    countBox->setSpecialValueText(QStringLiteral("不限"));

    auto* fields = new QGridLayout;
    addFieldRow(fields, 0, {{QStringLiteral("帐"), ledgerBox}, {QStringLiteral("成员"), memberBox},
                            {QStringLiteral("类型/银行"), typeBox}});
    addFieldRow(fields, 1, {{QStringLiteral("存或取"), inOutBox}, {QStringLiteral("活期/定期"), bankKindBox},
                            {QStringLiteral("金额"), amountBox}});
    addFieldRow(fields, 2, {{QStringLiteral("备注"), noteBox}, {QStringLiteral("周期"), periodBox},
                            {QStringLiteral("每月几日"), dayBox}});
    addFieldRow(fields, 3, {{QStringLiteral("每几周"), intervalBox}, {QStringLiteral("开始日期"), startBox},
                            {QStringLiteral("结束日期"), endBox}});
    addFieldRow(fields, 4, {{QStringLiteral("次数"), countBox}});
    fields->addWidget(hasEndBox, 4, 2, 1, 2);
    return fields;
}

RecurringEditor::RecurringEditor(Store& store, QWidget* parent)
    : DataWindow(QStringLiteral("frmRecurring"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("定期收支"));
    setFont(songFont(9));
    setEscapeCloses(false);
    resize(twips(11000), twips(7600));

    model_ = new QStandardItemModel(this);
    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("DG"));
    grid->setModel(model_);
    grid->setAccessibleName(QStringLiteral("定期收支"));
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setStretchLastSection(true);

    QGridLayout* fields = buildFields();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const std::pair<const char*, const char*> kButtons[] = {{"cmdNew", "新增"}, {"cmdSave", "保存"}, {"cmdDelete", "删除"}, {"cmdexit", "返回"}};
    QList<QPushButton*> made;
    for (const auto& [name, caption] : kButtons) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        made << b;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(made[0], &QPushButton::clicked, this, [this] {
        grid->clearSelection();
        showTemplate(-1);
        amountBox->setFocus();
    });
    connect(made[1], &QPushButton::clicked, this, [this] { save(); });
    connect(made[2], &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(made[3], &QPushButton::clicked, this, &QDialog::accept);
    connect(ledgerBox, &QComboBox::currentIndexChanged, this, [this] {
        fillTypes();
        updateFields();
    });
    connect(periodBox, &QComboBox::currentIndexChanged, this, [this] { updateFields(); });
    connect(hasEndBox, &QCheckBox::toggled, this, [this] { updateFields(); });
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showTemplate(current.row()); });

    try {
        fillFrom(memberBox, store_, ReferenceList::Members);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取成员。"));
    }
    fillTypes();
    load();
    showTemplate(-1);
}

void RecurringEditor::fillTypes()
{
    const QString ledger = ledgerBox->currentText();
    try {
        if (ledger == Recurring::kBank)
            fillFrom(typeBox, store_, ReferenceList::Banks);
        else if (const std::optional<Ledger> chosen = Ledger::ofTable(ledger); chosen && chosen->typeList())
            fillFrom(typeBox, store_, *chosen->typeList());
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取类型。"));
    }
}

void RecurringEditor::updateFields()
{
    const bool bank = ledgerBox->currentText() == Recurring::kBank;
    inOutBox->setEnabled(bank);
    bankKindBox->setEnabled(bank);
    dayBox->setEnabled(periodBox->currentIndex() == int(Recurring::Period::Monthly));
    intervalBox->setEnabled(periodBox->currentIndex() == int(Recurring::Period::Weekly));
    endBox->setEnabled(hasEndBox->isChecked());
}

void RecurringEditor::load(qint64 select)
{
    model_->clear();
    model_->setHorizontalHeaderLabels({QStringLiteral("帐"), QStringLiteral("成员"), QStringLiteral("类型/银行"), QStringLiteral("金额"),
                                       QStringLiteral("周期"), QStringLiteral("备注"), QStringLiteral("说明")});
    try {
        templates_ = store_.recurringTemplates();
        for (const Recurring::Template& t : templates_) {
            const Recurring::Names names = store_.recurringNames(t);
            auto* amount = new QStandardItem(t.amount.toGrouped());
            amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            model_->appendRow({new QStandardItem(t.ledger), new QStandardItem(names.member), new QStandardItem(names.type), amount,
                               new QStandardItem(Recurring::describe(t.schedule)), new QStandardItem(t.note),
                               new QStandardItem(store_.recurringProblem(t))});
        }
    } catch (const std::exception& e) {
        templates_.clear();
        showDbError(e, QStringLiteral("无法读取定期收支。"));
    }
    grid->resizeColumnsToContents();
    for (qsizetype r = 0; r < templates_.size(); ++r)
        if (templates_[r].id == select)
            grid->selectRow(int(r));
}

void RecurringEditor::showTemplate(int row)
{
    Recurring::Template t;
    t.ledger = Recurring::kExpense;
    t.schedule.start = App::today();
    t.schedule.day = App::today().day();
    if (row >= 0 && row < templates_.size())
        t = templates_[row];
    editing_ = t.id;
    ledgerBox->setCurrentText(t.ledger);
    fillTypes();
    if (t.id != 0) {
        selectId(memberBox, t.memberId);
        selectId(typeBox, t.ledger == Recurring::kBank ? t.bankId : t.typeId);
    }
    inOutBox->setCurrentText(t.inOut.isEmpty() ? QStringLiteral("支出") : t.inOut);
    bankKindBox->setText(t.ledger == Recurring::kBank ? t.typeId : QStringLiteral("活期"));
    amountBox->setText(t.id != 0 ? t.amount.toPlain() : QString());
    noteBox->setText(t.note);
    periodBox->setCurrentIndex(int(t.schedule.period));
    dayBox->setValue(t.schedule.day);
    intervalBox->setValue(t.schedule.interval);
    startBox->setDate(t.schedule.start);
    hasEndBox->setChecked(t.schedule.end.isValid());
    if (t.schedule.end.isValid())
        endBox->setDate(t.schedule.end);
    countBox->setValue(t.schedule.count);
    updateFields();
}

bool RecurringEditor::save()
{
    if (!checkRecord({{memberBox->currentData().toString(), QStringLiteral("请选择成员"), memberBox},
                      {typeBox->currentData().toString(), QStringLiteral("请选择类型或银行"), typeBox}},
                     amountBox))
        return false;
    if (hasEndBox->isChecked() && endBox->date() < startBox->date()) {
        App::msgBox(QStringLiteral("结束日期不能早于开始日期。"), App::MsgStyle::Information);
        endBox->setFocus();
        return false;
    }
    Recurring::Template t;
    t.id = editing_;
    t.ledger = ledgerBox->currentText();
    t.memberId = memberBox->currentData().toString();
    const bool bank = t.ledger == Recurring::kBank;
    t.typeId = bank ? bankKindBox->text().trimmed() : typeBox->currentData().toString();
    t.bankId = bank ? typeBox->currentData().toString() : QString();
    t.inOut = bank ? inOutBox->currentText() : QString();
    t.amount = *Money::parse(amountBox->text());
    t.note = noteBox->text();
    t.schedule = {Recurring::Period(periodBox->currentIndex()), intervalBox->value(), dayBox->value(), startBox->date(),
                  hasEndBox->isChecked() ? endBox->date() : QDate(), countBox->value()};
    try {
        store_.saveRecurring(t);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("定期收支没有保存。"));
        return false;
    }
    load(t.id);
    return true;
}

void RecurringEditor::removeSelected()
{
    const int row = grid->currentIndex().row();
    if (row < 0 || row >= templates_.size() || !grid->selectionModel()->hasSelection())
        return;
    if (App::msgBox(QStringLiteral("真的要删除这条定期收支吗？已经入帐的记录不受影响。"), App::MsgStyle::Question) != App::MsgAnswer::Ok)
        return;
    try {
        store_.removeRecurring(templates_[row].id);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("定期收支没有删除。"));
    }
    load();
    showTemplate(-1);
}
