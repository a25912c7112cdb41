#include "billposting.h"

#include "connection.h"
#include "dberror.h"
#include "ledgerrows.h"
#include "sqltext.h"
#include "statement.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <optional>
#include <sqlite3.h>

namespace BillPosting {

namespace {

QString ledgerOf(Bills::Kind kind)
{
    return kind == Bills::Kind::Income ? QStringLiteral("收入帐") : QStringLiteral("支出帐");
}

QString typeTableOf(Bills::Kind kind)
{
    return kind == Bills::Kind::Income ? QStringLiteral("收入类型") : QStringLiteral("支出类型");
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

// Lowers each record that refunds in the bill give back to, by all of them at once; the refunds'
// numbers are kept against the record.
QList<Lowered> lowerEarlier(Connection& conn, const Bills::Bill& bill, Statement& keep)
{
    QList<Lowered> out;
    QHash<QPair<QString, qint64>, Money> refunds;
    QList<QPair<QString, qint64>> order;
    const QString source = Bills::source(bill.layout);
    for (const Bills::Row& row : bill.rows) {
        if (!Bills::lowersEarlier(row))
            continue;
        keep.reset();
        keep.bindAll({source, row.trade, row.earlierLedger, static_cast<qlonglong>(row.earlierRecord)});
        keep.step();
        if (conn.changes() == 0)
            continue;  // taken off meanwhile (the preview is older than the file)
        const QPair<QString, qint64> key(row.earlierLedger, row.earlierRecord);
        if (!refunds.contains(key))
            order << key;
        refunds[key] += row.amount;
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
    for (qsizetype i = 0; i < bill.rows.size(); ++i) {
        Bills::Row& row = bill.rows[i];
        if ((row.skip.isEmpty() || row.tickAs != Bills::Kind::Neither || !row.refundOf.isEmpty())
            && (known.contains(keyOf(row.trade)) || (!former.isEmpty() && former.contains(formerKeys.at(i))))) {
            if (row.skip.isEmpty() && row.refundOf.isEmpty())
                paidBefore.insert(row.line);
            row.skip = kImportedBefore;
            row.tickAs = Bills::Kind::Neither;
            row.ticked = false;
        }
    }
    for (Bills::Row& row : bill.rows) {
        if (row.refundOf.isEmpty() || row.skip == kImportedBefore
            || (row.refundedFrom != 0 && !paidBefore.contains(row.refundedFrom)))
            continue;
        const Record payment = known.value(row.refundOf.toCaseFolded());
        if (payment.rowid == 0)
            continue;  // not imported before: the refund stays as the bill left it
        if (!LedgerRows::read(conn, payment.ledger, payment.rowid)) {
            row.skip = kRecordGone;
            row.tickAs = Bills::Kind::Income;
            continue;
        }
        row.skip.clear();
        row.tickAs = Bills::Kind::Neither;
        row.earlierLedger = payment.ledger;
        row.earlierRecord = payment.rowid;
    }
}

void markEnteredByHand(Connection& conn, Bills::Bill& bill)
{
    QDate first, last;
    QSet<std::int64_t> amounts[2];  // of the rows to be posted, income and expense, in units
    for (const Bills::Row& row : bill.rows)
        if (row.skip.isEmpty() && row.kind != Bills::Kind::Neither) {
            first = first.isValid() ? std::min(first, row.date) : row.date;
            last = last.isValid() ? std::max(last, row.date) : row.date;
            amounts[row.kind == Bills::Kind::Income ? 0 : 1].insert(row.amount.units());
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
                                    .arg(sqlName(ledgerOf(kind)), sqlName(kImportedTable)));
        records.bindAll({first.addDays(-3).toString(Qt::ISODate), last.addDays(3).toString(Qt::ISODate), ledgerOf(kind)});
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
        Statement note(conn, QStringLiteral("SELECT 备注 FROM %1 WHERE rowid = ?").arg(sqlName(ledgerOf(kind))));
        for (Bills::Row& row : bill.rows) {
            if (!row.skip.isEmpty() || row.kind != kind)
                continue;
            const auto candidates = byAmount.find(row.amount.units());
            if (candidates == byAmount.end())
                continue;
            Entered* nearest = nullptr;
            for (Entered& e : *candidates) {
                const qint64 apart = std::abs(e.date.daysTo(row.date));
                if (!e.taken && apart <= 3 && (!nearest || apart < std::abs(nearest->date.daysTo(row.date))))
                    nearest = &e;
            }
            if (!nearest)
                continue;
            nearest->taken = true;
            QStringList said = {nearest->date.toString(Qt::ISODate), row.amount.toGrouped()};
            note.reset();
            note.bindInt64(1, nearest->rowid);
            if (note.step() && !note.text(0).isEmpty())
                said << note.text(0);
            row.skip = QStringLiteral("%1（%2）").arg(kEnteredByHand, said.join(u' '));
            row.tickAs = row.kind;
        }
    }
}

std::optional<Type> rememberedType(Connection& conn, Bills::Kind kind, const QString& counterparty)
{
    if (kind == Bills::Kind::Neither)
        return std::nullopt;
    Statement st(conn,
                 QStringLiteral("SELECT t.ID, t.类型 FROM %1 m JOIN %2 t ON t.ID = m.类型ID WHERE m.收支 = ? AND m.交易对方 = ?")
                     .arg(sqlName(kTypesTable), sqlName(typeTableOf(kind))));
    st.bindAll({Bills::kindName(kind), counterparty});
    if (!st.step())
        return std::nullopt;
    return Type{st.text(0), st.text(1)};
}

Posted post(Connection& conn, const Bills::Bill& bill, const Choices& choices)
{
    if (choices.member.isEmpty())
        refuse(QStringLiteral("no member chosen"));
    const QString source = Bills::source(bill.layout);
    Transaction tx(conn);
    // The movements of a bank's statement also into the bank's ledger, when a bank is chosen.
    std::optional<Statement> bankLedger;
    if (!choices.bank.isEmpty()) {
        Statement bank(conn, QStringLiteral("SELECT 1 FROM 银行 WHERE ID = ?"));
        bank.bind(1, choices.bank);
        if (!bank.step())
            refuse(QStringLiteral("the bank %1 is not in 银行").arg(choices.bank));
        bankLedger.emplace(conn, QStringLiteral("INSERT INTO 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) VALUES (?, ?, ?, '活期', ?, ?)"));
        bankLedger->bind(1, choices.bank);
        bankLedger->bind(2, choices.member);
    }
    Statement keep(conn,
                   QStringLiteral("INSERT INTO %1 (来源, 交易号, 帐, 行号) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING")
                       .arg(sqlName(kImportedTable)));
    const QString insert = QStringLiteral("INSERT INTO %1 (成员ID, 类型ID, 金额, 日期, 备注, 月份) VALUES (?, ?, ?, ?, ?, ?)");
    Statement income(conn, insert.arg(sqlName(ledgerOf(Bills::Kind::Income))));
    Statement expense(conn, insert.arg(sqlName(ledgerOf(Bills::Kind::Expense))));
    Statement remember(conn,
                       QStringLiteral("INSERT INTO %1 (收支, 交易对方, 类型ID) VALUES (?, ?, ?) "
                                      "ON CONFLICT (收支, 交易对方) DO UPDATE SET 类型ID = excluded.类型ID")
                           .arg(sqlName(kTypesTable)));
    // The member and the source are the same for every row: bound once (a reset keeps them).
    for (Statement* ledger : {&income, &expense})
        ledger->bind(1, choices.member);
    keep.bind(1, source);
    Posted posted;
    QSet<QString> remembered;
    QHash<QString, Record> records;  // of the trades posted now whose refunds the bill took off
    const bool refundsTaken = std::any_of(bill.rows.cbegin(), bill.rows.cend(), [](const Bills::Row& r) { return r.refundedFrom != 0; });
    for (const Bills::Row& row : bill.rows) {
        if (!Bills::posts(row))
            continue;
        const Bills::Kind kind = Bills::postedKind(row);
        const QString type = choices.typeOf(row);
        if (kind == Bills::Kind::Neither || type.isEmpty())
            refuse(QStringLiteral("line %1: no type chosen").arg(row.line));
        if (row.amount <= Money() || row.amount > kMaxRecordAmount || !row.date.isValid())
            refuse(QStringLiteral("line %1: not an amount or date a record takes").arg(row.line));
        Statement& ledger = kind == Bills::Kind::Income ? income : expense;
        ledger.reset();
        ledger.bind(2, type);
        ledger.bind(3, QVariant::fromValue(row.amount));
        ledger.bind(4, row.date.toString(Qt::ISODate));
        ledger.bind(5, Bills::note(row));
        ledger.bindInt64(6, row.date.month());
        ledger.step();
        const sqlite3_int64 record = sqlite3_last_insert_rowid(conn.handle());
        keep.reset();
        keep.bind(2, row.trade);
        keep.bind(3, ledgerOf(kind));
        keep.bindInt64(4, record);
        keep.step();
        if (conn.changes() == 0) {
            // Imported meanwhile (the preview is older than the file): the record goes again.
            Statement drop(conn, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(sqlName(ledgerOf(kind))));
            drop.bind(1, static_cast<qlonglong>(record));
            drop.step();
            continue;
        }
        if (refundsTaken)
            records.insert(row.trade, {ledgerOf(kind), record});
        ++(kind == Bills::Kind::Income ? posted.income : posted.expense);
        if (bankLedger) {
            bankLedger->reset();
            bankLedger->bind(3, kind == Bills::Kind::Income ? QStringLiteral("存入") : QStringLiteral("支出"));
            bankLedger->bind(4, QVariant::fromValue(row.amount));
            bankLedger->bind(5, row.date.toString(Qt::ISODate));
            bankLedger->step();
            ++posted.bank;
        }
        const QString key = Choices::key(kind, row.counterparty);
        if (!remembered.contains(key)) {
            remembered.insert(key);
            remember.reset();
            remember.bindAll({Bills::kindName(kind), row.counterparty, type});
            remember.step();
        }
    }
    // Refunds taken off a payment of this bill are kept against the record it became, so that a later
    // bill holding them again does not take them off once more.
    for (const Bills::Row& row : bill.rows) {
        const auto payment = records.constFind(row.refundOf);
        if (row.refundedFrom == 0 || row.ticked || payment == records.constEnd())
            continue;
        keep.reset();
        keep.bindAll({source, row.trade, payment->ledger, static_cast<qlonglong>(payment->rowid)});
        keep.step();
    }
    posted.lowered = lowerEarlier(conn, bill, keep);
    tx.commit();
    return posted;
}

}  // namespace BillPosting
