#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class DbError;

// Whether a file is a sound household book that this program can open: an SQLite file that
// passes the quick integrity check, holds the twelve tables with their fields and the query 查询,
// is not of a newer version than the program, and holds exactly the objects its version makes (no
// trigger, view, table or index that another tool added, none missing or defined otherwise).
namespace FileCheck {

enum class State {
    Sound,
    Missing,       // no file at that path
    NotAFile,      // a folder or something else
    Unreadable,    // the file cannot be read (permissions)
    Empty,         // 0 bytes
    NotADatabase,  // not an SQLite file
    Damaged,       // an SQLite file that fails the integrity check
    Foreign,       // a database without the program's tables
    Newer,         // made by a newer version of the program
    Altered,       // the program's tables, yet objects added, missing or defined otherwise
    ReadOnly,      // the program could not save into it
    Locked,        // another program holds it
    DiskFull,
    Failed,        // any other failure of the engine
};

struct Report {
    State state = State::Sound;
    int version = 0;      // the file's version, when it could be read
    int newest = 0;       // the newest version the program knows
    QStringList missing;  // the tables or fields a Foreign file lacks
    QStringList altered;  // what differs in an Altered file, one phrase per object
    int code = 0;         // the engine's code, for Failed
    bool sound() const { return state == State::Sound; }
    // Unusable as it stands, while a backup could take its place: missing, empty, damaged, foreign,
    // altered.
    bool replaceable() const;
};

// Looks at the file without changing what it holds. `own` is for main.mdb itself: it is opened for
// writing (as the program will), so that a journal left by a crash is rolled back first and a file
// that cannot be written is told; a backup or a chosen file is opened read-only.
Report inspect(const QString& path, int newestVersion, bool own);

// The fields of one of the program's tables, in table order (empty for any other name).
QStringList fieldsOf(const QString& table);

// The state a failure to open or write the file stands for.
State stateOf(const DbError& error);

// One Chinese sentence or two for the user: the file, what is wrong with it and what to do. `own`
// as for inspect: the advice for main.mdb differs from that for a chosen copy.
QString describe(const Report& report, const QString& path, bool own = true);

// The five ledgers, and how many records each holds in the file (-1 where it cannot be counted).
struct Count {
    QString table;
    qint64 rows = -1;
};
QList<Count> ledgerCounts(const QString& path);

}  // namespace FileCheck
