#pragma once

#include <QString>
#include <QVariantList>
#include <cstdint>
#include <memory>
#include <vector>

class Connection;
class Snapshot;
class Statement;

// A whole-ledger listing in the order of a name from a small table that each record names by a
// code (its member, its bank). The rows of a statement "SELECT ... FROM <ledger> LEFT JOIN <table>
// ON <table>.<key> = <ledger>.<ledgerKey> ..." (further joins allowed, no WHERE, no ORDER BY) come
// in the order of
//     <table>.<order> COLLATE <collation>, <table>.rowid, <ledger>.rowid
// that is: the records whose code names no row of the table first, then the table's rows by name,
// each with its records in the order they were put in.
struct ByLookup {
    QString ledger;     // the table of records
    QString ledgerKey;  // its column holding the code
    QString table;      // the small table
    QString key;        // the table's column the code names
    QString order;      // the table's column the rows are ordered by
    QString collation;  // empty for the column's own
};

// A SELECT in its parts: its column list and the rest (FROM, the joins, WHERE, ORDER BY), so that a
// reader can put a key before the columns by putting the parts together, never by reading the
// statement's text.
struct Select {
    QString columns;
    QString rest;

    QString text() const { return QStringLiteral("SELECT ") + columns + QLatin1Char(' ') + rest; }
    // The same with `key` as the first column.
    Select withKeyFirst(const QString& key) const { return Select{key + QStringLiteral(", ") + columns, rest}; }
    // The same followed by more of the statement (" WHERE ...", " ORDER BY ...").
    Select followedBy(const QString& more) const { return Select{columns, rest + more}; }
};

// Reads the rows of a SELECT into a snapshot, as many at a time as asked.
//
// A statement is simply stepped. A listing read by lookup is read in one pass over the ledger in the
// order it is stored, which the engine does without sorting anything, and each row is then put in
// its place by the rank of its name among the table's rows, the whole result at once when the last
// row is in. The engine's own sort would take longer, and reading the records of each name in turn
// through the ledger's index would read every page of the ledger once for each name. The first rows are
// read before the pass, so that a window shows them at once: those of the records that name no row
// (looked for only when a few index seeks cannot rule them out), then those of the table's first
// rows through that index. They are the first rows of the result, and the result read by the pass
// takes their place when it is complete.
class ResultReader {
public:
    // `firstCol` is 1 when column 0 is the rowid.
    ResultReader(std::unique_ptr<Statement> st, int firstCol);
    // `select` is the statement described by `order` (without WHERE or ORDER BY); `params` are bound
    // to its "?" marks.
    ResultReader(Connection& conn, const Select& select, const QVariantList& params, int firstCol, const ByLookup& order);
    ~ResultReader();
    ResultReader(const ResultReader&) = delete;
    ResultReader& operator=(const ResultReader&) = delete;

    // Appends up to `maxRows` rows; false once the last row has been read. A result read by lookup
    // shows only the rows read before the pass until the last row is in; then all of them at once.
    bool read(Snapshot& snap, int maxRows);
    // Whether the rows are read in one pass and put in order here (the engine could plan it so).
    bool byLookup() const { return lookup_ != nullptr; }

private:
    struct Lookup;
    static std::unique_ptr<Lookup> plan(Connection& conn, const Select& select, const QVariantList& params,
                                        const ByLookup& order);
    bool readFirstRows(Snapshot& snap, int maxRows);
    bool readPass(Snapshot& snap, int maxRows);
    void finish();

    std::unique_ptr<Statement> st_;
    std::unique_ptr<Lookup> lookup_;
    int firstCol_;
    bool done_ = false;
};

// `select` with `columns` put before its own (they come first in each row); empty when it does not
