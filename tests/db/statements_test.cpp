// The statements the windows write, run through the layer on the real schema.
#include "connection.h"
#include "dberror.h"
#include "dialect.h"
#include "recordset.h"
#include "support/testsupport.h"

namespace {

const QString kIncomeHead =
    "SELECT 成员.姓名, 收入类型.类型, 收入帐.金额, 收入帐.日期, 收入帐.备注 FROM 成员 RIGHT JOIN (收入类型 RIGHT JOIN "
    "收入帐 ON 收入类型.ID = 收入帐.类型ID) ON 成员.ID = 收入帐.成员ID";
const QString kBankHead =
    "SELECT 成员.姓名, 银行.开户行, 银行帐.金额, 银行帐.日期, 银行帐.存或取,银行帐.类型 FROM 成员 RIGHT JOIN (银行 RIGHT JOIN "
    "银行帐 ON 银行.ID = 银行帐.银行ID) ON 成员.ID = 银行帐.成员ID";

class StatementsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql("insert into 成员 values('1','张三','父亲','111');"
            "insert into 成员 values('01','李四','母亲','222');"
            "insert into 成员 values('m','王五','儿子','333');"
            "insert into 收入类型 values('5','工资',null);"
            "insert into 收入类型 values('6','奖金',null);"
            // 张三 (1), 李四 (01), a member that was deleted (9), a type that was deleted (7).
            "insert into 收入帐 values('1','5',100,'2002-01-01','元旦',1);"
            "insert into 收入帐 values('01','5',200.5,'2002-07-25','',7);"
            "insert into 收入帐 values('1','6',50,'2002-07-26','',7);"
            "insert into 收入帐 values('9','5',7,'2002-03-01','',3);"
            "insert into 收入帐 values('M','7',3,'2002-03-02','',3);"
            "insert into 收入帐 values('1','5',1000,'2030-06-01','',6);");
        conn.open(dbPath());
    }
    void TearDown() override
    {
        conn.close();
        DbTest::TearDown();
    }
    QStringList list(const QString& statement)
    {
        Recordset rs;
        rs.open(conn, statement, Recordset::ReadOnly);
        QStringList out;
        for (int r = 0; r < rs.rowCount(); ++r) {
            QStringList f;
            for (int c = 0; c < rs.fieldCount(); ++c)
                f << rs.textAt(r, c);
            out << f.join(u'|');
        }
        return out;
    }
    Connection conn;
};

}  // namespace

TEST_F(StatementsTest, QueryFormListsEveryRecordWithMissingNamesEmpty)
{
    const QStringList all = list(kIncomeHead + " order by 成员.姓名");
    ASSERT_EQ(all.size(), 6);
    EXPECT_EQ(all[0], "|工资|7|2002-03-01|");  // deleted member: empty name, sorted first
    EXPECT_TRUE(all.contains("王五||3|2002-03-02|"));  // deleted type; 'M' = 'm' ignoring case
    EXPECT_TRUE(all.contains("李四|工资|200.5|2002-07-25|"));
}

TEST_F(StatementsTest, CriteriaAndDateTailBothEndsInclusive)
{
    const QString tail = "' and 收入帐.日期 between #1-1-02# and #7-25-02# order by 成员.姓名";
    EXPECT_EQ(list(kIncomeHead + " where 成员.ID='1" + tail), QStringList({"张三|工资|100|2002-01-01|元旦"}));
    // "1" and "01" are different codes.
    EXPECT_EQ(list(kIncomeHead + " where 成员.ID='01" + tail), QStringList({"李四|工资|200.5|2002-07-25|"}));
    EXPECT_EQ(list(kIncomeHead + " where 收入类型.ID='5" + tail).size(), 3);
    EXPECT_EQ(list(kIncomeHead + " where 成员.ID='1' and 收入类型.ID='6" + tail).size(), 0);
    EXPECT_EQ(list(kIncomeHead + " where 成员.ID='1' and 收入类型.ID='6' and 收入帐.日期 between #1-1-02# and #7-26-02#"
                   " order by 成员.姓名")
                  .size(),
              1);
    // Four-digit years are read as they stand.
    EXPECT_EQ(list(kIncomeHead + " where 成员.ID='1' and 收入帐.日期 between #1-1-2030# and #12-31-2030#").size(), 1);
}

TEST_F(StatementsTest, AQuoteInAValueMatchesNothingAndChangesNothing)
{
    const QString evil = "' or ''='";
    EXPECT_TRUE(list(kIncomeHead + " where 成员.ID=" + sqlQuote(evil) + " order by 成员.姓名").isEmpty());
    EXPECT_TRUE(list("select 姓名 from 成员 where 姓名=" + sqlQuote(evil) + "and 密码=" + sqlQuote(evil)).isEmpty());
    EXPECT_EQ(scalar("select count(*) from 成员"), "3");
}

// Values bound to "?" marks are compared whole, a quote or a NUL included.
TEST_F(StatementsTest, BoundValuesAreMatchedWholeWhateverTheyHold)
{
    sql("insert into 成员 values('n', 'a' || char(0) || '''b', '', 'p''w');");
    const QString name = QStringLiteral("a") + QChar(0) + QStringLiteral("'b");
    const auto match = [this](const QVariantList& values) {
        Recordset rs;
        rs.open(conn, "select ID from 成员 where 姓名=? and 密码=?", values, Recordset::ReadOnly);
        return rs.rowCount() == 1 ? rs.text(0) : QStringLiteral("%1 rows").arg(rs.rowCount());
    };
    EXPECT_EQ(match({name, "p'w"}), "n");
    EXPECT_EQ(match({"A", "p'w"}), "0 rows");
    EXPECT_EQ(match({"' or ''='", "' or ''='"}), "0 rows");
    EXPECT_EQ(match({name.toUpper(), "P'W"}), "n");  // text compares without letter case, as quoted values do
}

TEST_F(StatementsTest, BankQueryAndSums)
{
    sql("insert into 银行 values('b1','工商银行','6222');"
        "insert into 银行帐 values('b1','1','存入','活期',500,'2002-05-01');"
        "insert into 银行帐 values('b1','1','支出','活期',120.25,'2002-05-02');"
        "insert into 银行帐 values('gone','1','存入','定期',1,'2002-05-03');");
    EXPECT_EQ(list(kBankHead + " order by 银行.开户行").size(), 3);
    EXPECT_EQ(list(kBankHead + " where 成员.ID='1' and 存或取='支出' and 银行帐.日期 between #5-1-02# and #5-31-02#"
                                " order by 银行.开户行"),
              QStringList({"张三|工商银行|120.25|2002-05-02|支出|活期"}));
    Recordset z;
    z.open(conn, "select sum(金额)as z from 银行帐 where 存或取='存入'", Recordset::ReadOnly);
    EXPECT_EQ(Money::fromDouble(z.value("z").toDouble()).toPlain(), "501");
    z.open(conn, "select sum(余额)as z from 负债 where 类型='欠人'", Recordset::ReadOnly);
    EXPECT_TRUE(z.value("z").isNull());
}

TEST_F(StatementsTest, PostingAndEmptyingTheStagingTable)
{
    sql("insert into 收入临时 values('1','5',0.1,'2026-03-05','a',3);"
        "insert into 收入临时 values('1','5',0.2,'2026-03-06','b',3);");
    {
        Transaction tx(conn);
        conn.execute("insert into 收入帐 select * from 收入临时");
        conn.execute("delete * from 收入临时");
        tx.commit();
    }
    EXPECT_EQ(scalar("select count(*) from 收入临时"), "0");
    EXPECT_EQ(scalar("select count(*) from 收入帐 where 日期 like '2026-%'"), "2");
    Recordset z;
    z.open(conn, "select sum(金额)as z from 收入帐 where 日期 like '2026-%'", Recordset::ReadOnly);
    EXPECT_EQ(Money::fromDouble(z.value("z").toDouble()).toPlain(), "0.3");

    // A transaction that is not committed leaves nothing behind.
    sql("insert into 收入临时 values('1','5',1,'2026-03-07','c',3);");
    {
        Transaction tx(conn);
        conn.execute("insert into 收入帐 select * from 收入临时");
    }
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "8");
    EXPECT_EQ(scalar("select count(*) from 收入临时"), "1");
}

TEST_F(StatementsTest, YearSummaryHasTwelveMonthsOfThisYearOnly)
{
    const int year = QDate::currentDate().year();
    sql(QString("insert into 收入帐 values('1','5',0.1,'%1-03-05','',3);"
                "insert into 收入帐 values('1','5',0.2,'%1-03-20','',3);"
                "insert into 收入帐 values('1','5',99,'%2-03-05','',3);"
                "insert into 支出帐 values('1','5',40,'%1-12-31','',12);"
                "insert into 投资帐 values('1','5',1234.5,'%1-01-01','',1);")
            .arg(year)
            .arg(year - 1));
    Recordset rs;
    rs.open(conn, "select 查询.月份.月份 as 月份,收入总额,支出总额,投资总额 from 查询", Recordset::ReadOnly);
    ASSERT_EQ(rs.rowCount(), 12);
    EXPECT_EQ(rs.fieldNames(), QStringList({"月份", "收入总额", "支出总额", "投资总额"}));
    for (int m = 0; m < 12; ++m)
        EXPECT_EQ(rs.textAt(m, 0), QString::number(m + 1));
    EXPECT_EQ(Money::fromDouble(rs.valueAt(2, 1).toDouble()).toPlain(), "0.3");
    EXPECT_EQ(rs.textAt(11, 2), "40");
    EXPECT_EQ(rs.textAt(0, 3), "1234.5");
    EXPECT_EQ(rs.textAt(5, 1), "0");
}

TEST_F(StatementsTest, TenThousandCentsTotalExactlyThroughTheDatabase)
{
    sql("with recursive n(i) as (select 1 union all select i+1 from n where i < 10000) "
        "insert into 支出帐 select '1','5',0.01,'2003-01-01','',1 from n;");
    Recordset rs;
    rs.open(conn, "select 金额 from 支出帐", Recordset::ReadOnly);
    Money total;
    for (int r = 0; r < rs.rowCount(); ++r)
        total += *rs.moneyAt(r, 0);
    EXPECT_EQ(total.toGrouped(), "100.00");
    Recordset z;
    z.open(conn, "select sum(金额)as z from 支出帐", Recordset::ReadOnly);
    EXPECT_EQ(Money::fromDouble(z.value("z").toDouble()).toGrouped(), "100.00");
}

TEST_F(StatementsTest, EqualsIgnoresLetterCaseAndTheSchemaRefusesGarbage)
{
    EXPECT_EQ(list("select 姓名 from 成员 where ID='M'"), QStringList({"王五"}));
    EXPECT_THROW(conn.execute("insert into 收入帐(金额) values('abc')"), DbError);
    EXPECT_THROW(conn.execute("insert into 收入帐(日期) values('2024-02-30')"), DbError);
    EXPECT_THROW(conn.execute("insert into 收入帐(月份) values(13)"), DbError);
    EXPECT_THROW(conn.execute("insert into 成员(ID) values('M')"), DbError);
    conn.execute("insert into 收入帐(金额, 日期, 月份) values('12.5', '2024-02-29', 2)");
    EXPECT_EQ(scalar("select typeof(金额) from 收入帐 where 日期='2024-02-29'"), "real");
}

TEST_F(StatementsTest, QueriesUseTheIndexes)
{
    auto plan = [&](const QString& q) {
        return rows("explain query plan " + translateSql(q)).join("\n");
    };
    const QString p = plan(kIncomeHead + " where 成员.ID='1' and 收入类型.ID='5' and 收入帐.日期 between #1-1-02# and "
                                         "#7-25-02# order by 成员.姓名");
    EXPECT_TRUE(p.contains("USING INDEX")) << p.toStdString();
    EXPECT_FALSE(p.contains("SCAN 收入帐")) << p.toStdString();
    const QString y = plan("select * from 查询");
    EXPECT_TRUE(y.contains("收入帐_日期")) << y.toStdString();
}
