#include "plansbench.h"

#include "budgets.h"
#include "connection.h"
#include "monthoverview.h"
#include "recurring.h"
#include "app.h"
#include "session.h"

#include <QDate>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

double msSince(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Steps every statement to its end, reading every column of every row.
void stepAll(sqlite3* db, const QStringList& statements)
{
    for (const QString& sql : statements) {
        sqlite3_stmt* st = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), -1, &st, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "bench: %s: %s\n", text.constData(), sqlite3_errmsg(db));
        while (st && sqlite3_step(st) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                (void)sqlite3_column_value(st, c);
        sqlite3_finalize(st);
    }
}

std::function<double()> timed(std::function<void()> work)
{
    return [work = std::move(work)] {
        QElapsedTimer t;
        t.start();
        work();
        return msSince(t);
    };
}

// Shows a window and lets it paint everything it shows.
void paintNow(QWidget* w)
{
    w->repaint();
    QCoreApplication::processEvents();
}

// The time from asking for a window to its being painted; closing it is not counted.
std::function<double()> openedAndPainted(const QString& form)
{
    return [form] {
        QElapsedTimer t;
        t.start();
        std::unique_ptr<QDialog> w(App::createWindow(form, App::store(), nullptr));
        if (!w)
            return -1.0;
        w->show();
        paintNow(w.get());
        return msSince(t);
    };
}

QString range(const QDate& from, const QDate& to)
{
    return QStringLiteral("'%1' AND '%2'").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
}

// Budgets for every expense type, a March of its own for a few; twenty monthly and weekly templates.
void addBudgetsAndTemplates(sqlite3* raw)
{
    stepAll(raw, {QStringLiteral("INSERT OR REPLACE INTO 预算 SELECT '', ID, '', 1000 FROM 支出类型"),
                  QStringLiteral("INSERT OR REPLACE INTO 预算 SELECT '', ID, strftime('%Y', 'now', 'localtime') || '-03', 1500"
                                 " FROM 支出类型 LIMIT 5"),
                  QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20)"
                                 " INSERT INTO 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 日, 开始日期)"
                                 " SELECT '支出帐', (SELECT ID FROM 成员 LIMIT 1), (SELECT ID FROM 支出类型 LIMIT 1), i * 10, '',"
                                 " CASE WHEN i % 4 = 0 THEN '每周' ELSE '每月' END, 1, i, date('now', 'localtime', '-2 years') FROM n")});
}

// The figures of 预算执行 for this month and this year and of 本月概览, in plain SQL, each in the
// ways the floor chooses from.
struct PlanFigures {
    std::vector<QStringList> month, year, overview;
};

PlanFigures planFigures(const QDate& today)
{
    const QDate month(today.year(), today.month(), 1), year(today.year(), 1, 1);
    // The floor gives the figures the program shows: amounts taken to four decimals and added up
    // exactly (the engine's own sum of real numbers would round). The period's records are read in
    // the faster of two ways (fastestOn, below): in date order through the date index, or found in the
    // date index and read in rowid order (each page once).
    const QString exact = QStringLiteral("sum(CAST(round(%1 * 10000) AS INTEGER))");
    const QString byDate = QStringLiteral("SELECT 类型ID, %1 FROM 支出帐 WHERE 日期 BETWEEN %2 GROUP BY 类型ID")
                               .arg(exact.arg(QStringLiteral("金额")));
    const QString byPage = QStringLiteral("SELECT 类型ID, %1 FROM 支出帐 WHERE rowid IN"
                                          " (SELECT rowid FROM 支出帐 WHERE 日期 BETWEEN %2) GROUP BY 类型ID")
                               .arg(exact.arg(QStringLiteral("金额")));
    // Every expense type is listed by name, spent on or not.
    const QString budgets = QStringLiteral("SELECT 类型ID, 年月, 金额 FROM 预算 WHERE 成员ID = ''");
    const QString types = QStringLiteral("SELECT ID, 类型 FROM 支出类型");
    const QString thisMonth = range(month, month.addMonths(1).addDays(-1)), thisYear = range(year, QDate(today.year(), 12, 31));
    PlanFigures f;
    f.month = {{byDate.arg(thisMonth), budgets, types}, {byPage.arg(thisMonth), budgets, types}};
    f.year = {{byDate.arg(thisYear), budgets, types}, {byPage.arg(thisYear), budgets, types}};

    // The overview's figures in plain SQL, each read once (this month's expenses by type give its total too).
    const QDate last = month.addMonths(-1);
    const QString amount = exact.arg(QStringLiteral("金额"));
    QStringList overview;
    for (const auto& [ledger, m] : {std::pair{"收入帐", month}, std::pair{"收入帐", last}, std::pair{"支出帐", last}})
        overview << QStringLiteral("SELECT %1 FROM %2 WHERE 日期 BETWEEN %3").arg(amount, QString::fromUtf8(ledger), range(m, m.addMonths(1).addDays(-1)));
    overview << QStringLiteral("SELECT * FROM 定期收支") << QStringLiteral("SELECT 模板, 到期日 FROM 定期记录");
    for (const char* ledger : {"收入帐", "支出帐", "投资帐"})
        overview << QStringLiteral("SELECT * FROM %1 ORDER BY 日期 DESC LIMIT 10").arg(QString::fromUtf8(ledger));
    overview << QStringLiteral("SELECT %1 FROM 收入帐").arg(amount) << QStringLiteral("SELECT %1 FROM 支出帐").arg(amount)
             << QStringLiteral("SELECT 存或取, %1 FROM 银行帐 GROUP BY 存或取").arg(amount)
             << QStringLiteral("SELECT 类型, %1 FROM 负债 GROUP BY 类型").arg(exact.arg(QStringLiteral("余额")))
             << QStringLiteral("SELECT %1 FROM 投资帐").arg(amount);

    // This month's expenses by type, in either way, with the rest of the overview.
    f.overview = {overview + f.month[0], overview + f.month[1]};
    return f;
}

// The faster of the ways: on its first use each of several ways is stepped five times and the one with the
// lower median is the floor from then on (the lower of two times each run would favour the floor
// by the runs' own spread). Each run starts, as the program's work does, with none of its pages in
// the connection's page cache: a pass over more pages than the cache holds leaves none of its
// first ones for the next run, and a way stepped after another would find the other's last pages.
std::function<double()> fastestOn(sqlite3* db, const std::vector<QStringList>& ways)
{
    auto once = [db](const QStringList& statements) {
        sqlite3_db_release_memory(db);
        QElapsedTimer t;
        t.start();
        stepAll(db, statements);
        return msSince(t);
    };
    return std::function<double()>([db, ways, once, chosen = -1]() mutable {
        if (chosen < 0 && ways.size() == 1)
            chosen = 0;
        if (chosen < 0) {
            double best = -1;
            for (std::size_t w = 0; w < ways.size(); ++w) {
                std::vector<double> runs;
                for (int i = 0; i < 5; ++i)
                    runs.push_back(once(ways[w]));
                std::sort(runs.begin(), runs.end());
                if (best < 0 || runs[2] < best) {
                    best = runs[2];
                    chosen = int(w);
                }
            }
        }
        return once(ways[std::size_t(chosen)]);
    });
}

// What a user waits for: the window opened on this month (it counts at once), 统计 clicked for the
// year, the overview shown, each until the window has painted; beside the floor of its figures.
void measureWindows(const MeasureCase& measure, const std::function<double()>& monthFloor, const std::function<double()>& yearFloor,
                    const std::function<double()>& overviewFloor)
{
    measure(QStringLiteral("预算执行: one month, the window opened"), openedAndPainted(QStringLiteral("frmBudgetReport")), monthFloor);
    std::unique_ptr<QDialog> report(App::createWindow(QStringLiteral("frmBudgetReport"), App::store(), nullptr));
    auto* period = report ? report->findChild<QComboBox*>(QStringLiteral("cboPeriod")) : nullptr;
    auto* compute = report ? report->findChild<QPushButton*>(QStringLiteral("cmdCompute")) : nullptr;
    if (period && compute) {
        report->show();
        period->setCurrentIndex(1);
        measure(QStringLiteral("预算执行: one year, 统计 clicked"), timed([&] {
                    compute->click();
                    paintNow(report.get());
                }),
                yearFloor);
    }
    report.reset();
    measure(QStringLiteral("本月概览: the window with every part, painted"), openedAndPainted(QStringLiteral("frmOverview")),
            overviewFloor);
}

// The due check at login, and the due window's look, for each occurrence, for a record entered by
// hand near its date.
void measureDue(const MeasureCase& measure, sqlite3* checked, const QDate& today)
{
    measure(QStringLiteral("登录: recurring records due (20 templates, 2 years)"),
            timed([&] { Recurring::dueUntil(App::conn, today); }),
            fastestOn(checked, {{QStringLiteral("SELECT * FROM 定期收支"), QStringLiteral("SELECT 模板, 到期日 FROM 定期记录")}}));
    const QList<Recurring::Due> due = Recurring::dueUntil(App::conn, today);
    measure(QStringLiteral("登录: %1 occurrences checked against records entered by hand").arg(due.size()), timed([&] {
                QList<Recurring::Due> checked = due;
                Recurring::markEnteredByHand(App::conn, checked);
            }),
            {});
}

}  // namespace

void benchPlans(sqlite3* raw, const MeasureCase& measure)
{
    addBudgetsAndTemplates(raw);
    // The program reads every file with SQLite's page checks on (each page's cells are checked as
    // the page is loaded), so the floor of these figures is stepped on a connection with the same
    // settings; what the checks cost is measured apart, as the same SQL with them against without.
    sqlite3* checked = nullptr;
    sqlite3_open_v2(sqlite3_db_filename(raw, "main"), &checked, SQLITE_OPEN_READONLY, nullptr);
    if (applySafeSettings(checked) != SQLITE_OK)
        std::fprintf(stderr, "bench: cannot apply the safe settings: %s\n", sqlite3_errmsg(checked));

    const QDate today = App::today();
    const PlanFigures figures = planFigures(today);
    // Each floor is chosen once and serves every row that reads its figures.
    const std::function<double()> monthFloor = fastestOn(checked, figures.month), yearFloor = fastestOn(checked, figures.year),
                                  overviewFloor = fastestOn(checked, figures.overview);

    measure(QStringLiteral("预算执行: one month"), timed([&] { Budgets::execution(App::conn, QString(), today.year(), today.month()); }),
            monthFloor);
    measure(QStringLiteral("预算执行: one year"), timed([&] { Budgets::execution(App::conn, QString(), today.year(), 0); }),
            yearFloor);
    measure(QStringLiteral("本月概览: the figures of every part"), timed([&] { Overview::glance(App::conn, today); }), overviewFloor);
    // What the page checks cost: the floor with them, against the same SQL without.
    measure(QStringLiteral("page checks: 预算执行 month floor, with / without"), monthFloor, fastestOn(raw, figures.month));
    measure(QStringLiteral("page checks: 预算执行 year floor, with / without"), yearFloor, fastestOn(raw, figures.year));
    measure(QStringLiteral("page checks: 本月概览 floor, with / without"), overviewFloor, fastestOn(raw, figures.overview));

    measureWindows(measure, monthFloor, yearFloor, overviewFloor);
    measureDue(measure, checked, today);
    sqlite3_close(checked);
}
