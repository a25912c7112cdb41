#pragma once

#include <QString>
#include <optional>

// A SELECT with no WHERE clause whose rows are ordered by one column of a table that it LEFT JOINs:
//   SELECT <list> FROM <root> ... LEFT JOIN <table> ON <on> ... ORDER BY <table>.<column> [COLLATE c] [ASC]
// The select list holds plain columns only (no function, no DISTINCT), so that each row of the
// result stands for one row of the join.
struct LookupOrder {
    QString select;  // "SELECT <list> FROM <joins>", without the ORDER BY
    QString table;
    QString column;
    QString collation;  // the term's own, empty for none
    QString on;      // the condition that joins `table`
    // When `on` is just "<table>.<key> = <root>.<rootColumn>" (either way round) with the first
    // table of the FROM clause: those names; empty otherwise.
    QString key, root, rootColumn;
};
// Splits a statement of that form; nothing for any other statement.
std::optional<LookupOrder> lookupOrder(const QString& sqliteSql);
