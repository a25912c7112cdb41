// The asset statistics with their bars, totals that no amount makes wrap around, amounts written by
// another tool that are no amounts, and what every report does when a statement fails.
#include "assets.h"
#include "ledgerquery.h"
#include "yearsummary.h"
#include "datagrid.h"
#include "support/testsupport.h"
#include "session.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <tuple>

namespace {

class StatisticsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(QDate::currentDate().year(), 12, 31));  // the summary asks nothing in December
        year_ = QString::number(QDate::currentDate().year());
        openConn();
    }
    static QString label(QWidget* w, const char* name) { return child<QLabel>(w, name)->text(); }
    // The value labels: income, expense, balance; deposits, withdrawals, balance; borrowed, lent,
    // difference; investments.
    static QStringList figures(QWidget* w)
    {
        QStringList out;
        for (const char* n : {"lblxf_1", "lblxf_2", "lblxf_3", "lblyh_3", "lblyh_4", "lblyh_5", "lblyh_8", "lblyh_7",
                              "lblyh_6", "lblyh_12"})
            out << label(w, n);
        return out;
    }
    // An income record of this year, a balance still owed, with `amount` written as SQL.
    void records(const QString& amount, const QString& note)
    {
        sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5'," + amount + ",'" + year_ + "-03-02','" + note + "',3);"
            "insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values('" + year_ + "-01-01','老王','欠人',1,''," + amount + ");");
    }
    // The figures of the asset statistics after "统计": income, its balance, borrowed, the difference.
    QStringList assets()
    {
        AssetsWindow w(App::store());
        w.show();
        click(&w, "Command1");
        return {label(&w, "lblxf_1"), label(&w, "lblxf_3"), label(&w, "lblyh_8"), label(&w, "lblyh_6")};
    }
    QString queryTotal()
    {
        LedgerQuery q(App::store(), kQueryKinds[0]);
        (void)QTest::qWaitFor([&] { return label(&q, "lblJE") != "查询结果："; }, 10000);  // a long list arrives in slices
        return label(&q, "lblJE");
    }
    QString marchOfTheSummary()
    {
        YearSummary y(App::store());
        y.show();
        click(&y, "Command1");
        const QStringList rows = gridRows(child<DataGrid>(&y, "dg"));
        EXPECT_EQ(narrowColumns(child<DataGrid>(&y, "dg")), QStringList());
        return rows.size() == 12 ? rows[2] : QString();
    }
    QString year_;
};

}  // namespace

TEST_F(StatisticsTest, SumsAreExactDebtsUseTheBalanceAndOtherTextsCountNowhere)
{
    App::setToday(QDate(2026, 5, 3));
    App::curUser = "当前用户：张三";
    AssetsWindow w(App::store());
    w.show();
    EXPECT_EQ(label(&w, "lbldate"), "2026年5月份");
    EXPECT_EQ(label(&w, "lbluser"), "当前用户：张三");
    EXPECT_EQ(figures(&w), QStringList(10, QString()));  // nothing is computed before "统计"
    EXPECT_TRUE(chartOf(&w)->series().isEmpty());

    // Empty tables: blank sums, zero differences.
    click(&w, "Command1");
    EXPECT_EQ(figures(&w), QStringList({" ", " ", "0.00", " ", " ", "0.00", " ", " ", "0.00", " "}));
    EXPECT_EQ(label(&w, "stabar_1"), "统计完毕");

    // Pressed again, everything is read afresh.
    sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',0.1,'2026-01-01','',1), ('2','5',0.2,'2001-01-01','',1);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',1234.8,'2026-01-01','',1);"
        "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values('b1','1','存入','活期',100,'2026-01-01'), ('b1','1','支出','活期',1334.5,'2026-01-02'),"
        " ('b1','1','转帐','活期',999,'2026-01-03');"
        "insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values('2026-01-01','老王','欠人',1000,'',250.5), ('2026-01-01','小李','人欠',50,'',50),"
        " ('2026-01-01','某人','其它',777,'',777);"
        "insert into 投资帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','1',1234.5,'2026-01-01','',1);");
    click(&w, "Command1");
    EXPECT_EQ(figures(&w), QStringList({"0.3 ", "1234.8 ", "-1,234.50", "100 ", "1334.5 ", "-1,234.50", "250.5 ", "50 ",
                                       "200.50", "1,234.50"}));
    // A screen reader hears each figure with its group and caption, the progress and the user.
    EXPECT_EQ(heard(&w, {"lblxf_1", "lblxf_2", "lblxf_3", "lblyh_3", "lblyh_4", "lblyh_5", "lblyh_8", "lblyh_7", "lblyh_6",
                         "lblyh_12", "stabar_1", "lbluser"}),
              QStringList({"收入/支出 收入 0.3", "收入/支出 支出 1234.8", "收入/支出 余额 -1,234.50", "银行帐 存入 100",
                           "银行帐 支取 1334.5", "银行帐 余额 -1,234.50", "负债 借入 250.5", "负债 借出 50",
                           "负债 差额(借入-借出) 200.50", "其它投资 金额 1,234.50", "统计进度 统计完毕", "当前用户：张三"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The bars hold the figures shown, drawn again on each count.
    const char* const shownBy[5] = {"lblxf_3", "lblyh_5", "lblyh_8", "lblyh_7", "lblyh_12"};
    for (int round = 0; round < 2; ++round) {
        if (round)
            sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',5000,'2026-02-01','',2); insert into 投资帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','1',1,'2026-01-01','',1);");
        click(&w, "Command1");
        const QList<ChartFigure>& position = w.position();
        auto* bars = qobject_cast<QBarSeries*>(chartOf(&w)->series().value(0));
        ASSERT_TRUE(bars);
        ASSERT_EQ(bars->barSets().size(), 5);
        ASSERT_EQ(position.size(), 5);
        for (int i = 0; i < 5; ++i) {
            const Money shown = shownAmount(label(&w, shownBy[i]).trimmed());
            EXPECT_EQ(position[i].amount.toMoney(), shown) << shownBy[i];
            EXPECT_EQ(bars->barSets()[i]->at(0), shown.toDouble()) << shownBy[i];
            EXPECT_EQ(bars->barSets()[i]->label(), position[i].name + " " + shown.toGrouped());
        }
    }
    EXPECT_EQ(label(&w, "lblyh_12"), "1,235.50");
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(StatisticsTest, FailingStatementsShowAMessageAndTheWindowsStayUsable)
{
    App::setToday(QDate(2026, 12, 31));
    LedgerQuery q(App::store(), kQueryKinds[0]);  // opened while the database is still whole
    sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',10,'2026-01-01','',1);"
        "drop view 查询; drop table 负债; drop table 收入类型; drop table 投资帐;");
    AssetsWindow c(App::store());
    YearSummary y(App::store());
    using Case = std::tuple<QWidget*, const char*, const char*>;
    for (const auto& [w, button, message] :
         {Case{&q, "CmdqueryNow", "查询没有完成"}, Case{&c, "Command1", "统计没有完成"}, Case{&y, "Command1", "无法汇总"}}) {
        w->show();
        click(w, button);
        ASSERT_FALSE(messageTexts().isEmpty());
        EXPECT_TRUE(messageTexts().back().startsWith(message)) << message;
        EXPECT_TRUE(child<QPushButton>(w, button)->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        w->close();
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(messageTexts().size(), 3);
    // No half result stays on show.
    EXPECT_EQ(gridRows(child<DataGrid>(&q, "DG")), QStringList());
    EXPECT_EQ(child<QLabel>(&q, "lblJE")->text(), "查询结果：");
    EXPECT_EQ(figures(&c), QStringList(10, QString()));
    EXPECT_EQ(label(&c, "stabar_1"), "");
    EXPECT_EQ(gridRows(child<DataGrid>(&y, "dg")), QStringList());
}

// Totals beyond a single amount are shown in full, never wrapped around, and grouped where they
// exceed what one record can hold; and every report adds up exactly, as the query total does (the
// engine's sum of real numbers rounds).
TEST_F(StatisticsTest, SumsBeyondASingleAmountAreShownInFull)
{
    const struct {
        const char* amount;
        int count;
        const char* total;
        const char* plain;
    } cases[] = {{"500000000000000", 2, "1,000,000,000,000,000.00", "1,000,000,000,000,000.00 "},
                 {"99999999999.99", 20000, "1,999,999,999,999,800.00", "1,999,999,999,999,800.00 "},
                 // cents that no double near 10^14 holds
                 {"99999999999.99", 1001, "100,099,999,999,989.99", "100,099,999,999,989.99 "},
                 {"99999999999.99", 1, "99,999,999,999.99", "99999999999.99 "},
                 {"0.5", 1, "0.50", "0.5 "}};
    for (const auto& c : cases) {
        sql("delete from 收入帐; delete from 负债;");
        for (int i = 0; i < c.count && i < 2; ++i)
            records(c.amount, "");
        sql(QStringLiteral("with recursive n(i) as (select 3 union all select i + 1 from n where i < %1)"
                           " insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select '1','5',%2,'%3-03-02','',3 from n where i <= %1;")
                .arg(c.count)
                .arg(c.amount, year_));
        const QString total = QString::fromUtf8(c.total);
        EXPECT_EQ(queryTotal(), "金额总计：" + total + "元") << c.amount;
        const QStringList figures = assets();
        EXPECT_EQ(figures[0], QString::fromUtf8(c.plain)) << c.amount;
        EXPECT_EQ(figures[1], total) << c.amount;
        EXPECT_EQ(marchOfTheSummary(), "3|" + total + "|0.00|0.00") << c.amount;
    }
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
}

// A number that is no amount (infinite, or beyond an amount's range, as another tool can write) is
// named with its record by the query total, the asset statistics and the year summary; none of
// them shows a figure made from it.
TEST_F(StatisticsTest, AmountsThatAreNoAmountsAreNamedWithTheirRecord)
{
    const struct {
        const char* sql;
        const char* shown;
    } cases[] = {{"9e999", "inf"}, {"-9e999", "-inf"}, {"1e300", "1e+300"},
                 {"9223372036854775807", "9223372036854775807"}, {"922337203685478", "922337203685478"}};
    for (const auto& c : cases) {
        sql("delete from 收入帐; delete from 负债;");
        records("100", "好");
        records(c.sql, "坏");
        script().clearMessages();
        const QString amount = QString::fromUtf8(c.shown);

        EXPECT_EQ(queryTotal(), "金额总计：无法计算") << c.sql;
        EXPECT_EQ(assets(), QStringList(4, QString())) << c.sql;
        marchOfTheSummary();
        const QStringList shown = messageTexts();
        ASSERT_EQ(shown.size(), 3) << c.sql << shown.join(u'\n').toStdString();
        EXPECT_TRUE(shown[0].startsWith("金额总计无法计算：第 2 行的记录（姓名：，类型：，金额：" + amount + "，日期："
                                        + year_ + "-03-02，备注：坏）的金额“" + amount + "”不是有效的金额"))
            << shown[0].toStdString();
        EXPECT_TRUE(shown[1].startsWith("统计没有完成：收入帐中的记录（成员ID：1，类型ID：5，金额：" + amount))
            << shown[1].toStdString();
        EXPECT_TRUE(shown[2].startsWith("汇总中有无效的金额：收入帐中的记录（成员ID：1，类型ID：5，金额：" + amount))
            << shown[2].toStdString();
        for (const QString& m : shown)
            EXPECT_TRUE(m.contains("备注：坏") && m.contains("其它工具")) << m.toStdString();
    }
}

// A year of a household with large figures: at the size 年终处理 opens with, every month's column
// and the whole totals line, 结余 at its end, are in view.
TEST_F(StatisticsTest, TheYearSummaryShowsEveryColumnAndTheWholeTotalsLine)
{
    for (const auto& [ledger, amount, day] : {std::tuple{"收入帐", "12345678.9", 5}, std::tuple{"支出帐", "1234567.89", 6},
                                             std::tuple{"投资帐", "9876543.21", 7}})
        sql(QStringLiteral("with recursive m(i) as (select 1 union all select i + 1 from m where i < 12)"
                           " insert into %1 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select '1', '5', %2, '%3-' || substr('0' || i, -2) || '-0%4', '', i from m;")
                .arg(QString::fromUtf8(ledger), QString::fromUtf8(amount), year_)
                .arg(day));
    YearSummary y(App::store());
    y.show();
    click(&y, "Command1");
    QApplication::processEvents();
    auto* grid = child<DataGrid>(&y, "dg");
    EXPECT_EQ(columnsOutOfView(grid), QStringList());
    EXPECT_EQ(narrowColumns(grid), QStringList());
    auto* totals = child<QLabel>(&y, "lblTotals");
    EXPECT_TRUE(totals->text().endsWith("结余 14,814,813.60")) << totals->text().toStdString();
    // The line is shown whole: on one line as wide as it needs, or wrapped over lines as high as they need.
    const bool whole = totals->wordWrap() ? totals->height() >= totals->heightForWidth(totals->width())
                                          : totals->width() >= totals->sizeHint().width();
    EXPECT_TRUE(whole) << totals->width() << " x " << totals->height() << " for " << totals->sizeHint().width();
}
