#include "billposting.h"

#include "connection.h"
#include "dberror.h"
#include "dialect.h"
#include "statement.h"

#include <QSet>
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

}  // namespace

QString Choices::key(Bills::Kind kind, const QString& counterparty)
{
    return Bills::kindName(kind) + QLatin1Char('|') + counterparty;
}

void markImported(Connection& conn, Bills::Bill& bill)
{
    // The numbers kept for the bill's payment service, read in one pass: a look-up per row outside a
    // transaction would take and release the file's read lock ten thousand times for a large bill.
    Statement kept(conn, QStringLiteral("SELECT 交易号 FROM %1 WHERE 来源 = ?").arg(sqlName(kImportedTable)), false);
    kept.bind(1, Bills::source(bill.layout));
    QSet<QString> known;
    while (kept.step())
        known.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(kept.handle(), 0))).toCaseFolded());
    if (known.isEmpty())
        return;
    for (Bills::Row& row : bill.rows)
        if (row.skip.isEmpty() && known.contains(row.trade.toCaseFolded()))
            row.skip = kImportedBefore;
}

std::optional<Type> rememberedType(Connection& conn, Bills::Kind kind, const QString& counterparty)
{
    if (kind == Bills::Kind::Neither)
        return std::nullopt;
    Statement st(conn,
                 QStringLiteral("SELECT t.ID, t.类型 FROM %1 m JOIN %2 t ON t.ID = m.类型ID WHERE m.收支 = ? AND m.交易对方 = ?")
                     .arg(sqlName(kTypesTable), sqlName(typeTableOf(kind))),
                 false);
    st.bindAll({Bills::kindName(kind), counterparty});
    if (!st.step())
        return std::nullopt;
    auto text = [&st](int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.handle(), column)));
    };
    return Type{text(0), text(1)};
}

Posted post(Connection& conn, const Bills::Bill& bill, const Choices& choices)
{
    if (choices.member.isEmpty())
        refuse(QStringLiteral("no member chosen"));
    const QString source = Bills::source(bill.layout);
    Transaction tx(conn);
    Statement keep(conn,
                   QStringLiteral("INSERT INTO %1 (来源, 交易号, 帐, 行号) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING")
                       .arg(sqlName(kImportedTable)),
                   false);
    const QString insert = QStringLiteral("INSERT INTO %1 (成员ID, 类型ID, 金额, 日期, 备注, 月份) VALUES (?, ?, ?, ?, ?, ?)");
    Statement income(conn, insert.arg(sqlName(ledgerOf(Bills::Kind::Income))), false);
    Statement expense(conn, insert.arg(sqlName(ledgerOf(Bills::Kind::Expense))), false);
    Statement remember(conn,
                       QStringLiteral("INSERT INTO %1 (收支, 交易对方, 类型ID) VALUES (?, ?, ?) "
                                      "ON CONFLICT (收支, 交易对方) DO UPDATE SET 类型ID = excluded.类型ID")
                           .arg(sqlName(kTypesTable)),
                       false);
    Posted posted;
    QSet<QString> remembered;
    for (const Bills::Row& row : bill.rows) {
        if (!row.skip.isEmpty())
            continue;
        const QString type = choices.typeOf(row);
        if (row.kind == Bills::Kind::Neither || type.isEmpty())
            refuse(QStringLiteral("line %1: no type chosen").arg(row.line));
        if (row.amount <= Money() || row.amount > kMaxRecordAmount || !row.date.isValid())
            refuse(QStringLiteral("line %1: not an amount or date a record takes").arg(row.line));
        Statement& ledger = row.kind == Bills::Kind::Income ? income : expense;
        ledger.reset();
        ledger.bindAll({choices.member, type, QVariant::fromValue(row.amount), row.date.toString(Qt::ISODate),
                        Bills::note(row), row.date.month()});
        ledger.step();
        const sqlite3_int64 record = sqlite3_last_insert_rowid(conn.handle());
        keep.reset();
        keep.bindAll({source, row.trade, ledgerOf(row.kind), static_cast<qlonglong>(record)});
        keep.step();
        if (conn.changes() == 0) {
            // Imported meanwhile (the preview is older than the file): the record goes again.
            Statement drop(conn, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(sqlName(ledgerOf(row.kind))), false);
            drop.bind(1, static_cast<qlonglong>(record));
            drop.step();
            continue;
        }
        ++(row.kind == Bills::Kind::Income ? posted.income : posted.expense);
        const QString key = Choices::key(row.kind, row.counterparty);
        if (!remembered.contains(key)) {
            remembered.insert(key);
            remember.reset();
            remember.bindAll({Bills::kindName(row.kind), row.counterparty, type});
            remember.step();
        }
    }
    tx.commit();
    return posted;
}

}  // namespace BillPosting
