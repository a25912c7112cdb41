// File versions: the date checks of a new file, the upgrade of an old one with the program's steps,
// and the upgrade mechanism itself with steps of the test's own.
#include "connection.h"
#include "dberror.h"
#include "support/testsupport.h"
#include "passwords.h"
#include "upgrade.h"
#include "session.h"

#include <algorithm>

namespace {

const QStringList kDated = {"收入帐.日期", "收入临时.日期", "支出帐.日期", "支出临时.日期", "投资帐.日期", "银行帐.日期", "负债.借款日期"};

class FileVersions : public DbTest {
protected:
    // Every row of every table, with its rowid (a field that is the rowid under a name of its own, as
    // a row's key 编号 is, shown once), and the shape of every table and index.
    QStringList contents()
    {
        QStringList out;
        for (const QString& t : rows("select name from sqlite_master where type = 'table' order by name")) {
            const QStringList fields = rows("select '\"' || name || '\"' from pragma_table_info('" + t
                                            + "') where not (pk = 1 and type = 'INTEGER') order by cid");
            out << t + ": " + rows("select rowid, " + fields.join(", ") + " from \"" + t + "\" order by rowid").join("; ");
        }
        return out;
    }
    // The values an upgrade set aside are not part of the shape.
    QStringList shape(const QString& file)
    {
        QStringList out = rowsOf(file, "select type, name, tbl_name from sqlite_master where type <> 'table' order by name");
        for (const QString& t : rowsOf(file, "select name from sqlite_master where type = 'table' and name <> '"
                                                 + Upgrade::kSetAsideTable + "' order by name"))
            out << t + ": " + rowsOf(file, "select name, type, pk from pragma_table_info('" + t + "')").join(", ");
        return out;
    }
    Connection conn;
};

TEST_F(FileVersions, DateFieldsRefuseEveryTextThatIsNoDate)
{
    openConn();
    for (const QString& field : kDated) {
        const QString insert = "insert into " + field.section('.', 0, 0) + "(" + field.section('.', 1) + ") values(%1)";
        for (const char* bad : {"'01/02/2026'", "'2026-2-3'", "'2024-02-30'", "''", "'2026-02-03 '", "'今天'", "'2026-13-01'", "20260203"})
            EXPECT_THROW(App::conn.execute(QString(insert).arg(bad)), DbError) << insert.arg(bad).toStdString();
        App::conn.execute(QString(insert).arg("'2024-02-29'"));
        App::conn.execute(QString(insert).arg("null"));
    }
    EXPECT_EQ(scalar("select count(*) from 负债"), "2");
}

TEST_F(FileVersions, OldFileUpgradedKeepsEveryRowAndTakesTheShapeOfANewFile)
{
    writeFile(dbPath(), {});
    makeDatabase(dbPath(), versionZeroSchema() +
        "insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','父亲','111');"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',100,'2002-01-01','元旦',1);"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',20,'01/02/2026','斜线',2);"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','6',30,'','空',3);"
        "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',5,'2026-2-3','',2);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','7',8.25,null,'无日期',null);"
        "insert into 投资帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','8',1000,'2024-02-29','',2);"
        "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values('b','1','存入','活期',500,'2/3/26');"
        "insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values('2025-05-05','李四','欠人',300,'',300);"
        "insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values('昨天','王五','人欠',50,'',50);");
    const QStringList before = contents();
    conn.open(dbPath());
    const Upgrade::Report report = Upgrade::run(conn);
    conn.close();

    // The same shape and version as a file made new, whatever steps come to be added.
    EXPECT_EQ(report.from, 0);
    EXPECT_EQ(scalar("pragma user_version").toInt(), Upgrade::newestVersion());
    EXPECT_EQ(rowsOf(KINBOOK_EMPTY_DB, "pragma user_version"), QStringList({QString::number(Upgrade::newestVersion())}));
    EXPECT_EQ(scalar("pragma integrity_check"), "ok");
    EXPECT_EQ(shape(dbPath()), shape(KINBOOK_EMPTY_DB));

    // Every row is still there under its rowid; only the values the checks refuse are cleared, and
    // each of them is kept aside with where it came from.
    QStringList expected = before;
    expected.replaceInStrings("|01/02/2026|", "|NULL|").replaceInStrings("|1|6|30||", "|1|6|30|NULL|");
    expected.replaceInStrings("|2026-2-3|", "|NULL|").replaceInStrings("|2/3/26", "|NULL").replaceInStrings("|昨天|", "|NULL|");
    QStringList after = contents();
    // The password is kept as its hash (version 5), which the password typed matches, letter case aside.
    const QString password = scalar("select 密码 from 成员");
    EXPECT_TRUE(Passwords::matches(password, "111")) << password.toStdString();
    expected.replaceInStrings("|父亲|111", "|父亲|" + password);
    // The tables an upgrade adds (and the values it set aside) are checked above as shape; here the
    // rows of the tables there were.
    QStringList tablesBefore;
    for (const QString& t : before)
        tablesBefore << t.section(':', 0, 0);
    after.removeIf([&tablesBefore](const QString& t) { return !tablesBefore.contains(t.section(':', 0, 0)); });
    EXPECT_EQ(after, expected);
    EXPECT_EQ(rows("select 表名, 行号, 字段, quote(原值) from 升级待核对 order by 表名, 行号"),
              QStringList({"收入临时|1|日期|'2026-2-3'", "收入帐|2|日期|'01/02/2026'", "收入帐|3|日期|''",
                           "负债|2|借款日期|'昨天'", "银行帐|1|日期|'2/3/26'"}));
    EXPECT_EQ(report.setAsideCount(), 5);

    // The rebuilt ledgers carry the new checks, and the year's query reads them.
    EXPECT_EQ(rows("select count(*) from 查询").value(0), "12");
    conn.open(dbPath());
    EXPECT_THROW(conn.execute("insert into 收入帐(日期) values('01/02/2026')"), DbError);
}

// A file of the version before the recycle bin gets it and the tables of the later versions, empty,
// and keeps every row.
TEST_F(FileVersions, AFileFromBeforeTheRecycleBinGetsItAndKeepsEveryRow)
{
    const std::vector<Upgrade::Step>& all = Upgrade::steps();
    const auto bin = std::find_if(all.begin(), all.end(),
                                  [](const Upgrade::Step& s) { return s.sql && QString::fromUtf8(s.sql).contains("回收站"); });
    ASSERT_NE(bin, all.end());
    writeFile(dbPath(), {});
    makeDatabase(dbPath(), versionZeroSchema());
    conn.open(dbPath());
    Upgrade::run(conn, std::vector<Upgrade::Step>(all.begin(), bin));
    conn.close();
    ASSERT_TRUE(rows("select name from sqlite_master where name = '回收站'").isEmpty());
    sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',100,'2026-01-01','元旦',1); insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values('2026-01-01','李四','欠人',3,'',3);"
        "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values('b','1','存入','活期',5.5,'2026-01-02');");
    const QStringList before = contents();

    conn.open(dbPath());
    EXPECT_EQ(Upgrade::run(conn).to, Upgrade::newestVersion());
    conn.close();
    QStringList after = contents();
    // The tables of the later steps come empty: the bin, the budgets, the recurring records, the settings.
    for (const char* added : {"回收站: ", "预算: ", "定期收支: ", "定期记录: ", "设置: ", "同步键: ", "同步发件: ", "同步进度: ",
                              "同步版本: ", "同步日志: "})
        EXPECT_EQ(after.removeAll(QString::fromUtf8(added)), 1) << added;
    EXPECT_EQ(after, before);
    EXPECT_EQ(shape(dbPath()), shape(KINBOOK_EMPTY_DB));
}

TEST_F(FileVersions, StepsRunTogetherOrNotAtAll)
{
    const std::vector<Upgrade::Step> two = {{1, "create table t(a)"}, {2, "insert into t values(1)"}};
    const std::vector<Upgrade::Step> broken = {{1, "create table t(a)"}, {2, "insert into t values(1)"},
                                               {3, "insert into missing values(1)"}};
    struct Case {
        const char* name;
        int version;            // of the file before
        const char* fileSql;    // what it holds before
        const std::vector<Upgrade::Step>* list;
        bool fails;
        int versionAfter;
        const char* tAfter;     // rows of t after ("-" when there is no t)
    };
    const Case cases[] = {
        {"all steps", 0, "", &two, false, 2, "1"},
        {"only the steps above the file's version", 1, "create table t(a);", &two, false, 2, "1"},
        {"a file already at the newest version", 2, "create table t(a);", &two, false, 2, ""},
        {"a failing step undoes the others", 0, "", &broken, true, 0, "-"},
        {"a newer file", 5, "create table t(a);", &two, true, 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = folder() + "/steps.db";
        writeFile(file, {});
        makeDatabase(file, QString("pragma user_version = %1;").arg(c.version) + c.fileSql);
        const QByteArray bytes = fileBytes(file);
        Connection db;
        db.open(file);
        if (c.fails) {
            EXPECT_THROW(Upgrade::run(db, *c.list), DbError);
        } else {
            EXPECT_EQ(Upgrade::run(db, *c.list).to, c.versionAfter);
        }
        db.close();
        EXPECT_EQ(rowsOf(file, "pragma user_version").value(0).toInt(), c.versionAfter);
        const bool hasT = !rowsOf(file, "select name from sqlite_master where name = 't'").isEmpty();
        EXPECT_EQ(hasT ? rowsOf(file, "select a from t").join(",") : QString("-"), QString(c.tAfter));
        if (c.fails || c.version == c.versionAfter) {
            EXPECT_EQ(fileBytes(file), bytes);
        }
    }
}

}  // namespace
