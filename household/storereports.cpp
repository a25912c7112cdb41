#include "store.h"

#include "connection.h"
#include "dberror.h"
#include "exactsum.h"
#include "recordset.h"
#include "recurring.h"
#include "settings.h"
#include "sqltext.h"
#include "statement.h"

#include <QDate>
#include <algorithm>

namespace {

// The first record of `ledger` whose `field` holds no valid amount, described; empty when every
// amount of the ledger is valid.
QString findBadAmount(Connection& conn, Ledger ledger, const QString& field)
{
    // The bounds of an amount's range, in yuan; an infinity lies beyond them too.
    const QString bound = QStringLiteral("922337203685477.5807");
    Recordset rs;
    rs.open(conn,
            QStringLiteral("select * from %1 where %2 > %3 or %2 < -%3").arg(sqlName(ledger.table()), sqlName(field), bound));
    if (rs.rowCount() == 0)
        return QString();
    QStringList names, texts;
    for (int f = 0; f < rs.fieldCount(); ++f) {
        names << rs.fieldName(f);
        texts << rs.textAt(0, f);
    }
    return Store::badAmountText(names, texts, rs.fieldIndex(field), ledger.table() + QStringLiteral("中的记录"));
}

// The exact total of `field` over the records of `ledger` (those with `where`, a condition on a
// column, when given); empty when no record was summed. An amount that is none raises BadAmount,
// naming the first such record of the ledger.
std::optional<MoneyTotal> ledgerTotal(Connection& conn, Ledger ledger, const QString& field,
                                      const QString& whereColumn = {}, const QString& whereValue = {})
{
    QString sql = QStringLiteral("select EXACT_SUM(%1) from %2").arg(sqlName(field), sqlName(ledger.table()));
    QVariantList values;
    if (!whereColumn.isEmpty()) {
        sql += QStringLiteral(" where %1 = ?").arg(sqlName(whereColumn));
        values << whereValue;
    }
    // The amounts are added up exactly, as the query total does: the engine's sum of real numbers
    // would round.
    try {
        return ExactSum::total(conn, sql, values);
    } catch (const DbError& e) {
        if (e.kind() != DbError::BadValue && e.kind() != DbError::Overflow)
            throw;
        const QString bad = findBadAmount(conn, ledger, field);
        if (bad.isEmpty())
            throw;
        throw Store::BadAmount{bad};
    }
}

}  // namespace

Budgets::CountedMonths Store::budgetMonths(int year, Budgets::YearPart part, const QDate& today)
{
    return Budgets::countedMonths(conn_, year, part, today);
}

Budgets::Execution Store::budgetExecution(const QString& memberId, int year, int fromMonth, int toMonth)
{
    return Budgets::execution(conn_, memberId, year, fromMonth, toMonth);
}

QString Store::badAmountText(const QStringList& names, const QStringList& texts, int field, const QString& where)
{
    QStringList fields;
    for (qsizetype f = 0; f < names.size(); ++f)
        fields << names[f] + QStringLiteral("：") + texts.value(f);
    return where + QStringLiteral("（") + fields.join(QStringLiteral("，")) + QStringLiteral("）的") + names.value(field)
        + QStringLiteral("“") + texts.value(field)
        + QStringLiteral("”不是有效的金额：它不是一个有限的数字，或超出了金额的范围。"
                         "这条记录可能是用其它工具写入的，请用数据库工具改正它。");
}

Store::AssetTotals Store::assetTotals(const std::function<void(Ledger)>& starting)
{
    const auto start = [&starting](Ledger ledger) {
        if (starting)
            starting(ledger);
    };
    const QString amount = QStringLiteral("金额"), balance = QStringLiteral("余额");
    const QString direction = QStringLiteral("存或取"), kind = QStringLiteral("类型");
    AssetTotals t;
    start(Ledger::Income);
    t.income = ledgerTotal(conn_, Ledger::Income, amount);
    start(Ledger::Expense);
    t.expense = ledgerTotal(conn_, Ledger::Expense, amount);
    start(Ledger::Bank);
    t.deposited = ledgerTotal(conn_, Ledger::Bank, amount, direction, QStringLiteral("存入"));
    t.withdrawn = ledgerTotal(conn_, Ledger::Bank, amount, direction, QStringLiteral("支出"));
    start(Ledger::Debts);
    t.borrowed = ledgerTotal(conn_, Ledger::Debts, balance, kind, QStringLiteral("欠人"));
    t.lent = ledgerTotal(conn_, Ledger::Debts, balance, kind, QStringLiteral("人欠"));
    start(Ledger::Investment);
    t.invested = ledgerTotal(conn_, Ledger::Investment, amount);
    return t;
}

namespace {

const Ledger kYearLedgers[3] = {Ledger::Income, Ledger::Expense, Ledger::Investment};

}  // namespace

QList<Store::MonthTotals> Store::yearMonths(int year)
{
    QList<MonthTotals> months(12);
    const QVariantList days{QDate(year, 1, 1).toString(Qt::ISODate), QDate(year, 12, 31).toString(Qt::ISODate)};
    MoneyTotal MonthTotals::*const kinds[3] = {&MonthTotals::income, &MonthTotals::expense, &MonthTotals::invested};
    for (int k = 0; k < 3; ++k) {
        // The year's records are stepped once through the ledger's date index (the year's first and
        // last day bound), each amount added to its month as it is read: no result is kept, no
        // grouping sorts them, and the engine's sum of real numbers, which would round, is not used.
        Statement records(conn_, QStringLiteral("select 月份, 金额 from %1 where 日期 between ?1 and ?2")
                                     .arg(sqlName(kYearLedgers[k].table())));
        records.bindAll(days);
        try {
            while (records.step()) {
                const std::int64_t month = records.int64(0);
                if (month < 1 || month > 12)
                    continue;  // a month no row of the summary has
                if (const auto amount = ExactSum::amountAt(records, 1))
                    months[month - 1].*kinds[k] += *amount;
            }
        } catch (const DbError& e) {
            // An amount another tool wrote that is no amount is named; no figure is made from it.
            if (e.kind() != DbError::BadValue)
                throw;
            const QString bad = findBadAmount(conn_, kYearLedgers[k], QStringLiteral("金额"));
            if (bad.isEmpty())
                throw;
            throw BadAmount{bad};
        }
    }
    for (int m = 0; m < 12; ++m)
        months[m].month = m + 1;
    return months;
}

std::optional<std::pair<int, int>> Store::recordYears()
{
    // Each end is one look into a date index.
    QStringList ends;
    for (const Ledger ledger : kYearLedgers) {
        const QString table = sqlName(ledger.table());
        ends << QStringLiteral("(select min(日期) from %1)").arg(table) << QStringLiteral("(select max(日期) from %1)").arg(table);
    }
    Statement st(conn_, QStringLiteral("select ") + ends.join(u','));
    std::optional<std::pair<int, int>> years;
    if (!st.step())
        return years;
    for (int c = 0; c < st.columnCount(); ++c) {
        bool ok = false;
        const int y = st.text(c).left(4).toInt(&ok);
        if (!ok || y <= 0)
            continue;
        years = years ? std::pair(std::min(years->first, y), std::max(years->second, y)) : std::pair(y, y);
    }
    return years;
}

Overview::Glance Store::monthGlance(const QDate& today)
{
    Overview::Glance g = Overview::glance(conn_, today);
    Recurring::markEnteredByHand(conn_, g.due);
    return g;
}

bool Store::overviewAfterLogin()
{
    return Settings::value(conn_, Settings::kOverviewAfterLogin) != QStringLiteral("0");
}

void Store::setOverviewAfterLogin(bool on)
{
    Settings::setValue(conn_, Settings::kOverviewAfterLogin, on ? QStringLiteral("1") : QStringLiteral("0"));
}
