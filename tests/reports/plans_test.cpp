// Budgets and the month at a glance, as a person uses them: budgets typed into their grid and
// copied from last month; 预算执行 for a month and a year against sums worked out here, exported;
// 本月概览 with each of its parts, and its switch for after the login.
#include "budgeteditor.h"
#include "budgetbar.h"
#include "budgetreport.h"
#include "overview.h"
#include "datagrid.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QStandardItemModel>

namespace {

class PlansTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(2026, 3, 20));
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('1','张三','父亲',''), ('2','李四','母亲','');"
            "insert into 支出类型 (ID, 类型, 备注) values ('01','餐饮',''), ('02','房租',''), ('03','交通',''), ('04','衣着',''), ('05','医疗',''),"
            " ('06','娱乐','');"
            "insert into 收入类型 (ID, 类型, 备注) values ('i1','工资','');"
            "insert into 投资类型 (ID, 类型, 备注) values ('t1','基金','');");
        openConn();
    }
};

TEST_F(PlansTest, BudgetsAreTypedSavedAndCopiedFromLastMonth)
{
    BudgetEditor w(App::store());
    w.show();
    auto* grid = child<QTableView>(&w, "DG");
    EXPECT_EQ(gridRows(grid).size(), 6);
    editCell(grid, 0, 2, "1500");
    editCell(grid, 1, 2, "-3");
    click(&w, "cmdSave");
    EXPECT_EQ(lastMessage(), "“房租”的预算：预算不能是负数。");
    EXPECT_EQ(scalar("select count(*) from 预算"), "0");
    editCell(grid, 1, 2, "3000.5");
    click(&w, "cmdSave");
    EXPECT_EQ(rows("select 成员ID, 类型ID, 年月, 金额 from 预算 order by 类型ID"), QStringList({"|01||1500", "|02||3000.5"}));

    // February of one member: its own food budget; then March copies what held in February.
    child<QComboBox>(&w, "cboScope")->setCurrentIndex(1);
    child<QCheckBox>(&w, "chkDefault")->setChecked(false);
    child<QDateEdit>(&w, "dtMonth")->setDate(QDate(2026, 2, 1));
    editCell(grid, 0, 2, "200");
    click(&w, "cmdSave");
    child<QDateEdit>(&w, "dtMonth")->setDate(QDate(2026, 3, 1));
    EXPECT_EQ(gridRows(grid).value(0), "01|餐饮|");
    click(&w, "cmdCopy");
    EXPECT_EQ(lastMessage(), "已把上月的 1 项预算复制到 2026-03。");
    EXPECT_EQ(gridRows(grid).value(0), "01|餐饮|200");
    EXPECT_EQ(rows("select 成员ID, 类型ID, 年月, 金额 from 预算 where 成员ID = '1' order by 年月"),
              QStringList({"1|01|2026-02|200", "1|01|2026-03|200"}));
}

TEST_F(PlansTest, BudgetExecutionShowsBudgetSpentLeftAndBarsForAMonthAndAYear)
{
    sql("insert into 预算 values ('', '01', '', 1000), ('', '02', '', 3000), ('', '02', '2026-03', 2000), ('', '03', '', 100);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1','01',300.1,'2026-03-01','',3), ('2','01',500.2,'2026-03-19','',3),"
        " ('1','02',2000.01,'2026-03-05','',3), ('1','03',50,'2026-03-31','',3), ('1','03',80,'2026-01-10','',1),"
        " ('2','01',0.3,'2026-02-28','',2);");
    BudgetReport w(App::store());
    w.show();
    auto* grid = child<DataGrid>(&w, "DG");
    EXPECT_EQ(gridRows(grid), QStringList({"01|餐饮|1,000.00|800.30|199.70|80%", "02|房租|2,000.00|2,000.01|-0.01|超支",
                                           "03|交通|100.00|50.00|50.00|50%", "04|衣着||0.00||无预算",
                                           "05|医疗||0.00||无预算", "06|娱乐||0.00||无预算"}));
    EXPECT_EQ(child<QLabel>(&w, "lblTotals")->text(), "全家 2026年3月：预算合计 3,100.00 元，支出合计 2,850.31 元，剩余 249.69 元");
    EXPECT_EQ(budgetColor(80.03), budgetColor(100));
    EXPECT_NE(budgetColor(80), budgetColor(80.03));
    EXPECT_NE(budgetColor(100.01), budgetColor(100));

    // The year: March's own rent and the default in the other eleven months.
    child<QComboBox>(&w, "cboPeriod")->setCurrentIndex(1);
    click(&w, "cmdCompute");
    EXPECT_EQ(gridRows(grid).mid(0, 3), QStringList({"01|餐饮|12,000.00|800.60|11,199.40|6%", "02|房租|35,000.00|2,000.01|32,999.99|5%",
                                                     "03|交通|1,200.00|130.00|1,070.00|10%"}));

    // One member's March: his records only, and no budgets of his own.
    child<QComboBox>(&w, "cboPeriod")->setCurrentIndex(0);
    child<QComboBox>(&w, "cboScope")->setCurrentIndex(2);
    click(&w, "cmdCompute");
    EXPECT_EQ(gridRows(grid).value(0), "01|餐饮||500.20||无预算");

    const QString csv = folder() + "/预算.csv";
    script().queueFileChoice(csv);
    click(&w, "cmdexport");
    EXPECT_TRUE(fileBytes(csv).contains("01,餐饮,,500.20,,无预算"));

    // Figures that cannot be worked out leave none of the last ones on show, to be read, printed or
    // exported under an empty totals line.
    sql("drop table 预算");
    click(&w, "cmdCompute");
    EXPECT_TRUE(lastMessage().startsWith("预算执行没有统计出来。\n")) << lastMessage().toStdString();
    EXPECT_EQ(gridRows(grid), QStringList());
    EXPECT_EQ(child<QLabel>(&w, "lblTotals")->text(), "");
    EXPECT_FALSE(child<QPushButton>(&w, "cmdexport")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&w, "cmdPrint")->isEnabled());
}

TEST_F(PlansTest, TheOverviewShowsEachPartAndItsSwitchHoldsForTheNextLogin)
{
    sql("insert into 预算 values ('', '01', '', 100);"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1','i1',8000.5,'2026-03-10','三月工资',3), ('1','i1',7000,'2026-02-10','',2);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1','01',120,'2026-03-01','a',3), ('1','02',2500,'2026-03-02','b',3), ('2','03',1,'2026-03-03','c',3),"
        " ('1','04',2,'2026-03-04','d',3), ('1','05',3,'2026-03-05','e',3), ('1','06',4,'2026-03-06','f',3),"
        " ('2','01',0.1,'2026-02-01','',2), ('9','01',0.2,'2026-02-01','',2);"
        "insert into 投资帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('2','t1',10000,'2026-01-05','',1);"
        "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b','1','存入','活期',500,'2026-03-01');"
        "insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values ('2026-01-01','老王','欠人',300,'',250);"
        "insert into 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 日, 开始日期) values"
        " ('支出帐', '1', '02', 2500, '房租', '每月', 1, 25, '2026-03-01'), ('支出帐', '1', '02', 9, '', '每月', 1, 28, '2026-03-01');");
    OverviewWindow w(App::store());
    w.show();
    QStringList figures;
    for (const char* name : {"lblThis_0", "lblThis_1", "lblThis_2", "lblLast_0", "lblLast_1", "lblLast_2"})
        figures << child<QLabel>(&w, name)->text();
    EXPECT_EQ(figures, QStringList({"8,000.50", "2,630.00", "5,370.50", "7,000.00", "0.30", "6,999.70"}));
    EXPECT_EQ(gridRows(child<QTableView>(&w, "DGLargest")),
              QStringList({"房租|2,500.00||无预算", "餐饮|120.00|100.00|120%", "娱乐|4.00||无预算", "医疗|3.00||无预算", "衣着|2.00||无预算"}));
    EXPECT_EQ(gridRows(child<QTableView>(&w, "DGDue")), QStringList({"2026-03-25|支出帐|张三|房租|2,500.00|"}));
    const QStringList latest = gridRows(child<QTableView>(&w, "DGLatest"));
    ASSERT_EQ(latest.size(), 10);
    EXPECT_EQ(latest.first(), "收入帐|2026-03-10|张三|工资|8,000.50|三月工资");
    // Within a day the later entered first; a member no longer there by his ID.
    EXPECT_EQ(latest.mid(8), QStringList({"支出帐|2026-02-01|9|餐饮|0.20|", "支出帐|2026-02-01|李四|餐饮|0.10|"}));
    EXPECT_EQ(child<QLabel>(&w, "lblPosition")->text(), "收支余额 12,370.20，银行余额 500.00，借入 250.00，借出 0.00，其它投资 10,000.00");
    for (const char* form : {"frmquery_sr", "frmBudgetReport", "frmRecurring", "frmquery_zc", "frmcurt"})
        EXPECT_NE(w.findChild<QPushButton*>(QString("cmdOpen_") + form), nullptr) << form;

    // Switched off, it is not shown after the next login; switched on again, it is.
    child<QCheckBox>(&w, "chkShowAtLogin")->setChecked(false);
    EXPECT_EQ(scalar("select 值 from 设置 where 名称 = '登录后显示本月概览'"), "0");
    EXPECT_EQ(OverviewWindow::showAfterLogin(App::store(), nullptr), nullptr);
    child<QCheckBox>(&w, "chkShowAtLogin")->setChecked(true);
    OverviewWindow* shown = OverviewWindow::showAfterLogin(App::store(), nullptr);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    shown->close();

    // A switch that cannot be read hides nothing: the overview is shown, as when never switched off.
    child<QCheckBox>(&w, "chkShowAtLogin")->setChecked(false);
    sql("drop table 设置");
    shown = OverviewWindow::showAfterLogin(App::store(), nullptr);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    shown->close();
}

}  // namespace
