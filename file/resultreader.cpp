#include "resultreader.h"

#include "connection.h"
#include "dberror.h"
#include "snapshot.h"
#include "sqltext.h"
#include "statement.h"

#include <QRegularExpression>
#include <utility>
#include <sqlite3.h>
#include <unordered_map>

namespace {

// Rows of one name share their repeated texts in the snapshot while there are no more names than this.
constexpr std::uint32_t kTextGroups = 4096;
// The rows read through the index before the pass: no more than a first screen asks for.
constexpr int kMaxFirstRows = 1000;

// Whether a column holds text (texts or blobs, never numbers), and its collation.
bool textColumn(Connection& conn, const QString& table, const QString& column, QByteArray& collation)
{
    const char* type = nullptr;
    const char* seq = nullptr;
    int notNull = 0, primary = 0, autoinc = 0;
    if (sqlite3_table_column_metadata(conn.handle(), nullptr, table.toUtf8().constData(), column.toUtf8().constData(),
                                      &type, &seq, &notNull, &primary, &autoinc)
        != SQLITE_OK)
        return false;
    const QByteArray t = QByteArray(type ? type : "").toUpper();
    collation = QByteArray(seq ? seq : "BINARY").toUpper();
    return t.contains("CHAR") || t.contains("CLOB") || t.contains("TEXT");
}

// Whether some records may name no row of the table. When the codes and the table's keys are texts
// of one collation, each distinct code of the ledger is looked up, from the indexes: a few seeks for
// each of at most `tableRows` codes, where a scan of the ledger would take a good part of the load.
// Any doubt answers "may".
bool mayBeUnmatched(Connection& conn, const ByLookup& o, std::size_t tableRows)
{
    QByteArray keyCollation, codeCollation;
    if (!textColumn(conn, o.table, o.key, keyCollation) || !textColumn(conn, o.ledger, o.ledgerKey, codeCollation)
        || keyCollation != codeCollation)
        return true;
    try {
        const QString ledger = sqlName(o.ledger), code = sqlName(o.ledgerKey);
        Statement nulls(conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 IS NULL LIMIT 1").arg(ledger, code));
        if (nulls.step())
            return true;  // a null names nothing
        Statement first(conn, QStringLiteral("SELECT min(%2) FROM %1").arg(ledger, code));
        Statement next(conn, QStringLiteral("SELECT min(%2) FROM %1 WHERE %2 > ?1").arg(ledger, code));
        Statement match(conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?1 LIMIT 1").arg(sqlName(o.table), sqlName(o.key)));
        Statement* codes = &first;
        for (std::size_t n = 0;; ++n) {
            codes->step();
            // The code outlives the reset of the statement that gave it, and is bound to that one.
            sqlite3_value* v = sqlite3_value_dup(codes->cell(0));
            codes->reset();
            const bool last = !v || sqlite3_value_type(v) == SQLITE_NULL;
            bool found = false;
            if (!last && n < tableRows) {
                match.bindValue(1, v);
                found = match.step();
                match.reset();
                next.bindValue(1, v);
            }
            sqlite3_value_free(v);
            if (last)
                return false;  // every code has its row
            if (!found)
                return true;
            codes = &next;
        }
    } catch (const DbError&) {
        return true;
    }
}

// Whether the engine reads `sql` the way it is wanted: the first table scanned in the order it is
// stored, every other reached through an index, nothing sorted.
bool plannedAs(Connection& conn, const QString& sql, bool scanFirst)
{
    const Statement st(conn, sql);
    Statement plan(conn, QStringLiteral("EXPLAIN QUERY PLAN ") + QString::fromUtf8(sqlite3_sql(st.handle())));
    for (bool first = true; plan.step(); first = false) {
        const QString detail = plan.text(3);
        const bool scan = detail.startsWith(QLatin1String("SCAN"));
        if (detail.contains(QLatin1String("AUTOMATIC")) || detail.contains(QLatin1String("TEMP B-TREE"))
            || (scan && !(first && scanFirst)) || (first && scanFirst && (!scan || detail.contains(QLatin1String("INDEX")))))
            return false;
    }
    return true;
}

// Turns each row's rank (0 .. `ranks` - 1) into its place: by rank, the rows of one rank in the order
// they came; and puts the rows there.
void putInOrder(std::vector<std::uint32_t>& rank, std::size_t ranks, Snapshot& rows)
{
    std::vector<std::uint32_t> start(ranks, 0);
    for (const std::uint32_t r : rank)
        ++start[r];
    std::uint32_t before = 0;
    for (std::uint32_t& s : start)
        before += std::exchange(s, before);
    for (std::uint32_t& r : rank)
        r = start[r]++;
    rows.reorder(rank);
}

}  // namespace

struct ResultReader::Lookup {
    std::vector<std::int64_t> rows;                       // the table's rowids in order
    std::unordered_map<std::int64_t, std::uint32_t> rank;  // rowid -> 1 + its place in `rows`
    // The first rows: those of the records that name no row of the table, if there can be any, then
    // one row of the table at a time.
    std::unique_ptr<Statement> unmatched;
    std::unique_ptr<Statement> byRow;
    int rowidParam = 0;
    std::size_t nextRow = 0;
    // The pass: the table's rowid first, then the columns of the select.
    std::unique_ptr<Statement> pass;
    Snapshot staged;
    std::vector<std::uint32_t> ranks;  // each staged row's rank (0: no row of the table), then its place
};

ResultReader::ResultReader(std::unique_ptr<Statement> st, int firstCol) : st_(std::move(st)), firstCol_(firstCol) {}

ResultReader::ResultReader(Connection& conn, const Select& select, const QVariantList& params, int firstCol,
                           const ByLookup& order)
    : firstCol_(firstCol)
{
    lookup_ = plan(conn, select, params, order);
    if (lookup_)
        return;
    // The engine reads it otherwise: it sorts.
    st_ = std::make_unique<Statement>(
        conn, select.text() + QStringLiteral(" ORDER BY %1.%2%3, %1.rowid, %4.rowid")
                  .arg(sqlName(order.table), sqlName(order.order),
                       order.collation.isEmpty() ? QString() : QStringLiteral(" COLLATE ") + order.collation,
                       sqlName(order.ledger)));
    st_->bindAll(params);
}

ResultReader::~ResultReader()
{
    finish();
}

// The statements are done with: their memory is given back at once.
void ResultReader::finish()
{
    done_ = true;
    lookup_.reset();
    st_.reset();
}

std::unique_ptr<ResultReader::Lookup> ResultReader::plan(Connection& conn, const Select& select,
                                                         const QVariantList& params, const ByLookup& o)
{
    const QString table = sqlName(o.table);
    const QString passSql = select.withKeyFirst(table + QStringLiteral(".rowid")).text();
    if (!plannedAs(conn, passSql, true))
        return nullptr;
    auto k = std::make_unique<Lookup>();
    Statement rows(conn,
                   QStringLiteral("SELECT rowid FROM %1 ORDER BY %2%3, rowid")
                       .arg(table, sqlName(o.order),
                            o.collation.isEmpty() ? QString() : QStringLiteral(" COLLATE ") + o.collation));
    while (rows.step()) {
        k->rows.push_back(rows.int64(0));
        k->rank.emplace(k->rows.back(), static_cast<std::uint32_t>(k->rows.size()));
    }
    k->pass = std::make_unique<Statement>(conn, passSql);
    k->pass->bindAll(params);

    const QString byRow = select.text() + QStringLiteral(" WHERE %1.rowid = ?%2").arg(table).arg(params.size() + 1);
    if (!k->rows.empty() && plannedAs(conn, byRow, false)) {
        k->byRow = std::make_unique<Statement>(conn, byRow);
        k->byRow->bindAll(params);
        k->rowidParam = static_cast<int>(params.size()) + 1;
        k->byRow->bindInt64(k->rowidParam, k->rows.front());
        if (mayBeUnmatched(conn, o, k->rows.size())) {
            k->unmatched = std::make_unique<Statement>(
                conn, select.text() + QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM %1 WHERE %1.%2 = %3.%4)")
                          .arg(table, sqlName(o.key), sqlName(o.ledger), sqlName(o.ledgerKey)));
            k->unmatched->bindAll(params);
        }
    }
    return k;
}

bool ResultReader::read(Snapshot& snap, int maxRows)
{
    if (done_)
        return false;
    if (lookup_) {
        if (lookup_->byRow && maxRows <= kMaxFirstRows && snap.rowCount() == 0)
            return readFirstRows(snap, maxRows);
        return readPass(snap, maxRows);
    }
    for (int n = 0; n < maxRows; ++n) {
        if (!st_->step()) {
            finish();
            return false;
        }
        if (firstCol_ == 1)
            snap.pushRowid(st_->int64(0));
        snap.appendRow(st_->handle(), firstCol_);
    }
    return true;
}

// The records that name no row of the table, then those of the table's first rows through the
// ledger's index. False when they were all.
bool ResultReader::readFirstRows(Snapshot& snap, int maxRows)
{
    Lookup& k = *lookup_;
    for (int n = 0; n < maxRows;) {
        Statement& st = k.unmatched ? *k.unmatched : *k.byRow;
        if (st.step()) {
            if (firstCol_ == 1)
                snap.pushRowid(st.int64(0));
            snap.appendRow(st.handle(), firstCol_);
            ++n;
            continue;
        }
        if (k.unmatched) {
            k.unmatched.reset();
            continue;
        }
        if (++k.nextRow == k.rows.size()) {
            finish();  // every record was among them
            return false;
        }
        k.byRow->reset();
        k.byRow->bindInt64(k.rowidParam, k.rows[k.nextRow]);
    }
    k.unmatched.reset();
    k.byRow.reset();
    return true;
}

// The pass, `maxRows` rows at a time; after the last, the rows in their order in place of `snap`'s.
bool ResultReader::readPass(Snapshot& snap, int maxRows)
{
    Lookup& k = *lookup_;
    if (k.staged.columnCount() != snap.columnCount()) {
        std::vector<Snapshot::ColumnInfo> cols;
        for (int c = 0; c < snap.columnCount(); ++c)
            cols.push_back(snap.column(c));
        k.staged.setColumns(std::move(cols));
    }
    Statement& pass = *k.pass;
    for (int n = 0; n < maxRows; ++n) {
        if (!pass.step()) {
            putInOrder(k.ranks, k.rows.size() + 1, k.staged);
            snap.swap(k.staged);
            finish();
            return false;
        }
        std::uint32_t rank = 0;
        if (!pass.isNull(0))
            if (const auto it = k.rank.find(pass.int64(0)); it != k.rank.end())
                rank = it->second;
        k.ranks.push_back(rank);
        if (firstCol_ == 1)
            k.staged.pushRowid(pass.int64(1));
        k.staged.appendRow(pass.handle(), 1 + firstCol_, rank < kTextGroups ? static_cast<int>(rank) : -1);
    }
    return true;
}
