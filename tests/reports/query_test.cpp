// The income, expense and bank record queries, driven as a person uses them.
#include "reportsupport.h"
#include "reports/frmquery.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

class QueryTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        Modmain::setToday(QDate(2026, 7, 25));
        sql("insert into 成员 values('1','张三','父亲','');"
            "insert into 成员 values('2','李四','母亲','');"
            "insert into 收入类型 values('5','工资',null);"
            "insert into 收入类型 values('6','奖金',null);"
            // 张三 on both ends of the default range, and just outside it.
            "insert into 收入帐 values('1','5',100,'2026-01-01','元旦',1);"
            "insert into 收入帐 values('1','6',50.25,'2026-07-25','',7);"
            "insert into 收入帐 values('1','5',30,'2025-12-31','',12);"
            "insert into 收入帐 values('1','5',40,'2026-07-26','',7);"
            "insert into 收入帐 values('2','5',200.5,'2026-03-01','',3);"
            // A member that was deleted (9), a type that was deleted (7), an empty amount.
            "insert into 收入帐 values('9','5',7,'2026-03-02','',3);"
            "insert into 收入帐 values('2','7',3,'2026-03-03','',3);"
            "insert into 收入帐 values('2','6',null,'2026-04-01','空',4);");
        openConn();
    }

    std::unique_ptr<frmquery> open(int kind)
    {
        auto w = std::make_unique<frmquery>(kQueryKinds[kind]);
        w->show();
        return w;
    }
    static QStringList shown(frmquery* w) { return gridRows(child<DataGrid>(w, "DG")); }
    static QString total(frmquery* w) { return child<QLabel>(w, "lblJE")->text(); }
};

const QStringList kAllIncome = {
    "张三|工资|100|2026-01-01|元旦", "张三|奖金|50.25|2026-07-25|", "张三|工资|30|2025-12-31|",
    "张三|工资|40|2026-07-26|",       "李四|工资|200.5|2026-03-01|", "|工资|7|2026-03-02|",
    "李四||3|2026-03-03|",            "李四|奖金||2026-04-01|空",
};

}  // namespace

TEST_F(QueryTest, LoadListsTheWholeLedgerAndNeitherCriterionIgnoresTheDates)
{
    auto w = open(0);
    EXPECT_EQ(w->windowTitle(), "收入状况匹配查询");
    EXPECT_EQ(gridHeaders(child<DataGrid>(w.get(), "DG")), QStringList({"姓名", "类型", "金额", "日期", "备注"}));
    EXPECT_EQ(child<QDateEdit>(w.get(), "dpfrom")->date(), QDate(2026, 1, 1));
    EXPECT_EQ(child<QDateEdit>(w.get(), "dpto")->date(), QDate(2026, 7, 25));

    QStringList rows = shown(w.get());
    EXPECT_EQ(sorted(rows), sorted(kAllIncome));
    // Ordered by member name: the deleted member's empty name first.
    EXPECT_EQ(firstColumn(rows), QStringList({"", "张三", "张三", "张三", "张三", "李四", "李四", "李四"}));
    EXPECT_EQ(total(w.get()), "金额总计：430.75元");  // the empty amount counts 0

    // With no criterion the dates do not matter, even a range that holds nothing.
    child<QDateEdit>(w.get(), "dpfrom")->setDate(QDate(2001, 1, 1));
    child<QDateEdit>(w.get(), "dpto")->setDate(QDate(2001, 1, 2));
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(sorted(shown(w.get())), sorted(kAllIncome));
    EXPECT_EQ(total(w.get()), "金额总计：430.75元");
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(QueryTest, MemberTypeAndBothNarrowTheListInsideTheInclusiveRange)
{
    auto w = open(0);
    // Member only: both ends of the range are in, the days just outside are not.
    pickId(w.get(), "cmdfindt", "1");
    EXPECT_EQ(child<QLabel>(w.get(), "lblcyID")->text(), "1");
    EXPECT_EQ(child<QLabel>(w.get(), "lblcy")->text(), "张三");
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(sorted(shown(w.get())), sorted({"张三|工资|100|2026-01-01|元旦", "张三|奖金|50.25|2026-07-25|"}));
    EXPECT_EQ(total(w.get()), "金额总计：150.25元");

    // Member and type.
    pickId(w.get(), "cmdfindo", "5");
    EXPECT_EQ(child<QLabel>(w.get(), "lbllx")->text(), "工资");
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(shown(w.get()), QStringList({"张三|工资|100|2026-01-01|元旦"}));
    EXPECT_EQ(total(w.get()), "金额总计：100.00元");

    // Type only: the deleted member's record is listed with an empty name.
    auto t = open(0);
    pickId(t.get(), "cmdfindo", "5");
    click(t.get(), "CmdqueryNow");
    QStringList rows = shown(t.get());
    EXPECT_EQ(sorted(rows), sorted({"张三|工资|100|2026-01-01|元旦", "李四|工资|200.5|2026-03-01|", "|工资|7|2026-03-02|"}));
    EXPECT_EQ(firstColumn(rows), QStringList({"", "张三", "李四"}));
    EXPECT_EQ(total(t.get()), "金额总计：307.50元");

    // Member only, with a record of a deleted type and one without amount.
    auto m = open(0);
    pickId(m.get(), "cmdfindt", "2");
    click(m.get(), "CmdqueryNow");
    EXPECT_EQ(sorted(shown(m.get())),
              sorted({"李四|工资|200.5|2026-03-01|", "李四||3|2026-03-03|", "李四|奖金||2026-04-01|空"}));
    EXPECT_EQ(total(m.get()), "金额总计：203.50元");
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(QueryTest, CancelledPickKeepsTheCriterionAndAnEmptyResultTotalsZero)
{
    auto w = open(0);
    pickId(w.get(), "cmdfindt", "2");
    whenModal([](QDialog* d) { click(d, "cancel"); });
    click(w.get(), "cmdfindt");
    EXPECT_EQ(child<QLabel>(w.get(), "lblcyID")->text(), "2");
    EXPECT_EQ(child<QLabel>(w.get(), "lblcy")->text(), "李四");

    child<QDateEdit>(w.get(), "dpfrom")->setDate(QDate(2026, 5, 1));
    click(w.get(), "CmdqueryNow");
    EXPECT_TRUE(shown(w.get()).isEmpty());
    EXPECT_EQ(total(w.get()), "金额总计：0.00元");

    // An empty ledger at load.
    auto z = open(1);
    EXPECT_TRUE(shown(z.get()).isEmpty());
    EXPECT_EQ(total(z.get()), "金额总计：0.00元");
}

TEST_F(QueryTest, RangeIn2030FindsTheRecordsOf2030)
{
    sql("insert into 收入帐 values('1','5',1000,'2030-06-01','',6);"
        "insert into 收入帐 values('1','5',9,'1930-06-01','',6);");
    Modmain::setToday(QDate(2030, 6, 15));
    auto w = open(0);
    EXPECT_EQ(child<QDateEdit>(w.get(), "dpfrom")->date(), QDate(2030, 1, 1));
    pickId(w.get(), "cmdfindt", "1");
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(shown(w.get()), QStringList({"张三|工资|1000|2030-06-01|"}));
    EXPECT_EQ(total(w.get()), "金额总计：1,000.00元");
    EXPECT_EQ(queryDate(QDate(2030, 1, 1)), "1-1-2030");
    EXPECT_EQ(queryDate(QDate(2002, 12, 25)), "12-25-2002");
}

TEST_F(QueryTest, ExpenseInstanceReadsTheExpenseLedger)
{
    sql("insert into 支出类型 values('5','伙食',null);"
        "insert into 支出帐 values('1','5',12.5,'2026-02-02','菜',2);"
        "insert into 支出帐 values('2','5',1234.5,'2026-02-03','',2);");
    auto w = open(1);
    EXPECT_EQ(w->windowTitle(), "查询支出状况（匹配）");
    EXPECT_EQ(child<QPushButton>(w.get(), "cmdfindo")->toolTip(), "查找支出类型");
    EXPECT_EQ(total(w.get()), "金额总计：1,247.00元");
    whenModal([](QDialog* d) {
        EXPECT_EQ(gridHeaders(d->findChild<QTableView*>("FG")), QStringList({"ID", "类型"}));
        EXPECT_EQ(gridRows(d->findChild<QTableView*>("FG")), QStringList({"5|伙食"}));
        click(d, "ok");
    });
    click(w.get(), "cmdfindo");
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(sorted(shown(w.get())), sorted({"张三|伙食|12.5|2026-02-02|菜", "李四|伙食|1234.5|2026-02-03|"}));
    EXPECT_EQ(total(w.get()), "金额总计：1,247.00元");
}

TEST_F(QueryTest, QuotesInIdsFindOnlyTheirRecordsAndFailuresLeaveTheWindowUsable)
{
    sql("insert into 成员 values('x''y','赵六','','');"
        "insert into 收入帐 values('x''y','5',5,'2026-02-02','',2);");
    auto w = open(0);
    pickId(w.get(), "cmdfindt", "x'y");
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(shown(w.get()), QStringList({"赵六|工资|5|2026-02-02|"}));
    EXPECT_TRUE(messageTexts().isEmpty());

    // The type table goes away under the open window: a message, an empty grid, no total.
    sql("drop table 收入类型");
    click(w.get(), "CmdqueryNow");
    ASSERT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(messageTexts()[0].startsWith("查询没有完成"));
    EXPECT_TRUE(shown(w.get()).isEmpty());
    EXPECT_EQ(total(w.get()), "查询结果：");
    EXPECT_TRUE(child<QPushButton>(w.get(), "CmdqueryNow")->isEnabled());
    w->close();
    w.reset();
    EXPECT_EQ(messageTexts().size(), 1);

    // Opening it on the broken database: the message, then a window that still closes cleanly.
    auto b = open(0);
    EXPECT_EQ(messageTexts().size(), 2);
    EXPECT_TRUE(shown(b.get()).isEmpty());
    click(b.get(), "CmdqueryNow");
    EXPECT_EQ(messageTexts().size(), 3);
    b->close();
    EXPECT_EQ(messageTexts().size(), 3);
}

TEST_F(QueryTest, MenuOpensTheQueriesAndActivationEndsTheBusyState)
{
    for (const char* name : {"frmquery_sr", "frmquery_zc", "frmquery_yh"}) {
        ASSERT_TRUE(Modmain::hasWindow(name)) << name;
        bool wasBusy = true;
        whenModal([&wasBusy, name](QDialog* d) {
            EXPECT_EQ(d->objectName(), name);
            wasBusy = Modmain::isBusy();
            d->close();
        });
        Modmain::openDataWindow(name, nullptr);
        EXPECT_FALSE(wasBusy) << name;
    }
}

// ---- bank record query ----------------------------------------------------------------------

namespace {

class BankQueryTest : public QueryTest {
protected:
    void SetUp() override
    {
        QueryTest::SetUp();
        sql("insert into 银行 values('b1','工行','111');"
            "insert into 银行 values('b2','建行','222');"
            "insert into 银行帐 values('b1','1','存入','活期',100,'2026-02-01');"
            "insert into 银行帐 values('b1','1','支出','活期',40,'2026-03-01');"
            "insert into 银行帐 values('b2','2','存入','定期',500,'2026-04-01');"
            "insert into 银行帐 values('b9','1','存入','活期',8,'2026-05-01');"    // deleted bank
            "insert into 银行帐 values('b1','9','存入','活期',9,'2026-05-02');"    // deleted member
            "insert into 银行帐 values('b1','1','存入','活期',77,'2025-05-02');");  // last year
    }
};

const QStringList kAllBank = {
    "张三|工行|100|2026-02-01|存入|活期", "张三|工行|40|2026-03-01|支出|活期", "李四|建行|500|2026-04-01|存入|定期",
    "张三||8|2026-05-01|存入|活期",       "|工行|9|2026-05-02|存入|活期",     "张三|工行|77|2025-05-02|存入|活期",
};

}  // namespace

TEST_F(BankQueryTest, DirectionAppliesOnlyWithAMemberOrBankAndNoTotalIsShown)
{
    auto w = open(2);
    EXPECT_EQ(w->windowTitle(), "银行存取记录查询");
    EXPECT_EQ(gridHeaders(child<DataGrid>(w.get(), "DG")),
              QStringList({"姓名", "开户行", "金额", "日期", "存或取", "类型"}));
    QStringList rows = shown(w.get());
    EXPECT_EQ(sorted(rows), sorted(kAllBank));
    EXPECT_EQ(rows[0], "张三||8|2026-05-01|存入|活期");
    EXPECT_EQ(child<QComboBox>(w.get(), "coblx")->currentText(), "存入");
    EXPECT_EQ(w->direction(), "存入");
    EXPECT_EQ(total(w.get()), "查询结果：");

    // Neither chosen: deposits and withdrawals of every date.
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(sorted(shown(w.get())), sorted(kAllBank));

    // A member: only deposits in the range, also at a deleted bank.
    pickId(w.get(), "cmdfindt", "1");
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(sorted(shown(w.get())), sorted({"张三|工行|100|2026-02-01|存入|活期", "张三||8|2026-05-01|存入|活期"}));

    // A bank: deposits at it, also of a deleted member.
    auto b = open(2);
    pickId(b.get(), "cmdfindo", "b1");
    EXPECT_EQ(child<QLabel>(b.get(), "lbllx")->text(), "工行");
    click(b.get(), "CmdqueryNow");
    EXPECT_EQ(sorted(shown(b.get())), sorted({"张三|工行|100|2026-02-01|存入|活期", "|工行|9|2026-05-02|存入|活期"}));
    // Both: the member's deposits at that bank.
    pickId(b.get(), "cmdfindt", "1");
    click(b.get(), "CmdqueryNow");
    EXPECT_EQ(shown(b.get()), QStringList({"张三|工行|100|2026-02-01|存入|活期"}));
    EXPECT_EQ(total(b.get()), "查询结果：");
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(BankQueryTest, TypingWarnsOnEveryKeyAndOnlyTheListSwitchesTheDirection)
{
    auto w = open(2);
    pickId(w.get(), "cmdfindt", "1");
    auto* coblx = child<QComboBox>(w.get(), "coblx");
    coblx->lineEdit()->clear();
    typeText(coblx->lineEdit(), "支出");
    QTest::keyClick(coblx, Qt::Key_Return);  // the combo holds the focus for its edit field
    const auto msgs = Modmain::shownMessages();
    ASSERT_EQ(msgs.size(), 2);
    for (const auto& m : msgs) {
        EXPECT_EQ(m.text, "如果您在前期银行帐内改变了条目，请引用您自定的内容");
        EXPECT_EQ(m.style, 64);
        EXPECT_EQ(m.title, "重要提示");
    }
    EXPECT_EQ(coblx->currentText(), "支出");
    EXPECT_EQ(w->direction(), "存入");
    // Nor does leaving the combo for the button with the mouse.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    coblx->setFocus();
    QTest::mouseClick(child<QPushButton>(w.get(), "CmdqueryNow"), Qt::LeftButton);
    EXPECT_TRUE(child<QPushButton>(w.get(), "CmdqueryNow")->hasFocus());
    EXPECT_EQ(w->direction(), "存入");
    EXPECT_EQ(sorted(shown(w.get())), sorted({"张三|工行|100|2026-02-01|存入|活期", "张三||8|2026-05-01|存入|活期"}));

    // Choosing "支出" from the list.
    coblx->showPopup();
    QAbstractItemView* view = coblx->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(1, 0)).center());
    EXPECT_EQ(w->direction(), "支出");
    EXPECT_EQ(Modmain::shownMessages().size(), 2);
    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(shown(w.get()), QStringList({"张三|工行|40|2026-03-01|支出|活期"}));

    // And back to "存入" with the arrow key.
    coblx->setFocus();
    QTest::keyClick(coblx, Qt::Key_Up);
    EXPECT_EQ(w->direction(), "存入");
}
