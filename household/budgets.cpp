#include "budgets.h"

#include "connection.h"
#include "dberror.h"
#include "statement.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

bool exceeds(const MoneyTotal& spent, Money budget)
{
    return (spent - MoneyTotal(budget)).toDouble() > 0;
}

}  // namespace

namespace Budgets {

namespace {

QString key(const QString& id)
{
    return id.toCaseFolded();
}

// Every stored budget of a member (or the household): by type (case-folded ID), then by month.
QMap<QString, QMap<QString, Money>> allStored(Connection& conn, const QString& memberId)
{
    QMap<QString, QMap<QString, Money>> out;
    Statement st(conn, QStringLiteral("SELECT 类型ID, 年月, 金额 FROM 预算 WHERE 成员ID = ?"));
    st.bind(1, memberId);
    while (st.step())
        out[key(st.text(0))][st.text(1)] = Money::fromDouble(st.real(2));
    return out;
}

// The budget that holds in a month: its own, else the default.
std::optional<Money> budgetIn(const QMap<QString, Money>& months, const QString& month)
{
    if (months.contains(month))
        return months.value(month);
    if (months.contains(kDefault))
        return months.value(kDefault);
    return std::nullopt;
}

// The budget over some months ("2026-03"): none when no month of them has one.
std::optional<Money> budgetOver(const QMap<QString, Money>& months, const QStringList& period)
{
    std::optional<Money> sum;
    for (const QString& month : period)
        if (const auto b = budgetIn(months, month))
            sum = sum.value_or(Money()) + *b;
    return sum;
}

QString lastDayOf(const QString& month)
{
    const QDate first = QDate::fromString(month + QStringLiteral("-01"), Qt::ISODate);
    return first.addMonths(1).addDays(-1).toString(Qt::ISODate);
}

QString nameOf(Connection& conn, const QString& table, const QString& field, const QString& id)
{
    Statement st(conn, QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(field, table));
    st.bind(1, id);
    return st.step() ? st.text(0) : id;
}

}  // namespace

QString monthKey(int year, int month)
{
    return QStringLiteral("%1-%2").arg(year, 4, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0'));
}

QMap<QString, Money> stored(Connection& conn, const QString& memberId, const QString& month)
{
    QMap<QString, Money> out;
    Statement st(conn, QStringLiteral("SELECT 类型ID, 金额 FROM 预算 WHERE 成员ID = ? AND 年月 = ?"));
    st.bindAll({memberId, month});
    while (st.step())
        out.insert(st.text(0), Money::fromDouble(st.real(1)));
    return out;
}

void store(Connection& conn, const QString& memberId, const QString& month, const QMap<QString, Money>& budgets)
{
    Transaction tx(conn);
    {
        Statement drop(conn, QStringLiteral("DELETE FROM 预算 WHERE 成员ID = ? AND 年月 = ?"));
        drop.bindAll({memberId, month});
        drop.step();
    }
    Statement put(conn, QStringLiteral("INSERT INTO 预算 (成员ID, 类型ID, 年月, 金额) VALUES (?, ?, ?, ?)"));
    for (auto it = budgets.begin(); it != budgets.end(); ++it) {
        put.reset();
        put.bindAll({memberId, it.key(), month, QVariant::fromValue(it.value())});
        put.step();
    }
    tx.commit();
}

int copyPreviousMonth(Connection& conn, const QString& memberId, int year, int month)
{
    const QDate previous = QDate(year, month, 1).addMonths(-1);
    const QString from = monthKey(previous.year(), previous.month());
    QMap<QString, Money> copied;
    QMap<QString, QString> ids;  // the stored spelling of each type's ID
    {
        Statement st(conn, QStringLiteral("SELECT 类型ID FROM 预算 WHERE 成员ID = ?"));
        st.bind(1, memberId);
        while (st.step())
            ids.insert(key(st.text(0)), st.text(0));
    }
    const auto all = allStored(conn, memberId);
    for (auto it = all.begin(); it != all.end(); ++it)
        if (const auto b = budgetIn(it.value(), from))
            copied.insert(ids.value(it.key()), *b);
    store(conn, memberId, monthKey(year, month), copied);
    return int(copied.size());
}

double Line::percent() const
{
    if (!budget)
        return 0;
    if (budget->units() == 0)
        return spent.toDouble() > 0 ? 1000 : 0;
    return spent.toDouble() * 100.0 / budget->toDouble();
}

bool Line::over() const
{
    return budget && exceeds(spent, *budget);
}

QMap<QString, MoneyTotal> spentByType(Connection& conn, const QString& memberId, const QString& from, const QString& to)
{
    // The date index finds the period's records and gives their rowids; the records are then read
    // in rowid order, page after page, each page once however many of them it holds. Read in date
    // order through the engine's small page cache, a year's records loaded each page about four
    // times; a month's lie about one to a page, and either way takes as long. The member is tested
    // on the record read ("+"), not looked up in its own index for every rowid.
    QString sql = QStringLiteral("SELECT 类型ID, sum(CAST(round(金额 * 10000) AS INTEGER)) FROM 支出帐"
                                 " WHERE rowid IN (SELECT rowid FROM 支出帐 WHERE 日期 BETWEEN ? AND ?)");
    QVariantList values = {from, to};
    if (!memberId.isEmpty()) {
        sql += QStringLiteral(" AND +成员ID = ?");
        values << memberId;
    }
    Statement st(conn, sql + QStringLiteral(" GROUP BY 类型ID"));
    st.bindAll(values);
    QMap<QString, MoneyTotal> out;
    while (st.step())
        out[st.text(0)] += MoneyTotal(Money::fromUnits(st.int64(1)));
    return out;
}

Execution execution(Connection& conn, const QString& memberId, int year, int month)
{
    return month == 0 ? execution(conn, memberId, year, 1, 12) : execution(conn, memberId, year, month, month);
}

Execution execution(Connection& conn, const QString& memberId, int year, int fromMonth, int toMonth)
{
    QStringList period;  // its months
    for (int m = std::max(fromMonth, 1); m <= std::min(toMonth, 12); ++m)
        period << monthKey(year, m);
    const auto budgets = allStored(conn, memberId);
    const QMap<QString, MoneyTotal> spentById = period.isEmpty()
        ? QMap<QString, MoneyTotal>()
        : spentByType(conn, memberId, period.first() + QStringLiteral("-01"), lastDayOf(period.last()));
    QMap<QString, MoneyTotal> spent;
    for (auto [id, sum] : spentById.asKeyValueRange())
        spent[key(id)] += sum;

    Execution e;
    QSet<QString> listed;
    auto add = [&](const QString& id, const QString& name) {
        Line line{id, name, budgetOver(budgets.value(key(id)), period), spent.value(key(id))};
        listed.insert(key(id));
        if (line.budget)
            e.budget += *line.budget;
        e.spent += line.spent;
        e.lines << line;
    };
    {
        Statement st(conn, QStringLiteral("SELECT ID, 类型 FROM 支出类型 ORDER BY ID"));
        while (st.step())
            if (!listed.contains(key(st.text(0))))
                add(st.text(0), st.text(1));
    }
    for (const QString& id : spentById.keys())
        if (!listed.contains(key(id)))
            add(id, id);
    return e;
}

QDate firstRecordDate(Connection& conn)
{
    // Each ledger's earliest date is one look into its date index.
    QDate first;
    for (const char* ledger : {"收入帐", "支出帐", "投资帐", "银行帐"}) {
        Statement st(conn, QStringLiteral("SELECT min(日期) FROM %1").arg(QString::fromUtf8(ledger)));
        const QDate d = st.step() ? QDate::fromString(st.text(0), Qt::ISODate) : QDate();
        if (d.isValid() && (!first.isValid() || d < first))
            first = d;
    }
    return first;
}

CountedMonths countedMonths(Connection& conn, int year, YearPart part, const QDate& today)
{
    CountedMonths m;
    m.year = year;
    m.firstRecord = firstRecordDate(conn);
    if (part == YearPart::ToDate)
        m.to = year < today.year() ? 12 : year == today.year() ? today.month() : 0;
    if (m.firstRecord.isValid() && m.firstRecord.year() >= year) {
        m.from = m.firstRecord.year() == year ? m.firstRecord.month() : 13;
        m.cutByFirstRecord = m.from > 1;
    }
    return m;
}

QString countedMonthsText(const CountedMonths& m)
{
    QString text = QStringLiteral("计入的月份：");
    if (m.none())
        text += QStringLiteral("无");
    else if (m.from == m.to)
        text += QStringLiteral("%1年%2月").arg(m.year).arg(m.from);
    else
        text += QStringLiteral("%1年%2月至%3月，共 %4 个月").arg(m.year).arg(m.from).arg(m.to).arg(m.count());
    if (m.cutByFirstRecord)
        text += QStringLiteral("（账本的第一笔记录在 %1，之前的月份不计）").arg(m.firstRecord.toString(Qt::ISODate));
    else if (m.none())
        text += QStringLiteral("（%1年还没有开始）").arg(m.year);
    return text;
}

QList<Touch> touchedBy(Connection& conn, const QString& staging)
{
    QList<Touch> out;
    Statement st(conn, QStringLiteral("SELECT DISTINCT 成员ID, 类型ID, substr(日期, 1, 7) FROM \"%1\" "
                                      "WHERE 日期 IS NOT NULL AND 类型ID IS NOT NULL ORDER BY 3, 2, 1").arg(staging));
    while (st.step())
        out << Touch{st.text(0), st.text(1), st.text(2)};
    return out;
}

QList<Overrun> overruns(Connection& conn, const QList<Touch>& touches)
{
    QList<Overrun> out;
    QSet<QString> seen;
    QHash<QString, QMap<QString, QMap<QString, Money>>> stored;  // each member's budgets, read once
    for (const Touch& t : touches) {
        for (const QString& member : {QString(), t.memberId}) {
            const QString id = member + QLatin1Char('\n') + key(t.typeId) + QLatin1Char('\n') + t.month;
            if (seen.contains(id))
                continue;
            seen.insert(id);
            auto budgets = stored.constFind(member);
            if (budgets == stored.constEnd())
                budgets = stored.insert(member, allStored(conn, member));
            const auto budget = budgetIn(budgets->value(key(t.typeId)), t.month);
            if (!budget)
                continue;
            MoneyTotal spent;
            for (auto [type, sum] : spentByType(conn, member, t.month + QStringLiteral("-01"), lastDayOf(t.month)).asKeyValueRange())
                if (key(type) == key(t.typeId))
                    spent += sum;
            if (exceeds(spent, *budget))
                out << Overrun{member.isEmpty() ? QStringLiteral("全家") : nameOf(conn, QStringLiteral("成员"), QStringLiteral("姓名"), member),
                               nameOf(conn, QStringLiteral("支出类型"), QStringLiteral("类型"), t.typeId), t.month,
                               spent - MoneyTotal(*budget)};
        }
    }
    return out;
}

QString overrunMessage(const QList<Overrun>& overruns)
{
    if (overruns.isEmpty())
        return QString();
    QStringList lines;
    for (const Overrun& o : overruns)
        lines << QStringLiteral("%1 %2 %3：超出 %4 元").arg(o.month, o.who, o.typeName, o.over.toGrouped());
    return QStringLiteral("以下支出超出了预算：\n") + lines.join(QLatin1Char('\n'));
}

}  // namespace Budgets
