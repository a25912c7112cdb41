#pragma once

#include <QList>
#include <QString>
#include <vector>

class Connection;

// File versions of main.mdb. The file carries its version in PRAGMA user_version; db/schema.sql
// makes new files at the newest one. A file of an older version is brought up to date by running,
// in order, every step above its version, all in one transaction together with the new version
// number: either every step is done or the file is left as it was.
//
// Adding a step: one entry at the end of the list in upgrade.cpp (its version one above the last)
// with its SQL, and the same change in db/schema.sql together with its PRAGMA user_version.
namespace Upgrade {

struct Report;

struct Step {
    int version;      // the file's version once this step is done
    const char* sql;  // statements run as they stand; may be null
    // For a step that SQL alone cannot say (rebuilding tables from what the file holds).
    void (*run)(Connection& conn, Report& report) = nullptr;
};

// A value an upgrade could not keep in its record: the new checks refuse it. Its record stays; the
// value is cleared there and kept, with the table, rowid and field, in the table kSetAsideTable.
struct SetAside {
    QString table;
    QString field;
    int count = 0;
};

struct Report {
    int from = 0;
    int to = 0;
    QList<SetAside> setAside;
    int setAsideCount() const;
};

inline const QString kSetAsideTable = QStringLiteral("升级待核对");
// The statement that makes kSetAsideTable when a step first sets a value aside.
QString setAsideTableSql();

// The schema of main.mdb as the builds before file versions made it (version 0), one statement a
// line, kept as it was: what the steps start from, and what a file of version 0 is checked against.
const char* versionZeroSchema();

// The program's steps, oldest first.
const std::vector<Step>& steps();
// The newest version a list of steps reaches (0 for an empty list).
int newestVersion(const std::vector<Step>& list = steps());

int fileVersion(Connection& conn);

// Brings the open file up to the list's newest version. A file already there is not touched; a
// file newer than the list raises DbError and is not touched either. A failing step raises DbError
// after the whole upgrade has been rolled back.
Report run(Connection& conn, const std::vector<Step>& list = steps());

}  // namespace Upgrade
