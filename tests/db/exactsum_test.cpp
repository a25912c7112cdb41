// The exact totals of amounts: EXACT_SUM and a stepped amount read every value as a loaded result
// reads it, so that the asset statistics and the year summary show the figures that a list of the
// same records totals to, however the amounts lie in the file.
#include "connection.h"
#include "dberror.h"
#include "exactsum.h"
#include "recordset.h"
#include "statement.h"
#include "support/testsupport.h"
#include "session.h"

namespace {

class ExactSumTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        openConn();
        // Without the ledgers' checks, so that any value can be tried.
        App::conn.execute(QStringLiteral("CREATE TEMP TABLE t (x)"));
    }
    void fill(const QString& values)
    {
        App::conn.execute(QStringLiteral("DELETE FROM temp.t; INSERT INTO temp.t VALUES ") + values);
    }
    // The total as EXACT_SUM gives it, in the plain form ("" for none).
    QString aggregate()
    {
        const auto t = ExactSum::total(App::conn, QStringLiteral("SELECT EXACT_SUM(x) FROM temp.t"));
        return t ? t->toPlain() : QString();
    }
    // The total of a loaded result of the same values, as the query windows add it up.
    QString loaded()
    {
        Recordset rs;
        rs.open(App::conn, QStringLiteral("SELECT x FROM temp.t"));
        return rs.rowCount() ? rs.sum(0, 0).toPlain() : QString();
    }
    // The total of the values stepped one by one.
    QString stepped()
    {
        Statement st(App::conn, QStringLiteral("SELECT x FROM temp.t"));
        MoneyTotal total;
        bool any = false;
        while (st.step())
            if (const auto m = ExactSum::amountAt(st, 0)) {
                total += *m;
                any = true;
            }
        return any ? total.toPlain() : QString();
    }
};

TEST_F(ExactSumTest, EveryWayOfAddingUpGivesTheSameExactTotal)
{
    const struct {
        const char* values;
        const char* total;
    } cases[] = {
        {"(0.1), (0.2)", "0.3"},
        {"(NULL)", ""},
        {"(NULL), (5)", "5"},
        {"(12), (-0.01)", "11.99"},
        // Each amount is taken to four decimals first, half away from zero.
        {"(0.00005), (0.00005), (-0.00004)", "0.0002"},
        {"(1234.56785)", "1234.5679"},
        {"(-1234.56785)", "-1234.5679"},
        // A text that reads as an amount counts, as the lists show it.
        {"('12.5'), (1)", "13.5"},
        // Totals beyond a single amount's 64 bits are exact too.
        {"(500000000000000), (500000000000000), (0.01)", "1000000000000000.01"},
        {"(-900000000000000), (-900000000000000)", "-1800000000000000"},
    };
    for (const auto& c : cases) {
        fill(QString::fromUtf8(c.values));
        const QString expected = QString::fromUtf8(c.total);
        EXPECT_EQ(aggregate(), expected) << c.values;
        EXPECT_EQ(stepped(), expected) << c.values;
        // A loaded result holds single amounts only; over nulls alone it totals 0 where the engine's
        // sum (and EXACT_SUM, as the statistics read it) has none.
        if (!expected.isEmpty() && expected.size() < 16) {
            EXPECT_EQ(loaded(), expected) << c.values;
        }
    }
}

TEST_F(ExactSumTest, AValueThatIsNoAmountStopsTheTotal)
{
    for (const char* bad : {"9e999", "-9e999", "1e300", "9223372036854775807", "'zwölf'", "x'00'"}) {
        fill(QStringLiteral("(1), (%1), (2)").arg(QString::fromUtf8(bad)));
        try {
            aggregate();
            ADD_FAILURE() << "EXACT_SUM took " << bad;
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbError::BadValue) << bad;
        }
        EXPECT_THROW(stepped(), DbError) << bad;
    }
}

TEST_F(ExactSumTest, TheFileCannotCallItFromItsSchema)
{
    // A view in the file that called it would run it whenever the file is read by anyone.
    sql("CREATE VIEW 合计 AS SELECT EXACT_SUM(金额) AS z FROM 收入帐");
    App::closeConn();
    App::conn.open(dbPath());
    EXPECT_THROW(Statement(App::conn, QStringLiteral("SELECT z FROM 合计")).step(), DbError);
    App::conn.close();
}

}  // namespace
