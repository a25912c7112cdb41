#include "recurring.h"

#include "connection.h"
#include "dberror.h"
#include "exactsum.h"
#include "statement.h"
#include "syncrecorder.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace Recurring {

namespace {

// No schedule lists more than this many occurrences at once (a weekly template begun a century ago).
constexpr int kMostOccurrences = 20000;

QDate clampedDate(int year, int month, int day)
{
    const QDate first(year, month, 1);
    return QDate(year, month, std::min(day, first.daysInMonth()));
}

// The n-th occurrence (from 0) as the period alone gives it, ignoring the end and the count.
QDate nth(const Schedule& s, int n)
{
    switch (s.period) {
    case Period::Weekly:
        return s.start.addDays(qint64(7) * std::max(1, s.interval) * n);
    case Period::Yearly:
        return clampedDate(s.start.year() + n, s.start.month(), s.start.day());
    case Period::Monthly:
        break;
    }
    // The first monthly date is the first on or after the start.
    const int skip = clampedDate(s.start.year(), s.start.month(), s.day) < s.start ? 1 : 0;
    const QDate month = QDate(s.start.year(), s.start.month(), 1).addMonths(n + skip);
    return clampedDate(month.year(), month.month(), s.day);
}

QDate dateOf(const QString& s)
{
    return QDate::fromString(s, Qt::ISODate);
}

QVariant dateValue(const QDate& d)
{
    return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant();
}

const char* const kPeriods[] = {"每月", "每周", "每年"};

std::optional<Period> periodOf(const QString& name)
{
    for (int i = 0; i < 3; ++i)
        if (name == QString::fromUtf8(kPeriods[i]))
            return Period(i);
    return std::nullopt;
}

// The ledger a template posts to: none when its 帐 names no ledger that templates post to.
std::optional<Ledger> ledgerOf(const Template& t)
{
    const std::optional<Ledger> ledger = Ledger::ofTable(t.ledger);
    return ledger && ledger->kind() != Ledger::Debts ? ledger : std::nullopt;
}

const QString kFields = QStringLiteral("编号, 帐, 成员ID, 类型ID, 银行ID, 存或取, 金额, 备注, 周期, 间隔, 日, 开始日期, 结束日期, 次数");

// A whole number of the file as an int: beyond an int's range it is the nearest end of the range.
int intOf(const Statement& st, int col)
{
    return int(std::clamp<std::int64_t>(st.int64(col), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

Template readTemplate(const Statement& st)
{
    Template t;
    t.id = st.int64(0);
    t.ledger = st.text(1);
    t.memberId = st.text(2);
    t.typeId = st.text(3);
    t.bankId = st.text(4);
    t.inOut = st.text(5);
    t.amount = Money::fromDouble(st.real(6));
    t.note = st.text(7);
    const QString period = st.text(8);
    if (const std::optional<Period> known = periodOf(period))
        t.schedule.period = *known;
    else
        t.unknownPeriod = period;
    t.schedule.interval = intOf(st, 9);
    t.schedule.day = st.isNull(10) ? 1 : intOf(st, 10);
    t.schedule.start = dateOf(st.text(11));
    t.schedule.end = dateOf(st.text(12));
    t.schedule.count = intOf(st, 13);
    return t;
}

// The template by its id, read within the caller's transaction.
Template templateOf(Connection& conn, qint64 id)
{
    Statement st(conn, QStringLiteral("SELECT %1 FROM 定期收支 WHERE 编号 = ?").arg(kFields));
    st.bind(1, id);
    if (!st.step())
        throw DbError(DbError::NoRow, SQLITE_ERROR, QStringLiteral("定期收支 %1 已不存在").arg(id));
    return readTemplate(st);
}

bool exists(Connection& conn, const QString& table, const QString& id)
{
    Statement st(conn, QStringLiteral("SELECT 1 FROM %1 WHERE ID = ?").arg(table));
    st.bind(1, id);
    return st.step();
}

// Records an occurrence; a second record of the same one is refused by the file.
void record(Connection& conn, qint64 templateId, const QDate& due, const QString& outcome, const QVariant& ledger,
            const QVariant& row)
{
    Statement st(conn, QStringLiteral("INSERT INTO 定期记录 (模板, 到期日, 结果, 帐, 行号, 时间) VALUES (?, ?, ?, ?, ?, ?)"));
    st.bindAll({templateId, due.toString(Qt::ISODate), outcome, ledger, row,
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    st.step();
}

// Inserts the record of one occurrence into its ledger; its rowid.
qint64 insertRecord(Connection& conn, const Template& t, const QDate& date, Money amount)
{
    if (!ledgerOf(t))
        throw DbError(DbError::BadValue, SQLITE_ERROR, QStringLiteral("not a ledger: ") + t.ledger);
    const std::optional<std::int64_t> key = newRowKey(conn, t.ledger);
    const QVariant keyValue = key ? QVariant(qlonglong(*key)) : QVariant();
    if (t.ledger == kBank) {
        Statement st(conn, QStringLiteral("INSERT INTO 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期, rowid) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        st.bindAll({t.bankId, t.memberId, t.inOut, t.typeId, QVariant::fromValue(amount), date.toString(Qt::ISODate), keyValue});
        st.step();
    } else {
        Statement st(conn, QStringLiteral("INSERT INTO %1 (成员ID, 类型ID, 金额, 日期, 备注, 月份, rowid) VALUES (?, ?, ?, ?, ?, ?, ?)").arg(t.ledger));
        st.bindAll({t.memberId, t.typeId, QVariant::fromValue(amount), date.toString(Qt::ISODate), t.note, date.month(), keyValue});
        st.step();
    }
    return sqlite3_last_insert_rowid(conn.handle());
}

}  // namespace

QList<QDate> datesUntil(const Schedule& s, const QDate& until)
{
    QList<QDate> out;
    if (!s.start.isValid())
        return out;
    for (int n = 0; n < kMostOccurrences; ++n) {
        if (s.count > 0 && n >= s.count)
            break;
        const QDate d = nth(s, n);
        if (d > until || (s.end.isValid() && d > s.end))
            break;
        out << d;
    }
    return out;
}

QString periodName(Period p)
{
    return QString::fromUtf8(kPeriods[int(p)]);
}

QString describe(const Schedule& s)
{
    QString when;
    switch (s.period) {
    case Period::Monthly:
        when = s.day >= 31 ? QStringLiteral("每月最后一天") : QStringLiteral("每月 %1 日").arg(s.day);
        break;
    case Period::Weekly:
        when = s.interval == 1 ? QStringLiteral("每周") : QStringLiteral("每 %1 周").arg(s.interval);
        break;
    case Period::Yearly:
        when = QStringLiteral("每年 %1 月 %2 日").arg(s.start.month()).arg(s.start.day());
        break;
    }
    when += QStringLiteral("，自 %1").arg(s.start.toString(Qt::ISODate));
    if (s.end.isValid())
        when += QStringLiteral(" 至 %1").arg(s.end.toString(Qt::ISODate));
    if (s.count > 0)
        when += QStringLiteral("，共 %1 次").arg(s.count);
    return when;
}

QList<Template> templates(Connection& conn)
{
    QList<Template> out;
    Statement st(conn, QStringLiteral("SELECT %1 FROM 定期收支 ORDER BY 编号").arg(kFields));
    while (st.step())
        out << readTemplate(st);
    return out;
}

void save(Connection& conn, Template& t)
{
    const Schedule& s = t.schedule;
    const bool bank = t.ledger == kBank;
    const QVariantList values = {t.ledger, t.memberId, t.typeId, bank ? QVariant(t.bankId) : QVariant(),
                                 bank ? QVariant(t.inOut) : QVariant(), QVariant::fromValue(t.amount), t.note,
                                 periodName(s.period), std::max(1, s.interval),
                                 s.period == Period::Monthly ? QVariant(s.day) : QVariant(), dateValue(s.start),
                                 dateValue(s.end), s.count > 0 ? QVariant(s.count) : QVariant()};
    const QString names = QStringLiteral("帐, 成员ID, 类型ID, 银行ID, 存或取, 金额, 备注, 周期, 间隔, 日, 开始日期, 结束日期, 次数");
    Transaction tx(conn);
    if (t.id == 0) {
        const std::optional<std::int64_t> key = newRowKey(conn, QStringLiteral("定期收支"));
        Statement st(conn, QStringLiteral("INSERT INTO 定期收支 (%1, 编号) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(names));
        st.bindAll(values + QVariantList{key ? QVariant(qlonglong(*key)) : QVariant()});
        st.step();
        t.id = sqlite3_last_insert_rowid(conn.handle());
    } else {
        QString sets = names;
        sets.replace(QStringLiteral(", "), QStringLiteral(" = ?, ")).append(QStringLiteral(" = ?"));
        Statement st(conn, QStringLiteral("UPDATE 定期收支 SET %1 WHERE 编号 = ?").arg(sets));
        st.bindAll(values + QVariantList{t.id});
        st.step();
    }
    tx.commit();
}

void remove(Connection& conn, qint64 id)
{
    Transaction tx(conn);
    for (const char* sql : {"DELETE FROM 定期记录 WHERE 模板 = ?", "DELETE FROM 定期收支 WHERE 编号 = ?"}) {
        Statement st(conn, QString::fromUtf8(sql));
        st.bind(1, id);
        st.step();
    }
    tx.commit();
}

QString problemOf(Connection& conn, const Template& t)
{
    const std::optional<Ledger> ledger = ledgerOf(t);
    if (!ledger)
        return QStringLiteral("帐“%1”不能用于定期收支，请修改这条定期收支").arg(t.ledger);
    if (!t.unknownPeriod.isEmpty())
        return QStringLiteral("周期“%1”无法识别，请修改这条定期收支").arg(t.unknownPeriod);
    if (!exists(conn, QStringLiteral("成员"), t.memberId))
        return QStringLiteral("成员“%1”已不存在，请修改这条定期收支").arg(t.memberId);
    if (*ledger == Ledger::Bank && !exists(conn, QStringLiteral("银行"), t.bankId))
        return QStringLiteral("银行“%1”已不存在，请修改这条定期收支").arg(t.bankId);
    // The bank ledger's 类型 is a text of its own (活期, 定期, ...), in no table.
    const QString types = ledger->typeTable();
    if (!types.isEmpty() && !exists(conn, types, t.typeId))
        return QStringLiteral("%1“%2”已不存在，请修改这条定期收支").arg(types, t.typeId);
    return QString();
}

Names namesOf(Connection& conn, const Template& t)
{
    // A code whose row is gone shows as the code itself.
    const auto name = [&conn](ReferenceList list, const QString& id) { return list.nameOf(conn, id).value_or(id); };
    Names n;
    n.member = name(ReferenceList::Members, t.memberId);
    const std::optional<Ledger> ledger = ledgerOf(t);
    if (t.ledger == kBank)
        n.type = name(ReferenceList::Banks, t.bankId) + QLatin1Char(' ') + t.inOut + QLatin1Char(' ') + t.typeId;
    else if (const std::optional<ReferenceList> types = ledger ? ledger->typeList() : std::nullopt)
        n.type = name(*types, t.typeId);
    else
        n.type = t.typeId;
    return n;
}

QList<Due> dueUntil(Connection& conn, const QDate& until)
{
    // The occurrences recorded, by template and day. A stored date that is not written exactly as
    // the schedule writes its dates can match no occurrence, and is left out.
    QSet<QPair<qint64, qint64>> done;
    {
        Statement st(conn, QStringLiteral("SELECT 模板, 到期日 FROM 定期记录"));
        while (st.step()) {
            const QString text = st.text(1);
            const QDate day = QDate::fromString(text, Qt::ISODate);
            if (day.isValid() && day.toString(Qt::ISODate) == text)
                done.insert({st.int64(0), day.toJulianDay()});
        }
    }
    // A template's problem and names are looked up when it first has an occurrence due, and once for
    // all templates of the same member, type and bank.
    QHash<QString, std::pair<QString, Names>> looked;
    QList<Due> out;
    for (const Template& t : templates(conn)) {
        std::optional<std::pair<QString, Names>> found;
        // A schedule not known comes once, on its start date, until it is mended (whatever was
        // recorded of it before).
        const bool known = t.unknownPeriod.isEmpty();
        QList<QDate> dates;
        if (known)
            dates = datesUntil(t.schedule, until);
        else if (t.schedule.start.isValid() && t.schedule.start <= until)
            dates = {t.schedule.start};
        for (const QDate& d : dates) {
            if (known && done.contains({t.id, d.toJulianDay()}))
                continue;
            if (!found) {
                const QString key = QStringList{t.ledger, t.memberId, t.typeId, t.bankId, t.inOut, t.unknownPeriod}.join(QLatin1Char('\n'));
                if (!looked.contains(key))
                    looked.insert(key, {problemOf(conn, t), namesOf(conn, t)});
                found = looked.value(key);
            }
            out << Due{t, d, found->first, found->second, QDate()};
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Due& a, const Due& b) { return a.due < b.due; });
    return out;
}

void markEnteredByHand(Connection& conn, QList<Due>& due)
{
    for (Due& d : due)
        d.seemsEntered = QDate();
    if (due.isEmpty())
        return;
    // The records that templates posted are not entered by hand.
    QSet<QPair<QString, qint64>> posted;
    {
        Statement st(conn, QStringLiteral("SELECT 帐, 行号 FROM 定期记录 WHERE 行号 IS NOT NULL"));
        while (st.step())
            posted.insert({st.text(0), st.int64(1)});
    }
    // Each occurrence's records near its date: found in an index that holds the date (or the
    // direction) with the amount, so that only the records of about its amount are read from the
    // ledger and tested there for the other fields ("+": not looked up in their own indexes); their
    // amount is then compared exactly.
    std::map<QString, std::unique_ptr<Statement>> near;  // by ledger
    struct Candidate {
        qsizetype occurrence;
        QPair<QString, qint64> record;
        QDate date;
        qint64 distance;
    };
    QList<Candidate> candidates;
    for (qsizetype i = 0; i < due.size(); ++i) {
        const Due& d = due[i];
        const Template& t = d.what;
        if (!d.problem.isEmpty() || !d.due.isValid())
            continue;
        std::unique_ptr<Statement>& st = near[t.ledger];
        if (!st && t.ledger == kBank)
            st = std::make_unique<Statement>(conn, QStringLiteral("SELECT rowid, 日期, 金额 FROM 银行帐 WHERE 日期 BETWEEN ? AND ?"
                                                                  " AND 金额 BETWEEN ? AND ? AND 存或取 = ? AND +银行ID = ?"
                                                                  " AND +成员ID = ? AND +类型 = ?"));
        else if (!st && ledgerOf(t))
            st = std::make_unique<Statement>(conn, QStringLiteral("SELECT rowid, 日期, 金额 FROM %1 WHERE 日期 BETWEEN ? AND ?"
                                                                  " AND 金额 BETWEEN ? AND ? AND +成员ID = ? AND +类型ID = ?")
                                                       .arg(t.ledger));
        if (!st)
            continue;
        st->reset();
        QVariantList values = {d.due.addDays(-kEnteredWithinDays).toString(Qt::ISODate),
                               d.due.addDays(kEnteredWithinDays).toString(Qt::ISODate), t.amount.toDouble() - 0.0001,
                               t.amount.toDouble() + 0.0001};
        if (t.ledger == kBank)
            values << t.inOut << t.bankId << t.memberId << t.typeId;
        else
            values << t.memberId << t.typeId;
        st->bindAll(values);
        while (st->step()) {
            const QPair<QString, qint64> record{t.ledger, st->int64(0)};
            const QDate date = dateOf(st->text(1));
            if (posted.contains(record) || !date.isValid())
                continue;
            std::optional<Money> amount;
            try {
                amount = ExactSum::amountAt(*st, 2);
            } catch (const DbError&) {
                continue;  // an amount that is none is no occurrence's
            }
            if (amount == t.amount)
                candidates << Candidate{i, record, date, std::abs(date.daysTo(d.due))};
        }
    }
    // The nearest pairs first; each record and each occurrence taken once.
    std::stable_sort(candidates.begin(), candidates.end(), [&due](const Candidate& a, const Candidate& b) {
        if (a.distance != b.distance)
            return a.distance < b.distance;
        return due[a.occurrence].due < due[b.occurrence].due;
    });
    QSet<QPair<QString, qint64>> taken;
    for (const Candidate& c : candidates) {
        if (due[c.occurrence].seemsEntered.isValid() || taken.contains(c.record))
            continue;
        taken.insert(c.record);
        due[c.occurrence].seemsEntered = c.date;
    }
}

QString noteOf(const Due& d)
{
    if (!d.problem.isEmpty() || !d.seemsEntered.isValid())
        return d.problem;
    return QStringLiteral("可能已手工录入（%1）").arg(d.seemsEntered.toString(Qt::ISODate));
}

void post(Connection& conn, const QList<Posting>& postings)
{
    Transaction tx(conn);
    for (const Posting& p : postings) {
        const Template t = templateOf(conn, p.templateId);
        const QString problem = problemOf(conn, t);
        if (!problem.isEmpty())
            throw DbError(DbError::BadValue, SQLITE_ERROR, problem);
        const qint64 row = insertRecord(conn, t, p.date.isValid() ? p.date : p.due, p.amount);
        record(conn, p.templateId, p.due, QStringLiteral("入帐"), t.ledger, row);
    }
    tx.commit();
}

void skip(Connection& conn, const QList<QPair<qint64, QDate>>& occurrences)
{
    Transaction tx(conn);
    for (const auto& [id, due] : occurrences)
        record(conn, id, due, QStringLiteral("跳过"), QVariant(), QVariant());
    tx.commit();
}

}  // namespace Recurring
