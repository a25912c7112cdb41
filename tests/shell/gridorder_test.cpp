// Sorting the grids by their headers, and names in Chinese order wherever the program orders them.
#include "dialect.h"
#include "gridtest.h"
#include "recordset.h"
#include "statement.h"

#include <sqlite3.h>

namespace {

// As a Chinese reader orders them: numbers by value, then names by their pinyin (an, bai, chen,
// deng, li, liu, wang, wu, zhang, zhao, zhou), latin names after the Chinese ones, case aside.
const QStringList kPinyin = {"2号", "10号", "安娜", "白雪", "陈晨", "邓超", "李四", "刘洋",
                             "王五", "吴六", "张三", "赵六", "周七", "Amy", "bob"};

using GridOrderTest = DbTest;

}  // namespace

// The statements, the whole-ledger listing and the header of a list put names in the same Chinese
// order, and the file needs nothing of the program to be read and ordered by another SQLite tool.
TEST_F(GridOrderTest, NamesComeInPinyinOrderEverywhereAndTheFileNeedsNoCollation)
{
    QString members, records;
    for (int i = 0; i < kPinyin.size(); ++i) {
        const int at = (i * 7) % kPinyin.size();  // entered out of order
        members += QStringLiteral("%1('m%2','%3','','')").arg(i ? "," : "").arg(at).arg(kPinyin[at]);
        records += QStringLiteral("%1('m%2','5',%3,'2026-01-01','',1)").arg(i ? "," : "").arg(at).arg(at + 1);
    }
    sql("insert into 成员 values" + members + "; insert into 收入类型 values('5','工资','');"
        "insert into 收入帐 values" + records + ";");
    openConn();

    EXPECT_EQ(columnTexts(App::conn, translateSql("select 姓名 from 成员 order by 姓名")), kPinyin);

    EXPECT_EQ(columnOf(gridOf(openWindow("frmquery_sr").get()), 0), kPinyin);

    auto users = openWindow("frmuser");
    DataGrid* g = gridOf(users.get());
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), kPinyin);
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), QStringList(kPinyin.rbegin(), kPinyin.rend()));
    EXPECT_EQ(g->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    sqlite3* plain = nullptr;
    ASSERT_EQ(sqlite3_open_v2(dbPath().toUtf8().constData(), &plain, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(plain, "select 姓名 from 成员 order by 姓名; select * from 查询", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(plain);
    EXPECT_EQ(scalar("select count(*) from sqlite_master where sql like '%PINYIN%'"), "0");
}

// Amounts sort as numbers, dates as dates, empty cells first; the record the user chose stays chosen
// and current; a new query shows its own order again.
TEST_F(GridOrderTest, AQueryGridSortsNumbersAndDatesAndKeepsTheChosenRecord)
{
    sql("insert into 成员 values('1','张三','','');"
        "insert into 收入帐 values('1','5',100,'2026-03-01','a',3), ('1','5',9,'2025-12-31','b',12),"
        " ('1','5',25.5,'2026-01-10','c',1), ('1','5',null,'2026-02-02','d',2), ('1','5',1000.25,'2024-05-05','e',5);");
    openConn();
    auto w = openWindow("frmquery_sr");
    DataGrid* g = gridOf(w.get());
    clickHeader(g, 2);
    EXPECT_EQ(columnOf(g, 2), (QStringList{"", "9", "25.5", "100", "1000.25"}));
    clickHeader(g, 2);
    EXPECT_EQ(columnOf(g, 2), (QStringList{"1000.25", "100", "25.5", "9", ""}));

    clickRow(g, 2);  // 25.5
    clickHeader(g, 3);
    EXPECT_EQ(columnOf(g, 3), (QStringList{"2024-05-05", "2025-12-31", "2026-01-10", "2026-02-02", "2026-03-01"}));
    EXPECT_EQ(g->selectionModel()->selectedRows(), QModelIndexList{g->model()->index(2, 0)});
    EXPECT_EQ(g->recordset()->text("备注"), "c");
    EXPECT_EQ(g->horizontalHeader()->sortIndicatorSection(), 3);

    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(columnOf(g, 4), (QStringList{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(g->horizontalHeader()->sortIndicatorSection(), -1);
}

// A click on a header while the rows still arrive reads them all first: the sort covers every row,
// and the total is shown.
TEST_F(GridOrderTest, SortingWhileRowsStillArriveSortsThemAll)
{
    sql("insert into 成员 values('1','张三','','');"
        "with recursive n(i) as (select 1 union all select i+1 from n where i < 3000) "
        "insert into 收入帐 select '1', '5', (i * 37) % 1000 + 0.5, '2026-01-01', '', 1 from n;");
    openConn();
    auto w = openWindow("frmquery_sr");
    Recordset* rs = gridOf(w.get())->recordset();
    ASSERT_TRUE(rs->isLoading());
    clickHeader(gridOf(w.get()), 2);
    EXPECT_FALSE(rs->isLoading());
    const QStringList amounts = columnOf(gridOf(w.get()), 2);
    ASSERT_EQ(amounts.size(), 3000);
    EXPECT_TRUE(std::is_sorted(amounts.begin(), amounts.end(),
                               [](const QString& a, const QString& b) { return a.toDouble() < b.toDouble(); }));
    EXPECT_EQ(child<QLabel>(w.get(), "lblJE")->text(), "金额总计：1,500,000.00元");
}

// In a sorted list the user deletes the record selected and sees a new one at the end until the next
// sort; the table holds exactly what the grid shows.
TEST_F(GridOrderTest, EditingASortedListActsOnTheRecordsTheUserSees)
{
    sql("insert into 收入类型 values('1','工资',''), ('2','奖金',''), ('3','利息','');");
    openConn();
    auto w = openWindow("frmsrlx");
    DataGrid* g = gridOf(w.get());
    clickHeader(g, 1);
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), (QStringList{"利息", "奖金", "工资"}));

    clickRow(g, 1);  // 奖金
    App::queueAnswer(1);
    click(w.get(), "cmddel");
    EXPECT_EQ(rows("select ID from 收入类型 order by ID"), (QStringList{"1", "3"}));
    EXPECT_EQ(gridRows(g), (QStringList{"3|利息|", "1|工资|"}));

    click(w.get(), "cmdaddnew");
    typeInto(child<QLineEdit>(w.get(), "txtFields_0"), "4");
    typeInto(child<QLineEdit>(w.get(), "txtFields_1"), "补贴");
    click(w.get(), "cmdupdate");
    EXPECT_EQ(gridRows(g), (QStringList{"3|利息|", "1|工资|", "4|补贴|"}));
    EXPECT_EQ(g->selectionModel()->selectedRows(), QModelIndexList{g->model()->index(2, 0)});
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), (QStringList{"补贴", "工资", "利息"}));
    EXPECT_EQ(rows("select ID, 类型 from 收入类型 order by ID"), (QStringList{"1|工资", "3|利息", "4|补贴"}));
}
