#include "statementcolumns.h"

#include "shell/app.h"
#include "shell/inputs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

StatementColumnsDialog::StatementColumnsDialog(const Bills::Table& table, QWidget* parent)
    : DataWindow(QStringLiteral("frmColumns"), parent), table_(table)
{
    setWindowTitle(QStringLiteral("导入账单：流水的各列"));
    auto* intro = new QLabel(QStringLiteral("没有认出这个文件的格式。请说明哪一列是日期、金额（或支出、收入两列）、交易对方和备注；"
                                            "同样表头的文件以后会按这次的选择直接导入。"),
                             this);
    intro->setWordWrap(true);

    auto* model = new QStandardItemModel(static_cast<int>(table.firstRows.size()), static_cast<int>(table.header.size()), this);
    model->setHorizontalHeaderLabels(table.header);
    for (int r = 0; r < table.firstRows.size(); ++r)
        for (int c = 0; c < table.header.size(); ++c)
            model->setItem(r, c, new QStandardItem(table.firstRows.at(r).value(c)));
    firstRowsGrid = new QTableView(this);
    firstRowsGrid->setObjectName(QStringLiteral("DGrows"));
    firstRowsGrid->setModel(model);
    firstRowsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    firstRowsGrid->setTabKeyNavigation(false);
    firstRowsGrid->resizeColumnsToContents();

    dateColumnBox = columnBox(QStringLiteral("cbodate"), QStringLiteral("（请选择）"), QStringLiteral("日期|时间"));
    dateFormBox = new QComboBox(this);
    dateFormBox->setObjectName(QStringLiteral("cboform"));
    for (const QString& form : Bills::dateForms())
        dateFormBox->addItem(QStringLiteral("%1（%2）").arg(QDate(2026, 3, 1).toString(form), form), form);
    amountColumnBox = columnBox(QStringLiteral("cboamount"), QStringLiteral("（无：支出、收入分两列）"), QStringLiteral("^(交易)?金额"));
    debitColumnBox = columnBox(QStringLiteral("cbodebit"), QStringLiteral("（无）"), QStringLiteral("支出|借方|转出"));
    creditColumnBox = columnBox(QStringLiteral("cbocredit"), QStringLiteral("（无）"), QStringLiteral("收入|存入|贷方|转入"));
    counterpartyColumnBox = columnBox(QStringLiteral("cboparty"), QStringLiteral("（无）"), QStringLiteral("对方"));
    noteColumnBox = columnBox(QStringLiteral("cbonote"), QStringLiteral("（无）"), QStringLiteral("摘要|用途|备注|附言|说明"));
    guessForm();
    connect(dateColumnBox, &QComboBox::currentIndexChanged, this, [this] { guessForm(); });

    auto* fields = new QGridLayout;
    addFieldRow(fields, 0, {{QStringLiteral("日期(&D):"), dateColumnBox}, {QStringLiteral("日期形式(&F):"), dateFormBox}});
    addFieldRow(fields, 1, {{QStringLiteral("金额(&A):"), amountColumnBox}});
    addFieldRow(fields, 2, {{QStringLiteral("支出/借方(&O):"), debitColumnBox}, {QStringLiteral("收入/贷方(&I):"), creditColumnBox}});
    addFieldRow(fields, 3, {{QStringLiteral("交易对方(&P):"), counterpartyColumnBox}, {QStringLiteral("备注(&N):"), noteColumnBox}});

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
    resize(twips(9000), twips(5400));
}

// A list of the columns, the first entry saying what none means; the first column whose name matches
// `pattern` is chosen.
QComboBox* StatementColumnsDialog::columnBox(const QString& name, const QString& says, const QString& pattern)
{
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    box->addItem(says, -1);
    const QRegularExpression wanted(pattern);
    int chosen = 0;
    for (int c = 0; c < table_.header.size(); ++c) {
        box->addItem(QStringLiteral("第 %1 列：%2").arg(c + 1).arg(table_.header.at(c)), c);
        if (chosen == 0 && wanted.match(table_.header.at(c)).hasMatch())
            chosen = c + 1;
    }
    box->setCurrentIndex(chosen);
    return box;
}

void StatementColumnsDialog::guessForm()
{
    const QString form = Bills::guessDateForm(table_, dateColumnBox->currentData().toInt());
    if (!form.isEmpty())
        dateFormBox->setCurrentIndex(dateFormBox->findData(form));
}

Bills::Columns StatementColumnsDialog::columns() const
{
    Bills::Columns c;
    c.date = dateColumnBox->currentData().toInt();
    c.dateForm = dateFormBox->currentData().toString();
    c.amount = amountColumnBox->currentData().toInt();
    c.debit = c.amount >= 0 ? -1 : debitColumnBox->currentData().toInt();
    c.credit = c.amount >= 0 ? -1 : creditColumnBox->currentData().toInt();
    c.counterparty = counterpartyColumnBox->currentData().toInt();
    c.note = noteColumnBox->currentData().toInt();
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
    }
    if (!missing.isEmpty()) {
        App::msgBox(missing, App::MsgStyle::Information);
        at->setFocus();
        return;
    }
    accept();
}

std::optional<Bills::Columns> StatementColumnsDialog::ask(const Bills::Table& table, QWidget* parent)
{
    StatementColumnsDialog d(table, parent);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return d.columns();
}
