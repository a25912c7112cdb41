#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

class Connection;

// Another computer's changeset, checked and applied to this file.
//
// Checking. A changeset comes from a folder that anything can write to: before any of it is
// applied, every change must name a table kept in step, with this file's fields and keys, and every
// value must be one the program's windows would store there (kinds, dates, months, amounts within
// what a record holds, no control characters, notes of at most 20 characters). The tables' own
// checks hold too: a change they refuse refuses the whole changeset.
//
// Conflicts lose nothing. Changes are applied field by field: a field the other computer changed
// and this one did not simply takes the new value. Where both changed one field, the later change
// wins (SyncTables::stampOf orders them); the record as the other change left it goes to the
// recycle bin with 说明 "另一台电脑同时修改" (the ledgers' records) and every such conflict is
// listed. A correction made on one computer to a record deleted on the other wins: the record comes
// back with the correction, out of the bin. A record deleted on two computers is in the bin twice,
// once for each deletion (which of them is put back is the user's to choose). Two lists' rows added with one ID and different names
// are both kept, the later one's ID followed by "-" and its computer's name. A recurring occurrence
// (or an imported trade) posted on two computers is kept once, the first posted: the other's
// record goes to the bin. Every computer settles a conflict alike, whichever changeset it sees first.
namespace SyncApply {

struct Outcome {
    int changes = 0;        // rows inserted, changed or deleted
    QStringList conflicts;  // one sentence each, for the sync window
};

class Applier;

// Checking and applying changesets within one transaction of the caller, the statements prepared
// once for all of them.
class Run {
public:
    explicit Run(Connection& conn);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // Empty when the changeset may be applied to the file; otherwise why not, in Chinese.
    QString check(const QByteArray& changeset);
    // Applies a checked changeset of computer `origin`, made at `stamp`; nothing of it is recorded
    // as this computer's own change, except the entries it puts into the recycle bin. A change the
    // file refuses raises DbError: the caller rolls back (to a savepoint, and goes on with the Run).
    Outcome apply(const QByteArray& changeset, std::int64_t stamp, const QString& origin);

private:
    std::unique_ptr<Applier> applier_;
};

// The same for one changeset.
QString check(Connection& conn, const QByteArray& changeset);
Outcome apply(Connection& conn, const QByteArray& changeset, std::int64_t stamp, const QString& origin);

// The key the recycle bin gives a record that a conflict put there: the same on every computer.
std::int64_t conflictBinKey(const QString& ledger, std::int64_t key, const QByteArray& values);

}  // namespace SyncApply
