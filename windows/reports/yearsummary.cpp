#include "yearsummary.h"

#include "badamounts.h"
#include "dberror.h"
#include "exactsum.h"
#include "statement.h"
#include "waitcursor.h"
#include "app.h"
#include "gridexport.h"
#include "inputs.h"
#include "valuelabel.h"
#include "session.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// A ledger's records of the year, the year's first and last day bound as values, so that they are
// read through its date index. Each month's total is added up here exactly, as the query total is:
// the engine's sum of real numbers would round.
const QString kRecordsOfYear = QStringLiteral("select 月份, 金额 from %1 where 日期 between ?1 and ?2");

// The twelve months' totals as the grid shows them, bound as values: an amount a record could hold
// as the number, a larger total as its exact text.
QString monthsStatement()
{
    QStringList months;
    for (int m = 1; m <= 12; ++m)
        months << QStringLiteral("select %1 as 月份, ?%2 as 收入总额, ?%3 as 支出总额, ?%4 as 投资总额")
                      .arg(m)
                      .arg(3 * m - 2)
                      .arg(3 * m - 1)
                      .arg(3 * m);
    return months.join(QStringLiteral(" union all "));
}

QVariant shownTotal(const MoneyTotal& total)
{
    if (const auto m = total.toMoney(); m && *m <= kMaxRecordAmount && *m >= Money() - kMaxRecordAmount)
        return QVariant::fromValue(*m);
    return total.toPlain();
}

const char* const kLedgers[3] = {"收入帐", "支出帐", "投资帐"};

QString chartTitle(int year)
{
    return year ? QStringLiteral("%1年各月收入、支出与结余").arg(year) : QStringLiteral("各月收入、支出与结余（按“汇总”显示）");
}

}  // namespace

YearSummary::YearSummary(QWidget* parent) : DataWindow(QStringLiteral("frmYear"), parent)
{
    setWindowTitle(QStringLiteral("年终处理"));
    setFont(songFont(9));
    resize(twips(14400), twips(6900));

    yearBox = new QComboBox(this);
    yearBox->setObjectName(QStringLiteral("cboYear"));
    fillYears();

    dg = new DataGrid(this);
    dg->setObjectName(QStringLiteral("dg"));
    dg->setAccessibleName(QStringLiteral("年终汇总"));
    dg->setRecordset(&rs_);  // empty until the summary is shown
    // The columns' widths, formats and alignment hold for every summary shown: each is measured once
    // when its months arrive.
    dg->setColumnTwips(0, 700);
    for (int c = 1; c <= 3; ++c) {
        dg->setColumnTwips(c, 1800);
        dg->setColumnFormat(c, RecordsetModel::Format::Grouped);
        dg->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    totalsLabel = new ValueLabel(QStringLiteral("lblTotals"), QString(), this);
    totalsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chart = newChartView(QStringLiteral("chart"), QStringLiteral("各月收入、支出与结余图表"), this);

    summaryButton = new QPushButton(QStringLiteral("汇总"), this);
    summaryButton->setObjectName(QStringLiteral("Command1"));
    summaryButton->setDefault(true);
    closeButton = new QPushButton(QStringLiteral("返回"), this);
    closeButton->setObjectName(QStringLiteral("Command2"));

    auto* top = new QHBoxLayout;
    top->addWidget(buddyLabel(QStringLiteral("年份："), yearBox, this));
    top->addWidget(yearBox);
    top->addStretch(1);
    // The grid as wide as its columns, so that none is out of view; the chart takes the rest. The
    // totals line under both, wrapped when the window is narrow: 结余 at its end is never cut off.
    dg->keepColumnsInView();
    totalsLabel->setWordWrap(true);
    auto* middle = new QHBoxLayout;
    middle->addWidget(dg, 2);
    middle->addWidget(chart, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(GridExport::exportButton(dg, windowTitle(), this));
    buttons->addStretch(1);
    buttons->addWidget(summaryButton);
    printing_ = PrintedReport::addButtons(this, buttons, [this] { return report(); });
    printing_.setEnabled(false);  // until there is a summary to print
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addWidget(totalsLabel);
    layout->addLayout(buttons);

    connect(summaryButton, &QPushButton::clicked, this, [this] { summarise(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    connect(yearBox, &QComboBox::currentIndexChanged, this, [this] { yearChosen(); });
    followRecordset(&rs_, this, [this] { redrawChart(); });
    redrawChart();
}

YearSummary::~YearSummary()
{
    dg->setRecordset(nullptr);
    rs_.close();
}

void YearSummary::fillYears()
{
    // From the year of the earliest record to this year or the latest record's, newest first. Each
    // end is one look into a date index.
    const int thisYear = App::today().year();
    int first = thisYear, last = thisYear;
    try {
        QStringList ends;
        for (const char* t : kLedgers) {
            const QString ledger = QString::fromUtf8(t);
            ends << QStringLiteral("(select min(日期) from %1)").arg(ledger) << QStringLiteral("(select max(日期) from %1)").arg(ledger);
        }
        Recordset rs;
        rs.open(App::conn, QStringLiteral("select ") + ends.join(u','), Recordset::ReadOnly);
        for (int c = 0; c < rs.fieldCount() && rs.rowCount() > 0; ++c) {
            bool ok = false;
            const int y = rs.textAt(0, c).left(4).toInt(&ok);
            if (ok && y > 0) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
        }
    } catch (const std::exception&) {
        // Without the ledgers' dates the list offers this year alone; 汇总 will say what is wrong.
    }
    const QSignalBlocker quiet(yearBox);
    for (int y = last; y >= first; --y)
        yearBox->addItem(QString::number(y), y);
    yearBox->setCurrentIndex(yearBox->findData(thisYear));
}

int YearSummary::year() const
{
    return yearBox->currentData().toInt();
}

void YearSummary::yearChosen()
{
    // Once the summary is on show, another year is summed at once; before, the year waits for 汇总.
    if (shownYear_)
        doNow();
}

void YearSummary::summarise()
{
    // Only a year that has not ended yet asks first: this year outside December (as ever), or a
    // year to come.
    const QDate today = App::today();
    const int y = year();
    const bool over = y < today.year() || (y == today.year() && today.month() == 12);
    if (over || App::msgBox(QStringLiteral("尚未到年底，确实要进行年终处理吗"), App::MsgStyle::Question, App::appTitle) != App::MsgAnswer::Cancel)
        doNow();
}

void YearSummary::doNow()
{
    const int y = year();
    try {
        const WaitCursor wait;
        QVariantList totals;
        for (const MonthFigures& m : sumYear(y))
            totals << shownTotal(m.income) << shownTotal(m.expense) << shownTotal(m.invested);
        rs_.open(App::conn, monthsStatement(), totals, Recordset::ReadOnly);
        summaryButton->setEnabled(false);
        shownYear_ = y;
        showTotals();
    } catch (const BadAmount& bad) {
        rs_.close();
        shownYear_ = 0;
        showTotals();
        App::msgBox(QStringLiteral("汇总中有无效的金额：") + bad.text, App::MsgStyle::Information);
    } catch (const std::exception& e) {
        // The button stays, so the summary can be asked for again once the database is mended.
        rs_.close();
        shownYear_ = 0;
        showTotals();
        showDbError(e, QStringLiteral("无法汇总：数据库中的汇总查询不能读取。"));
    }
    printing_.setEnabled(shownYear_ != 0);
}

QList<MonthFigures> YearSummary::months() const
{
    QList<MonthFigures> out;
    if (!rs_.isOpen())
        return out;
    for (int r = 0; r < rs_.rowCount(); ++r) {
        MonthFigures m;
        m.month = rs_.valueAt(r, 0).toInt();
        m.income = rs_.totalAt(r, 1).value_or(MoneyTotal());
        m.expense = rs_.totalAt(r, 2).value_or(MoneyTotal());
        m.invested = rs_.totalAt(r, 3).value_or(MoneyTotal());
        out << m;
    }
    return out;
}

void YearSummary::showTotals()
{
    if (!shownYear_) {
        totalsLabel->setText(QString());
        return;
    }
    try {
        MonthFigures year;
        for (const MonthFigures& m : months()) {
            year.income += m.income;
            year.expense += m.expense;
            year.invested += m.invested;
        }
        totalsLabel->setText(QStringLiteral("合计：收入 %1　支出 %2　投资 %3　结余 %4")
                               .arg(year.income.toGrouped(), year.expense.toGrouped(), year.invested.toGrouped(),
                                    year.balance().toGrouped()));
    } catch (const DbError&) {
        totalsLabel->setText(QStringLiteral("合计：无法计算（有的金额无效）"));
    }
}

void YearSummary::redrawChart()
{
    try {
        drawYearChart(chart->chart(), chartTitle(shownYear_), months());
    } catch (const DbError&) {
        drawYearChart(chart->chart(), chartTitle(shownYear_) + QStringLiteral("（有的金额无效，无法绘制）"), {});
    }
}

ReportContent YearSummary::report() const
{
    ReportContent c;
    c.title = windowTitle();
    c.about << QStringLiteral("年份：%1年").arg(shownYear_);
    c.table = dg->model();
    c.totals << totalsLabel->text();
    try {
        c.chart = [title = chartTitle(shownYear_), figures = months()](QChart* chart) { drawYearChart(chart, title, figures); };
    } catch (const DbError&) {
        // The table and its totals say what is wrong; there is no chart to print.
    }
    return c;
}

QList<MonthFigures> YearSummary::sumYear(int year)
{
    QList<MonthFigures> months(12);
    const QVariantList days{QDate(year, 1, 1).toString(Qt::ISODate), QDate(year, 12, 31).toString(Qt::ISODate)};
    MoneyTotal MonthFigures::*const kinds[3] = {&MonthFigures::income, &MonthFigures::expense, &MonthFigures::invested};
    for (int k = 0; k < 3; ++k) {
        // The year's records are stepped once, each amount added to its month as it is read: no
        // result is kept, and no grouping sorts them.
        const QString ledger = QString::fromUtf8(kLedgers[k]);
        Statement records(App::conn, kRecordsOfYear.arg(ledger));
        records.bindAll(days);
        try {
            while (records.step()) {
                const std::int64_t month = records.int64(0);
                if (month < 1 || month > 12)
                    continue;  // a month no row of the summary has
                if (const auto amount = ExactSum::amountAt(records, 1))
                    months[month - 1].*kinds[k] += *amount;
            }
        } catch (const DbError& e) {
            // An amount another tool wrote that is no amount is named; no figure is made from it.
            if (e.kind() != DbError::BadValue)
                throw;
            const QString bad = findBadAmount(ledger, QStringLiteral("金额"));
            if (bad.isEmpty())
                throw;
            throw BadAmount{bad};
        }
    }
    for (int m = 0; m < 12; ++m)
        months[m].month = m + 1;
    return months;
}
