// The asset statistics, and what every report does when a statement fails.
#include "reports/assets.h"
#include "reports/ledgerquery.h"
#include "reports/yearsummary.h"
#include "shell/datagrid.h"
#include "support/testsupport.h"

#include <tuple>

namespace {

class StatisticsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
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
};

}  // namespace

TEST_F(StatisticsTest, SumsAreExactDebtsUseTheBalanceAndOtherTextsCountNowhere)
{
    App::setToday(QDate(2026, 5, 3));
    App::curUser = "当前用户：张三";
    AssetsWindow w;
    w.show();
    EXPECT_EQ(label(&w, "lbldate"), "2026年5月份");
    EXPECT_EQ(label(&w, "lbluser"), "当前用户：张三");
    EXPECT_EQ(figures(&w), QStringList(10, QString()));  // nothing is computed before "统计"

    // Empty tables: blank sums, zero differences.
    click(&w, "Command1");
    EXPECT_EQ(figures(&w), QStringList({" ", " ", "0.00", " ", " ", "0.00", " ", " ", "0.00", " "}));
    EXPECT_EQ(label(&w, "stabar_1"), "统计完毕");

    // Pressed again, everything is read afresh.
    sql("insert into 收入帐 values('1','5',0.1,'2026-01-01','',1), ('2','5',0.2,'2001-01-01','',1);"
        "insert into 支出帐 values('1','5',1234.8,'2026-01-01','',1);"
        "insert into 银行帐 values('b1','1','存入','活期',100,'2026-01-01'), ('b1','1','支出','活期',1334.5,'2026-01-02'),"
        " ('b1','1','转帐','活期',999,'2026-01-03');"
        "insert into 负债 values('2026-01-01','老王','欠人',1000,'',250.5), ('2026-01-01','小李','人欠',50,'',50),"
        " ('2026-01-01','某人','其它',777,'',777);"
        "insert into 投资帐 values('1','1',1234.5,'2026-01-01','',1);");
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
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(StatisticsTest, FailingStatementsShowAMessageAndTheWindowsStayUsable)
{
    App::setToday(QDate(2026, 12, 31));
    LedgerQuery q(kQueryKinds[0]);  // opened while the database is still whole
    sql("insert into 收入帐 values('1','5',10,'2026-01-01','',1);"
        "drop view 查询; drop table 负债; drop table 收入类型;");
    AssetsWindow c;
    YearSummary y;
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
