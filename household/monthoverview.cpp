#include "monthoverview.h"

#include "connection.h"
#include "ledger.h"
#include "statement.h"

#include <algorithm>

namespace Overview {

namespace {

// A sum of amounts as whole ten-thousandths: every amount is taken to four decimals first, as
// Money takes it, and the engine adds whole numbers exactly (it refuses an overflow).
const QString kExactSum = QStringLiteral("sum(CAST(round(%1 * 10000) AS INTEGER))");

MoneyTotal sumOf(Connection& conn, const QString& sql, const QVariantList& values = {})
{
    Statement st(conn, sql);
    st.bindAll(values);
    if (!st.step() || st.isNull(0))
        return MoneyTotal();
    return MoneyTotal(Money::fromUnits(st.int64(0)));
}

// The first and last day of the month that holds `day`, as bound values.
QVariantList monthRange(const QDate& day)
{
    const QDate first(day.year(), day.month(), 1);
    return {first.toString(Qt::ISODate), first.addMonths(1).addDays(-1).toString(Qt::ISODate)};
}

MoneyTotal monthSum(Connection& conn, const QString& ledger, const QDate& day)
{
    return sumOf(conn, QStringLiteral("SELECT %1 FROM %2 WHERE 日期 BETWEEN ? AND ?").arg(kExactSum.arg(QStringLiteral("金额")), ledger),
                 monthRange(day));
}

}  // namespace

MonthTotals monthTotals(Connection& conn, const QDate& day)
{
    return {monthSum(conn, QStringLiteral("收入帐"), day), monthSum(conn, QStringLiteral("支出帐"), day)};
}

QList<Budgets::Line> largestOf(QList<Budgets::Line> lines, int count)
{
    lines.removeIf([](const Budgets::Line& l) { return l.spent == MoneyTotal(); });
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Budgets::Line& a, const Budgets::Line& b) { return (a.spent - b.spent).toDouble() > 0; });
    return lines.mid(0, count);
}

MonthFigures monthFigures(Connection& conn, const QDate& day, int count)
{
    const Budgets::Execution e = Budgets::execution(conn, QString(), day.year(), day.month());
    const QDate before = QDate(day.year(), day.month(), 1).addDays(-1);
    return {{monthSum(conn, QStringLiteral("收入帐"), day), e.spent}, monthTotals(conn, before), largestOf(e.lines, count)};
}

QList<Record> latestRecords(Connection& conn, int count)
{
    // Each ledger gives its own latest through its date index; the few together are ordered.
    QStringList parts;
    QString typeName;  // the record's type by its ledger's type table
    for (const Ledger ledger : {Ledger::Income, Ledger::Expense, Ledger::Investment}) {
        parts << QStringLiteral("SELECT * FROM (SELECT '%1' AS 帐, 日期, 成员ID, 类型ID, 金额, 备注, rowid AS r FROM %1"
                                " WHERE 日期 IS NOT NULL ORDER BY 日期 DESC, rowid DESC LIMIT ?)")
                     .arg(ledger.table());
        typeName += QStringLiteral(" WHEN '%1' THEN (SELECT 类型 FROM %2 WHERE ID = t.类型ID)").arg(ledger.table(), ledger.typeTable());
    }
    const QString sql = QStringLiteral("SELECT t.帐, t.日期, coalesce(成员.姓名, t.成员ID),"
                                       " coalesce(CASE t.帐%1 END, t.类型ID), t.金额, t.备注"
                                       " FROM (%2) AS t LEFT JOIN 成员 ON 成员.ID = t.成员ID ORDER BY t.日期 DESC, t.r DESC LIMIT ?")
                            .arg(typeName, parts.join(QStringLiteral(" UNION ALL ")));
    Statement st(conn, sql);
    st.bindAll({count, count, count, count});
    QList<Record> out;
    while (st.step())
        out << Record{st.text(0), st.text(1), st.text(2), st.text(3),
                      Money::fromDouble(st.real(4)), st.text(5)};
    return out;
}

Position position(Connection& conn)
{
    const QString amount = kExactSum.arg(QStringLiteral("金额")), balance = kExactSum.arg(QStringLiteral("余额"));
    Position p;
    p.income = sumOf(conn, QStringLiteral("SELECT %1 FROM 收入帐").arg(amount));
    p.expense = sumOf(conn, QStringLiteral("SELECT %1 FROM 支出帐").arg(amount));
    p.deposited = sumOf(conn, QStringLiteral("SELECT %1 FROM 银行帐 WHERE 存或取 = '存入'").arg(amount));
    p.withdrawn = sumOf(conn, QStringLiteral("SELECT %1 FROM 银行帐 WHERE 存或取 = '支出'").arg(amount));
    p.borrowed = sumOf(conn, QStringLiteral("SELECT %1 FROM 负债 WHERE 类型 = '欠人'").arg(balance));
    p.lent = sumOf(conn, QStringLiteral("SELECT %1 FROM 负债 WHERE 类型 = '人欠'").arg(balance));
    p.invested = sumOf(conn, QStringLiteral("SELECT %1 FROM 投资帐").arg(amount));
    return p;
}

Glance glance(Connection& conn, const QDate& today, int dueDays)
{
    return {monthFigures(conn, today), Recurring::dueUntil(conn, today.addDays(dueDays)), latestRecords(conn), position(conn)};
}

QString positionLine(const Position& p)
{
    return QStringLiteral("收支余额 %1，银行余额 %2，借入 %3，借出 %4，其它投资 %5")
        .arg((p.income - p.expense).toGrouped(), (p.deposited - p.withdrawn).toGrouped(), p.borrowed.toGrouped(),
             p.lent.toGrouped(), p.invested.toGrouped());
}

}  // namespace Overview
