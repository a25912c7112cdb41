#include "yearsummary.h"

#include "badamounts.h"
#include "dberror.h"
#include "store.h"
#include "waitcursor.h"
#include "app.h"
#include "gridexport.h"
#include "inputs.h"
#include "valuelabel.h"

#include <QAbstractTableModel>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

// The twelve months as the grid shows them: each total grouped; under DataGrid::ValueRole the total
// itself (Money, or beyond an amount a record could hold its exact text), for sorting and export.
class MonthsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void show(const QList<MonthFigures>& months)
    {
        beginResetModel();
        months_ = months;
        endResetModel();
    }
    const QList<MonthFigures>& months() const { return months_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : int(months_.size()); }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 4; }
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        static const QStringList headers = {QStringLiteral("月份"), QStringLiteral("收入总额"), QStringLiteral("支出总额"),
                                            QStringLiteral("投资总额")};
        return orientation == Qt::Horizontal && role == Qt::DisplayRole ? headers.value(section) : QVariant();
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid() || index.row() >= months_.size() || (role != Qt::DisplayRole && role != DataGrid::ValueRole))
            return QVariant();
        const MonthFigures& m = months_[index.row()];
        if (index.column() == 0)
            return m.month;
        const MoneyTotal& total = index.column() == 1 ? m.income : index.column() == 2 ? m.expense : m.invested;
        return role == DataGrid::ValueRole ? valueOf(total) : QVariant(total.toGrouped());
    }

private:
    static QVariant valueOf(const MoneyTotal& total)
    {
        if (const auto m = total.toMoney(); m && *m <= kMaxRecordAmount && *m >= Money() - kMaxRecordAmount)
            return QVariant::fromValue(*m);
        return total.toPlain();
    }

    QList<MonthFigures> months_;
};

namespace {

QString chartTitle(int year)
{
    return year ? QStringLiteral("%1年各月收入、支出与结余").arg(year) : QStringLiteral("各月收入、支出与结余（按“汇总”显示）");
}

}  // namespace

YearSummary::YearSummary(Store& store, QWidget* parent)
    : DataWindow(QStringLiteral("frmYear"), parent), store_(store), months_(new MonthsModel(this))
{
    setWindowTitle(QStringLiteral("年终处理"));
    setFont(songFont(9));
    resize(twips(14400), twips(6900));

    yearBox = new QComboBox(this);
    yearBox->setObjectName(QStringLiteral("cboYear"));
    fillYears();

    monthsGrid = new DataGrid(this);
    monthsGrid->setObjectName(QStringLiteral("dg"));
    monthsGrid->setAccessibleName(QStringLiteral("年终汇总"));
    monthsGrid->setItemModel(months_);  // empty until the summary is shown
    // The columns' widths, formats and alignment hold for every summary shown: each is measured once
    // when its months arrive.
    monthsGrid->setColumnTwips(0, 700);
    for (int c = 1; c <= 3; ++c) {
        monthsGrid->setColumnTwips(c, 1800);
        monthsGrid->setColumnFormat(c, RecordsetModel::Format::Grouped);
        monthsGrid->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
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
    monthsGrid->keepColumnsInView();
    totalsLabel->setWordWrap(true);
    auto* middle = new QHBoxLayout;
    middle->addWidget(monthsGrid, 2);
    middle->addWidget(chart, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(GridExport::exportButton(monthsGrid, windowTitle(), this));
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
    // The chart is redrawn from the event loop once the months are shown (or gone), not while 汇总
    // runs.
    auto* later = new QTimer(this);
    later->setSingleShot(true);
    later->setInterval(0);
    connect(later, &QTimer::timeout, this, [this] { redrawChart(); });
    connect(months_, &QAbstractItemModel::modelReset, later, [later] { later->start(); });
    redrawChart();
}

YearSummary::~YearSummary() = default;

void YearSummary::fillYears()
{
    // From the year of the earliest record to this year or the latest record's, newest first. Each
    // end is one look into a date index.
    const int thisYear = App::today().year();
    int first = thisYear, last = thisYear;
    try {
        if (const auto years = store_.recordYears()) {
            first = std::min(first, years->first);
            last = std::max(last, years->second);
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
        months_->show(store_.yearMonths(y));
        summaryButton->setEnabled(false);
        shownYear_ = y;
        showTotals();
    } catch (const BadAmount& bad) {
        months_->show({});
        shownYear_ = 0;
        showTotals();
        App::msgBox(QStringLiteral("汇总中有无效的金额：") + bad.text, App::MsgStyle::Information);
    } catch (const std::exception& e) {
        // The button stays, so the summary can be asked for again once the database is mended.
        months_->show({});
        shownYear_ = 0;
        showTotals();
        showDbError(e, QStringLiteral("无法汇总：数据库中的汇总查询不能读取。"));
    }
    printing_.setEnabled(shownYear_ != 0);
}

QList<MonthFigures> YearSummary::months() const
{
    return months_->months();
}

void YearSummary::showTotals()
{
    if (!shownYear_) {
        totalsLabel->setText(QString());
        return;
    }
    // The months were added up from valid amounts only (an amount that is none stops the summary).
    MonthFigures year;
    for (const MonthFigures& m : months()) {
        year.income += m.income;
        year.expense += m.expense;
        year.invested += m.invested;
    }
    totalsLabel->setText(QStringLiteral("合计：收入 %1　支出 %2　投资 %3　结余 %4")
                           .arg(year.income.toGrouped(), year.expense.toGrouped(), year.invested.toGrouped(),
                                year.balance().toGrouped()));
}

void YearSummary::redrawChart()
{
    drawYearChart(chart->chart(), chartTitle(shownYear_), months());
}

ReportContent YearSummary::report() const
{
    ReportContent c;
    c.title = windowTitle();
    c.about << QStringLiteral("年份：%1年").arg(shownYear_);
    c.table = monthsGrid->model();
    c.totals << totalsLabel->text();
    c.chart = [title = chartTitle(shownYear_), figures = months()](QChart* chart) { drawYearChart(chart, title, figures); };
    return c;
}
