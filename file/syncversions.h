#pragma once

#include "synctables.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class Connection;
class Statement;

// When each field of a row kept in step was last changed, by which computer, and what a deleted row
// held (the table 同步版本). A conflict between two computers' changes of one field goes to the
// later change; a correction made elsewhere to a row deleted here brings the row back.
//
// Rows of the ledgers are noted only once they are corrected or deleted: a record added and never
// changed has no conflict to settle (its key is its own), and posting stays as fast as it was.
namespace SyncVersions {

struct Version {
    bool found = false;
    QList<std::int64_t> stamps;  // per field; 0: not known (added before the sync, or never changed)
    QString origin;              // the computer of the last change
    std::optional<SyncTables::Row> deleted;  // what a deleted row held
    std::int64_t deletedAt = 0;                // and when it was deleted
    std::int64_t stampOf(int field) const { return field < stamps.size() ? stamps[field] : 0; }
};

// The key of a row in 同步版本: its primary key's values as bytes.
QByteArray keyOf(const SyncTables::Row& keyValues);

// Reads and writes 同步版本 with statements prepared once.
class Store {
public:
    explicit Store(Connection& conn);
    ~Store();
    Version read(const QString& table, const QByteArray& key);
    void write(const QString& table, const QByteArray& key, const Version& v);

private:
    std::unique_ptr<Statement> read_, write_;
};

// Notes every change of a changeset made on this computer at `stamp`.
void recordChangeset(Connection& conn, const QByteArray& changeset, std::int64_t stamp, const QString& machine);

}  // namespace SyncVersions
