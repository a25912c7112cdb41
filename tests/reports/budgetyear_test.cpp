// 预算执行 for a year counts the months that happened in the book: the whole year (全年) or up to
// this month (年初至今), never a month before the book's first record; the line under the grid says
// which months are counted.
#include "budgetreport.h"
#include "datagrid.h"
#include "support/testsupport.h"

namespace {

class BudgetYear : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(2026, 7, 20));
        // The book begins with a salary on 14 March; food has a budget of 1000 each month.
        sql("insert into 支出类型 (ID, 类型, 备注) values ('01', '餐饮', '');"
            "insert into 预算 values ('', '01', '', 1000);"
            "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', 'i', 8000, '2026-03-14', '', 3);"
            "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', '01', 200, '2026-03-15', '', 3), ('1', '01', 300, '2026-07-02', '', 7),"
            " ('1', '01', 400, '2026-11-30', '预付', 11);");
        openConn();
    }
    // 统计 for a year (part: 0 全年, 1 年初至今): the food line and the line under the grid.
    QStringList year(BudgetReport& w, int year, int part)
    {
        child<QComboBox>(&w, "cboPeriod")->setCurrentIndex(1);
        child<QComboBox>(&w, "cboYearPart")->setCurrentIndex(part);
        child<QDateEdit>(&w, "dtMonth")->setDate(QDate(year, 1, 1));
        click(&w, "cmdCompute");
        return {gridRows(child<DataGrid>(&w, "DG")).value(0), child<QLabel>(&w, "lblMonths")->text()};
    }
};

TEST_F(BudgetYear, AYearCountsItsMonthsFromTheFirstRecordWholeOrToDate)
{
    BudgetReport w(App::store());
    w.show();
    EXPECT_EQ(child<QLabel>(&w, "lblMonths")->text(), "计入的月份：2026年7月");
    EXPECT_FALSE(child<QComboBox>(&w, "cboYearPart")->isEnabled());
    const QString since = "（账本的第一笔记录在 2026-03-14，之前的月份不计）";
    EXPECT_EQ(year(w, 2026, 0), QStringList({"01|餐饮|10,000.00|900.00|9,100.00|9%", "计入的月份：2026年3月至12月，共 10 个月" + since}));
    EXPECT_TRUE(child<QComboBox>(&w, "cboYearPart")->isEnabled());
    // To date: March to July, November's payment in advance not among them.
    EXPECT_EQ(year(w, 2026, 1), QStringList({"01|餐饮|5,000.00|500.00|4,500.00|10%", "计入的月份：2026年3月至7月，共 5 个月" + since}));
    EXPECT_EQ(child<QLabel>(&w, "lblTotals")->text(), "全家 2026年年初至今：预算合计 5,000.00 元，支出合计 500.00 元，剩余 4,500.00 元");
    // A year before the book began counts no month; a year to come, to date, none yet.
    EXPECT_EQ(year(w, 2025, 0), QStringList({"01|餐饮||0.00||无预算", "计入的月份：无" + since}));
    EXPECT_EQ(year(w, 2027, 1), QStringList({"01|餐饮||0.00||无预算", "计入的月份：无（2027年还没有开始）"}));
    EXPECT_EQ(year(w, 2027, 0), QStringList({"01|餐饮|12,000.00|0.00|12,000.00|0%", "计入的月份：2027年1月至12月，共 12 个月"}));

    // An earlier record: the book now began in 2025, and 2026 counts from January.
    sql("insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b', '1', '存入', '活期', 10, '2025-12-31')");
    EXPECT_EQ(year(w, 2026, 1), QStringList({"01|餐饮|7,000.00|500.00|6,500.00|7%", "计入的月份：2026年1月至7月，共 7 个月"}));
    EXPECT_EQ(year(w, 2025, 1).value(1), "计入的月份：2025年12月（账本的第一笔记录在 2025-12-31，之前的月份不计）");
}

}  // namespace
