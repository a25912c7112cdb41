#include "syncversions.h"

#include "connection.h"
#include "dberror.h"
#include "sqltext.h"
#include "statement.h"

#include <sqlite3.h>

namespace SyncVersions {

namespace {

QString stampText(const QList<std::int64_t>& stamps)
{
    QStringList parts;
    for (const std::int64_t s : stamps)
        parts << QString::number(s);
    return parts.join(u',');
}

QList<std::int64_t> stampsOf(const QString& text)
{
    QList<std::int64_t> out;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts))
        out << part.toLongLong();
    return out;
}

// An iterator over a changeset, finalised when it goes out of scope.
class Changes {
public:
    explicit Changes(const QByteArray& changeset)
    {
        if (sqlite3changeset_start(&it_, static_cast<int>(changeset.size()), const_cast<char*>(changeset.constData())) != SQLITE_OK)
            it_ = nullptr;
    }
    ~Changes()
    {
        if (it_)
            sqlite3changeset_finalize(it_);
    }
    Changes(const Changes&) = delete;
    Changes& operator=(const Changes&) = delete;
    sqlite3_changeset_iter* get() const { return it_; }

private:
    sqlite3_changeset_iter* it_ = nullptr;
};

}  // namespace

QByteArray keyOf(const SyncTables::Row& keyValues)
{
    return SyncTables::encode(keyValues);
}

Store::Store(Connection& conn)
    : read_(std::make_unique<Statement>(conn, QStringLiteral("SELECT 时刻, 来源, 旧值, 删除时刻 FROM %1 WHERE 表 = ? AND 键 = ?")
                                                  .arg(sqlName(SyncTables::kVersionsTable)))),
      write_(std::make_unique<Statement>(conn, QStringLiteral("INSERT OR REPLACE INTO %1 (表, 键, 时刻, 来源, 旧值, 删除时刻) VALUES (?, ?, ?, ?, ?, ?)")
                                                   .arg(sqlName(SyncTables::kVersionsTable))))
{
}

Store::~Store() = default;

Version Store::read(const QString& table, const QByteArray& key)
{
    Version v;
    read_->reset();
    read_->bind(1, table);
    read_->bindBlob(2, key);
    if (read_->step()) {
        v.found = true;
        v.stamps = stampsOf(read_->text(0));
        v.origin = read_->text(1);
        if (!read_->isNull(2)) {
            v.deleted = SyncTables::decode(read_->blob(2));
            v.deletedAt = read_->int64(3);
        }
    }
    read_->reset();
    return v;
}

void Store::write(const QString& table, const QByteArray& key, const Version& v)
{
    write_->reset();
    write_->bind(1, table);
    write_->bindBlob(2, key);
    write_->bind(3, stampText(v.stamps));
    write_->bind(4, v.origin);
    if (v.deleted) {
        write_->bindBlob(5, SyncTables::encode(*v.deleted));
        write_->bindInt64(6, v.deletedAt);
    } else {
        write_->bind(5, QVariant());
        write_->bind(6, QVariant());
    }
    write_->step();
    write_->reset();
}

void recordChangeset(Connection& conn, const QByteArray& changeset, std::int64_t stamp, const QString& machine)
{
    Changes changes(changeset);
    if (!changes.get())
        throw DbError(DbError::Other, SQLITE_CORRUPT, QStringLiteral("a changeset that cannot be read"));
    std::unique_ptr<Store> store;  // prepared at the first change noted (a posting notes none)
    sqlite3_changeset_iter* it = changes.get();
    const char* lastName = nullptr;
    QString table;
    const SyncTables::Table* t = nullptr;
    while (sqlite3changeset_next(it) == SQLITE_ROW) {
        const char* name = nullptr;
        int columns = 0, op = 0, indirect = 0;
        sqlite3changeset_op(it, &name, &columns, &op, &indirect);
        if (name != lastName) {  // the changes of one table come together
            lastName = name;
            table = QString::fromUtf8(name);
            t = SyncTables::find(table);
        }
        if (!t || (op == SQLITE_INSERT && !t->stampInserts))
            continue;
        if (!store)
            store = std::make_unique<Store>(conn);
        unsigned char* pk = nullptr;
        int pkColumns = 0;
        sqlite3changeset_pk(it, &pk, &pkColumns);
        SyncTables::Row key;
        for (int c = 0; c < columns; ++c) {
            if (!pk[c])
                continue;
            sqlite3_value* v = nullptr;
            if (op == SQLITE_INSERT)
                sqlite3changeset_new(it, c, &v);
            else
                sqlite3changeset_old(it, c, &v);
            key << SyncTables::Value::of(v);
        }
        const QByteArray k = keyOf(key);
        Version v = op == SQLITE_INSERT ? Version() : store->read(table, k);
        v.stamps.resize(columns, 0);
        v.origin = machine;
        v.deleted.reset();
        if (op == SQLITE_DELETE) {
            // A deletion changes no field: it is noted beside them, with what the row held.
            SyncTables::Row old;
            for (int c = 0; c < columns; ++c) {
                sqlite3_value* value = nullptr;
                sqlite3changeset_old(it, c, &value);
                old << SyncTables::Value::of(value);
            }
            v.deleted = old;
            v.deletedAt = stamp;
        } else {
            for (int c = 0; c < columns; ++c) {
                sqlite3_value* changed = nullptr;
                if (op == SQLITE_INSERT || (sqlite3changeset_new(it, c, &changed) == SQLITE_OK && changed))
                    v.stamps[c] = stamp;
            }
        }
        store->write(table, k, v);
    }
}

}  // namespace SyncVersions
