#pragma once

#include <QVariantList>
#include <cstdint>
#include <memory>
#include <vector>

class Connection;
class Snapshot;
class Statement;

// Reads the rows of a SELECT into a snapshot in the statement's order, as many at a time as asked.
//
// The whole-ledger listings are ordered by a name from a small table that they LEFT JOIN (members,
// banks). The engine would sort the whole join before handing over the first row, which keeps a
// window empty for most of its load. Such a statement is read one row of that table at a time
// instead, in the table's order, each through the index of the join, after the rows that join no
// row of it (their name is empty, and empty sorts first). The rows are the same, in an order that
// the ORDER BY allows. Any other statement is simply stepped.
class ResultReader {
public:
    // `st` is the prepared statement; the values bound to it are given again in `params`, for the
    // statements that may be read in its place. `firstCol` is 1 when column 0 is the rowid.
    ResultReader(Connection& conn, std::unique_ptr<Statement> st, int firstCol, const QVariantList& params = {});
    ~ResultReader();
    ResultReader(const ResultReader&) = delete;
    ResultReader& operator=(const ResultReader&) = delete;

    // Appends up to `maxRows` rows; false once the last row has been read.
    bool read(Snapshot& snap, int maxRows);
    // Whether the rows come one row of the ordering table at a time.
    bool byLookup() const { return keyed_ != nullptr; }

private:
    struct Keyed;
    static std::unique_ptr<Keyed> planByLookup(Connection& conn, const Statement& st, const QVariantList& params);
    Statement* current();
    bool advance();
    void finish();

    std::unique_ptr<Statement> st_;
    std::unique_ptr<Keyed> keyed_;
    int firstCol_;
    bool done_ = false;
};
