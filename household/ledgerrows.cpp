#include "ledgerrows.h"

#include "connection.h"
#include "dberror.h"
#include "filecheck.h"
#include "sqltext.h"
#include "statement.h"
#include "syncrecorder.h"

#include <sqlite3.h>

namespace LedgerRows {

namespace {

const QStringList kLedgers = {QStringLiteral("收入帐"), QStringLiteral("支出帐"), QStringLiteral("投资帐"),
                              QStringLiteral("银行帐")};

void requireLedger(const QString& table)
{
    if (!isLedger(table))
        throw DbError(DbError::BadValue, SQLITE_ERROR, QStringLiteral("not a ledger: ") + table);
}

QString nameList(const QStringList& names)
{
    QStringList quoted;
    for (const QString& n : names)
        quoted << sqlName(n);
    return quoted.join(u',');
}

// The value back as it was read: bytes stay bytes (another tool may have stored some).
void bindValue(Statement& st, int index, const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QByteArray)
        st.bindBlob(index, v.toByteArray());
    else
        st.bind(index, v);
}

}  // namespace

bool isLedger(const QString& table)
{
    return kLedgers.contains(table);
}

QStringList fields(const QString& ledger)
{
    return isLedger(ledger) ? FileCheck::fieldsOf(ledger) : QStringList();
}

std::optional<QVariantList> read(Connection& conn, const QString& ledger, std::int64_t rowid)
{
    requireLedger(ledger);
    const QStringList f = fields(ledger);
    Statement st(conn, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(nameList(f), sqlName(ledger)));
    st.bindInt64(1, rowid);
    if (!st.step())
        return std::nullopt;
    QVariantList out;
    for (int i = 0; i < f.size(); ++i)
        out << st.value(i);  // as stored: the engine's kind decides the variant's
    return out;
}

bool sameValues(const QVariantList& a, const QVariantList& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const bool nullA = !a[i].isValid() || a[i].isNull(), nullB = !b[i].isValid() || b[i].isNull();
        if (nullA || nullB) {
            if (nullA != nullB)
                return false;
            continue;
        }
        if (a[i].metaType() != b[i].metaType())
            return false;
        if (a[i].metaType().id() == QMetaType::Double ? a[i].toDouble() != b[i].toDouble() : a[i] != b[i])
            return false;
    }
    return true;
}

std::optional<QVariantList> correct(Connection& conn, const QString& ledger, std::int64_t rowid, const QVariantList& from,
                                    const QVariantList& to)
{
    requireLedger(ledger);
    const QStringList f = fields(ledger);
    if (to.size() != f.size())
        throw DbError(DbError::Other, SQLITE_ERROR, QStringLiteral("wrong number of values for ") + ledger);
    Transaction tx(conn);
    const auto now = read(conn, ledger, rowid);
    if (!now || !sameValues(*now, from))
        return std::nullopt;  // rolled back: nothing was written
    {
        QStringList sets;
        for (const QString& n : f)
            sets << sqlName(n) + QStringLiteral("=?");
        Statement st(conn, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(sqlName(ledger), sets.join(u',')));
        for (int i = 0; i < f.size(); ++i)
            bindValue(st, i + 1, to[i]);
        st.bindInt64(static_cast<int>(f.size()) + 1, rowid);
        st.step();
    }
    auto after = read(conn, ledger, rowid);
    tx.commit();
    return after;
}

std::int64_t moveToBin(Connection& conn, const QString& ledger, std::int64_t rowid, const QDateTime& when)
{
    requireLedger(ledger);
    const QString f = nameList(fields(ledger));
    Transaction tx(conn);
    {
        const std::optional<std::int64_t> key = newRowKey(conn, kBinTable);
        Statement st(conn,
                     QStringLiteral("INSERT INTO %1 (编号, 帐本, 行号, 删除时间, %2) SELECT ?, ?, rowid, ?, %2 FROM %3 WHERE rowid = ?")
                         .arg(sqlName(kBinTable), f, sqlName(ledger)));
        if (key)
            st.bindInt64(1, *key);
        else
            st.bind(1, QVariant());
        st.bind(2, ledger);
        st.bind(3, when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        st.bindInt64(4, rowid);
        st.step();
    }
    if (conn.changes() == 0)
        throw DbError(DbError::NoRow, SQLITE_ERROR, QStringLiteral("no such record"));
    const std::int64_t binId = sqlite3_last_insert_rowid(conn.handle());
    {
        Statement st(conn, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(sqlName(ledger)));
        st.bindInt64(1, rowid);
        st.step();
    }
    tx.commit();
    return binId;
}

std::optional<Restored> restoreFromBin(Connection& conn, std::int64_t binId)
{
    Transaction tx(conn);
    Restored r;
    std::optional<std::int64_t> oldRowid;
    {
        Statement st(conn, QStringLiteral("SELECT 帐本, 行号 FROM %1 WHERE 编号 = ?").arg(sqlName(kBinTable)));
        st.bindInt64(1, binId);
        if (!st.step())
            return std::nullopt;
        r.ledger = st.value(0).toString();
        if (st.columnType(1) == SQLITE_INTEGER)
            oldRowid = st.int64(1);
    }
    requireLedger(r.ledger);
    // Books kept in step with other computers give it a new number: the old one was deleted there
    // too, and a record deleted once stays deleted wherever a correction does not bring it back.
    if (oldRowid && conn.sync() && conn.sync()->isRecording())
        oldRowid.reset();
    if (oldRowid) {
        Statement taken(conn, QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ?").arg(sqlName(r.ledger)));
        taken.bindInt64(1, *oldRowid);
        if (taken.step())
            oldRowid.reset();  // another record has it now: it gets a new one
    }
    // A new number is this computer's to give (or the engine's, in a file without keys).
    const std::optional<std::int64_t> key = oldRowid ? oldRowid : newRowKey(conn, r.ledger);
    const QString f = nameList(fields(r.ledger));
    {
        Statement st(conn,
                     QStringLiteral("INSERT INTO %1 (%2%3) SELECT %4%3 FROM %5 WHERE 编号 = ?1")
                         .arg(sqlName(r.ledger), key ? QStringLiteral("rowid, ") : QString(), f,
                              key ? QStringLiteral("?2, ") : QString(), sqlName(kBinTable)));
        st.bindInt64(1, binId);
        if (key)
            st.bindInt64(2, *key);
        st.step();
    }
    r.rowid = sqlite3_last_insert_rowid(conn.handle());
    {
        Statement st(conn, QStringLiteral("DELETE FROM %1 WHERE 编号 = ?").arg(sqlName(kBinTable)));
        st.bindInt64(1, binId);
        st.step();
    }
    tx.commit();
    return r;
}

int emptyBin(Connection& conn)
{
    Transaction tx(conn);
    {
        Statement st(conn, QStringLiteral("DELETE FROM %1").arg(sqlName(kBinTable)));
        st.step();
    }
    const int n = conn.changes();
    tx.commit();
    return n;
}

}  // namespace LedgerRows
