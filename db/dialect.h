#pragma once

#include <QString>
#include <optional>

// The statements of the windows are written in the dialect of the original database engine.
// translateSql() rewrites the few constructs that SQLite reads differently:
//   #m-d-yy# and #m-d-yyyy# date literals      -> 'yyyy-mm-dd'
//   delete * from T                           -> delete from T
//   查询.月份.月份                              -> 查询."月份.月份"
//   A RIGHT JOIN B ON c                       -> B LEFT JOIN A ON c (same rows, index-friendly)
//   ORDER BY [T.]column                       -> ORDER BY [T.]column COLLATE PINYIN
// The last makes every ordering by a column put its texts in Chinese order (names by their pinyin,
// see pinyinorder.h); numbers keep their order, and a term that names its collation keeps it. The
// collation lives on the connection only: the file needs none and any SQLite tool reads it.
// Quoted texts are never touched.
QString translateSql(const QString& sql);

// The year of a two-digit year literal: 00 to 29 are 2000 to 2029, 30 to 99 are 1930 to 1999.
int expandTwoDigitYear(int yy);

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
// Splits a statement in SQLite's own syntax (as translateSql() gives it) of that form; nothing for
// any other statement.
std::optional<LookupOrder> lookupOrder(const QString& sqliteSql);
