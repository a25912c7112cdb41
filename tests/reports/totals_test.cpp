// Totals that no amount makes wrap around, and amounts written by another tool that are no amounts.
#include "reports/assets.h"
#include "reports/ledgerquery.h"
#include "reports/yearsummary.h"
#include "shell/datagrid.h"
#include "support/testsupport.h"

namespace {

class TotalsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(QDate::currentDate().year(), 12, 31));  // the summary asks nothing in December
        year_ = QString::number(QDate::currentDate().year());
        openConn();
    }
    // An income record of this year, a balance still owed, with `amount` written as SQL.
    void records(const QString& amount, const QString& note)
    {
        sql("insert into 收入帐 values('1','5'," + amount + ",'" + year_ + "-03-02','" + note + "',3);"
            "insert into 负债 values('" + year_ + "-01-01','老王','欠人',1,''," + amount + ");");
    }
    static QString label(QWidget* w, const char* name) { return child<QLabel>(w, name)->text(); }
    // The figures of the asset statistics after "统计": income, its balance, borrowed, the difference.
    QStringList assets()
    {
        AssetsWindow w;
        w.show();
        click(&w, "Command1");
        return {label(&w, "lblxf_1"), label(&w, "lblxf_3"), label(&w, "lblyh_8"), label(&w, "lblyh_6")};
    }
    QString queryTotal()
    {
        LedgerQuery q(kQueryKinds[0]);
        return label(&q, "lblJE");
    }
    QString marchOfTheSummary()
    {
        YearSummary y;
        y.show();
        click(&y, "Command1");
        const QStringList rows = gridRows(child<DataGrid>(&y, "dg"));
        return rows.size() == 12 ? rows[2] : QString();
    }
    QString year_;
};

}  // namespace

// Two records of 500 trillion: every total shows the quadrillion, never a wrapped-around figure.
TEST_F(TotalsTest, SumsBeyondASingleAmountAreShownInFull)
{
    records("500000000000000", "");
    records("500000000000000", "");
    EXPECT_EQ(queryTotal(), "金额总计：1,000,000,000,000,000.00元");
    EXPECT_EQ(assets(), QStringList({"1000000000000000 ", "1,000,000,000,000,000.00", "1000000000000000 ",
                                     "1,000,000,000,000,000.00"}));
    EXPECT_EQ(marchOfTheSummary(), "3|1,000,000,000,000,000.00|0.00|0.00");
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
}

// A number that is no amount (infinite, or beyond an amount's range, as another tool can write) is
// named with its record by the query total, the asset statistics and the year summary; none of
// them shows a figure made from it.
TEST_F(TotalsTest, AmountsThatAreNoAmountsAreNamedWithTheirRecord)
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
        App::clearShownMessages();
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
