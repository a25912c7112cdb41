#include "store.h"

#include "connection.h"
#include "editablerows.h"
#include "ledgerrows.h"
#include "posting.h"
#include "recordset.h"
#include "sqltext.h"
#include "statement.h"
#include "syncrecorder.h"

#include <sqlite3.h>

namespace {

QStringList quotedColumns(const EditedTable& table)
{
    QStringList names;
    for (const QString& c : table.columns)
        names << sqlName(c);
    return names;
}

}  // namespace

std::int64_t Store::insertRow(const EditedTable& table, const QVector<QVariant>& values)
{
    Transaction tx(conn_);
    QStringList marks;
    for (qsizetype i = 0; i < table.columns.size(); ++i)
        marks << QStringLiteral("?");
    // A row kept in step with the family's other computers gets its key from this computer's range.
    const std::optional<std::int64_t> key = newRowKey(conn_, table.table);
    Statement st(conn_, QStringLiteral("INSERT INTO ") + sqlName(table.table) + QStringLiteral(" (")
                            + (key ? QStringLiteral("rowid,") : QString()) + quotedColumns(table).join(u',')
                            + QStringLiteral(") VALUES (") + (key ? QStringLiteral("?,") : QString()) + marks.join(u',')
                            + QStringLiteral(")"));
    const int first = key ? 2 : 1;
    if (key)
        st.bindInt64(1, *key);
    for (int i = 0; i < table.columns.size(); ++i)
        st.bind(i + first, values.value(i));
    st.step();
    const std::int64_t rowid = sqlite3_last_insert_rowid(conn_.handle());
    tx.commit();
    return rowid;
}

void Store::updateRow(const EditedTable& table, std::int64_t rowid, const QVector<QVariant>& values)
{
    Transaction tx(conn_);
    QStringList sets;
    for (const QString& n : quotedColumns(table))
        sets << n + QStringLiteral("=?");
    Statement st(conn_, QStringLiteral("UPDATE ") + sqlName(table.table) + QStringLiteral(" SET ") + sets.join(u',')
                            + QStringLiteral(" WHERE rowid=?"));
    for (int i = 0; i < table.columns.size(); ++i)
        st.bind(i + 1, values.value(i));
    st.bindInt64(static_cast<int>(table.columns.size()) + 1, rowid);
    st.step();
    tx.commit();
}

void Store::deleteRow(const EditedTable& table, std::int64_t rowid)
{
    Transaction tx(conn_);
    Statement st(conn_, QStringLiteral("DELETE FROM ") + sqlName(table.table) + QStringLiteral(" WHERE rowid=?"));
    st.bindInt64(1, rowid);
    st.step();
    tx.commit();
}

QList<Budgets::Touch> Store::postStaged(Ledger ledger)
{
    QList<Budgets::Touch> touched;
    if (ledger == Ledger::Expense)
        touched = Budgets::touchedBy(conn_, ledger.stagingTable());
    ::postStaged(conn_, ledger.stagingTable(), ledger.table());
    return touched;
}

void Store::clearStaged(Ledger ledger)
{
    conn_.execute(QStringLiteral("DELETE FROM ") + sqlName(ledger.stagingTable()));
}

void Store::openListing(Recordset& rs, const LedgerListing& listing, const LedgerListing::Query& query)
{
    rs.keepRowKeys(listing.ledger().table(), listing.head());
    if (query.order)
        rs.openByLookup(conn_, query.select, *query.order, query.values);
    else
        rs.openInSlices(conn_, query.select, query.values);
}

std::optional<QVariantList> Store::readRecord(Ledger ledger, std::int64_t rowid)
{
    return LedgerRows::read(conn_, ledger.table(), rowid);
}

std::optional<QVariantList> Store::correctRecord(Ledger ledger, std::int64_t rowid, const QVariantList& from,
                                                 const QVariantList& to)
{
    return LedgerRows::correct(conn_, ledger.table(), rowid, from, to);
}

std::int64_t Store::moveToBin(Ledger ledger, std::int64_t rowid, const QDateTime& when)
{
    return LedgerRows::moveToBin(conn_, ledger.table(), rowid, when);
}

std::optional<LedgerRows::Restored> Store::restoreFromBin(std::int64_t binId)
{
    return LedgerRows::restoreFromBin(conn_, binId);
}

int Store::emptyBin()
{
    return LedgerRows::emptyBin(conn_);
}

void Store::openBin(Recordset& rs)
{
    // The name of the type or bank from the list of the record's own ledger.
    const Select head{
        QStringLiteral("回收站.删除时间, 回收站.说明, 回收站.帐本, 成员.姓名 AS 成员,"
                       " CASE 回收站.帐本"
                       "  WHEN '收入帐' THEN (SELECT 类型 FROM 收入类型 WHERE ID = 回收站.类型ID)"
                       "  WHEN '支出帐' THEN (SELECT 类型 FROM 支出类型 WHERE ID = 回收站.类型ID)"
                       "  WHEN '投资帐' THEN (SELECT 类型 FROM 投资类型 WHERE ID = 回收站.类型ID)"
                       "  WHEN '银行帐' THEN (SELECT 开户行 FROM 银行 WHERE ID = 回收站.银行ID) END AS \"类型/银行\","
                       " 回收站.金额, 回收站.日期, 回收站.备注, 回收站.存或取, 回收站.类型 AS \"活期/定期\""),
        QStringLiteral("FROM 回收站 LEFT JOIN 成员 ON 成员.ID = 回收站.成员ID")};
    rs.keepRowKeys(LedgerRows::kBinTable, head);
    rs.open(conn_, head.followedBy(QStringLiteral(" ORDER BY ") + inChineseOrder(QStringLiteral("回收站.删除时间"))
                                   + QStringLiteral(" DESC, ") + inChineseOrder(QStringLiteral("回收站.编号"))
                                   + QStringLiteral(" DESC")));
}
