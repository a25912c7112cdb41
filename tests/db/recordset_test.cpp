// The recordset on the real schema: browsing, writing back, what the file refuses, and the
// statements the windows run through it.
#include "dberror.h"
#include "dialect.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "support/testsupport.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <functional>

namespace {

class RecordsetTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql("insert into 收入类型 values('1','工资','每月'), ('2','奖金',null), ('3','利息','');");
        conn.open(dbPath());
    }
    void TearDown() override
    {
        conn.close();
        DbTest::TearDown();
    }
    Connection conn;
};

QStringList ids(const Recordset& rs)
{
    QStringList out;
    for (int r = 0; r < rs.rowCount(); ++r)
        out << rs.textAt(r, 0);
    return out;
}

// The kind of DbError an action raises (-1: none).
int refusal(const std::function<void()>& action)
{
    try {
        action();
    } catch (const DbError& e) {
        return e.kind();
    }
    return -1;
}

}  // namespace

// The statement's order with the first row current; '' is not null; moving drops a pending change
// and never writes it; an open connection is not opened again on another file.
TEST_F(RecordsetTest, BrowsesASnapshotAndMovingNeverWrites)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型 order by ID desc");
    EXPECT_EQ(rs.fieldNames(), QStringList({"ID", "类型", "备注"}));
    EXPECT_EQ(ids(rs), QStringList({"3", "2", "1"}));
    EXPECT_FALSE(rs.bof() || rs.eof());
    EXPECT_EQ(rs.text("类型") + rs.value(1).toString(), "利息利息");
    EXPECT_EQ(rs.fieldIndex("备注"), 2);
    EXPECT_FALSE(rs.value("备注").isNull());
    rs.setValue("类型", QString("typed"));
    rs.moveNext();
    EXPECT_EQ(rs.editMode(), Recordset::EditNone);
    EXPECT_EQ(rs.textAt(0, 1), "利息");
    EXPECT_EQ(scalar("select 类型 from 收入类型 where ID='3'"), "利息");
    EXPECT_TRUE(rs.value("备注").isNull());
    rs.moveNext();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.moveLast();
    EXPECT_EQ(rs.text(0), "1");

    Recordset empty;
    empty.open(conn, "select * from 支出类型");
    EXPECT_TRUE(empty.bof() && empty.eof() && !empty.hasCurrent());
    conn.open("/nonexistent/elsewhere.mdb");
    EXPECT_EQ(conn.path(), dbPath());
}

// Each write with the grid's model attached (the tester aborts on a signal that does not match the
// rows). A saved new row stays current at the end; a cancelled edit shows the stored value and a
// cancelled new row returns to the row before; a delete makes the next row current, MoveLast after
// the last finds the new last row, and deleting the only row leaves the snapshot empty.
TEST_F(RecordsetTest, WritesKeepSnapshotFileAndGridModelInStep)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    RecordsetModel model(&rs);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    rs.addNew();
    EXPECT_EQ(rs.editMode(), Recordset::EditAdd);
    EXPECT_EQ(model.rowCount(), 4);
    rs.setValue("ID", QString("4"));
    rs.setValue("类型", QString("租金"));
    rs.update();
    EXPECT_EQ(rs.editMode(), Recordset::EditNone);
    EXPECT_EQ(rs.position(), 3);
    EXPECT_EQ(model.index(3, 1).data().toString(), "租金");
    EXPECT_EQ(rows("select * from 收入类型 where ID='4'"), QStringList({"4|租金|NULL"}));

    rs.moveTo(1);
    rs.setValue("类型", QString("年终奖"));
    EXPECT_EQ(rs.editMode(), Recordset::EditInProgress);
    rs.cancelUpdate();
    EXPECT_EQ(rs.text("类型"), "奖金");
    rs.addNew();
    rs.setValue("ID", QString("9"));
    rs.cancelUpdate();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(rs.position(), 1);
    rs.setValue("类型", QString("年终奖"));
    rs.update();
    EXPECT_EQ(rows("select ID, 类型 from 收入类型"), QStringList({"1|工资", "2|年终奖", "3|利息", "4|租金"}));

    rs.deleteCurrent();
    rs.moveNext();
    EXPECT_EQ(rs.text(0), "3");
    rs.moveLast();
    rs.deleteCurrent();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.moveLast();
    EXPECT_EQ(rs.text(0), "3");
    for (const char* left : {"1", ""}) {  // the last row, then the only one
        rs.deleteCurrent();
        rs.moveNext();
        rs.moveLast();
        EXPECT_EQ(ids(rs).join(u','), left);
    }
    EXPECT_TRUE(rs.eof() && rs.bof());
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "0");
    EXPECT_THROW(rs.deleteCurrent(), DbError);

    sql("insert into 收入类型 values('7','租金',null);");
    rs.open(conn, "select ID from 收入类型");
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.columnCount(), 1);
    rs.close();
    EXPECT_EQ(model.rowCount(), 0);
}

// A duplicate ID (ignoring letter case), an amount that is no number and a read-only file: the file
// and the snapshot stay as they were and the pending edit is kept. Joins, aggregates and read-only
// results take no writes at all.
TEST_F(RecordsetTest, RefusedWritesLeaveFileAndSnapshotAsTheyWere)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    sql("insert into 收入类型 values('a','甲',null)");
    rs.addNew();
    rs.setValue("ID", QString("A"));
    EXPECT_EQ(refusal([&] { rs.update(); }), DbError::Duplicate);
    EXPECT_EQ(rs.editMode(), Recordset::EditAdd);
    EXPECT_EQ(rs.text("ID"), "A");
    EXPECT_EQ(rs.rowCount(), 3);

    Recordset ledger;
    ledger.open(conn, "select 成员ID,类型ID,金额,日期,备注,月份 from 收入临时");
    ledger.addNew();
    ledger.setValue("金额", QString("1.2.3"));
    EXPECT_EQ(refusal([&] { ledger.update(); }), DbError::BadValue);
    EXPECT_EQ(ledger.rowCount(), 0);
    EXPECT_EQ(scalar("select count(*) from 收入临时"), "0");

    conn.execute("PRAGMA query_only = 1");
    rs.cancelUpdate();
    rs.setValue("类型", QString("改"));
    EXPECT_EQ(refusal([&] { rs.update(); }), DbError::ReadOnly);
    EXPECT_THROW(rs.deleteCurrent(), DbError);
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(rows("select 类型 from 收入类型"), QStringList({"工资", "奖金", "利息", "甲"}));

    Recordset join, sum, ro;
    join.open(conn, "select 收入类型.ID, 成员.姓名 from 收入类型 left join 成员 on 成员.ID = 收入类型.ID");
    sum.open(conn, "select sum(金额)as z from 收入帐");
    ro.open(conn, "select * from 收入类型", Recordset::ReadOnly);
    EXPECT_FALSE(join.isEditable() || sum.isEditable());
    EXPECT_TRUE(sum.value("z").isNull());  // a sum over no rows is null
    EXPECT_THROW(join.addNew(), DbError);
    EXPECT_THROW(ro.setValue("ID", QString("x")), DbError);
    EXPECT_THROW(ro.deleteCurrent(), DbError);
}

TEST_F(RecordsetTest, MoneyDatesAndMonthsAreStoredAsNumbersAndText)
{
    Recordset rs;
    rs.open(conn, "select 成员ID,类型ID,金额,日期,备注,月份 from 收入临时");
    rs.addNew();
    rs.setValue("金额", QString("0.1"));
    rs.setValue("日期", QDate(2026, 3, 5));
    rs.setValue("月份", 3);
    rs.update();
    EXPECT_EQ(rows("select typeof(金额), 金额, 日期, typeof(月份), 月份 from 收入临时"),
              QStringList({"real|0.1|2026-03-05|integer|3"}));
    EXPECT_EQ(rs.value("金额").value<Money>().units(), 1000);
    EXPECT_EQ(rs.text("金额"), "0.1");
}

// Codes compare without letter case but "1" and "01" differ; the schema refuses what is no amount or
// month; values bound to "?" marks are compared whole, a quote or a NUL included.
TEST_F(RecordsetTest, CodesCompareWithoutCaseAndBoundValuesWhole)
{
    sql("insert into 成员 values('m','王五','',''), ('1','张三','',''), ('01','李四','',''),"
        " ('n', 'a' || char(0) || '''b', '', 'p''w');");
    const auto match = [this](const QString& statement, const QVariantList& values = {}) {
        Recordset rs;
        rs.open(conn, statement, values, Recordset::ReadOnly);
        return ids(rs).join(u',');
    };
    EXPECT_EQ(match("select 姓名 from 成员 where ID='M'"), "王五");
    EXPECT_EQ(match("select 姓名 from 成员 where ID='01'"), "李四");
    EXPECT_THROW(conn.execute("insert into 收入帐(金额) values('abc')"), DbError);
    EXPECT_THROW(conn.execute("insert into 收入帐(月份) values(13)"), DbError);
    EXPECT_THROW(conn.execute("insert into 成员(ID) values('M')"), DbError);
    conn.execute("insert into 收入帐(金额, 日期, 月份) values('12.5', '2024-02-29', 2)");
    EXPECT_EQ(scalar("select typeof(金额) from 收入帐"), "real");

    const QString name = QStringLiteral("a") + QChar(0) + QStringLiteral("'b");
    const QString login = "select ID from 成员 where 姓名=? and 密码=?";
    EXPECT_EQ(match(login, {name, "p'w"}), "n");
    EXPECT_EQ(match(login, {name.toUpper(), "P'W"}), "n");
    EXPECT_EQ(match(login, {"A", "p'w"}), "");
    EXPECT_EQ(match(login, {"' or ''='", "' or ''='"}), "");
}

TEST_F(RecordsetTest, QueriesUseTheIndexes)
{
    const auto plan = [&](const QString& q) { return rows("explain query plan " + translateSql(q)).join("\n"); };
    const QString p = plan(
        "SELECT 成员.姓名, 收入类型.类型, 收入帐.金额 FROM 成员 RIGHT JOIN (收入类型 RIGHT JOIN 收入帐 ON 收入类型.ID = "
        "收入帐.类型ID) ON 成员.ID = 收入帐.成员ID where 成员.ID='1' and 收入类型.ID='5' and 收入帐.日期 between #1-1-02# and "
        "#7-25-02# order by 成员.姓名");
    EXPECT_TRUE(p.contains("USING INDEX")) << p.toStdString();
    EXPECT_FALSE(p.contains("SCAN 收入帐")) << p.toStdString();
    EXPECT_TRUE(plan("select * from 查询").contains("收入帐_日期"));
}

TEST(Connection, MissingOrUnreadableFilesAreErrorsAndNothingIsCreated)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/main.mdb";
    Connection c;
    EXPECT_EQ(refusal([&] { c.open(file); }), DbError::CannotOpen);
    EXPECT_FALSE(QFile::exists(file));
    writeFile(file, QByteArray(4096, 'x'));
    EXPECT_EQ(refusal([&] { c.open(file); }), DbError::NotADatabase);
    EXPECT_FALSE(c.isOpen());
}
