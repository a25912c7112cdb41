#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

class Connection;
struct sqlite3_session;
namespace SyncTables {
struct Table;
}

// What a household file records of its own changes for the family's other computers, and the keys
// of its new rows. One per connection (Connection::sync()), for a file that has the sync's tables.
//
// Keys. Every row kept in step has a key, 编号, that no other computer gives: this computer's range
// is its node (a random number kept in 设置 with the machine it belongs to, so that a copy of the
// file on another computer takes a range of its own) times 2^32, and within it the keys count up
// and are never given twice (同步键 keeps the next one). Every code that inserts into such a table
// asks nextKey() for the row's key.
//
// Recording. Once this computer has a name for the sync (设置 本机名称), SQLite's session extension
// watches every table kept in step, whatever writes to it. Each Transaction that changed any of them
// takes the session's changeset before its COMMIT and keeps it in 同步发件 in the same transaction,
// with the time of the change and what this computer had applied of the others' (so the change is
// recorded exactly when it is committed); it also notes when each changed field was changed
// (同步版本). A write outside a Transaction to a table kept in step is refused by the engine
// (SQLITE_CONSTRAINT_COMMITHOOK): it could not be recorded with its commit.
class SyncRecorder {
public:
    explicit SyncRecorder(Connection& conn);
    ~SyncRecorder();
    SyncRecorder(const SyncRecorder&) = delete;
    SyncRecorder& operator=(const SyncRecorder&) = delete;

    // The key for a new row of `table` (within a write transaction); nothing for a table whose
    // rows get no key from the program.
    std::optional<std::int64_t> nextKey(const QString& table);
    // This computer's node (made on first need, within a write transaction), and the first and last
    // key of its range.
    std::int64_t node();
    std::int64_t firstKey();
    std::int64_t lastKey();
    // The file was put back from a backup, or another computer uses the node: the next key comes
    // from a new range. Writes 设置 in its own transaction unless one is open.
    void forgetNode();

    // Reads 本机名称 from 设置 again and starts or stops recording accordingly.
    void refresh();
    bool isRecording() const { return session_ != nullptr; }
    const QString& machine() const { return machine_; }

    // The clock of the sync (SyncTables::stampOf): the next stamp, later than every one seen.
    std::int64_t nextStamp();
    void sawStamp(std::int64_t stamp);

    // While alive, what the connection writes is not recorded (the other computers' changes being
    // applied); a nested Recorded turns recording on again for what this computer adds to them.
    class Quiet {
    public:
        explicit Quiet(SyncRecorder* r);
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        SyncRecorder* r_;
        bool was_ = false;
    };
    class Recorded {
    public:
        explicit Recorded(SyncRecorder* r);
        ~Recorded();
        Recorded(const Recorded&) = delete;
        Recorded& operator=(const Recorded&) = delete;

    private:
        SyncRecorder* r_;
        bool was_ = false;
    };

    // Called after each committed transaction that recorded a changeset (the program sends soon).
    static void setOnRecorded(std::function<void()> told);

    // The Transaction's steps.
    void beginning();
    void committing();
    void committed();
    void rolledBack();

private:
    void startSession();
    void endSession();
    void renewSession();
    void flushKeys();
    void capture();
    // Called by the connection's hooks (Connection::watchCommits) while a session records.
    friend class Connection;
    bool recording() const { return session_ != nullptr; }
    static int vetoUnrecordedCommit(void* self);
    static void noteWrite(void* self, int op, const char* database, const char* table, long long rowid);

    Connection& conn_;
    sqlite3_session* session_ = nullptr;
    QString machine_, identity_;
    std::optional<std::int64_t> node_;
    std::map<QString, std::int64_t> nextKeys_;  // by key family, within the open transaction
    std::int64_t lastStamp_ = 0;
    bool recordedInTransaction_ = false;
    bool inTransaction_ = false;     // between a Transaction's BEGIN and its end
    bool unrecordedWrite_ = false;   // a table kept in step written outside a Transaction
    // Since the last capture, a row of a table kept in step updated or deleted, or inserted where
    // inserts are noted (SyncTables::Table::stampInserts): SyncVersions has something to note. A
    // posting (inserts into a ledger only) has not, and its changeset is not read through again.
    bool versionsToNote_ = false;
    // The table the engine last told of, and whether it is kept in step (a statement writes its
    // rows one by one: the name is looked up once).
    QByteArray lastTable_;
    const SyncTables::Table* lastKept_ = nullptr;
};

// The key for a new row of `table` on this connection (SyncRecorder::nextKey); nothing for a file
// without keys or a table whose keys the engine gives. Within a write transaction.
std::optional<std::int64_t> newRowKey(Connection& conn, const QString& table);
