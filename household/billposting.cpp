#include "billposting.h"

#include "billtext.h"
#include "connection.h"
#include "dberror.h"
#include "ledger.h"
#include "ledgerrows.h"
#include "sqltext.h"
#include "statement.h"
#include "syncrecorder.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <optional>
#include <sqlite3.h>

namespace BillPosting {

namespace {

Ledger ledgerOf(Bills::Kind kind)
{
    return kind == Bills::Kind::Income ? Ledger::Income : Ledger::Expense;
}

[[noreturn]] void refuse(const QString& why)
{
    throw DbError(DbError::BadValue, SQLITE_CONSTRAINT, why);
}

// The record an imported trade became.
struct Record {
    QString ledger;
    qint64 rowid = 0;
};

// A note with the refund said at its end, within the note's 20 characters.
QString noteWithRefund(const QString& note, Money refund)
{
    const QString said = QStringLiteral("退款 ") + refund.toGrouped();
    const QString kept = Bills::firstCharacters(note, std::max(0, 20 - static_cast<int>(said.size()) - 1)).trimmed();
    return kept.isEmpty() ? said : kept + QLatin1Char(' ') + said;
}

// Bills::note() of a row's counterparty and item kept in UTF-8, in UTF-8 (in `out` where it is made).
QByteArrayView noteUtf8(QByteArrayView counterparty, QByteArrayView item, QByteArray& out)
{
    const bool both = !item.isEmpty() && item != counterparty;
    const qsizetype units = Bills::Text::utf16Length(counterparty) + (both ? Bills::Text::utf16Length(item) + (counterparty.isEmpty() ? 0 : 1) : 0);
    if (units > 20) {
        // Cut as the user sees the characters.
        out = Bills::note(QString::fromUtf8(counterparty), QString::fromUtf8(item)).toUtf8();
        return out;
    }
    if (!both)
        return counterparty;
    if (counterparty.isEmpty())
        return item;
    out.resize(0);
    out += counterparty;
    out += ' ';
    out += item;
    return out;
}

// Lowers each record that refunds in the bill give back to, by all of them at once; the refunds'
// numbers are kept against the record.
QList<Lowered> lowerEarlier(Connection& conn, const Bills::Bill& bill, Statement& keep)
{
    QList<Lowered> out;
    QHash<QPair<QString, qint64>, Money> refunds;
    QList<QPair<QString, qint64>> order;
    const QString source = Bills::source(bill.layout);
    const Bills::Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows.lowersEarlier(i))
            continue;
        keep.reset();
        keep.bindAll({source, rows.trade(i), rows.earlierLedger(i), static_cast<qlonglong>(rows.earlierRecord(i))});
        keep.step();
        if (conn.changes() == 0)
            continue;  // taken off meanwhile (the preview is older than the file)
        const QPair<QString, qint64> key(rows.earlierLedger(i), rows.earlierRecord(i));
        if (!refunds.contains(key))
            order << key;
        refunds[key] += rows.amount(i);
    }
    for (const auto& key : order) {
        const auto before = LedgerRows::read(conn, key.first, key.second);
        if (!before)
            refuse(QStringLiteral("the refunded record %1 of %2 is gone").arg(key.second).arg(key.first));
        const QStringList fields = LedgerRows::fields(key.first);
        const qsizetype amountAt = fields.indexOf(QStringLiteral("金额")), noteAt = fields.indexOf(QStringLiteral("备注"));
        const Money now = Money::fromDouble(before->at(amountAt).toDouble());
        const Money lowered = std::max(Money(), now - refunds.value(key));
        Statement update(conn, QStringLiteral("UPDATE %1 SET 金额 = ?, 备注 = ? WHERE rowid = ?").arg(sqlName(key.first)));
        update.bindAll({QVariant::fromValue(lowered), noteWithRefund(before->at(noteAt).toString(), refunds.value(key)),
                        static_cast<qlonglong>(key.second)});
        update.step();
        out << Lowered{key.first, key.second, *before, *LedgerRows::read(conn, key.first, key.second)};
    }
    return out;
}

}  // namespace

QString Choices::key(Bills::Kind kind, const QString& counterparty)
{
    return Bills::kindName(kind) + QLatin1Char('|') + counterparty;
}

void markImported(Connection& conn, Bills::Bill& bill)
{
    // The numbers kept for the bill's payment service, read in one pass: a look-up per row outside a
    // transaction would take and release the file's read lock ten thousand times for a large bill.
    Statement kept(conn, QStringLiteral("SELECT 交易号, 帐, 行号 FROM %1 WHERE 来源 = ?").arg(sqlName(kImportedTable)));
    kept.bind(1, Bills::source(bill.layout));
    // A payment service's trade numbers compare without letter case; a statement's rows are known by
    // numbers made of their account, texts and balance, which compare exactly. Statements imported
    // before those numbers were made are known by the numbers of then (Bills::formerStatementKeys).
    const bool statement = bill.layout == Bills::Layout::Statement;
    auto keyOf = [statement](const QString& trade) { return statement ? trade : trade.toCaseFolded(); };
    QHash<QString, Record> known;
    QSet<QString> former;
    while (kept.step()) {
        const QString trade = kept.text(0);
        if (statement && !trade.startsWith(u'#'))
            former.insert(trade);
        else
            known.insert(keyOf(trade), {kept.text(1), kept.int64(2)});
    }
    if (known.isEmpty() && former.isEmpty())
        return;
    const QStringList formerKeys = former.isEmpty() ? QStringList() : Bills::formerStatementKeys(bill);
    QSet<int> paidBefore;  // lines of payments in the bill imported before
    Bills::Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if ((!rows.skipped(i) || rows.tickAs(i) != Bills::Kind::Neither || rows.isRefund(i))
            && (known.contains(keyOf(rows.trade(i))) || (!former.isEmpty() && former.contains(formerKeys.at(i))))) {
            if (!rows.skipped(i) && !rows.isRefund(i))
                paidBefore.insert(rows.line(i));
            rows.setSkip(i, kImportedBefore);
            rows.setTickAs(i, Bills::Kind::Neither);
            rows.setTicked(i, false);
        }
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows.isRefund(i) || rows.skip(i) == kImportedBefore
            || (rows.refundedFrom(i) != 0 && !paidBefore.contains(rows.refundedFrom(i))))
            continue;
        const Record payment = known.value(rows.refundOf(i).toCaseFolded());
        if (payment.rowid == 0)
            continue;  // not imported before: the refund stays as the bill left it
        if (!LedgerRows::read(conn, payment.ledger, payment.rowid)) {
            rows.setSkip(i, kRecordGone);
            rows.setTickAs(i, Bills::Kind::Income);
            continue;
        }
        rows.setSkip(i, QString());
        rows.setTickAs(i, Bills::Kind::Neither);
        rows.setEarlier(i, payment.ledger, payment.rowid);
    }
}

void markEnteredByHand(Connection& conn, Bills::Bill& bill)
{
    QDate first, last;
    QSet<std::int64_t> amounts[2];  // of the rows to be posted, income and expense, in units
    Bills::Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (!rows.skipped(i) && rows.kind(i) != Bills::Kind::Neither) {
            const QDate date = rows.date(i);
            first = first.isValid() ? std::min(first, date) : date;
            last = last.isValid() ? std::max(last, date) : date;
            amounts[rows.kind(i) == Bills::Kind::Income ? 0 : 1].insert(rows.amount(i).units());
        }
    if (!first.isValid())
        return;
    struct Entered {
        qint64 rowid;
        QDate date;
        bool taken = false;
    };
    for (const Bills::Kind kind : {Bills::Kind::Income, Bills::Kind::Expense}) {
        // The ledger's records of those days (through its date index), less those an import posted;
        // of them, those of an amount that a row has.
        Statement records(conn, QStringLiteral("SELECT rowid, 金额, 日期 FROM %1 WHERE 日期 BETWEEN ? AND ? AND rowid NOT IN "
                                               "(SELECT 行号 FROM %2 WHERE 帐 = ? AND 行号 IS NOT NULL)")
                                    .arg(sqlName(ledgerOf(kind).table()), sqlName(kImportedTable)));
        records.bindAll({first.addDays(-3).toString(Qt::ISODate), last.addDays(3).toString(Qt::ISODate), ledgerOf(kind).table()});
        const QSet<std::int64_t>& wanted = amounts[kind == Bills::Kind::Income ? 0 : 1];
        QHash<std::int64_t, QList<Entered>> byAmount;  // by the amount's units
        while (records.step()) {
            const double amount = records.real(1);
            if ((records.columnType(1) != SQLITE_INTEGER && records.columnType(1) != SQLITE_FLOAT) || !std::isfinite(amount)
                || std::abs(amount) > kMaxRecordAmount.toDouble())
                continue;
            const std::int64_t units = Money::fromDouble(amount).units();
            if (!wanted.contains(units))
                continue;
            const QDate date = QDate::fromString(records.text(2), Qt::ISODate);
            if (date.isValid())
                byAmount[units].append({records.int64(0), date});
        }
        if (byAmount.isEmpty())
            continue;
        Statement note(conn, QStringLiteral("SELECT 备注 FROM %1 WHERE rowid = ?").arg(sqlName(ledgerOf(kind).table())));
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows.skipped(i) || rows.kind(i) != kind)
                continue;
            const auto candidates = byAmount.find(rows.amount(i).units());
            if (candidates == byAmount.end())
                continue;
            const QDate date = rows.date(i);
            Entered* nearest = nullptr;
            for (Entered& e : *candidates) {
                const qint64 apart = std::abs(e.date.daysTo(date));
                if (!e.taken && apart <= 3 && (!nearest || apart < std::abs(nearest->date.daysTo(date))))
                    nearest = &e;
            }
            if (!nearest)
                continue;
            nearest->taken = true;
            QStringList said = {nearest->date.toString(Qt::ISODate), rows.amount(i).toGrouped()};
            note.reset();
            note.bindInt64(1, nearest->rowid);
            if (note.step() && !note.text(0).isEmpty())
                said << note.text(0);
            rows.setSkip(i, QStringLiteral("%1（%2）").arg(kEnteredByHand, said.join(u' ')));
            rows.setTickAs(i, kind);
        }
    }
}

RememberedTypes::RememberedTypes(Connection& conn) : conn_(conn) {}

RememberedTypes::~RememberedTypes() = default;

std::optional<Type> RememberedTypes::of(Bills::Kind kind, const QString& counterparty)
{
    if (kind == Bills::Kind::Neither)
        return std::nullopt;
    std::unique_ptr<Statement>& st = lookups_[kind == Bills::Kind::Income ? 0 : 1];
    if (!st)
        st = std::make_unique<Statement>(
            conn_, QStringLiteral("SELECT t.ID, t.类型 FROM %1 m JOIN %2 t ON t.ID = m.类型ID WHERE m.收支 = ? AND m.交易对方 = ?")
                       .arg(sqlName(kTypesTable), sqlName(ledgerOf(kind).typeTable())));
    st->bindAll({Bills::kindName(kind), counterparty});
    std::optional<Type> type;
    if (st->step())
        type = Type{st->text(0), st->text(1)};
    st->reset();  // no read left open between look-ups
    return type;
}

namespace {

// The movements of a bank's statement also into the bank's ledger, when a bank is chosen: its
// statement, the bank and the member bound; none without a bank.
std::unique_ptr<Statement> bankLedgerInsert(Connection& conn, const Choices& choices)
{
    if (choices.bank.isEmpty())
        return nullptr;
    Statement bank(conn, QStringLiteral("SELECT 1 FROM 银行 WHERE ID = ?"));
    bank.bind(1, choices.bank);
    if (!bank.step())
        refuse(QStringLiteral("the bank %1 is not in 银行").arg(choices.bank));
    auto st = std::make_unique<Statement>(
        conn, QStringLiteral("INSERT INTO %1 (银行ID, 成员ID, 存或取, 类型, 金额, 日期, rowid) VALUES (?, ?, ?, '活期', ?, ?, ?)")
                  .arg(sqlName(Ledger(Ledger::Bank).table())));
    st->bind(1, choices.bank);
    st->bind(2, choices.member);
    return st;
}

// One movement into the bank's ledger, under a key of this computer's range.
void postToBank(Connection& conn, Statement& bankLedger, Bills::Kind kind, Money amount, const QByteArray& day)
{
    bankLedger.reset();
    bankLedger.bind(3, kind == Bills::Kind::Income ? QStringLiteral("存入") : QStringLiteral("支出"));
    bankLedger.bindMoney(4, amount);
    bankLedger.bindUtf8(5, day);
    if (const auto key = newRowKey(conn, Ledger(Ledger::Bank).table()))
        bankLedger.bindInt64(6, *key);
    else
        bankLedger.bind(6, QVariant());
    bankLedger.step();
}

// The statements a posting runs for every row; the member and the source are the same for every row:
// bound once (a reset keeps them).
struct PostingStatements {
    PostingStatements(Connection& conn, const QString& member, const QString& source)
        : keep(conn, QStringLiteral("INSERT INTO %1 (来源, 交易号, 帐, 行号) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING")
                         .arg(sqlName(kImportedTable))),
          income(conn, insert().arg(sqlName(Ledger(Ledger::Income).table()))),
          expense(conn, insert().arg(sqlName(Ledger(Ledger::Expense).table()))),
          remember(conn, QStringLiteral("INSERT INTO %1 (收支, 交易对方, 类型ID) VALUES (?, ?, ?) "
                                        "ON CONFLICT (收支, 交易对方) DO UPDATE SET 类型ID = excluded.类型ID")
                             .arg(sqlName(kTypesTable)))
    {
        income.bind(1, member);
        expense.bind(1, member);
        keep.bind(1, source);
    }
    static QString insert()
    {
        return QStringLiteral("INSERT INTO %1 (成员ID, 类型ID, 金额, 日期, 备注, 月份, rowid) VALUES (?, ?, ?, ?, ?, ?, ?)");
    }
    Statement keep, income, expense, remember;
};

// Refunds taken off a payment of this bill are kept against the record it became, so that a later
// bill holding them again does not take them off once more.
void keepRefunds(const Bills::Rows& rows, const QHash<QString, Record>& records, Statement& keep, const QString& source)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const auto payment = records.constFind(rows.refundOf(i));
        if (rows.refundedFrom(i) == 0 || rows.ticked(i) || payment == records.constEnd())
            continue;
        keep.reset();
        keep.bindAll({source, rows.trade(i), payment->ledger, static_cast<qlonglong>(payment->rowid)});
        keep.step();
    }
}

// A counterparty of one kind, with the type chosen for it.
struct Party {
    QString type;
    QByteArray typeUtf8;
    bool remembered = false;  // its type kept for the next bill
};

// Row `i`'s counterparty, looked up once for all the rows that share it.
Party& partyOf(QHash<quint64, Party>& parties, const Bills::Rows& rows, qsizetype i, Bills::Kind kind, const Choices& choices)
{
    const quint64 partyKey = (quint64(rows.counterpartyKey(i)) << 2) | quint64(kind);
    auto found = parties.find(partyKey);
    if (found == parties.end()) {
        const QString type = choices.types.value(Choices::key(kind, rows.counterparty(i)));
        found = parties.insert(partyKey, Party{type, type.toUtf8()});
    }
    return found.value();
}

bool anyRefundTaken(const Bills::Rows& rows)
{
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows.refundedFrom(i) != 0)
            return true;
    return false;
}

// A record just posted goes again: its trade was imported meanwhile.
void dropRecord(Connection& conn, Bills::Kind kind, sqlite3_int64 record)
{
    Statement drop(conn, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(sqlName(ledgerOf(kind).table())));
    drop.bind(1, static_cast<qlonglong>(record));
    drop.step();
}

}  // namespace

Posted post(Connection& conn, const Bills::Bill& bill, const Choices& choices)
{
    if (choices.member.isEmpty())
        refuse(QStringLiteral("no member chosen"));
    const QString source = Bills::source(bill.layout);
    // Rows share their counterparties (and types) and days: each looked up and written once. Bound
    // where they are, so made before the statements and kept until they are gone.
    QHash<quint64, Party> parties;  // by where the rows keep the counterparty, and the kind
    QHash<qint64, QByteArray> days; // "2026-01-05", by the day's number
    QByteArray note;
    const QString incomeTable = Ledger(Ledger::Income).table(), expenseTable = Ledger(Ledger::Expense).table();
    const QByteArray incomeLedger = incomeTable.toUtf8(), expenseLedger = expenseTable.toUtf8();
    Transaction tx(conn);
    const std::unique_ptr<Statement> bankLedger = bankLedgerInsert(conn, choices);
    PostingStatements st(conn, choices.member, source);
    Statement &keep = st.keep, &income = st.income, &expense = st.expense, &remember = st.remember;
    Posted posted;
    QHash<QString, Record> records;  // of the trades posted now whose refunds the bill took off
    const Bills::Rows& rows = bill.rows;
    const bool refundsTaken = anyRefundTaken(rows);

    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows.posts(i))
            continue;
        const Bills::Kind kind = rows.postedKind(i);
        Party& party = partyOf(parties, rows, i, kind, choices);
        const int line = rows.line(i);
        if (kind == Bills::Kind::Neither || party.type.isEmpty())
            refuse(QStringLiteral("line %1: no type chosen").arg(line));
        const Money amount = rows.amount(i);
        const QDate date = rows.date(i);
        if (amount <= Money() || amount > kMaxRecordAmount || !date.isValid())
            refuse(QStringLiteral("line %1: not an amount or date a record takes").arg(line));
        QByteArray& day = days[date.toJulianDay()];
        if (day.isEmpty())
            day = date.toString(Qt::ISODate).toUtf8();
        Statement& ledger = kind == Bills::Kind::Income ? income : expense;
        ledger.reset();
        ledger.bindUtf8(2, party.typeUtf8, false);
        ledger.bindMoney(3, amount);
        ledger.bindUtf8(4, day, false);
        ledger.bindUtf8(5, noteUtf8(rows.counterpartyUtf8(i), rows.itemUtf8(i), note));
        ledger.bindInt64(6, date.month());
        if (const auto key = newRowKey(conn, kind == Bills::Kind::Income ? incomeTable : expenseTable))
            ledger.bindInt64(7, *key);
        else
            ledger.bind(7, QVariant());
        ledger.step();
        const sqlite3_int64 record = sqlite3_last_insert_rowid(conn.handle());
        char tradeBuffer[64];
        const QByteArrayView trade = rows.tradeUtf8(i, tradeBuffer);
        keep.reset();
        keep.bindUtf8(2, trade);
        keep.bindUtf8(3, kind == Bills::Kind::Income ? incomeLedger : expenseLedger, false);
        keep.bindInt64(4, record);
        keep.step();
        if (conn.changes() == 0) {
            dropRecord(conn, kind, record);  // imported meanwhile (the preview is older than the file)
            continue;
        }
        if (refundsTaken)
            records.insert(QString::fromUtf8(trade), {kind == Bills::Kind::Income ? incomeTable : expenseTable, record});
        ++(kind == Bills::Kind::Income ? posted.income : posted.expense);
        if (bankLedger) {
            postToBank(conn, *bankLedger, kind, amount, day);
            ++posted.bank;
        }
        if (!party.remembered) {
            party.remembered = true;
            remember.reset();
            remember.bindAll({Bills::kindName(kind), rows.counterparty(i), party.type});
            remember.step();
        }
    }
    if (refundsTaken)
        keepRefunds(rows, records, keep, source);
    posted.lowered = lowerEarlier(conn, bill, keep);
    tx.commit();
    return posted;
}

}  // namespace BillPosting
