#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <cstdint>
#include <optional>

class Connection;

// One record of a ledger, found by its own row (its rowid), never by its values: two identical
// records stay two. It can be read, corrected, moved to the recycle bin and put back from there.
// Every write is one transaction: a write the file refuses changes nothing and raises DbError.
//
// The recycle bin (kBinTable) holds the records deleted from the income, expense, investment and bank
// ledgers: which ledger, the record's rowid there, when it was deleted, and every field of the record
// under the ledger's own field name (the fields another ledger has stay empty). The statistics, the
// year summary and the queries read the ledgers only, so a record in the bin counts nowhere.
namespace LedgerRows {

inline const QString kBinTable = QStringLiteral("回收站");

// The ledgers whose records can be corrected and deleted.
bool isLedger(const QString& table);
// The ledger's fields, in table order.
QStringList fields(const QString& ledger);

// The record's values in field order, exactly as stored (whole numbers, reals, texts, nulls); nothing
// when the ledger has no such row.
std::optional<QVariantList> read(Connection& conn, const QString& ledger, std::int64_t rowid);

// Whether two records hold the same values, kind and all (100 is not 100.0, "a" is not "A").
bool sameValues(const QVariantList& a, const QVariantList& b);

// Writes `to` (in field order) over the record if it still holds `from`, and returns what the file
// holds afterwards. Nothing, and nothing written, when the record is gone or holds something else.
std::optional<QVariantList> correct(Connection& conn, const QString& ledger, std::int64_t rowid,
                                    const QVariantList& from, const QVariantList& to);

// Moves the record into the bin, stamped `when`, and returns its number there. DbError (NoRow) when
// the ledger has no such row.
std::int64_t moveToBin(Connection& conn, const QString& ledger, std::int64_t rowid, const QDateTime& when);

struct Restored {
    QString ledger;
    std::int64_t rowid = 0;
};
// Puts the bin's record `binId` back into its ledger, under its old rowid when no other record has
// taken it, with every value as it was. Nothing when the bin holds no such record.
std::optional<Restored> restoreFromBin(Connection& conn, std::int64_t binId);

// Removes every record of the bin for good; returns how many there were.
int emptyBin(Connection& conn);

}  // namespace LedgerRows
