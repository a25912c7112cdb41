#include "queryoutputs.h"

#include "charts.h"
#include "dberror.h"
#include "ledgerquery.h"
#include "datagrid.h"
#include "inputs.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kNoName = QStringLiteral("（无名称）");

// A query window's own part of its printed report: the criteria of the list on show (taken when the
// list was made, not from what is picked since), the chart window it has opened.
class QueryOutputs : public QObject {
public:
    QueryOutputs(LedgerQuery* w, QBoxLayout* layout);

private:
    QString shown(const char* name) const
    {
        const auto* l = w_->findChild<QLabel*>(QString::fromUtf8(name));
        return l ? l->text() : QString();
    }
    void takeCriteria();
    void openChart();
    ReportContent report();

    LedgerQuery* w_;
    DataGrid* grid_;
    QStringList criteria_;
    QPointer<QueryChart> chart_;
};

QueryOutputs::QueryOutputs(LedgerQuery* w, QBoxLayout* layout)
    : QObject(w), w_(w), grid_(w->findChild<DataGrid*>(QStringLiteral("DG")))
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    if (w->kind().total) {
        auto* chartButton = new QPushButton(QStringLiteral("图表"), w);
        chartButton->setObjectName(QStringLiteral("cmdChart"));
        chartButton->setToolTip(QStringLiteral("按类型或成员显示所列金额的环形图"));
        chartButton->setAutoDefault(false);
        row->addWidget(chartButton);
        connect(chartButton, &QPushButton::clicked, this, [this] { openChart(); });
    }
    PrintedReport::addButtons(w, row, [this] { return report(); });
    layout->addLayout(row);
    // The window runs its query first (it connected first); the criteria are then those of the list.
    if (auto* run = w->findChild<QPushButton*>(QStringLiteral("CmdqueryNow")))
        connect(run, &QPushButton::clicked, this, [this] { takeCriteria(); });
    takeCriteria();
}

void QueryOutputs::takeCriteria()
{
    criteria_.clear();
    const QString member = shown("lblcyID"), other = shown("lbllxID");
    if (member.isEmpty() && other.isEmpty()) {
        criteria_ << QStringLiteral("条件：全部记录");
    } else {
        QStringList parts;
        if (!member.isEmpty())
            parts << QStringLiteral("成员：%1（%2）").arg(shown("lblcy"), member);
        if (!other.isEmpty())
            parts << QStringLiteral("%1：%2（%3）").arg(QString::fromUtf8(w_->kind().otherNameCaption).remove(u':'), shown("lbllx"), other);
        if (w_->kind().direction)
            parts << QStringLiteral("存或取：") + w_->direction();
        criteria_ << QStringLiteral("条件：") + parts.join(QStringLiteral("　"));
    }
    criteria_ << QStringLiteral("日期范围：") + shown("lblRange");
}

void QueryOutputs::openChart()
{
    if (!chart_)
        chart_ = new QueryChart(w_->windowTitle(), grid_->recordset(), w_);
    chart_->show();
    chart_->raise();
    chart_->activateWindow();
}

ReportContent QueryOutputs::report()
{
    // Every row of the result goes on paper: a list still arriving is read to its end first.
    Recordset* rs = grid_->recordset();
    if (rs && rs->isLoading())
        rs->finishLoading();
    ReportContent c;
    c.title = w_->windowTitle();
    c.about = criteria_;
    c.table = grid_->model();
    if (rs && rs->fieldIndex(QStringLiteral("金额")) >= 0)
        c.amountColumns << rs->fieldIndex(QStringLiteral("金额"));
    if (w_->kind().total)
        c.totals << shown("lblJE");
    c.totals << QStringLiteral("共 %1 条记录").arg(rs ? rs->rowCount() : 0);
    if (w_->kind().total && rs) {
        const int grouping = chart_ ? chart_->grouping() : 0;
        try {
            const QList<ChartFigure> figures = QueryChart::totals(rs, grouping);
            c.chart = [grouping, figures](QChart* chart) {
                drawRingChart(chart, QueryChart::title(grouping, figures), figures);
            };
        } catch (const DbError&) {
            // An amount that is none: the total line names it; no chart goes on paper.
        }
    }
    return c;
}

}  // namespace

QueryChart::QueryChart(const QString& queryTitle, Recordset* rs, QWidget* parent) : QDialog(parent), rs_(rs)
{
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(queryTitle + QStringLiteral(" - 图表"));
    setFont(songFont(9));
    resize(twips(9600), twips(6600));
    chartGroupingBox = new QComboBox(this);
    chartGroupingBox->setObjectName(QStringLiteral("cboGroup"));
    chartGroupingBox->addItems({QStringLiteral("按类型"), QStringLiteral("按成员")});
    chart = newChartView(QStringLiteral("chart"), QStringLiteral("所列金额的环形图"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(buddyLabel(QStringLiteral("分组："), chartGroupingBox, this));
    top->addWidget(chartGroupingBox);
    top->addStretch(1);
    top->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chart, 1);

    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(chartGroupingBox, &QComboBox::currentIndexChanged, this, [this] { redraw(); });
    if (rs)
        followRecordset(rs, this, [this] { redraw(); });
    redraw();
}

int QueryChart::grouping() const
{
    return chartGroupingBox->currentIndex();
}

QList<ChartFigure> QueryChart::totals(const Recordset* rs, int grouping)
{
    if (!rs || !rs->isOpen())
        return {};
    const int amount = rs->fieldIndex(QStringLiteral("金额"));
    const int key = grouping == 1 ? rs->fieldIndex(QStringLiteral("姓名")) : rs->fieldIndex(QStringLiteral("类型"));
    if (amount < 0 || key < 0)
        return {};
    return totalsBy(*rs, key, amount, kNoName);
}

QString QueryChart::title(int grouping, const QList<ChartFigure>& figures)
{
    MoneyTotal all;
    for (const ChartFigure& f : figures)
        all += f.amount;
    return (grouping == 1 ? QStringLiteral("按成员") : QStringLiteral("按类型")) + QStringLiteral("：金额总计 ")
        + all.toGrouped() + QStringLiteral("元");
}

void QueryChart::redraw()
{
    figures_.clear();
    const int g = grouping();
    if (rs_ && rs_->isLoading()) {
        // The ring is drawn once every row is in: a part of them would show wrong shares.
        drawRingChart(chart->chart(), QStringLiteral("正在读取记录……"), {});
    } else {
        try {
            figures_ = totals(rs_, g);
            drawRingChart(chart->chart(), title(g, figures_), figures_);
        } catch (const DbError&) {
            figures_.clear();
            drawRingChart(chart->chart(), QStringLiteral("有的金额无效，无法绘制"), {});
        }
    }
    chart->setAccessibleDescription(chartDescription(chart->chart()->title(), figures_));
}

void addQueryOutputs(LedgerQuery* window, QBoxLayout* layout)
{
    new QueryOutputs(window, layout);
}
