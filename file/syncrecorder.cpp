#include "syncrecorder.h"

#include "connection.h"
#include "dberror.h"
#include "ledger.h"
#include "settings.h"
#include "sqltext.h"
#include "statement.h"
#include "syncversions.h"
#include "synctables.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <utility>
#include <sqlite3.h>

namespace {

const QString kNodeSetting = QStringLiteral("同步节点");
const QString kNameSetting = QStringLiteral("本机名称");

std::function<void()>& onRecorded()
{
    static std::function<void()> f;
    return f;
}

constexpr std::int64_t kRange = std::int64_t(1) << 32;
// Nodes stay below 2^30: keys below 2^62. The recycle bin's entries for conflicts, which every
// computer makes alike, take their keys from above (db/syncapply.cpp).
constexpr std::int64_t kNodes = std::int64_t(1) << 30;

}  // namespace

SyncRecorder::SyncRecorder(Connection& conn) : conn_(conn)
{
    identity_ = SyncTables::machineIdentity(conn_.path());
    Statement st(conn_, QStringLiteral("SELECT max(时刻) FROM (SELECT max(时刻) AS 时刻 FROM %1 UNION ALL SELECT max(时刻) FROM %2)")
                            .arg(sqlName(SyncTables::kProgressTable), sqlName(SyncTables::kOutboxTable)));
    if (st.step())
        lastStamp_ = st.int64(0);
    refresh();
}

SyncRecorder::~SyncRecorder()
{
    endSession();
}

void SyncRecorder::refresh()
{
    machine_ = Settings::value(conn_, kNameSetting, QString());
    if (machine_.isEmpty())
        endSession();
    else if (!session_)
        startSession();
}

void SyncRecorder::startSession()
{
    sqlite3* db = conn_.handle();
    if (sqlite3session_create(db, "main", &session_) != SQLITE_OK) {
        session_ = nullptr;
        throw DbError(DbError::Other, SQLITE_NOMEM, QStringLiteral("cannot record changes"));
    }
    for (const SyncTables::Table& t : SyncTables::tables()) {
        if (sqlite3session_attach(session_, t.name) != SQLITE_OK) {
            endSession();
            throw DbError(DbError::Other, SQLITE_ERROR, QStringLiteral("cannot record the table ") + QString::fromUtf8(t.name));
        }
    }
    conn_.watchCommits();  // its hooks tell this recorder of every write and commit
}

void SyncRecorder::endSession()
{
    if (!session_)
        return;
    sqlite3session_delete(session_);
    session_ = nullptr;
    conn_.watchCommits();
}

void SyncRecorder::renewSession()
{
    const bool enabled = session_ && sqlite3session_enable(session_, -1);
    endSession();
    startSession();
    if (!enabled)
        sqlite3session_enable(session_, 0);
}

void SyncRecorder::noteWrite(void* self, int op, const char*, const char* table, long long)
{
    auto* r = static_cast<SyncRecorder*>(self);
    if (r->lastTable_ != table) {
        r->lastTable_ = table;
        r->lastKept_ = SyncTables::find(QString::fromUtf8(table));
    }
    const SyncTables::Table* kept = r->lastKept_;
    if (!kept)
        return;
    if (!r->inTransaction_)
        r->unrecordedWrite_ = true;
    else if (op != SQLITE_INSERT || kept->stampInserts)
        r->versionsToNote_ = true;
}

int SyncRecorder::vetoUnrecordedCommit(void* self)
{
    // What a Transaction writes is recorded before its COMMIT; a table kept in step written outside
    // one could not be: the engine rolls that write back.
    auto* r = static_cast<SyncRecorder*>(self);
    return std::exchange(r->unrecordedWrite_, false) ? 1 : 0;
}

void SyncRecorder::setOnRecorded(std::function<void()> told)
{
    onRecorded() = std::move(told);
}

std::int64_t SyncRecorder::node()
{
    if (node_)
        return *node_;
    const QStringList stored = Settings::value(conn_, kNodeSetting, QString()).split(u' ');
    bool ok = false;
    const std::int64_t n = stored.value(0).toLongLong(&ok);
    if (ok && n > 0 && n < kNodes && stored.value(1) == identity_) {
        node_ = n;
        return n;
    }
    if (sqlite3_get_autocommit(conn_.handle()))
        throw DbError(DbError::Other, SQLITE_MISUSE, QStringLiteral("a key is given within a transaction"));
    QSet<std::int64_t> taken;
    Statement others(conn_, QStringLiteral("SELECT 节点 FROM %1 WHERE 节点 IS NOT NULL").arg(sqlName(SyncTables::kProgressTable)));
    while (others.step())
        taken << others.int64(0);
    std::int64_t fresh = 0;
    while (fresh == 0 || taken.contains(fresh) || (ok && fresh == n))
        fresh = static_cast<std::int64_t>(QRandomGenerator::system()->bounded(quint64(kNodes)));
    Settings::setValue(conn_, kNodeSetting, QStringLiteral("%1 %2").arg(fresh).arg(identity_));
    node_ = fresh;
    return fresh;
}

std::int64_t SyncRecorder::firstKey()
{
    return node() * kRange;
}

std::int64_t SyncRecorder::lastKey()
{
    return node() * kRange + kRange - 1;
}

void SyncRecorder::forgetNode()
{
    node_.reset();
    nextKeys_.clear();
    Settings::setValue(conn_, kNodeSetting, QString());
}

std::optional<std::int64_t> SyncRecorder::nextKey(const QString& table)
{
    if (!SyncTables::isKeyed(table))
        return std::nullopt;
    const QString family = SyncTables::keyFamily(table);
    if (const auto it = nextKeys_.find(family); it != nextKeys_.end())
        return it->second++;
    const std::int64_t n = node();
    const std::int64_t low = n * kRange, high = low + kRange - 1;
    std::int64_t next = low + 1;
    QStringList members{family};
    if (const std::optional<Ledger> ledger = Ledger::ofTable(family); ledger && !ledger->stagingTable().isEmpty())
        members << ledger->stagingTable();
    for (const QString& t : members) {
        Statement st(conn_, QStringLiteral("SELECT max(编号) FROM %1 WHERE 编号 BETWEEN ? AND ?").arg(sqlName(t)));
        st.bindInt64(1, low);
        st.bindInt64(2, high);
        if (st.step() && !st.isNull(0))
            next = std::max(next, st.int64(0) + 1);
    }
    Statement kept(conn_, QStringLiteral("SELECT 下一个 FROM %1 WHERE 表 = ? AND 节点 = ?").arg(sqlName(SyncTables::kKeysTable)));
    kept.bind(1, family);
    kept.bindInt64(2, n);
    if (kept.step())
        next = std::max(next, kept.int64(0));
    if (next > high)
        throw DbError(DbError::Overflow, SQLITE_FULL, QStringLiteral("no key left in this computer's range of ") + family);
    nextKeys_[family] = next + 1;
    return next;
}

void SyncRecorder::flushKeys()
{
    if (nextKeys_.empty())
        return;
    Statement st(conn_, QStringLiteral("INSERT OR REPLACE INTO %1 (表, 节点, 下一个) VALUES (?, ?, ?)").arg(sqlName(SyncTables::kKeysTable)));
    for (const auto& [family, next] : nextKeys_) {
        st.reset();
        st.bind(1, family);
        st.bindInt64(2, *node_);
        st.bindInt64(3, next);
        st.step();
    }
    nextKeys_.clear();
}

std::int64_t SyncRecorder::nextStamp()
{
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    const std::int64_t ms = std::max(now, SyncTables::millisecondsOf(lastStamp_) + 1);
    lastStamp_ = SyncTables::stampOf(ms, machine_);
    return lastStamp_;
}

void SyncRecorder::sawStamp(std::int64_t stamp)
{
    lastStamp_ = std::max(lastStamp_, stamp);
}

void SyncRecorder::beginning()
{
    // Whatever the session holds now was written and then rolled back, or refused: it is not
    // this transaction's.
    recordedInTransaction_ = false;
    if (session_ && !sqlite3session_isempty(session_))
        renewSession();
    inTransaction_ = true;
    unrecordedWrite_ = false;
    versionsToNote_ = false;
}

void SyncRecorder::committing()
{
    if (session_ && !sqlite3session_isempty(session_))
        capture();
    flushKeys();
}

void SyncRecorder::committed()
{
    inTransaction_ = false;
    if (std::exchange(recordedInTransaction_, false) && onRecorded())
        onRecorded()();
}

void SyncRecorder::rolledBack()
{
    inTransaction_ = false;
    nextKeys_.clear();
    node_.reset();  // a node made in the transaction was not kept
    recordedInTransaction_ = false;
}

void SyncRecorder::capture()
{
    int size = 0;
    void* bytes = nullptr;
    const int rc = sqlite3session_changeset(session_, &size, &bytes);
    if (rc != SQLITE_OK)
        conn_.raise(rc, QStringLiteral("sqlite3session_changeset"));
    const QByteArray changeset(static_cast<const char*>(bytes), size);
    sqlite3_free(bytes);
    renewSession();
    if (changeset.isEmpty())
        return;
    const std::int64_t stamp = nextStamp();
    // The engine tells the update hook of every row written but those a REPLACE removes, which
    // nothing here writes to a table kept in step.
    if (std::exchange(versionsToNote_, false))
        SyncVersions::recordChangeset(conn_, changeset, stamp, machine_);

    QJsonObject applied;
    std::int64_t sequence = 0;
    {
        Statement st(conn_, QStringLiteral("SELECT 机器, 序号 FROM %1").arg(sqlName(SyncTables::kProgressTable)));
        while (st.step()) {
            if (st.text(0).compare(machine_, Qt::CaseInsensitive) == 0)
                sequence = std::max(sequence, st.int64(1));
            else
                applied.insert(st.text(0), qint64(st.int64(1)));
        }
    }
    {
        Statement st(conn_, QStringLiteral("SELECT max(序号) FROM %1").arg(sqlName(SyncTables::kOutboxTable)));
        if (st.step() && !st.isNull(0))
            sequence = std::max(sequence, st.int64(0));
    }
    Statement put(conn_, QStringLiteral("INSERT INTO %1 (序号, 机器, 标识, 时刻, 依赖, 内容) VALUES (?, ?, ?, ?, ?, ?)")
                             .arg(sqlName(SyncTables::kOutboxTable)));
    put.bindInt64(1, sequence + 1);
    put.bind(2, machine_);
    put.bind(3, identity_);
    put.bindInt64(4, stamp);
    put.bind(5, QString::fromUtf8(QJsonDocument(applied).toJson(QJsonDocument::Compact)));
    put.bindBlob(6, changeset);
    put.step();
    recordedInTransaction_ = true;
}

SyncRecorder::Quiet::Quiet(SyncRecorder* r) : r_(r)
{
    if (r_ && r_->session_) {
        was_ = sqlite3session_enable(r_->session_, -1) != 0;
        sqlite3session_enable(r_->session_, 0);
    }
}

SyncRecorder::Quiet::~Quiet()
{
    if (r_ && r_->session_)
        sqlite3session_enable(r_->session_, was_ ? 1 : 0);
}

SyncRecorder::Recorded::Recorded(SyncRecorder* r) : r_(r)
{
    if (r_ && r_->session_) {
        was_ = sqlite3session_enable(r_->session_, -1) != 0;
        sqlite3session_enable(r_->session_, 1);
    }
}

SyncRecorder::Recorded::~Recorded()
{
    if (r_ && r_->session_)
        sqlite3session_enable(r_->session_, was_ ? 1 : 0);
}

std::optional<std::int64_t> newRowKey(Connection& conn, const QString& table)
{
    SyncRecorder* sync = conn.sync();
    return sync ? sync->nextKey(table) : std::nullopt;
}
