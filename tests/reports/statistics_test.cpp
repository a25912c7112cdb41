// The asset statistics and the year-end summary.
#include "reportsupport.h"
#include "reports/frmcurt.h"
#include "reports/frmyear.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <memory>

namespace {

class StatisticsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        openConn();
    }
    static QString label(QWidget* w, const QString& name) { return child<QLabel>(w, name)->text(); }
    // The value labels, in the order income, expense, balance; deposits, withdrawals, balance;
    // borrowed, lent, difference; investments.
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

TEST_F(StatisticsTest, EmptyTablesGiveBlankSumsAndZeroDifferences)
{
    Modmain::setToday(QDate(2026, 5, 3));
    Modmain::curUser = "当前用户：张三";
    frmcurt w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "当前资产查询");
    EXPECT_EQ(label(&w, "lbldate"), "2026年5月份");
    EXPECT_EQ(label(&w, "lbluser"), "当前用户：张三");
    EXPECT_EQ(label(&w, "lblyh_1"), "支取");
    EXPECT_EQ(label(&w, "lblyh_9"), "差额(借入-借出)");
    EXPECT_EQ(label(&w, "lblyh_15"), "金额");
    EXPECT_EQ(label(&w, "stabar_2"), " 注：银行帐与收入/支出帐可相对独立");
    EXPECT_EQ(child<QLabel>(&w, "stabar_2")->toolTip(), " 注：银行帐与收入/支出帐可相对独立");
    // Nothing is computed before "统计".
    EXPECT_EQ(figures(&w), QStringList(10, QString()));
    EXPECT_EQ(label(&w, "stabar_1"), "");

    click(&w, "Command1");
    EXPECT_EQ(figures(&w), QStringList({" ", " ", "0.00", " ", " ", "0.00", " ", " ", "0.00", " "}));
    EXPECT_EQ(label(&w, "stabar_1"), "统计完毕");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(StatisticsTest, SumsAreExactDebtsUseTheBalanceAndOtherTextsCountNowhere)
{
    sql("insert into 收入帐 values('1','5',0.1,'2026-01-01','',1);"
        "insert into 收入帐 values('2','5',0.2,'2001-01-01','',1);"
        "insert into 支出帐 values('1','5',1234.8,'2026-01-01','',1);"
        "insert into 银行帐 values('b1','1','存入','活期',100,'2026-01-01');"
        "insert into 银行帐 values('b1','1','支出','活期',1334.5,'2026-01-02');"
        "insert into 银行帐 values('b1','1','转帐','活期',999,'2026-01-03');"
        "insert into 负债 values('2026-01-01','老王','欠人',1000,'',250.5);"
        "insert into 负债 values('2026-01-01','小李','人欠',50,'',50);"
        "insert into 负债 values('2026-01-01','某人','其它',777,'',777);"
        "insert into 投资帐 values('1','1',1234.5,'2026-01-01','',1);");
    frmcurt w;
    w.show();
    click(&w, "Command1");
    EXPECT_EQ(figures(&w), QStringList({"0.3 ", "1234.8 ", "-1,234.50", "100 ", "1334.5 ", "-1,234.50", "250.5 ",
                                        "50 ", "200.50", "1,234.50"}));

    // Pressed again, everything is read afresh.
    sql("insert into 负债 values('2026-02-01','小张','人欠',300,'',300);"
        "insert into 收入帐 values('1','5',2000,'2026-02-01','',2);");
    click(&w, "Command1");
    EXPECT_EQ(figures(&w), QStringList({"2000.3 ", "1234.8 ", "765.50", "100 ", "1334.5 ", "-1,234.50", "250.5 ",
                                        "350 ", "-99.50", "1,234.50"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(StatisticsTest, AFailingSumShowsAMessageAndLeavesNoHalfResult)
{
    sql("insert into 收入帐 values('1','5',10,'2026-01-01','',1);");
    frmcurt w;
    w.show();
    sql("drop table 负债");
    click(&w, "Command1");
    ASSERT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(messageTexts()[0].startsWith("统计没有完成"));
    EXPECT_EQ(figures(&w), QStringList(10, QString()));
    EXPECT_EQ(label(&w, "stabar_1"), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(child<QPushButton>(&w, "Command1")->isEnabled());
    click(&w, "Command2");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(messageTexts().size(), 1);
}

// ---- year-end summary -----------------------------------------------------------------------

namespace {

class YearTest : public StatisticsTest {
protected:
    void SetUp() override
    {
        StatisticsTest::SetUp();
        // The stored query sums the records of the running year.
        year = QDate::currentDate().year();
        const QString y = QString::number(year);
        const QString last = QString::number(year - 1);
        sql("insert into 收入帐 values('1','5',100.5,'" + y + "-03-02','',3);"
            "insert into 收入帐 values('1','5',1134,'" + y + "-03-20','',3);"
            "insert into 收入帐 values('1','5',7,'" + last + "-03-02','',3);"
            "insert into 支出帐 values('1','5',20,'" + y + "-03-05','',3);"
            "insert into 投资帐 values('1','1',0.1,'" + y + "-11-01','',11);"
            "insert into 投资帐 values('1','1',0.2,'" + y + "-11-02','',11);");
    }
    int year = 0;
};

}  // namespace

TEST_F(YearTest, DecemberShowsTheTwelveMonthsAtOnce)
{
    Modmain::setToday(QDate(year, 12, 10));
    frmYear w;
    w.show();
    auto* dg = child<DataGrid>(&w, "dg");
    EXPECT_EQ(dg->model()->rowCount(), 0);
    click(&w, "Command1");
    EXPECT_TRUE(messageTexts().isEmpty());
    EXPECT_EQ(gridHeaders(dg), QStringList({"月份", "收入总额", "支出总额", "投资总额"}));
    const QStringList rows = gridRows(dg);
    ASSERT_EQ(rows.size(), 12);
    EXPECT_EQ(rows[0], "1|0.00|0.00|0.00");
    EXPECT_EQ(rows[2], "3|1,234.50|20.00|0.00");  // last year's March is not counted
    EXPECT_EQ(rows[10], "11|0.00|0.00|0.30");
    EXPECT_EQ(rows[11], "12|0.00|0.00|0.00");
    EXPECT_EQ(dg->model()->index(2, 1).data(Qt::TextAlignmentRole).value<int>() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(dg->columnWidth(0), twips(700));
    EXPECT_EQ(dg->columnWidth(3), twips(1800));
    EXPECT_FALSE(child<QPushButton>(&w, "Command1")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(YearTest, OutsideDecemberAsksFirstAndCancelLeavesTheGridEmpty)
{
    Modmain::setToday(QDate(year, 6, 1));
    frmYear w;
    w.show();
    auto* dg = child<DataGrid>(&w, "dg");
    Modmain::queueAnswer(2);
    click(&w, "Command1");
    const auto msgs = Modmain::shownMessages();
    ASSERT_EQ(msgs.size(), 1);
    EXPECT_EQ(msgs[0].text, "尚未到年底，确实要进行年终处理吗");
    EXPECT_EQ(msgs[0].style, 33);
    EXPECT_EQ(msgs[0].title, "kinbook");
    EXPECT_EQ(dg->model()->rowCount(), 0);
    EXPECT_TRUE(child<QPushButton>(&w, "Command1")->isEnabled());

    Modmain::queueAnswer(1);
    click(&w, "Command1");
    EXPECT_EQ(Modmain::shownMessages().size(), 2);
    EXPECT_EQ(gridRows(dg).size(), 12);
    EXPECT_EQ(gridRows(dg)[2], "3|1,234.50|20.00|0.00");
    EXPECT_FALSE(child<QPushButton>(&w, "Command1")->isEnabled());
}

TEST_F(YearTest, MissingStoredQueryShowsAMessageAndTheWindowStaysUsable)
{
    sql("drop view 查询");
    Modmain::setToday(QDate(year, 12, 31));
    frmYear w;
    w.show();
    click(&w, "Command1");
    ASSERT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(messageTexts()[0].startsWith("无法汇总"));
    EXPECT_EQ(child<DataGrid>(&w, "dg")->model()->rowCount(), 0);
    EXPECT_TRUE(child<QPushButton>(&w, "Command1")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    click(&w, "Command2");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(messageTexts().size(), 1);
}

TEST_F(StatisticsTest, MenuOpensTheStatisticsAndActivationEndsTheBusyState)
{
    for (const char* name : {"frmcurt", "frmYear"}) {
        ASSERT_TRUE(Modmain::hasWindow(name)) << name;
        bool wasBusy = true;
        whenModal([&wasBusy, name](QDialog* d) {
            EXPECT_EQ(d->objectName(), name);
            wasBusy = Modmain::isBusy();
            click(d, "Command2");
        });
        Modmain::openDataWindow(name, nullptr);
        EXPECT_FALSE(wasBusy) << name;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
