#pragma once

#include <QString>

// The statements of the windows are written in the dialect of the original database engine.
// translateSql() rewrites the few constructs that SQLite reads differently:
//   #m-d-yy# and #m-d-yyyy# date literals      -> 'yyyy-mm-dd'
//   delete * from T                           -> delete from T
//   查询.月份.月份                              -> 查询."月份.月份"
//   A RIGHT JOIN B ON c                       -> B LEFT JOIN A ON c (same rows, index-friendly)
// Quoted texts are never touched.
QString translateSql(const QString& sql);

// A value as an SQL text literal: between single quotes, inner quotes doubled.
QString sqlQuote(const QString& value);
// A table or field name as an SQL identifier: between double quotes, inner quotes doubled.
QString sqlName(const QString& name);

// The year of a two-digit year literal: 00 to 29 are 2000 to 2029, 30 to 99 are 1930 to 1999.
int expandTwoDigitYear(int yy);
