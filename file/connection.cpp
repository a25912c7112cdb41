#include "connection.h"

#include "dberror.h"
#include "exactsum.h"
#include "pinyinorder.h"
#include "statement.h"
#include "syncrecorder.h"
#include "synctables.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

void Connection::open(const QString& path, bool readOnly)
{
    if (db_)
        return;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw DbError(DbError::CannotOpen, SQLITE_CANTOPEN, QStringLiteral("file not found: ") + path);

    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    const int mode = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(name.constData(), &db, mode | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        const int ext = db ? sqlite3_extended_errcode(db) : rc;
        sqlite3_close(db);
        throw DbError(DbError::classify(ext, msg), ext, msg);
    }
    readOnly_ = readOnly;
    setUp(db, path);
    // A file with the sync's tables records its changes from its first write on.
    try {
        sync();
    } catch (const DbError&) {
        sync_.reset();  // asked for again at the first transaction, where a failure is the write's
    }
}

void Connection::openInMemory()
{
    if (db_)
        return;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw DbError(DbError::Other, SQLITE_NOMEM, QStringLiteral("cannot open a database in memory"));
    }
    setUp(db, QStringLiteral(":memory:"));
}

void Connection::setUp(sqlite3* db, const QString& path)
{
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);
    db_ = db;
    path_ = path;
    // The synchronous setting reads the file's header: a file that is no database, or one locked by
    // another writer, is told here as what it is.
    if (const int rc = applySafeSettings(db_); rc != SQLITE_OK) {
        const int ext = sqlite3_extended_errcode(db_);
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
        close();
        throw DbError(ext == SQLITE_OK ? DbError::Other : DbError::classify(ext, msg), ext == SQLITE_OK ? rc : ext,
                      ext == SQLITE_OK ? QStringLiteral("cannot apply the safe settings") : msg);
    }
    // The statements order names in Chinese order (inChineseOrder in sqltext.h).
    if (!PinyinOrder::registerOn(db_)) {
        close();
        throw DbError(DbError::Other, SQLITE_NOMEM, QStringLiteral("cannot register the Chinese order"));
    }
    // The totals add up amounts exactly (EXACT_SUM, exactsum.h).
    if (!ExactSum::registerOn(db_)) {
        close();
        throw DbError(DbError::Other, SQLITE_NOMEM, QStringLiteral("cannot register the exact sum"));
    }
    watchCommits();
    // Reading the schema proves that the file is a readable database and not locked by another writer.
    try {
        Statement check(*this, QStringLiteral("select count(*) from sqlite_master"));
        check.step();
    } catch (...) {
        close();
        throw;
    }
}

int applySafeSettings(sqlite3* db)
{
    int on = 0;
    int rc = sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &on);
    if (rc == SQLITE_OK && on != 1)
        rc = SQLITE_ERROR;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA trusted_schema = OFF; PRAGMA cell_size_check = ON; PRAGMA synchronous = EXTRA", nullptr,
                          nullptr, nullptr);
    return rc;
}

void Connection::setCommitListener(CommitListener listener)
{
    listener_ = std::move(listener);
    watchCommits();
}

void Connection::watchCommits()
{
    if (!db_)
        return;
    changedTables_.clear();
    const bool recording = sync_ && sync_->recording();
    if (!listener_ && !recording) {
        sqlite3_update_hook(db_, nullptr, nullptr);
        sqlite3_commit_hook(db_, nullptr, nullptr);
        sqlite3_rollback_hook(db_, nullptr, nullptr);
        return;
    }
    // One set of hooks for both who want them: the sync's recorder (a write outside a transaction of
    // the program's cannot be recorded, and is refused) and the listener (each changed row names its
    // table; the names are kept once, the last one compared first).
    sqlite3_update_hook(
        db_,
        [](void* self, int op, const char* database, const char* table, sqlite3_int64 rowid) {
            auto* c = static_cast<Connection*>(self);
            if (c->sync_ && c->sync_->recording())
                SyncRecorder::noteWrite(c->sync_.get(), op, database, table, rowid);
            if (!c->listener_ || std::strcmp(database, "main") != 0)
                return;  // nobody listens, or a temporary table
            auto& seen = c->changedTables_;
            if (!seen.empty() && seen.back() == table)
                return;
            if (std::find(seen.begin(), seen.end(), table) == seen.end())
                seen.emplace_back(table);
        },
        this);
    sqlite3_commit_hook(
        db_,
        [](void* self) {
            auto* c = static_cast<Connection*>(self);
            if (c->sync_ && c->sync_->recording() && SyncRecorder::vetoUnrecordedCommit(c->sync_.get()) != 0) {
                c->changedTables_.clear();
                return 1;  // rolled back: nothing to tell
            }
            QStringList tables;
            for (const std::string& t : c->changedTables_)
                tables << QString::fromUtf8(t.data(), qsizetype(t.size()));
            c->changedTables_.clear();
            // A transaction that wrote only temporary tables leaves the file as it was.
            if (c->listener_ && sqlite3_txn_state(c->db_, "main") == SQLITE_TXN_WRITE)
                c->listener_(tables);
            return 0;
        },
        this);
    sqlite3_rollback_hook(
        db_,
        [](void* self) {
            static_cast<Connection*>(self)->changedTables_.clear();
        },
        this);
}

void Connection::close()
{
    if (!db_)
        return;
    sync_.reset();  // its session belongs to this handle
    // Statements still open (a recordset being read) are finalized by their owners; close_v2
    // defers the close until they are.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    readOnly_ = false;
}

SyncRecorder* Connection::sync()
{
    if (!sync_ && db_ && !readOnly_ && path_ != QStringLiteral(":memory:") && SyncTables::fileHasSync(*this)) {
        sync_ = std::make_unique<SyncRecorder>(*this);
        watchCommits();  // the recorder's session, started as it was made, is told through the hooks
    }
    return sync_.get();
}

void Connection::execute(const QString& sql)
{
    if (!db_)
        throw DbError(DbError::CannotOpen, SQLITE_MISUSE, QStringLiteral("connection is closed"), sql);
    const QByteArray text = sql.toUtf8();
    const char* tail = text.constData();
    const char* end = text.constData() + text.size();
    while (tail && tail < end) {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &st, &tail);
        if (rc != SQLITE_OK)
            raise(rc, sql);
        if (!st)
            break;  // only blanks or a comment left
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            sqlite3_finalize(st);
            raise(rc, sql);
        }
        sqlite3_finalize(st);
    }
}

int Connection::changes() const
{
    return db_ ? sqlite3_changes(db_) : 0;
}

qint64 Connection::totalChanges() const
{
    return db_ ? sqlite3_total_changes64(db_) : 0;
}

void Connection::raise(int rc, const QString& sql) const
{
    const int ext = db_ ? sqlite3_extended_errcode(db_) : rc;
    const QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
    throw DbError(DbError::classify(ext, msg), ext, msg, sql);
}

Transaction::Transaction(Connection& conn) : conn_(conn)
{
    SyncRecorder* sync = conn_.sync();
    if (sync)
        sync->beginning();
    try {
        conn_.execute(QStringLiteral("BEGIN IMMEDIATE"));
    } catch (...) {
        // No transaction began (the file busy, say): a write outside one is still refused.
        if (sync)
            sync->rolledBack();
        throw;
    }
}

Transaction::~Transaction()
{
    if (!done_ && conn_.isOpen()) {
        sqlite3_exec(conn_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        if (conn_.sync_)
            conn_.sync_->rolledBack();
    }
}

void Transaction::commit()
{
    // The transaction's changes are recorded for the other computers in the transaction itself.
    if (conn_.sync_)
        conn_.sync_->committing();
    conn_.execute(QStringLiteral("COMMIT"));
    done_ = true;
    if (conn_.sync_)
        conn_.sync_->committed();
}
