#include "statementcolumns.h"

#include "app.h"
#include "inputs.h"
#include "store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// What the column names of Chinese banks' statements (and English ones) say, for the choices offered.
const QString kDateNames = QStringLiteral("日期|时间|交易日|记账日|date");
const QString kDebitNames = QStringLiteral("支出|借方|转出|取出|支取|debit|withdrawal|paid out");
const QString kCreditNames = QStringLiteral("收入|存入|贷方|转入|credit|deposit|paid in");
const QString kAmountNames = QStringLiteral("金额|发生额|amount");
const QString kBalanceNames = QStringLiteral("余额|balance");
const QString kDirectionNames = QStringLiteral("借贷|收/支|收支|存取|方向|^dr/?cr$|^d/c$|debit/credit");
const QString kPartyNames = QStringLiteral("对方|对手|交易对象|收款人|付款人|商户|payee|counterparty|merchant");
const QString kNoteNames = QStringLiteral("摘要|用途|备注|附言|说明|描述|description|memo|narrative|details|particulars");
const QString kCurrencyNames = QStringLiteral("币种|币别|货币|currency|ccy");
const QString kAccountNames = QStringLiteral("卡号|账号|帐号|账户|帐户|account|card");

}  // namespace

StatementColumnsDialog::StatementColumnsDialog(Store& store, const Bills::Table& table, const std::optional<Bills::Columns>& start,
                                               QWidget* parent)
    : DataWindow(QStringLiteral("frmColumns"), parent), table_(table)
{
    setWindowTitle(QStringLiteral("导入账单：流水的各列"));
    buildFirstRows();
    buildColumnBoxes();
    buildBankBoxes(store);
    guessColumns();
    if (start)
        showColumns(*start);
    formChosen();
    connect(dateColumnBox, &QComboBox::currentIndexChanged, this, [this] { guessForm(); });
    connect(dateFormBox, &QComboBox::currentIndexChanged, this, [this] { formChosen(); });
    buildLayout();
    resize(twips(9600), twips(6600));
}

// The header and the first rows of the table, as the file has them.
void StatementColumnsDialog::buildFirstRows()
{
    auto* model = new QStandardItemModel(static_cast<int>(table_.firstRows.size()), static_cast<int>(table_.header.size()), this);
    model->setHorizontalHeaderLabels(table_.header);
    for (int r = 0; r < table_.firstRows.size(); ++r)
        for (int c = 0; c < table_.header.size(); ++c)
            model->setItem(r, c, new QStandardItem(table_.firstRows.at(r).value(c)));
    firstRowsGrid = new QTableView(this);
    firstRowsGrid->setObjectName(QStringLiteral("DGrows"));
    firstRowsGrid->setModel(model);
    firstRowsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    firstRowsGrid->setTabKeyNavigation(false);
    firstRowsGrid->resizeColumnsToContents();
}

// A list of the columns for each thing a movement has, and the forms a date can be written in.
void StatementColumnsDialog::buildColumnBoxes()
{
    dateColumnBox = columnBox(QStringLiteral("cbodate"), QStringLiteral("（请选择）"));
    dateFormBox = new QComboBox(this);
    dateFormBox->setObjectName(QStringLiteral("cboform"));
    for (const QString& form : Bills::dateForms())
        dateFormBox->addItem(QStringLiteral("%1（%2）").arg(QDate(2026, 3, 1).toString(form), form), form);
    periodBox = new QLineEdit(this);
    periodBox->setObjectName(QStringLiteral("txtperiod"));
    periodBox->setPlaceholderText(QStringLiteral("如 2024-01"));
    periodBox->setMaxLength(10);
    amountColumnBox = columnBox(QStringLiteral("cboamount"), QStringLiteral("（无：支出、收入分两列）"));
    positiveBox = new QComboBox(this);
    positiveBox->setObjectName(QStringLiteral("cbopositive"));
    positiveBox->addItem(QStringLiteral("是收入"), static_cast<int>(Bills::Kind::Income));
    positiveBox->addItem(QStringLiteral("是支出"), static_cast<int>(Bills::Kind::Expense));
    directionColumnBox = columnBox(QStringLiteral("cbodirection"), QStringLiteral("（无）"));
    debitColumnBox = columnBox(QStringLiteral("cbodebit"), QStringLiteral("（无）"));
    creditColumnBox = columnBox(QStringLiteral("cbocredit"), QStringLiteral("（无）"));
    counterpartyColumnBox = columnBox(QStringLiteral("cboparty"), QStringLiteral("（无）"));
    noteColumnBox = columnBox(QStringLiteral("cbonote"), QStringLiteral("（无）"));
    balanceColumnBox = columnBox(QStringLiteral("cbobalance"), QStringLiteral("（无）"));
    currencyColumnBox = columnBox(QStringLiteral("cbocurrency"), QStringLiteral("（无：都是人民币）"));
    accountColumnBox = columnBox(QStringLiteral("cboaccount"), QStringLiteral("（无）"));
}

// The file's bank, from the household's banks in the order they were entered, and whether each
// movement also goes into its ledger.
void StatementColumnsDialog::buildBankBoxes(Store& store)
{
    bankBox = new QComboBox(this);
    bankBox->setObjectName(QStringLiteral("cbobank"));
    bankBox->addItem(QStringLiteral("（无）"), QString());
    try {
        for (const Store::Named& bank : store.names(ReferenceList::Banks, Store::ListOrder::AsEntered))
            bankBox->addItem(QStringLiteral("%1 %2").arg(bank.id, bank.name), bank.id);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取银行信息。"));
    }
    alsoBankBox = new QCheckBox(QStringLiteral("同时记入银行帐(&L)"), this);
    alsoBankBox->setObjectName(QStringLiteral("chkbank"));
}

void StatementColumnsDialog::guessColumns()
{
    // The guesses: a pair of debit and credit columns before one signed amount (a bank that writes
    // 交易金额(收入) and 交易金额(支出) has both), the account's own money (记账) before the trade's.
    const int debit = columnNamed(kDebitNames, kBalanceNames, QStringLiteral("记账"));
    const int credit = columnNamed(kCreditNames, kBalanceNames, QStringLiteral("记账"));
    const bool pair = debit >= 0 && credit >= 0 && debit != credit;
    const int amount = pair ? -1 : columnNamed(kAmountNames, kBalanceNames + u'|' + kDebitNames + u'|' + kCreditNames, QStringLiteral("人民币|记账"));
    const QString moneyNames = table_.header.value(pair ? debit : amount);
    choose(dateColumnBox, columnNamed(kDateNames));
    choose(amountColumnBox, amount >= 0 ? amount : pair ? -1 : columnNamed(kAmountNames, kBalanceNames));
    choose(debitColumnBox, pair ? debit : -1);
    choose(creditColumnBox, pair ? credit : -1);
    choose(directionColumnBox, pair ? -1 : columnNamed(kDirectionNames));
    choose(counterpartyColumnBox, columnNamed(kPartyNames, QStringLiteral("账号|帐号|账户|帐户|卡号|account"), QStringLiteral("名|信息|name")));
    choose(noteColumnBox, columnNamed(kNoteNames));
    choose(balanceColumnBox, columnNamed(kBalanceNames));
    choose(currencyColumnBox, columnNamed(kCurrencyNames, QString(), moneyNames.contains(QStringLiteral("记账")) ? QStringLiteral("记账") : QString()));
    choose(accountColumnBox, columnNamed(kAccountNames, QStringLiteral("对方|对手|户名|名称|余额|balance|name|counterparty")));
    positiveBox->setCurrentIndex(table_.creditCard ? 1 : 0);
    guessForm();
    if (table_.periodEnd.isValid())
        periodBox->setText(table_.periodEnd.toString(QStringLiteral("yyyy-MM")));
}

// The columns named for this header before, instead of the guesses.
void StatementColumnsDialog::showColumns(const Bills::Columns& c)
{
    choose(dateColumnBox, c.date);
    dateFormBox->setCurrentIndex(std::max(0, dateFormBox->findData(c.dateForm)));
    choose(amountColumnBox, c.amount);
    positiveBox->setCurrentIndex(c.positive == Bills::Kind::Expense ? 1 : 0);
    choose(directionColumnBox, c.direction);
    choose(debitColumnBox, c.debit);
    choose(creditColumnBox, c.credit);
    choose(counterpartyColumnBox, c.counterparty);
    choose(noteColumnBox, c.note);
    choose(balanceColumnBox, c.balance);
    choose(currencyColumnBox, c.currency);
    choose(accountColumnBox, c.account);
    bankBox->setCurrentIndex(std::max(0, bankBox->findData(c.bank)));
    alsoBankBox->setChecked(c.alsoBank);
    words_ = c.words;
}

void StatementColumnsDialog::buildLayout()
{
    auto* intro = new QLabel(QStringLiteral("没有认出这个文件的格式。请说明哪一列是日期、金额（或支出、收入两列）、交易对方和备注；"
                                            "同样表头的文件以后会按这次的选择直接导入。"),
                             this);
    intro->setWordWrap(true);
    auto* fields = new QGridLayout;
    addFieldRow(fields, 0, {{QStringLiteral("日期(&D):"), dateColumnBox}, {QStringLiteral("日期形式(&F):"), dateFormBox}});
    addFieldRow(fields, 1, {{QStringLiteral("账单月份(&M):"), periodBox}});
    addFieldRow(fields, 2, {{QStringLiteral("金额(&A):"), amountColumnBox}, {QStringLiteral("金额为正数时(&S):"), positiveBox}});
    addFieldRow(fields, 3, {{QStringLiteral("收支列(&K):"), directionColumnBox}});
    addFieldRow(fields, 4, {{QStringLiteral("支出/借方(&O):"), debitColumnBox}, {QStringLiteral("收入/贷方(&I):"), creditColumnBox}});
    addFieldRow(fields, 5, {{QStringLiteral("交易对方(&P):"), counterpartyColumnBox}, {QStringLiteral("备注(&N):"), noteColumnBox}});
    addFieldRow(fields, 6, {{QStringLiteral("余额(&B):"), balanceColumnBox}, {QStringLiteral("币种(&C):"), currencyColumnBox}});
    addFieldRow(fields, 7, {{QStringLiteral("卡号/账号(&U):"), accountColumnBox}, {QStringLiteral("银行(&Y):"), bankBox}});
    fields->addWidget(alsoBankBox, 8, 1, 1, 3);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdok"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdcancel"));
    connect(ok, &QPushButton::clicked, this, [this] { confirm(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(buddyLabel(QStringLiteral("表头和前几行(&R):"), firstRowsGrid, this));
    layout->addWidget(firstRowsGrid, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

QComboBox* StatementColumnsDialog::columnBox(const QString& name, const QString& says)
{
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    box->addItem(says, -1);
    for (int c = 0; c < table_.header.size(); ++c)
        box->addItem(QStringLiteral("第 %1 列：%2").arg(c + 1).arg(table_.header.at(c)), c);
    return box;
}

int StatementColumnsDialog::columnNamed(const QString& pattern, const QString& unless, const QString& prefer) const
{
    const QRegularExpression wanted(pattern, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression unwanted(unless, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression preferred(prefer, QRegularExpression::CaseInsensitiveOption);
    int first = -1;
    for (int c = 0; c < table_.header.size(); ++c) {
        const QString& name = table_.header.at(c);
        if (!wanted.match(name).hasMatch() || (!unless.isEmpty() && unwanted.match(name).hasMatch()))
            continue;
        if (prefer.isEmpty() || preferred.match(name).hasMatch())
            return c;
        first = first < 0 ? c : first;
    }
    return first;
}

void StatementColumnsDialog::choose(QComboBox* box, int column)
{
    box->setCurrentIndex(std::max(0, box->findData(column)));
}

void StatementColumnsDialog::guessForm()
{
    const QString form = Bills::guessDateForm(table_, dateColumnBox->currentData().toInt());
    if (!form.isEmpty())
        dateFormBox->setCurrentIndex(dateFormBox->findData(form));
}

void StatementColumnsDialog::formChosen()
{
    periodBox->setEnabled(!Bills::formHasYear(dateFormBox->currentData().toString()));
}

QDate StatementColumnsDialog::periodGiven() const
{
    static const QRegularExpression month(QStringLiteral("^\\s*(\\d{4})\\s*(?:[-/.年]\\s*(\\d{1,2})\\s*月?|(\\d{2}))\\s*$"));
    const QRegularExpressionMatch m = month.match(periodBox->text());
    const QDate first = m.hasMatch() ? QDate(m.captured(1).toInt(), (m.captured(2) + m.captured(3)).toInt(), 1) : QDate();
    return first.isValid() ? first.addMonths(1).addDays(-1) : QDate();
}

Bills::Columns StatementColumnsDialog::columns() const
{
    Bills::Columns c;
    c.date = dateColumnBox->currentData().toInt();
    c.dateForm = dateFormBox->currentData().toString();
    c.amount = amountColumnBox->currentData().toInt();
    c.debit = c.amount >= 0 ? -1 : debitColumnBox->currentData().toInt();
    c.credit = c.amount >= 0 ? -1 : creditColumnBox->currentData().toInt();
    c.positive = static_cast<Bills::Kind>(positiveBox->currentData().toInt());
    c.direction = c.amount >= 0 ? directionColumnBox->currentData().toInt() : -1;
    c.words = words_;
    c.counterparty = counterpartyColumnBox->currentData().toInt();
    c.note = noteColumnBox->currentData().toInt();
    c.balance = balanceColumnBox->currentData().toInt();
    c.currency = currencyColumnBox->currentData().toInt();
    c.account = accountColumnBox->currentData().toInt();
    c.bank = bankBox->currentData().toString();
    c.alsoBank = alsoBankBox->isChecked() && !c.bank.isEmpty();
    if (!Bills::formHasYear(c.dateForm))
        c.periodEnd = periodGiven();
    return c;
}

void StatementColumnsDialog::confirm()
{
    const Bills::Columns c = columns();
    QString missing;
    QWidget* at = nullptr;
    if (c.date < 0) {
        missing = QStringLiteral("请选择日期所在的列。");
        at = dateColumnBox;
    } else if (!Bills::formReads(table_, c.date, c.dateForm)) {
        missing = QStringLiteral("日期这一列的前几行不全是“%1”形式的日期：请选择别的列或别的日期形式。").arg(c.dateForm);
        at = dateFormBox;
    } else if (!c.complete()) {
        missing = QStringLiteral("请选择金额所在的列，或者支出（借方）和收入（贷方）两列。");
        at = amountColumnBox;
    } else if (!Bills::formHasYear(c.dateForm) && !c.periodEnd.isValid()) {
        missing = QStringLiteral("流水的日期没有年份，表格上面的几行里也没有账单期：请在“账单月份”里填写这份流水最后一个月（如 2024-01）。");
        at = periodBox;
    } else if (alsoBankBox->isChecked() && c.bank.isEmpty()) {
        missing = QStringLiteral("要同时记入银行帐，请选择是哪个银行。");
        at = bankBox;
    }
    if (!missing.isEmpty()) {
        App::msgBox(missing, App::MsgStyle::Information);
        at->setFocus();
        return;
    }
    accept();
}

std::optional<Bills::Columns> StatementColumnsDialog::ask(Store& store, const Bills::Table& table,
                                                         const std::optional<Bills::Columns>& start, QWidget* parent)
{
    StatementColumnsDialog d(store, table, start, parent);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return d.columns();
}

DirectionWordDialog::DirectionWordDialog(const QString& word, const QString& column, int rows, QWidget* parent)
    : DataWindow(QStringLiteral("frmDirection"), parent)
{
    setWindowTitle(QStringLiteral("导入账单：收支列的词"));
    auto* intro = new QLabel(QStringLiteral("“%1”一列里的“%2”（%3 笔）不是常见的收支说法（如借、贷、收、支）。它是："
                                            "（以后同样表头的流水会按这次的回答导入）")
                                 .arg(column, word)
                                 .arg(rows),
                             this);
    intro->setWordWrap(true);
    intro->setTextFormat(Qt::PlainText);
    kindBox = new QComboBox(this);
    kindBox->setObjectName(QStringLiteral("cbokind"));
    kindBox->addItem(QStringLiteral("收入"), static_cast<int>(Bills::Kind::Income));
    kindBox->addItem(QStringLiteral("支出"), static_cast<int>(Bills::Kind::Expense));
    kindBox->addItem(QStringLiteral("不计收支（不导入，可以勾选后导入）"), static_cast<int>(Bills::Kind::Neither));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdok"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdcancel"));
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* fields = new QGridLayout;
    addFieldRow(fields, 0, {{QStringLiteral("这个词是(&W):"), kindBox}});
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(twips(6000), twips(2000));
}

Bills::Kind DirectionWordDialog::kind() const
{
    return static_cast<Bills::Kind>(kindBox->currentData().toInt());
}

std::optional<Bills::Kind> DirectionWordDialog::ask(const QString& word, const QString& column, int rows, QWidget* parent)
{
    DirectionWordDialog d(word, column, rows, parent);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return d.kind();
}
