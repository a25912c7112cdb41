#include "budgetreport.h"

#include "budgetbar.h"
#include "budgets.h"
#include "statement.h"
#include "waitcursor.h"
#include "app.h"
#include "datagrid.h"
#include "gridexport.h"
#include "inputs.h"
#include "valuelabel.h"
#include "session.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The figures are put in a table of the connection's own temporary database (never the file), so
// that the grid, 导出… and printing read them as they read any result.
const QString kResultTable = QStringLiteral("预算执行结果");

QVariant moneyValue(const MoneyTotal& t)
{
    const auto m = t.toMoney();
    return m ? QVariant::fromValue(*m) : QVariant(t.toDouble());
}

void fillResult(const Budgets::Execution& e)
{
    App::conn.execute(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (类型ID TEXT, 类型 TEXT, 预算 CURRENCY, 已支出 CURRENCY,"
                                     " 剩余 CURRENCY, 执行 TEXT)").arg(kResultTable));
    App::conn.execute(QStringLiteral("DELETE FROM temp.%1").arg(kResultTable));
    Statement put(App::conn, QStringLiteral("INSERT INTO temp.%1 VALUES (?, ?, ?, ?, ?, ?)").arg(kResultTable));
    for (const Budgets::Line& l : e.lines) {
        put.reset();
        put.bindAll({l.typeId, l.typeName, l.budget ? QVariant::fromValue(*l.budget) : QVariant(), moneyValue(l.spent),
                     l.budget ? moneyValue(MoneyTotal(*l.budget) - l.spent) : QVariant(),
                     budgetPercentText(l.budget.has_value(), l.percent())});
        put.step();
    }
}

}  // namespace

void fillScopes(QComboBox* box)
{
    box->clear();
    box->addItem(QStringLiteral("全家"), QString());
    try {
        const QString members = QStringLiteral("SELECT ID, 姓名 FROM 成员 WHERE ID IS NOT NULL ORDER BY rowid");
        const QStringList ids = columnTexts(App::conn, members, 0), names = columnTexts(App::conn, members, 1);
        for (qsizetype i = 0; i < ids.size(); ++i)
            box->addItem(names.value(i), ids[i]);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取成员。"));
    }
}

BudgetReport::BudgetReport(QWidget* parent) : DataWindow(QStringLiteral("frmBudgetReport"), parent)
{
    setWindowTitle(QStringLiteral("预算执行"));
    setFont(songFont(9));
    resize(twips(10500), twips(6600));

    scopeBox = new QComboBox(this);
    scopeBox->setObjectName(QStringLiteral("cboScope"));
    fillScopes(scopeBox);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("cboPeriod"));
    periodBox->addItems({QStringLiteral("按月"), QStringLiteral("按年")});
    yearPartBox = new QComboBox(this);
    yearPartBox->setObjectName(QStringLiteral("cboYearPart"));
    yearPartBox->addItems({QStringLiteral("全年"), QStringLiteral("年初至今")});
    yearPartBox->setEnabled(false);  // for a year
    monthBox = datePicker(QStringLiteral("dtMonth"), App::today(), this);
    monthBox->setDisplayFormat(QStringLiteral("yyyy-MM"));
    auto* compute = new QPushButton(QStringLiteral("统计"), this);
    compute->setObjectName(QStringLiteral("cmdCompute"));
    compute->setDefault(true);
    auto* criteria = new QGridLayout;
    addFieldRow(criteria, 0, {{QStringLiteral("范围"), scopeBox}, {QStringLiteral("期间"), periodBox},
                              {QStringLiteral("年内"), yearPartBox}, {QStringLiteral("年月"), monthBox}});
    criteria->addWidget(compute, 0, 8);

    grid = new DataGrid(this);
    grid->setObjectName(QStringLiteral("DG"));
    grid->setAccessibleName(QStringLiteral("各类支出的预算执行"));
    grid->setItemDelegateForColumn(5, new BudgetBarDelegate(grid));
    totals = new ValueLabel(QStringLiteral("lblTotals"), QString(), this);
    monthsLabel = new ValueLabel(QStringLiteral("lblMonths"), QString(), this);
    monthsLabel->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    printing_ = PrintedReport::addButtons(this, buttons, [this] { return report(); });
    exportButton = GridExport::exportButton(grid, windowTitle(), this);
    buttons->addWidget(exportButton);
    auto* close = new QPushButton(QStringLiteral("返回"), this);
    close->setObjectName(QStringLiteral("cmdexit"));
    close->setAutoDefault(false);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addWidget(grid, 1);
    layout->addWidget(totals);
    layout->addWidget(monthsLabel);
    layout->addLayout(buttons);

    connect(compute, &QPushButton::clicked, this, [this] { this->compute(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(periodBox, &QComboBox::currentIndexChanged, this, [this](int i) {
        monthBox->setDisplayFormat(i == 0 ? QStringLiteral("yyyy-MM") : QStringLiteral("yyyy"));
        yearPartBox->setEnabled(i == 1);
    });
    this->compute();
}

BudgetReport::~BudgetReport()
{
    grid->setRecordset(nullptr);
    rs_.close();
}

QString BudgetReport::periodText() const
{
    const QDate m = monthBox->date();
    return periodBox->currentIndex() == 0 ? QStringLiteral("%1年%2月").arg(m.year()).arg(m.month())
                                          : QStringLiteral("%1年%2").arg(m.year()).arg(yearPartBox->currentIndex() == 0 ? QString()
                                                                                                        : yearPartBox->currentText());
}

void BudgetReport::compute()
{
    const QDate m = monthBox->date();
    try {
        const WaitCursor wait;
        // A month is counted as chosen; a year from the book's first record, whole or to this month.
        Budgets::CountedMonths months;
        if (periodBox->currentIndex() == 0) {
            months.year = m.year();
            months.from = months.to = m.month();
        } else {
            months = Budgets::countedMonths(App::conn, m.year(),
                                            yearPartBox->currentIndex() == 0 ? Budgets::YearPart::Whole : Budgets::YearPart::ToDate,
                                            App::today());
        }
        const Budgets::Execution e = Budgets::execution(App::conn, scopeBox->currentData().toString(), m.year(), months.from, months.to);
        monthsLabel->setText(Budgets::countedMonthsText(months));
        fillResult(e);
        rs_.open(App::conn, QStringLiteral("SELECT 类型ID, 类型, 预算, 已支出, 剩余, 执行 FROM temp.%1 ORDER BY rowid").arg(kResultTable),
                 {}, Recordset::ReadOnly);
        grid->setRecordset(&rs_);
        for (int c : {2, 3, 4}) {
            grid->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
            grid->setColumnFormat(c, RecordsetModel::Format::Grouped);
        }
        grid->setColumnTwips(5, 1800);
        totals->setText(QStringLiteral("%1 %2：预算合计 %3 元，支出合计 %4 元，剩余 %5 元")
                            .arg(scopeBox->currentText(), periodText(), e.budget.toGrouped(), e.spent.toGrouped(),
                                 (e.budget - e.spent).toGrouped()));
    } catch (const std::exception& e) {
        totals->setText(QString());
        monthsLabel->setText(QString());
        showDbError(e, QStringLiteral("预算执行没有统计出来。"));
    }
    printing_.setEnabled(rs_.isOpen());
    exportButton->setEnabled(rs_.isOpen());
}

ReportContent BudgetReport::report() const
{
    ReportContent c;
    c.title = windowTitle();
    c.about << QStringLiteral("范围：%1　期间：%2").arg(scopeBox->currentText(), periodText());
    c.table = grid->model();
    c.totals << totals->text() << monthsLabel->text();
    return c;
}
