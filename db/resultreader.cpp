#include "resultreader.h"

#include "connection.h"
#include "dberror.h"
#include "dialect.h"
#include "snapshot.h"
#include "statement.h"

#include <sqlite3.h>

namespace {

// A longer table is read the ordinary way: one statement per row would cost more than the sort.
constexpr int kMaxLookupRows = 1000;

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

// Whether some rows of the first table may join no row of the ordering table. When the join is an
// equality of two text columns of one collation, each distinct value of the first table's column is
// looked up, from the indexes: a few seeks for each of at most `tableRows` values, where a scan of the
// whole first table would take a good part of the load. Any doubt answers "may".
bool mayBeUnmatched(Connection& conn, const LookupOrder& o, std::size_t tableRows)
{
    QByteArray keyCollation, columnCollation;
    if (o.key.isEmpty() || !textColumn(conn, o.table, o.key, keyCollation)
        || !textColumn(conn, o.root, o.rootColumn, columnCollation) || keyCollation != columnCollation)
        return true;
    try {
        const QString col = o.rootColumn;
        Statement nulls(conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 IS NULL LIMIT 1").arg(o.root, col));
        if (nulls.step())
            return true;  // a null joins nothing
        Statement first(conn, QStringLiteral("SELECT min(%2) FROM %1").arg(o.root, col));
        Statement next(conn, QStringLiteral("SELECT min(%2) FROM %1 WHERE %2 > ?1").arg(o.root, col));
        Statement match(conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?1 LIMIT 1").arg(o.table, o.key));
        Statement* values = &first;
        for (std::size_t n = 0;; ++n) {
            values->step();
            sqlite3_value* v = sqlite3_value_dup(sqlite3_column_value(values->handle(), 0));
            values->reset();
            const bool last = !v || sqlite3_value_type(v) == SQLITE_NULL;
            bool found = false;
            if (!last && n < tableRows) {
                sqlite3_bind_value(match.handle(), 1, v);
                found = match.step();
                match.reset();
                sqlite3_bind_value(next.handle(), 1, v);
            }
            sqlite3_value_free(v);
            if (last)
                return false;  // every value has its row
            if (!found)
                return true;
            values = &next;
        }
    } catch (const DbError&) {
        return true;
    }
}

}  // namespace

struct ResultReader::Keyed {
    std::unique_ptr<Statement> unmatched;  // the rows that join no row of the table, if there can be any
    std::unique_ptr<Statement> byRow;      // the rows that join one row of it, given by rowid
    int rowidParam = 0;
    std::vector<std::int64_t> rowids;      // the table's rows in the order of the column
    std::size_t next = 0;                  // the next of them to read
    bool onUnmatched = true;
};

ResultReader::ResultReader(Connection& conn, std::unique_ptr<Statement> st, int firstCol, const QVariantList& params)
    : st_(std::move(st)), firstCol_(firstCol)
{
    keyed_ = planByLookup(conn, *st_, params);
    if (keyed_)
        st_.reset();  // read in its place
    if (keyed_ && !keyed_->unmatched)
        advance();  // every row joins one of the table: straight to its first row
}

ResultReader::~ResultReader()
{
    finish();
}

// The statements are done with: their memory is given back at once.
void ResultReader::finish()
{
    done_ = true;
    keyed_.reset();
    st_.reset();
}

std::unique_ptr<ResultReader::Keyed> ResultReader::planByLookup(Connection& conn, const Statement& st,
                                                                const QVariantList& params)
{
    const auto split = lookupOrder(QString::fromUtf8(sqlite3_sql(st.handle())));
    if (!split)
        return nullptr;
    try {
        auto k = std::make_unique<Keyed>();
        Statement rows(conn,
                       QStringLiteral("SELECT rowid FROM ") + split->table + QStringLiteral(" ORDER BY ") + split->column
                           + (split->collation.isEmpty() ? QString() : QStringLiteral(" COLLATE ") + split->collation)
                           + QStringLiteral(" LIMIT ") + QString::number(kMaxLookupRows + 1));
        while (rows.step())
            k->rowids.push_back(sqlite3_column_int64(rows.handle(), 0));
        if (k->rowids.size() > static_cast<std::size_t>(kMaxLookupRows))
            return nullptr;

        k->rowidParam = sqlite3_bind_parameter_count(st.handle()) + 1;
        const QString byRow = split->select + QStringLiteral(" WHERE ") + split->table + QStringLiteral(".rowid = ?")
            + QString::number(k->rowidParam);
        // Worth it only when every table is reached through an index: a scan for each row of the
        // ordering table would cost far more than the one sort.
        Statement plan(conn, QStringLiteral("EXPLAIN QUERY PLAN ") + byRow);
        while (plan.step()) {
            const QString detail = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(plan.handle(), 3)));
            if (detail.startsWith(QLatin1String("SCAN")) || detail.contains(QLatin1String("AUTOMATIC"))
                || detail.contains(QLatin1String("TEMP B-TREE")))
                return nullptr;
        }
        k->byRow = std::make_unique<Statement>(conn, byRow);
        for (int i = 0; i < params.size(); ++i)
            k->byRow->bind(i + 1, params[i]);
        if (mayBeUnmatched(conn, *split, k->rowids.size())) {
            k->unmatched = std::make_unique<Statement>(
                conn,
                split->select + QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM ") + split->table + QStringLiteral(" WHERE ")
                    + split->on + QLatin1Char(')'));
            for (int i = 0; i < params.size(); ++i)
                k->unmatched->bind(i + 1, params[i]);
        }
        return k;
    } catch (const DbError&) {
        return nullptr;  // read the ordinary way
    }
}

Statement* ResultReader::current()
{
    if (done_)
        return nullptr;
    if (!keyed_)
        return st_.get();
    return keyed_->onUnmatched ? keyed_->unmatched.get() : keyed_->byRow.get();
}

// The statement in hand is exhausted: on to the next row of the ordering table. False at the end.
bool ResultReader::advance()
{
    if (!keyed_ || keyed_->next >= keyed_->rowids.size()) {
        done_ = true;
        return false;
    }
    keyed_->onUnmatched = false;
    keyed_->byRow->reset();
    keyed_->byRow->bind(keyed_->rowidParam, QVariant(static_cast<qlonglong>(keyed_->rowids[keyed_->next++])));
    return true;
}

bool ResultReader::read(Snapshot& snap, int maxRows)
{
    for (int n = 0; n < maxRows;) {
        Statement* st = current();
        if (!st)
            return false;
        if (!st->step()) {
            if (!advance()) {
                finish();
                return false;
            }
            continue;
        }
        if (firstCol_ == 1)
            snap.pushRowid(sqlite3_column_int64(st->handle(), 0));
        snap.appendRow(st->handle(), firstCol_);
        ++n;
    }
    return true;
}
