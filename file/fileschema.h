#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Connection;

// The objects a household file's schema holds (its tables, indexes, the query 查询 and whatever
// else sqlite_master lists), compared with those its version is made of. What a version is made of
// is not written down a second time: it is built in memory from the schema of version 0 and the
// upgrade steps up to that version, the same code that brings a file there.
namespace FileSchema {

struct Object {
    QString type;   // table, index, view, trigger
    QString name;
    QString table;  // the table it belongs to
    QString sql;    // its definition, normalised
};

// A definition without comments and spacing, its names unquoted and in lower case as SQLite reads
// them, its texts in quotes as they are: two spellings of one definition give one text.
QString normalisedSql(const QString& sql);

// The objects of the file open on `conn`, SQLite's own (automatic indexes, statistics) left out.
QList<Object> objectsOf(Connection& conn);

// The objects a file of `version` holds, and those it may hold besides (the table of the values an
// upgrade set aside).
struct Expected {
    QList<Object> required, optional;
};
const Expected& expected(int version);

// What differs between the file and its version, one Chinese phrase per object: an object the
// version does not make, one it makes that is missing, one defined otherwise. Empty for a file that
// is exactly what its version makes.
QStringList differences(Connection& conn, int version);

}  // namespace FileSchema
