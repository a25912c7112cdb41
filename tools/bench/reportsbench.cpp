// The reports: 资产统计's and 年终处理's exact totals beside the floor that adds up the same amounts
// with the C API (exactfloor.h) and must come to the same totals, the year's chart, and a PDF.
#include "driving.h"
#include "exactfloor.h"
#include "sizerun.h"

#include "recordset.h"
#include "recordsetmodel.h"
#include "charts.h"
#include "printedreport.h"
#include "yearsummary.h"
#include "app.h"
#include "session.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <cstdio>
#include <memory>

namespace Bench {

namespace {

// A total as a label shows it ("1,234.50", "1234.5 ", " ") in the plain form ("1234.5"; "" for none).
QString plainTotal(const QString& shown)
{
    const QString text = QString(shown).remove(u',').trimmed();
    if (text.isEmpty())
        return QString();
    const auto t = MoneyTotal::parse(text);
    return t ? t->toPlain() : QStringLiteral("?") + text;
}

// The year summary's 36 totals as its grid holds them in the plain form: the twelve months of
// income, then of expenses, then of investments.
QStringList monthTotals(QWidget* w)
{
    QStringList out;
    auto* summary = qobject_cast<YearSummary*>(w);
    if (!summary)
        return out;
    try {
        const QList<MonthFigures> months = summary->months();
        for (MoneyTotal MonthFigures::*kind : {&MonthFigures::income, &MonthFigures::expense, &MonthFigures::invested})
            for (const MonthFigures& m : months)
                out << (m.*kind).toPlain();
    } catch (const std::exception&) {
    }
    return out;
}

// Whether the program showed the floor's totals: "same totals", or the first that differs.
QString sameTotals(const QStringList& shown, const ExactFloor& floor)
{
    const std::vector<std::string> computed = floor.totals();
    for (std::size_t i = 0; i < computed.size(); ++i) {
        // A month without records is shown as 0.
        QString f = QString::fromStdString(computed[i]);
        if (f.isEmpty() && shown.size() == 36)
            f = QStringLiteral("0");
        if (qsizetype(i) >= shown.size() || shown[qsizetype(i)] != f) {
            std::fprintf(stderr, "bench: the program's total %zu is %s, the floor's %s\n", i + 1, qPrintable(shown.value(qsizetype(i))),
                         qPrintable(f));
            return QStringLiteral("TOTALS DIFFER (total %1)").arg(i + 1);
        }
    }
    return QStringLiteral("same totals");
}

QString sameTotalsNote(const QStringList& shown, const ExactFloor& floor)
{
    return QStringLiteral("%1; floor: %2").arg(sameTotals(shown, floor), QString::fromStdString(floor.way()));
}

void assets(const SizeRun& run)
{
    Row r{QStringLiteral("资产统计: 统计"), run.size};
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmcurt")));
    const QStringList written = {
        QStringLiteral("select sum(金额)as z from 收入帐"), QStringLiteral("select sum(金额)as z from 支出帐"),
        QStringLiteral("select sum(金额)as z from 银行帐 where 存或取='存入'"),
        QStringLiteral("select sum(金额)as z from 银行帐 where 存或取='支出'"),
        QStringLiteral("select sum(余额)as z from 负债 where 类型='欠人'"),
        QStringLiteral("select sum(余额)as z from 负债 where 类型='人欠'"), QStringLiteral("select sum(金额)as z from 投资帐")};
    const ExactFloor floor = ExactFloor::assets(run.checked);
    measure(
        r, run.repeat,
        [&] {
            if (!w)
                return -1.0;
            const double t0 = nowMs();
            clickButton(w.get(), QStringLiteral("Command1"));
            return nowMs() - t0;
        },
        floor, stepping(run.raw, written));
    if (w && !r.project.empty()) {
        QStringList shown;
        for (const char* label : {"lblxf_1", "lblxf_2", "lblyh_3", "lblyh_4", "lblyh_8", "lblyh_7", "lblyh_12"})
            if (auto* l = w->findChild<QLabel*>(QString::fromUtf8(label)))
                shown << plainTotal(l->text());
        r.note = sameTotalsNote(shown, floor);
    }
    run.add(r);
}

void yearSummary(const SizeRun& run)
{
    Row r{QStringLiteral("年终处理: 汇总"), run.size};
    const ExactFloor floor = ExactFloor::year(run.checked, run.year);
    QStringList shown;
    measure(
        r, run.repeat,
        [&] {
            App::setToday(QDate(run.year, 12, 1));  // December: no question
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmYear")));
            const double t0 = nowMs();
            if (w)
                clickButton(w.get(), QStringLiteral("Command1"));
            const double t = nowMs() - t0;
            App::setToday(QDate());
            shown = monthTotals(w.get());
            return w ? t : -1.0;
        },
        floor, stepping(run.raw, {QStringLiteral("select 查询.\"月份.月份\" as 月份,收入总额,支出总额,投资总额 from 查询")}));
    if (!r.project.empty())
        r.note = sameTotalsNote(shown, floor);
    run.add(r);
}

// Another year than this one: the same sums with the year bound, through the date indexes. The
// chart is redrawn from the event loop afterwards (measured in yearChart).
void lastYearSummary(const SizeRun& run)
{
    Row r{QStringLiteral("年终处理: 汇总 of last year"), run.size};
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmYear")));
    auto* years = w ? w->findChild<QComboBox*>(QStringLiteral("cboYear")) : nullptr;
    const ExactFloor floor = ExactFloor::year(run.checked, run.year - 1);
    QStringList shown;
    measure(
        r, run.repeat,
        [&] {
            if (!years)
                return -1.0;
            years->setCurrentIndex(years->findData(run.year - 1));
            const double t0 = nowMs();
            clickButton(w.get(), QStringLiteral("Command1"));  // a past year: no question
            const double t = nowMs() - t0;
            shown = monthTotals(w.get());
            w.reset(window(QStringLiteral("frmYear")));
            years = w ? w->findChild<QComboBox*>(QStringLiteral("cboYear")) : nullptr;
            return t;
        },
        floor);
    if (!r.project.empty())
        r.note = sameTotalsNote(shown, floor);
    run.add(r);
}

// The year's chart: its series and axes made, and the whole chart drawn at the window's size.
void yearChart(const SizeRun& run)
{
    Row r{QStringLiteral("年终处理: year chart drawn"), run.size};
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmYear")));
    auto* summary = qobject_cast<YearSummary*>(w.get());
    auto* view = w ? w->findChild<QChartView*>(QStringLiteral("chart")) : nullptr;
    if (summary && view) {
        if (auto* years = w->findChild<QComboBox*>(QStringLiteral("cboYear")))
            years->setCurrentIndex(years->findData(run.year - 1));
        clickButton(w.get(), QStringLiteral("Command1"));
        w->show();
        QApplication::processEvents();
        const QList<MonthFigures> months = summary->months();
        measure(
            r, run.repeat,
            [&] {
                const double t0 = nowMs();
                drawYearChart(view->chart(), QStringLiteral("bench"), months);
                const QPixmap drawn = view->grab();
                return drawn.isNull() ? -1.0 : nowMs() - t0;
            },
            {});
        r.note = QStringLiteral("%1 x %2 px").arg(view->width()).arg(view->height());
    }
    run.add(r);
}

// A PDF of 10,000 income records: laid out, paged, the ring chart after them, written under a
// temporary name and renamed.
void incomePdf(const SizeRun& run)
{
    Row r{QStringLiteral("收入状况: PDF of 10,000 rows"), run.size};
    Recordset rs;
    rs.open(App::conn, kIncomeFloor + QStringLiteral(" order by 成员.姓名 limit 10000"));
    RecordsetModel model(&rs);
    ReportContent content;
    content.title = QStringLiteral("收入状况匹配查询");
    content.about << QStringLiteral("条件：全部记录");
    content.table = &model;
    content.totals << QStringLiteral("共 %1 条记录").arg(rs.rowCount());
    const QList<ChartFigure> figures = totalsBy(rs, 1, 2, QStringLiteral("（无名称）"));
    content.chart = [&figures](QChart* c) { drawRingChart(c, QStringLiteral("按类型"), figures); };
    const QString pdf = run.folder + QStringLiteral("/bench.pdf");
    measure(
        r, run.repeat,
        [&] {
            const double t0 = nowMs();
            const auto done = PrintedReport::writePdf(content, pdf, nullptr, nullptr);
            return done == PrintedReport::Outcome::Written ? nowMs() - t0 : -1.0;
        },
        {});
    r.note = QStringLiteral("%1 rows, %2 KB").arg(rs.rowCount()).arg(QFileInfo(pdf).size() / 1024);
    QFile::remove(pdf);
    run.add(r);
}

}  // namespace

void benchReports(const SizeRun& run)
{
    assets(run);
    yearSummary(run);
    lastYearSummary(run);
    yearChart(run);
    incomePdf(run);
}

}  // namespace Bench
