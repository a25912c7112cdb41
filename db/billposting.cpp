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

// Whether a trade number of a payment service is kept: (来源, 交易号).
QString knownSql()
{
    return QStringLiteral("SELECT 1 FROM %1 WHERE 来源 = ? AND 交易号 = ?").arg(sqlName(kImportedTable));
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
    Statement known(conn, knownSql(), false);
    known.bind(1, Bills::source(bill.layout));
    for (Bills::Row& row : bill.rows) {
        if (!row.skip.isEmpty())
            continue;
        known.reset();
        known.bind(2, row.trade);
        if (known.step())
            row.skip = kImportedBefore;
    }
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
    Statement known(conn, knownSql(), false);
    Statement keep(conn, QStringLiteral("INSERT INTO %1 (来源, 交易号, 帐, 行号) VALUES (?, ?, ?, ?)").arg(sqlName(kImportedTable)),
                   false);
    const QString insert = QStringLiteral("INSERT INTO %1 (成员ID, 类型ID, 金额, 日期, 备注, 月份) VALUES (?, ?, ?, ?, ?, ?)");
    Statement income(conn, insert.arg(sqlName(ledgerOf(Bills::Kind::Income))), false);
    Statement expense(conn, insert.arg(sqlName(ledgerOf(Bills::Kind::Expense))), false);
    Statement remember(conn,
                       QStringLiteral("INSERT INTO %1 (收支, 交易对方, 类型ID) VALUES (?, ?, ?) "
                                      "ON CONFLICT (收支, 交易对方) DO UPDATE SET 类型ID = excluded.类型ID")
                           .arg(sqlName(kTypesTable)),
                       false);
    known.bind(1, source);
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
        known.reset();
        known.bind(2, row.trade);
        if (known.step())
            continue;
        Statement& ledger = row.kind == Bills::Kind::Income ? income : expense;
        ledger.reset();
        ledger.bindAll({choices.member, type, QVariant::fromValue(row.amount), row.date.toString(Qt::ISODate),
                        Bills::note(row), row.date.month()});
        ledger.step();
        keep.reset();
        keep.bindAll({source, row.trade, ledgerOf(row.kind), static_cast<qlonglong>(sqlite3_last_insert_rowid(conn.handle()))});
        keep.step();
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
