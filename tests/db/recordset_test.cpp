// The recordset on the real schema: browsing and writing back, what the file refuses, the statements
// the windows run through it, the cells of a loaded result, the order in which a join is read, and
// loading in slices.
#include "dberror.h"
#include "editablerows.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "resultreader.h"
#include "snapshot.h"
#include "sqltext.h"
#include "statement.h"
#include "store.h"
#include "support/testsupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <functional>

namespace {

const Select kIncomeHead{"成员.姓名, 收入类型.类型, 收入帐.金额, 收入帐.日期, 收入帐.备注",
                         "FROM 收入帐 LEFT JOIN 收入类型 ON 收入类型.ID = 收入帐.类型ID LEFT JOIN 成员 ON 成员.ID = 收入帐.成员ID"};
const Select kIncomeSelect = kIncomeHead.followedBy(" order by " + inChineseOrder("成员.姓名"));
const QString kIncome = kIncomeSelect.text();
const QString kTypes = "insert into 收入类型 (ID, 类型, 备注) values('1','工资','每月'), ('2','奖金',null), ('3','利息','');";

class RecordsetTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        conn.open(dbPath());
    }
    void TearDown() override
    {
        conn.close();
        DbTest::TearDown();
    }
    // `n` income records over members with names that differ only in letter case, one without a
    // name, and records of a member and a type that do not exist or are not given.
    void ledger(int n)
    {
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','amy','',''), ('2','Amy','',''), ('3','张三','',''), ('4',null,'',''),"
            " ('5','bob','','');"
            "insert into 收入类型 (ID, 类型, 备注) values('5','工资',null), ('6','奖金',null);"
            + QString("with recursive n(i) as (select 1 union all select i+1 from n where i < %1) "
                      "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select case i % 7 when 6 then '9' when 5 then null else i % 5 + 1 end,"
                      " case i % 3 when 0 then '7' else i % 2 + 5 end, i * 1.25, date('2020-01-01', '+' || (i % 900) || ' days'),"
                      " '备注' || i, 1 from n;")
                  .arg(n));
    }
    Connection conn;
    Store store{conn};
};

// The rows of a result, each row's fields joined with '|' (null as "NULL").
QStringList cells(const Recordset& rs)
{
    QStringList out;
    for (int r = 0; r < rs.rowCount(); ++r) {
        QStringList f;
        for (int c = 0; c < rs.fieldCount(); ++c)
            f << (rs.isNullAt(r, c) ? QString("NULL") : rs.textAt(r, c));
        out << f.join(u'|');
    }
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
    sql(kTypes);
    Recordset rs;
    rs.open(conn, "select ID, 类型, 备注 from 收入类型 order by ID desc");
    EXPECT_EQ(rs.fieldNames(), QStringList({"ID", "类型", "备注"}));
    EXPECT_EQ(cells(rs), QStringList({"3|利息|", "2|奖金|NULL", "1|工资|每月"}));
    EXPECT_FALSE(rs.bof() || rs.eof());
    EXPECT_EQ(rs.text("类型") + rs.value(1).toString(), "利息利息");
    EXPECT_EQ(rs.fieldIndex("备注"), 2);
    EXPECT_FALSE(rs.value("备注").isNull());
    EditableRows edited;
    edited.open(store, EditedTable::of(ReferenceList::IncomeTypes));
    edited.moveLast();
    edited.setValue("类型", QString("typed"));
    edited.moveNext();
    EXPECT_EQ(edited.editMode(), Recordset::EditNone);
    EXPECT_EQ(edited.textAt(2, 1), "利息");
    EXPECT_EQ(scalar("select 类型 from 收入类型 where ID='3'"), "利息");
    rs.moveNext();
    EXPECT_TRUE(rs.value("备注").isNull());
    rs.moveNext();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.moveLast();
    EXPECT_EQ(rs.text(0), "1");

    Recordset empty;
    empty.open(conn, "select ID, 类型, 备注 from 支出类型");
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
    sql(kTypes);
    EditableRows rs;
    rs.open(store, EditedTable::of(ReferenceList::IncomeTypes));
    RecordsetModel model(&rs);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    rs.addNew();
    EXPECT_EQ(rs.editMode(), Recordset::EditAdd);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(rs.position(), 3);  // the new row, last
    rs.setValue("ID", QString("4"));
    rs.setValue("类型", QString("租金"));
    EXPECT_EQ(model.index(3, 1).data().toString(), "租金");  // the grid shows what is typed in it
    rs.update();
    EXPECT_EQ(rs.editMode(), Recordset::EditNone);
    EXPECT_EQ(rs.position(), 3);
    EXPECT_EQ(model.index(3, 1).data().toString(), "租金");
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型 where ID='4'"), QStringList({"4|租金|NULL"}));

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
    for (const char* left : {"1|工资|每月", ""}) {  // the last row, then the only one
        rs.deleteCurrent();
        rs.moveNext();
        rs.moveLast();
        EXPECT_EQ(cells(rs).join(u','), left);
    }
    EXPECT_TRUE(rs.eof() && rs.bof());
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "0");
    EXPECT_THROW(rs.deleteCurrent(), DbError);

    sql("insert into 收入类型 (ID, 类型, 备注) values('7','租金',null);");
    rs.open(store, EditedTable{"收入类型", {"ID"}});
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.columnCount(), 1);
    rs.close();
    EXPECT_EQ(model.rowCount(), 0);
}

// A duplicate ID (ignoring letter case), an amount that is no number and a read-only file: the file
// and the snapshot stay as they were and the pending edit is kept, to be mended and saved. Joins,
// aggregates and read-only results take no writes at all.
TEST_F(RecordsetTest, RefusedWritesLeaveFileAndSnapshotAsTheyWere)
{
    sql(kTypes);
    EditableRows rs;
    rs.open(store, EditedTable::of(ReferenceList::IncomeTypes));
    sql("insert into 收入类型 (ID, 类型, 备注) values('a','甲',null)");
    rs.addNew();
    rs.setValue("ID", QString("A"));
    EXPECT_EQ(refusal([&] { rs.update(); }), DbError::Duplicate);
    EXPECT_EQ(rs.editMode(), Recordset::EditAdd);
    EXPECT_EQ(rs.text("ID"), "A");
    EXPECT_EQ(rs.rowCount(), 3);

    EditableRows ledger;
    ledger.open(store, EditedTable::stagingOf(Ledger::Income));
    ledger.addNew();
    ledger.setValue("金额", QString("1.2.3"));
    EXPECT_EQ(refusal([&] { ledger.update(); }), DbError::BadValue);
    EXPECT_EQ(ledger.rowCount(), 0);
    EXPECT_EQ(scalar("select count(*) from 收入临时"), "0");
    // Mended: amounts, dates and months are stored as numbers and text.
    ledger.setValue("金额", QString("0.1"));
    ledger.setValue("日期", QDate(2026, 3, 5));
    ledger.setValue("月份", 3);
    ledger.update();
    EXPECT_EQ(rows("select typeof(金额), 金额, 日期, typeof(月份), 月份 from 收入临时"),
              QStringList({"real|0.1|2026-03-05|integer|3"}));
    EXPECT_EQ(ledger.value("金额").value<Money>().units(), 1000);
    EXPECT_EQ(ledger.text("金额"), "0.1");

    conn.execute("PRAGMA query_only = 1");
    rs.cancelUpdate();
    rs.setValue("类型", QString("改"));
    EXPECT_EQ(refusal([&] { rs.update(); }), DbError::ReadOnly);
    EXPECT_THROW(rs.deleteCurrent(), DbError);
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(rows("select 类型 from 收入类型"), QStringList({"工资", "奖金", "利息", "甲"}));

    // A recordset has no writes at all; rows that were never opened take none.
    Recordset sum;
    sum.open(conn, "select sum(金额)as z from 收入帐");
    EXPECT_TRUE(sum.value("z").isNull());  // a sum over no rows is null
    EditableRows unopened;
    EXPECT_THROW(unopened.addNew(), DbError);
    EXPECT_THROW(unopened.setValue("ID", QString("x")), DbError);
    EXPECT_THROW(unopened.deleteCurrent(), DbError);
}

// Codes compare without letter case but "1" and "01" differ; the schema refuses what is no amount or
// month; values bound to "?" marks are compared whole, a quote or a NUL included.
TEST_F(RecordsetTest, CodesCompareWithoutCaseAndBoundValuesWhole)
{
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('m','王五','',''), ('1','张三','',''), ('01','李四','',''),"
        " ('n', 'a' || char(0) || '''b', '', 'p''w');");
    const auto match = [this](const QString& statement, const QVariantList& values = {}) {
        Recordset rs;
        rs.open(conn, statement, values);
        return cells(rs).join(u',');
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

TEST_F(RecordsetTest, EveryKindOfCellShowsAsTheEngineHandsItOver)
{
    struct Case { const char* expr; QString text; int type; };
    const Case cases[] = {
        {"'张三'", "张三", QMetaType::QString},
        {"'😀 笑 a'", "😀 笑 a", QMetaType::QString},
        {"''", "", QMetaType::QString},
        {"null", "", QMetaType::UnknownType},
        {"'2026-03-05'", "2026-03-05", QMetaType::QString},
        {"42", "42", QMetaType::LongLong},
        {"-9223372036854775807 - 1", "-9223372036854775808", QMetaType::LongLong},
        {"9219994337134247937", "9219994337134247937", QMetaType::LongLong},  // the bits of an empty number
        {"2.5", "2.5", QMetaType::Double},
        {"1.0 / 3", "0.333333333333333", QMetaType::Double},
        {"1e20", "1e+20", QMetaType::Double},
        {"replace(hex(zeroblob(40000)), '0', '字')", QString(80000, u'字'), QMetaType::QString},
    };
    // Each kind alone fills a column of its own kind; all of them together one of mixed kinds.
    QStringList all;
    for (const Case& c : cases) {
        Recordset rs;
        rs.open(conn, QString("select %1 as v").arg(c.expr));
        EXPECT_EQ(rs.textAt(0, 0), c.text) << c.expr;
        EXPECT_EQ(rs.valueAt(0, 0).metaType().id(), c.type) << c.expr;
        all << QString("select %1, %2").arg(all.size()).arg(c.expr);
    }
    Recordset mixed;
    mixed.open(conn, all.join(" union all ") + " order by 1");
    ASSERT_EQ(mixed.rowCount(), static_cast<int>(std::size(cases)));
    for (int r = 0; r < mixed.rowCount(); ++r) {
        EXPECT_EQ(mixed.textAt(r, 1), cases[r].text) << cases[r].expr;
        EXPECT_EQ(mixed.valueAt(r, 1).metaType().id(), cases[r].type) << cases[r].expr;
    }

    // Amounts as the database returns them; a column that starts empty, and texts by the thousand
    // (repeats among them) over many chunks of the text store, read back as the engine has them.
    sql("insert into 收入帐(金额, 备注) values (null, null), (1234.5, 'a'), (0.1, 'a'), (100, ''), (-3.25, 'b'),"
        " (12345.6, null);"
        "with recursive n(i) as (select 1 union all select i+1 from n where i < 6000) "
        "insert into 收入帐(金额, 备注) select i, case i % 4 when 0 then '同一条' else hex(randomblob(i % 70)) || '备' end"
        " from n;"
        "insert into 收入帐(金额, 备注) values (300000.5, '大');");  // too long for 4 bytes, after 6000 short ones
    Recordset money;
    money.open(conn, "select 金额, 备注 from 收入帐 order by rowid");
    const QStringList shown = cells(money);
    EXPECT_EQ(shown.mid(0, 6), QStringList({"NULL|NULL", "1234.5|a", "0.1|a", "100|", "-3.25|b", "12345.6|NULL"}));
    EXPECT_EQ(shown.last(), "300000.5|大");
    EXPECT_EQ(money.valueAt(1, 0).value<Money>().units(), 12345000);
    EXPECT_EQ(shown, rows("select 金额, 备注 from 收入帐 order by rowid"));
    EXPECT_EQ(money.sum(0, 0).toPlain(), scalar("select sum(金额) from 收入帐"));
}

TEST_F(RecordsetTest, DeletingAcrossBlocksAndEditingKeepEveryOtherRow)
{
    sql("with recursive n(i) as (select 1 union all select i+1 from n where i < 2500) "
        "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select 'm' || i, null, i, null, '第' || i, null from n;");
    EditableRows rs;
    rs.open(store, EditedTable::stagingOf(Ledger::Income));
    for (const int row : {2400, 1024, 1023, 7, 0}) {
        rs.moveTo(row);
        rs.deleteCurrent();
    }
    rs.moveTo(500);
    rs.setValue("金额", QString("0.5"));
    EXPECT_EQ(rs.moneyAt(500, 2)->toPlain(), "0.5");  // the pending amount, not the stored one
    rs.setValue("类型ID", QString("工资"));  // a text where the column held only nulls
    rs.update();
    EXPECT_EQ(cells(rs), rows("select 成员ID,类型ID,金额,日期,备注,月份 from 收入临时 order by rowid"));
    EXPECT_EQ(rs.rowCount(), 2495);
}

// A whole ledger read by lookup has the rows of its statement ordered by the name, then the name's
// row, then the record, with the same keys: through the first rows read by the index and the pass that
// replaces them, with records whose code names nothing or is null, names that tie (equal, or equal
// but for letter case, or null), a name without records, codes in other letters, and a join without
// an index, which the engine sorts.
TEST_F(RecordsetTest, ALedgerReadByLookupHasTheRowsOfItsStatementInNameOrder)
{
    ledger(5000);
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('6','张三','',''), ('7','无帐','',''), ('M','amy','','');"
        "update 收入帐 set 成员ID = 'm' where rowid % 13 = 0;"
        "update 收入帐 set 备注 = rowid * 1000 where rowid % 11 = 0;"  // texts and numbers in one column
        "update 收入帐 set 备注 = '很长很长的一条备注' where rowid = 4321;"
        "insert into 银行 (ID, 开户行, 帐号) values('b1','工行',''), ('b2','建行',''), ('b3',null,''), ('b4','工行','');"
        "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) select case rowid % 5 when 0 then 'b9' when 1 then 'B4' else 'b' || (rowid % 3 + 1) end,"
        " 成员ID, '存入', '活期', 金额, 日期 from 收入帐;");
    const Select income = kIncomeHead;
    const Select bank{"成员.姓名, 银行.开户行, 银行帐.金额, 银行帐.日期",
                      "FROM 银行帐 LEFT JOIN 银行 ON 银行.ID = 银行帐.银行ID LEFT JOIN 成员 ON 成员.ID = 银行帐.成员ID"};
    const Select unindexed{"成员.姓名, 收入帐.金额", "FROM 收入帐 LEFT JOIN 成员 ON 成员.关系 = 收入帐.备注"};
    const ByLookup byMember{"收入帐", "成员ID", "成员", "ID", "姓名", "PINYIN"};
    const ByLookup byBank{"银行帐", "银行ID", "银行", "ID", "开户行", "PINYIN"};
    const ByLookup byRelation{"收入帐", "备注", "成员", "关系", "姓名", "PINYIN"};
    struct Case { Select select; ByLookup order; QString ledger; QString cleanUp; bool byLookup; };
    const Case cases[] = {
        {income, byMember, "收入帐", "", true},  // codes '9' and null name nothing: they come first
        {bank, byBank, "银行帐", "", true},
        {unindexed, byRelation, "收入帐", "", false},
        // A few such records, then none: the first screen goes on to the names (or starts there).
        {income, byMember, "收入帐", "delete from 收入帐 where (成员ID is null or 成员ID = '9') and rowid > 100;", true},
        {income, byMember, "收入帐", "delete from 收入帐 where 成员ID is null or 成员ID = '9';", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.select.text().toStdString() + c.cleanUp.toStdString());
        if (!c.cleanUp.isEmpty())
            sql(c.cleanUp);
        EXPECT_EQ(ResultReader(conn, c.select, {}, 0, c.order).byLookup(), c.byLookup);
        Recordset plain;
        plain.keepRowKeys(c.ledger, c.select);
        plain.open(conn,
                   c.select.followedBy(QString(" ORDER BY %1.%2 COLLATE PINYIN, %1.rowid, %3.rowid").arg(c.order.table, c.order.order, c.ledger)));
        ASSERT_GT(plain.rowCount(), 2000);

        Recordset rs;
        rs.keepRowKeys(c.ledger, c.select);
        RecordsetModel model(&rs);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        rs.openByLookup(conn, c.select, c.order);
        ASSERT_TRUE(rs.isLoading());
        const QStringList firstRows = cells(rs);
        EXPECT_EQ(firstRows.size(), 200);
        ASSERT_TRUE(rs.finishLoading());
        EXPECT_EQ(model.rowCount(), plain.rowCount());
        const QStringList got = cells(rs);
        EXPECT_EQ(got, cells(plain));
        EXPECT_EQ(got.mid(0, firstRows.size()), firstRows);
        // A name's texts repeated row after row are kept once, as when read in order: a text more at
        // most where two names meet, and not one name for each row.
        EXPECT_LT(rs.snapshot().textBytes(), plain.snapshot().textBytes() + 100);
        for (int r = 0; r < rs.rowCount(); ++r)
            ASSERT_EQ(rs.keyAt(r), plain.keyAt(r)) << r;
        // The widest cells are found where they went.
        const auto widest = [](const Recordset& r, int field) {
            qsizetype most = 0;
            for (const int row : r.widestRows(field))
                most = std::max(most, r.textAt(row, field).size());
            return most;
        };
        for (int f = 0; f < rs.fieldCount(); ++f)
            EXPECT_EQ(widest(rs, f), widest(plain, f)) << f;
        const int amount = c.select.text() == unindexed.text() ? 1 : 2;
        EXPECT_EQ(rs.sum(amount, 0), plain.sum(amount, 0));
        // Opened again as the window does after a correction: the same order.
        rs.openByLookup(conn, *rs.select(), *rs.lookupOrder());
        ASSERT_TRUE(rs.finishLoading());
        EXPECT_EQ(cells(rs), got);
    }
}

TEST_F(RecordsetTest, SlicesAddUpToTheWholeResultAndAnotherOpenStopsThem)
{
    ledger(3000);
    Recordset whole;
    whole.open(conn, kIncome);
    ASSERT_EQ(whole.rowCount(), 3000);

    Recordset rs;
    RecordsetModel model(&rs);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy done(&rs, &Recordset::loaded);
    rs.openInSlices(conn, kIncome);
    EXPECT_TRUE(rs.isLoading());
    EXPECT_GT(rs.rowCount(), 0);
    EXPECT_LT(rs.rowCount(), 3000);
    EXPECT_EQ(rs.position(), 0);
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(rs.isLoading());
    EXPECT_EQ(model.rowCount(), 3000);
    EXPECT_EQ(cells(rs), cells(whole));
    EXPECT_EQ(rs.sum(2, 0), whole.sum(2, 0));

    // A second open while the first still loads: only the second result arrives, once.
    rs.openInSlices(conn, kIncome);
    ASSERT_TRUE(rs.isLoading());
    rs.openInSlices(conn, "select 备注 from 收入帐 where 金额 > 3000 order by 金额");
    done.clear();
    while (rs.isLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(done.size(), 1);
    EXPECT_EQ(model.rowCount(), 600);
    EXPECT_EQ(model.index(599, 0).data().toString(), "备注3000");

    // A close while loading ends it: nothing more arrives.
    QSignalSpy slices(&rs, &Recordset::rowsAppended);
    rs.openInSlices(conn, kIncome);
    rs.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(slices.size(), 0);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(RecordsetTest, TheWidestCellsAreAmongTheFewOfferedForMeasuring)
{
    // The widest texts and amounts sit far down, behind many narrower ones; a repeat and a deleted row
    // must not hide them.
    sql("with recursive n(i) as (select 1 union all select i+1 from n where i < 3000) "
        "insert into 收入临时(成员ID, 金额, 备注) select 'm' || i, i % 97 + 0.5, 'note ' || i from n;"
        "update 收入临时 set 备注 = '很长的中文备注' where rowid = 2100;"        // fewer bytes than width
        "update 收入临时 set 备注 = 'iiiiiiiiiiiiiiii' where rowid = 2200;"     // more bytes, narrower
        "update 收入临时 set 金额 = 1234567.5 where rowid = 2300;"
        "update 收入临时 set 金额 = 0.1234 where rowid = 2400;");
    EditableRows rs;
    rs.open(store, EditedTable{"收入临时", {"成员ID", "金额", "备注"}});
    auto texts = [&](int field) {
        QStringList out;
        for (const int r : rs.widestRows(field))
            out << rs.textAt(r, field);
        return out;
    };
    EXPECT_TRUE(texts(2).contains("很长的中文备注"));
    EXPECT_TRUE(texts(2).contains("iiiiiiiiiiiiiiii"));
    EXPECT_TRUE(texts(1).contains("1234567.5"));
    EXPECT_TRUE(texts(1).contains("0.1234"));
    rs.moveTo(10);
    rs.deleteCurrent();  // the rows after it move up: so do the widest
    EXPECT_TRUE(texts(2).contains("很长的中文备注"));
    EXPECT_TRUE(texts(1).contains("1234567.5"));
}

// A keyed result: each row carries its ledger record's rowid, read through the lookup table as well,
// and follows a record re-read, taken out and put back across the blocks of its cells, the grid's
// model in step all along.
TEST_F(RecordsetTest, KeyedRowsFollowTheirRecordsThroughChangesAcrossBlocks)
{
    ledger(2500);
    sql("update 收入帐 set 备注 = 7 where rowid % 11 = 0;");  // a column of texts and numbers
    const QString head = kIncomeHead.text();
    Recordset rs;
    rs.keepRowKeys("收入帐", kIncomeHead);
    RecordsetModel model(&rs);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    rs.openInSlices(conn, kIncomeSelect);
    while (rs.isLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    ASSERT_EQ(rs.rowCount(), 2500);
    EXPECT_EQ(rs.fieldCount(), 5);  // the key is no column
    const QStringList before = cells(rs);
    const QString byKey = head + " where 收入帐.rowid = %1";
    for (const int r : {0, 1023, 1024, 2499})
        EXPECT_EQ(rows(byKey.arg(rs.keyAt(r))), QStringList(before[r])) << r;
    QList<std::int64_t> keys;
    for (int r = 0; r < rs.rowCount(); ++r)
        keys << rs.keyAt(r);

    // Taken out (the current row stays on its record) and put back where each was, in reverse.
    const int taken[] = {2499, 1024, 1023, 7, 0};
    rs.moveTo(1500);
    for (const int r : taken)
        rs.removeRow(r);
    EXPECT_EQ(rs.rowCount(), 2495);
    EXPECT_EQ(rs.keyAt(rs.position()), keys[1500]);
    for (auto r = std::rbegin(taken); r != std::rend(taken); ++r)
        ASSERT_TRUE(rs.insertKeyedRow(*r, keys[*r]));
    EXPECT_EQ(cells(rs), before);
    EXPECT_EQ(rs.keyAt(rs.position()), keys[1500]);
    EXPECT_EQ(rs.rowOfKey(keys[1024]), 1024);

    // A record changed in the file is re-read in its place; one gone from the file leaves the result.
    sql(QString("update 收入帐 set 金额 = 0.5, 备注 = '改' where rowid = %1; delete from 收入帐 where rowid = %2;")
            .arg(keys[1024]).arg(keys[3]));
    rs.refreshRow(1024);
    rs.refreshRow(3);
    EXPECT_EQ(rs.rowCount(), 2499);
    EXPECT_EQ(rs.textAt(1023, 2) + rs.textAt(1023, 4), "0.5改");
    EXPECT_EQ(rs.rowOfKey(keys[3]), -1);
    Recordset fresh;
    fresh.open(conn, kIncome);
    EXPECT_EQ(sorted(cells(rs)), sorted(cells(fresh)));
}

// A total read a block at a time is the one added up cell by cell, whatever layout the amounts take:
// small ones, large ones, and amounts among texts and whole numbers beyond an amount.
TEST_F(RecordsetTest, TotalsReadByBlocksEqualThoseAddedUpCellByCell)
{
    sql("create table t(small CURRENCY, large CURRENCY, mixed CURRENCY);"
        "with recursive n(i) as (select 1 union all select i+1 from n where i < 2100) insert into t select"
        " case when i % 9 = 0 then null else i * 1.25 end, i * 1000000.5 - 3e9,"
        " case i % 5 when 0 then '12.5' when 1 then null when 2 then 9000000000000000000 else -i * 0.01 end from n;");
    Recordset rs;
    rs.open(conn, "select * from t");
    int refused = 0;
    for (int field : {0, 1, 2})
        for (int from : {0, 1023, 1024, 2099}) {
            std::optional<MoneyTotal> byCell;  // nothing when a cell is refused
            try {
                MoneyTotal t;
                for (int r = from; r < rs.rowCount(); ++r)
                    if (const auto m = rs.moneyAt(r, field))
                        t += *m;
                byCell = t;
            } catch (const DbError&) {
                ++refused;
            }
            if (byCell)
                EXPECT_EQ(rs.sum(field, from).toPlain(), byCell->toPlain()) << field << " from " << from;
            else
                EXPECT_THROW(rs.sum(field, from), DbError) << field << " from " << from;
        }
    EXPECT_EQ(refused, 3);  // the whole numbers beyond an amount, from all but the last row
}
