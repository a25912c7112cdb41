#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class Connection;
struct sqlite3_stmt;
struct sqlite3_value;

// What the books of the family's computers share, and what the sync's parts say about a row:
// the tables kept in step, their fields as this file has them, values as SQLite holds them, the
// keys of rows and the clock that orders every computer's changes.
namespace SyncTables {

// How a table's rows meet a conflict (db/syncapply.h).
enum class Kind {
    Reference,   // the five lists: their ID is unique; two rows with one ID are both kept
    Ledger,      // the four ledgers whose deleted records go to the recycle bin
    Debts,       // 负债
    Bin,         // 回收站
    Plan,        // budgets and recurring templates
    Occurrence,  // 定期记录: an occurrence is posted once, whichever computer posts it
    Trade,       // 导入交易: an imported trade becomes one record, whichever computer imports it
    Remembered,  // 导入对方类型
};

struct Table {
    const char* name;
    Kind kind;
    bool keyed;  // its key, 编号, is given by the program (SyncRecorder::nextKey)
    // Whether every insert of a row carries the time it was made (the small tables, where two
    // computers may add the same row); the ledgers' inserts need none: their keys are never shared.
    bool stampInserts;
};

// The tables kept in step, in the order their changes are applied: the lists before the records
// that name them.
const QList<Table>& tables();
const Table* find(const QString& name);

// The tables whose new rows get their key from the program: the synced ones above and the two
// staging tables, which post into their ledger with their keys.
bool isKeyed(const QString& table);
// The table whose key range a table shares (a staging table: its ledger).
QString keyFamily(const QString& table);

// The sync's own tables, kept by each computer for itself.
inline const QString kKeysTable = QStringLiteral("同步键");
inline const QString kOutboxTable = QStringLiteral("同步发件");
inline const QString kProgressTable = QStringLiteral("同步进度");
inline const QString kVersionsTable = QStringLiteral("同步版本");
inline const QString kLogTable = QStringLiteral("同步日志");

// Whether the file open on `conn` has the sync's tables (version 6 on).
bool fileHasSync(Connection& conn);

// One value as SQLite holds it: null, a whole number, a real, a text (UTF-8) or bytes.
struct Value {
    int type = 5;  // SQLITE_NULL
    std::int64_t i = 0;
    double r = 0;
    QByteArray bytes;

    static Value of(sqlite3_value* v);
    static Value column(sqlite3_stmt* st, int col);
    static Value integer(std::int64_t v);
    static Value text(const QString& s);
    bool isNull() const;
    // The same kind and the same value (100 is not 100.0, "a" is not "A").
    bool operator==(const Value& o) const;
    bool operator!=(const Value& o) const { return !(*this == o); }
    // An order of all values (kind first) that every computer computes alike.
    int compare(const Value& o) const;
    void bind(sqlite3_stmt* st, int index) const;
    // For the user: the text, the number as stored, "空" for null.
    QString shown() const;
};
using Row = QList<Value>;

// Values as bytes and back (keys of 同步版本, the values a deleted row held).
QByteArray encode(const Row& values);
Row decode(const QByteArray& bytes);
int compareRows(const Row& a, const Row& b);

// A table's fields as this file has them.
struct Shape {
    QString table;
    QStringList fields;
    QStringList types;       // as declared
    QList<bool> primaryKey;  // per field
    QList<int> keyFields() const;
    int indexOf(const QString& field) const { return static_cast<int>(fields.indexOf(field)); }
};
Shape shapeOf(Connection& conn, const QString& table);

// The clock that orders every computer's changes: milliseconds since 1970 in the high bits, a tag
// of the computer's name in the low 12, so that two computers' changes never tie; a change made
// after another was seen is always later, whatever the two clocks say.
std::int64_t stampOf(std::int64_t milliseconds, const QString& machine);
std::int64_t millisecondsOf(std::int64_t stamp);

// This computer, as the files it writes name it: a hash of the system's machine id (never the id
// itself). Tests give each of their simulated computers its own (the file's folder, for example).
QString machineIdentity(const QString& databasePath);
void setMachineIdentityForTests(std::function<QString(const QString& databasePath)> identity);

}  // namespace SyncTables
