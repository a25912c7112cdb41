#include "dberror.h"
#include "recordset.h"
#include "recordsetmodel.h"

#include <QAbstractItemModelTester>
#include "support/testsupport.h"

#include <QFile>

namespace {

class RecordsetTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql("insert into 收入类型 values('1','工资','每月');"
            "insert into 收入类型 values('2','奖金',null);"
            "insert into 收入类型 values('3','利息','');");
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

}  // namespace

TEST_F(RecordsetTest, OpensASnapshotInTheStatementsOrderOnTheFirstRow)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型 order by ID desc");
    EXPECT_EQ(rs.fieldNames(), QStringList({"ID", "类型", "备注"}));
    EXPECT_EQ(ids(rs), QStringList({"3", "2", "1"}));
    EXPECT_FALSE(rs.bof());
    EXPECT_FALSE(rs.eof());
    EXPECT_EQ(rs.text("类型"), "利息");
    EXPECT_EQ(rs.value(1).toString(), "利息");
    EXPECT_EQ(rs.fieldIndex("备注"), 2);
    EXPECT_FALSE(rs.value("备注").isNull());  // '' is not null
    rs.moveNext();
    EXPECT_TRUE(rs.value("备注").isNull());
    rs.moveNext();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.moveLast();
    EXPECT_EQ(rs.text(0), "1");

    Recordset empty;
    empty.open(conn, "select * from 支出类型");
    EXPECT_TRUE(empty.bof());
    EXPECT_TRUE(empty.eof());
    EXPECT_FALSE(empty.hasCurrent());
}

TEST_F(RecordsetTest, AddNewUpdateKeepsTheRowInTheSnapshotAndCurrent)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    rs.addNew();
    EXPECT_EQ(rs.editMode(), Recordset::EditAdd);
    EXPECT_FALSE(rs.eof());
    rs.setValue("ID", QString("4"));
    rs.setValue("类型", QString("租金"));
    rs.update();
    EXPECT_EQ(rs.editMode(), Recordset::EditNone);
    EXPECT_EQ(rs.rowCount(), 4);
    EXPECT_EQ(rs.position(), 3);
    EXPECT_EQ(rs.text("类型"), "租金");
    EXPECT_EQ(rows("select ID,类型,备注 from 收入类型 where ID='4'"), QStringList({"4|租金|NULL"}));
}

TEST_F(RecordsetTest, EditAndCancelUpdate)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    rs.moveNext();
    rs.setValue("类型", QString("年终奖"));
    EXPECT_EQ(rs.editMode(), Recordset::EditInProgress);
    EXPECT_EQ(rs.text("类型"), "年终奖");
    rs.cancelUpdate();
    EXPECT_EQ(rs.text("类型"), "奖金");
    rs.setValue("类型", QString("年终奖"));
    rs.update();
    EXPECT_EQ(scalar("select 类型 from 收入类型 where ID='2'"), "年终奖");

    // Cancelling a new row returns to the row that was current before it.
    rs.addNew();
    rs.setValue("ID", QString("9"));
    rs.cancelUpdate();
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(rs.position(), 1);
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "3");
}

TEST_F(RecordsetTest, DeleteThenMoveNextThenMoveLastAtTheEnd)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    // In the middle: the following row becomes current.
    rs.moveNext();
    rs.deleteCurrent();
    rs.moveNext();
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.text(0), "3");
    // At the end: MoveNext reaches EOF, MoveLast lands on the new last row.
    rs.deleteCurrent();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.moveLast();
    EXPECT_EQ(rs.text(0), "1");
    // The only row: the snapshot is empty.
    rs.deleteCurrent();
    rs.moveNext();
    rs.moveLast();
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "0");
    EXPECT_THROW(rs.deleteCurrent(), DbError);
}

TEST_F(RecordsetTest, RefusedWritesLeaveFileAndSnapshotAsTheyWere)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    // A duplicate ID, ignoring letter case.
    sql("insert into 收入类型 values('a','甲',null)");
    rs.addNew();
    rs.setValue("ID", QString("A"));
    try {
        rs.update();
        FAIL() << "a duplicate ID was saved";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Duplicate);
        EXPECT_FALSE(e.userText().isEmpty());
    }
    EXPECT_EQ(rs.editMode(), Recordset::EditAdd);  // still editing, typed value kept
    EXPECT_EQ(rs.text("ID"), "A");
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "4");

    // An amount that is not a number.
    Recordset ledger;
    ledger.open(conn, "select 成员ID,类型ID,金额,日期,备注,月份 from 收入临时");
    ledger.addNew();
    ledger.setValue("金额", QString("1.2.3"));
    try {
        ledger.update();
        FAIL() << "text was saved as an amount";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::BadValue);
    }
    EXPECT_EQ(ledger.rowCount(), 0);
    EXPECT_EQ(scalar("select count(*) from 收入临时"), "0");

    // A read-only file.
    conn.execute("PRAGMA query_only = 1");
    rs.cancelUpdate();
    rs.setValue("类型", QString("改"));
    try {
        rs.update();
        FAIL() << "wrote to a read-only database";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::ReadOnly);
    }
    EXPECT_EQ(scalar("select 类型 from 收入类型 where ID='1'"), "工资");
    EXPECT_THROW(rs.deleteCurrent(), DbError);
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "4");
}

TEST_F(RecordsetTest, JoinsAggregatesAndReadOnlyRefuseWrites)
{
    Recordset join;
    join.open(conn, "select 收入类型.ID, 成员.姓名 from 收入类型 left join 成员 on 成员.ID = 收入类型.ID");
    EXPECT_FALSE(join.isEditable());
    EXPECT_THROW(join.addNew(), DbError);
    Recordset sum;
    sum.open(conn, "select sum(金额)as z from 收入帐");
    EXPECT_FALSE(sum.isEditable());
    EXPECT_TRUE(sum.value("z").isNull());  // a sum over no rows is null
    Recordset ro;
    ro.open(conn, "select * from 收入类型", Recordset::ReadOnly);
    EXPECT_THROW(ro.setValue("ID", QString("x")), DbError);
    EXPECT_THROW(ro.deleteCurrent(), DbError);
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "3");
}

TEST_F(RecordsetTest, MovingNeverWritesAPendingChange)
{
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    rs.setValue("类型", QString("typed"));
    rs.moveNext();
    EXPECT_EQ(rs.editMode(), Recordset::EditNone);
    EXPECT_EQ(scalar("select 类型 from 收入类型 where ID='1'"), "工资");
    EXPECT_EQ(rs.textAt(0, 1), "工资");
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

TEST(Connection, MissingOrUnreadableFilesAreErrorsAndNothingIsCreated)
{
    QTemporaryDir dir;
    const QString missing = dir.path() + "/main.mdb";
    Connection c;
    try {
        c.open(missing);
        FAIL() << "opened a missing file";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::CannotOpen);
    }
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_FALSE(c.isOpen());

    QFile garbage(missing);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    try {
        c.open(missing);
        FAIL() << "opened a file that is no database";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::NotADatabase);
    }
    EXPECT_FALSE(c.isOpen());
}

TEST_F(RecordsetTest, OpeningAnOpenConnectionLeavesItUntouched)
{
    Recordset before;
    before.open(conn, "select * from 收入类型");
    conn.open("/nonexistent/elsewhere.mdb");  // already open: nothing happens
    EXPECT_TRUE(conn.isOpen());
    EXPECT_EQ(conn.path(), dbPath());
}

TEST_F(RecordsetTest, GridModelStaysConsistentThroughEveryWrite)
{
    // The model tester aborts on any signal that does not match the rows the model reports.
    Recordset rs;
    rs.open(conn, "select * from 收入类型");
    RecordsetModel model(&rs);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    rs.addNew();
    EXPECT_EQ(model.rowCount(), 4);
    rs.cancelUpdate();
    EXPECT_EQ(model.rowCount(), 3);
    rs.addNew();
    rs.setValue("ID", QString("4"));
    rs.update();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.index(3, 0).data().toString(), "4");
    rs.moveFirst();
    rs.deleteCurrent();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(0, 0).data().toString(), "2");
    rs.open(conn, "select ID from 收入类型 where ID > '2'");
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 1);
    rs.close();
    EXPECT_EQ(model.rowCount(), 0);
}
