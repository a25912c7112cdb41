#pragma once

#include <QString>
#include <memory>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
class SyncRecorder;

// The one connection to main.mdb. Opening never creates a file: a missing, locked or unreadable
// file is reported as a DbError.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the file; a connection that is already open is left untouched. A read-only connection
    // never writes, not even to roll back a journal left by a crash.
    void open(const QString& path, bool readOnly = false);
    // Opens a new empty database in memory (to build a schema for comparison).
    void openInMemory();
    bool isOpen() const { return db_ != nullptr; }
    void close();
    const QString& path() const { return path_; }

    // Runs the statements of the text in turn; their result rows, if any, are discarded.
    void execute(const QString& sql);
    // Number of rows changed by the last statement.
    int changes() const;
    // Rows inserted, changed or deleted through this connection since it was opened.
    qint64 totalChanges() const;

    sqlite3* handle() const { return db_; }

    // What this file records of its changes for the family's other computers, and the keys of its
    // new rows (db/syncrecorder.h); null for a file without them (an older version, a file in
    // memory). Made when the file is opened, or when first asked for after an upgrade.
    SyncRecorder* sync();

    // Told of every transaction committed that changed the file, with the names of the file's
    // tables it changed (a change of temporary tables alone is not told); empty when the engine did
    // not name them (a table emptied at once). It is called from within the engine's commit: it
    // must not use the connection, and a commit that fails after all has been told too. It stays
    // for every file this connection opens.
    using CommitListener = std::function<void(const QStringList& tables)>;
    void setCommitListener(CommitListener listener);

    // Raises a DbError built from the engine's last error on this connection.
    [[noreturn]] void raise(int rc, const QString& sql) const;

private:
    friend class Transaction;
    friend class SyncRecorder;  // its session started or ended, the hooks are set again
    void setUp(sqlite3* db, const QString& path);
    void watchCommits();

    sqlite3* db_ = nullptr;
    QString path_;
    bool readOnly_ = false;
    std::unique_ptr<SyncRecorder> sync_;
    CommitListener listener_;
    // The file's tables that the transaction under way changed.
    std::vector<std::string> changedTables_;
};

// The settings every connection to a household file gets before it reads anything: the file's
// schema cannot call the program's functions or write to the schema itself (defensive mode,
// trusted_schema off), every page read is checked for sizes that would run past its end, and a
// commit is on the disk when it returns (synchronous EXTRA: the rollback journal's removal, which
// is what makes a commit final, is flushed with its folder; under FULL a power cut can bring the
// journal back and roll the commit back at the next opening). Returns SQLite's code (SQLITE_OK when
// all are set).
int applySafeSettings(sqlite3* db);

// Runs a block of statements as one transaction: rolled back on destruction unless committed.
class Transaction {
public:
    explicit Transaction(Connection& conn);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& conn_;
    bool done_ = false;
};
