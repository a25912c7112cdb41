#pragma once

#include <QString>

// The pieces of SQL text made from names and values: the one quoting helper of the program. Values
// otherwise reach a statement as bound parameters.

// The name under which every connection knows the Chinese order of texts (see pinyinorder.h). The
// collation lives on the connection only: the file needs none and any SQLite tool reads it.
inline constexpr const char kPinyinCollation[] = "PINYIN";

// An ORDER BY term that puts the column's texts in Chinese order (names by their pinyin); numbers
// keep their order: "<column> COLLATE PINYIN".
QString inChineseOrder(const QString& column);

// A value as an SQL text literal: between single quotes, inner quotes doubled.
QString sqlQuote(const QString& value);
// A table or field name as an SQL identifier: between double quotes, inner quotes doubled.
QString sqlName(const QString& name);
