#include "sync.h"

#include "connection.h"
#include "dberror.h"
#include "settings.h"
#include "sqltext.h"
#include "statement.h"
#include "syncapply.h"
#include "syncfile.h"
#include "syncrecorder.h"
#include "synctables.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <map>
#include <sqlite3.h>

namespace Sync {

namespace {

constexpr int kLogKept = 5000;

struct Progress {
    QString machine;
    std::int64_t sequence = 0;
    std::int64_t stamp = 0;
    std::int64_t node = 0;
};

// 同步进度 by computer (case-folded name).
std::map<QString, Progress> readProgress(Connection& conn)
{
    std::map<QString, Progress> out;
    Statement st(conn, QStringLiteral("SELECT 机器, 序号, 时刻, 节点 FROM %1").arg(sqlName(SyncTables::kProgressTable)));
    while (st.step())
        out[st.text(0).toCaseFolded()] = Progress{st.text(0), st.int64(1), st.int64(2), st.int64(3)};
    return out;
}

// The notes of a run, their statements prepared once: progress per computer, and the log.
class Notes {
public:
    explicit Notes(Connection& conn)
        : progress_(conn, QStringLiteral("INSERT INTO %1 (机器, 序号, 时刻, 节点) VALUES (?, ?, ?, ?) ON CONFLICT (机器) DO "
                                         "UPDATE SET 序号 = excluded.序号, 时刻 = excluded.时刻, 节点 = excluded.节点")
                                .arg(sqlName(SyncTables::kProgressTable))),
          log_(conn, QStringLiteral("INSERT INTO %1 (时间, 类别, 文件, 说明) VALUES (?, ?, ?, ?)").arg(sqlName(SyncTables::kLogTable)))
    {
    }
    void progress(const Progress& p)
    {
        progress_.reset();
        progress_.bind(1, p.machine);
        progress_.bindInt64(2, p.sequence);
        progress_.bindInt64(3, p.stamp);
        progress_.bindInt64(4, p.node);
        progress_.step();
    }
    void log(const QString& kind, const QString& file, const QString& text)
    {
        log_.reset();
        log_.bindAll({QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), kind, file, text});
        log_.step();
    }

private:
    Statement progress_, log_;
};

void pruneLog(Connection& conn)
{
    Statement st(conn, QStringLiteral("DELETE FROM %1 WHERE 编号 <= (SELECT max(编号) FROM %1) - ?").arg(sqlName(SyncTables::kLogTable)));
    st.bindInt64(1, kLogKept);
    st.step();
}

int changeCount(const QByteArray& changeset)
{
    sqlite3_changeset_iter* it = nullptr;
    if (sqlite3changeset_start(&it, static_cast<int>(changeset.size()), const_cast<char*>(changeset.constData())) != SQLITE_OK)
        return 0;
    int n = 0;
    while (sqlite3changeset_next(it) == SQLITE_ROW)
        ++n;
    sqlite3changeset_finalize(it);
    return n;
}

bool folderWritable(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kinbook-XXXXXX")));
    return probe.open();
}

QString folderProblem(const QString& folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty())
        return QStringLiteral("还没有选择同步文件夹");
    if (!info.exists() || !info.isDir())
        return QStringLiteral("同步文件夹 %1 不存在或现在无法访问（U 盘或网络盘没有接上？）").arg(QDir::toNativeSeparators(folder));
    if (!folderWritable(folder))
        return QStringLiteral("同步文件夹 %1 无法写入").arg(QDir::toNativeSeparators(folder));
    return QString();
}

// The books as they are, as one changeset of inserts: what a computer sends when it first joins.
QByteArray snapshot(Connection& conn)
{
    const QString empty = QStringLiteral("同步空白");
    conn.execute(QStringLiteral("ATTACH ':memory:' AS %1").arg(sqlName(empty)));
    QByteArray out;
    sqlite3_session* session = nullptr;
    const auto cleanUp = [&] {
        if (session)
            sqlite3session_delete(session);
        session = nullptr;
        sqlite3_exec(conn.handle(), QStringLiteral("DETACH %1").arg(sqlName(empty)).toUtf8().constData(), nullptr, nullptr, nullptr);
    };
    try {
        for (const SyncTables::Table& t : SyncTables::tables()) {
            const QString table = QString::fromUtf8(t.name);
            Statement st(conn, QStringLiteral("SELECT sql FROM main.sqlite_master WHERE type = 'table' AND name = ?"));
            st.bind(1, table);
            if (!st.step())
                throw DbError(DbError::Other, SQLITE_ERROR, QStringLiteral("no table ") + table);
            QString sql = st.text(0);
            const qsizetype open = sql.indexOf(u'(');
            conn.execute(QStringLiteral("CREATE TABLE %1.%2 %3").arg(sqlName(empty), sqlName(table), sql.mid(open)));
        }
        if (sqlite3session_create(conn.handle(), "main", &session) != SQLITE_OK)
            throw DbError(DbError::Other, SQLITE_NOMEM, QStringLiteral("cannot record the books"));
        const QByteArray from = empty.toUtf8();
        for (const SyncTables::Table& t : SyncTables::tables()) {
            char* error = nullptr;
            sqlite3session_attach(session, t.name);
            const int rc = sqlite3session_diff(session, from.constData(), t.name, &error);
            const QString why = error ? QString::fromUtf8(error) : QString();
            sqlite3_free(error);
            if (rc != SQLITE_OK)
                throw DbError(DbError::Other, rc, QStringLiteral("cannot read the books: ") + why);
        }
        int size = 0;
        void* bytes = nullptr;
        if (sqlite3session_changeset(session, &size, &bytes) != SQLITE_OK)
            throw DbError(DbError::Other, SQLITE_NOMEM, QStringLiteral("cannot record the books"));
        out = QByteArray(static_cast<const char*>(bytes), size);
        sqlite3_free(bytes);
    } catch (...) {
        cleanUp();
        throw;
    }
    cleanUp();
    return out;
}

// The pending changesets get the numbers from `first` on, in their order.
void renumberPending(Connection& conn, std::int64_t first)
{
    const QString outbox = sqlName(SyncTables::kOutboxTable);
    Statement low(conn, QStringLiteral("SELECT min(序号) FROM %1").arg(outbox));
    if (!low.step() || low.isNull(0) || low.int64(0) == first)
        return;
    const std::int64_t shift = first - low.int64(0);
    conn.execute(QStringLiteral("UPDATE %1 SET 序号 = -序号").arg(outbox));
    Statement st(conn, QStringLiteral("UPDATE %1 SET 序号 = ? - 序号").arg(outbox));
    st.bindInt64(1, shift);
    st.step();
}

std::int64_t highestOwnFile(const SyncFile::Listing& listing, const QString& machine)
{
    const auto files = listing.files.value(machine.toCaseFolded());
    return files.isEmpty() ? 0 : files.lastKey();
}

// Whether the folder holds a file that comes next for some computer.
bool anythingNew(Connection& conn, const SyncFile::Listing& listing)
{
    const std::map<QString, Progress> before = readProgress(conn);
    for (auto it = listing.files.begin(); it != listing.files.end(); ++it) {
        const auto p = before.find(it.key());
        if (it.value().contains((p == before.end() ? 0 : p->second.sequence) + 1))
            return true;
    }
    return false;
}

// The sequence numbers of this computer's changesets not yet noted as sent.
QSet<std::int64_t> pendingSequences(Connection& conn)
{
    QSet<std::int64_t> pending;
    Statement st(conn, QStringLiteral("SELECT 序号 FROM %1").arg(sqlName(SyncTables::kOutboxTable)));
    while (st.step())
        pending << st.int64(0);
    return pending;
}

// Applies one file inside its savepoint and notes it as applied. When the file refuses to be applied,
// what it changed is taken back and the cause is in `why`: false.
// `savepoint` and `release` are the statements of the savepoint 同步文件, made once for every file.
bool applyFile(Connection& conn, SyncApply::Run& apply, Statement& savepoint, Statement& release,
               const SyncFile::Parsed& file, const QString& name, Progress& p, std::int64_t next, Notes& notes,
               Report& report, QString& why)
{
    savepoint.reset();
    savepoint.step();
    try {
        const SyncApply::Outcome out = apply.apply(file.changeset, file.header.stamp, file.header.machine);
        p.sequence = next;
        p.stamp = std::max(p.stamp, file.header.stamp);
        p.node = file.header.node;
        p.machine = file.header.machine;
        notes.progress(p);
        const QString text = QStringLiteral("%1 处变更").arg(out.changes);
        notes.log(QStringLiteral("应用"), name, text);
        for (const QString& c : out.conflicts)
            notes.log(QStringLiteral("冲突"), name, c);
        report.applied << QStringLiteral("%1（%2）").arg(name, text);
        report.conflicts << out.conflicts;
        release.reset();
        release.step();
        return true;
    } catch (const DbError& e) {
        sqlite3_exec(conn.handle(), "ROLLBACK TO 同步文件; RELEASE 同步文件", nullptr, nullptr, nullptr);
        why = QStringLiteral("这台电脑的账本不接受其中的变更（%1）").arg(e.userText());
        return false;
    }
}

// The file of another computer that must be applied before `file` (which was made after applying
// it); empty when there is none.
QString firstMissing(const SyncFile::Parsed& file, const QString& origin, std::map<QString, Progress>& progress)
{
    QString before;
    for (auto d = file.header.applied.begin(); d != file.header.applied.end(); ++d) {
        const QString m = d.key().toCaseFolded();
        if (m != origin && progress[m].sequence < d.value())
            before = SyncFile::fileName(d.key(), progress[m].sequence + 1);
    }
    return before;
}

// Applies every changeset of the folder that can be applied now; one transaction.
void applyFolder(Connection& conn, const Settings& s, const SyncFile::Listing& listing, Report& report)
{
    SyncRecorder* sync = conn.sync();
    const QString self = s.machine.toCaseFolded();
    const QString identity = SyncTables::machineIdentity(conn.path());
    // Nothing new in the folder (the usual case): no transaction, nothing written.
    if (!anythingNew(conn, listing))
        return;
    Transaction tx(conn);
    Notes notes(conn);
    Statement savepoint(conn, QStringLiteral("SAVEPOINT 同步文件")), release(conn, QStringLiteral("RELEASE 同步文件"));
    std::map<QString, Progress> progress = readProgress(conn);
    const QSet<std::int64_t> pending = pendingSequences(conn);
    const std::int64_t ownNode = sync->node();
    SyncApply::Run apply(conn);
    bool restored = false;
    bool moved = true;
    QStringList waiting;  // of the last pass, when nothing more could be applied
    while (moved) {
        moved = false;
        waiting.clear();
        for (auto it = listing.files.begin(); it != listing.files.end(); ++it) {
            const QString& origin = it.key();
            Progress& p = progress[origin];
            if (p.machine.isEmpty())
                p.machine = listing.names.value(origin);
            const std::int64_t next = p.sequence + 1;
            const QString path = it.value().value(next);
            if (path.isEmpty())
                continue;
            const QString name = QFileInfo(path).fileName();
            if (origin == self && pending.contains(next))
                continue;  // written before the last run ended, not yet noted as sent: the sending does
            const SyncFile::Parsed file = SyncFile::read(path);
            if (file.state == SyncFile::State::Incomplete) {
                waiting << QStringLiteral("%1：%2").arg(name, file.why);
                continue;
            }
            const auto refuse = [&](const QString& why) {
                report.refused << QStringLiteral("%1：%2").arg(name, why);
                notes.log(QStringLiteral("拒绝"), name, why + QStringLiteral("，没有应用"));
                p.sequence = next;
                notes.progress(p);
                moved = true;
            };
            if (file.state == SyncFile::State::Damaged) {
                refuse(file.why);
                continue;
            }
            if (origin == self && file.header.identity != identity) {
                report.failure = QStringLiteral("本机名称“%1”已被另一台电脑使用，这台电脑的变更没有发送。请在“同步”窗口里换一个名称。").arg(s.machine);
                continue;
            }
            if (const QString before = firstMissing(file, origin, progress); !before.isEmpty()) {
                waiting << QStringLiteral("%1：要先应用 %2").arg(name, before);
                continue;
            }
            if (origin == self && !restored) {
                // This computer's own changes that the file lacks: it was put back from a backup.
                restored = true;
                sync->forgetNode();
            }
            if (origin != self && file.header.node == ownNode)
                sync->forgetNode();  // another computer took this computer's range
            if (const QString why = apply.check(file.changeset); !why.isEmpty()) {
                refuse(why);
                continue;
            }
            if (QString why; !applyFile(conn, apply, savepoint, release, file, name, p, next, notes, report, why)) {
                refuse(why);
                continue;
            }
            moved = true;
        }
    }
    report.waiting << waiting;
    pruneLog(conn);
    tx.commit();
}

struct Pending {
    std::int64_t sequence;
    std::int64_t stamp;
    QString applied;
    QByteArray changeset;
};

// This computer's changesets still to be sent, numbered on from the last file of its name that the
// folder holds; `node` is this computer's key range. One transaction.
QList<Pending> readPending(Connection& conn, const Settings& s, const SyncFile::Listing& listing,
                           const QString& identity, std::int64_t& node)
{
    QList<Pending> pending;
    {
        Transaction tx(conn);
        node = conn.sync()->node();
        const std::map<QString, Progress> progress = readProgress(conn);
        const auto own = progress.find(s.machine.toCaseFolded());
        std::int64_t first = (own == progress.end() ? 0 : own->second.sequence) + 1;
        // Files of this name beyond what was sent from here are this computer's from before its file
        // was put back (applied by now), unless they hold the very changesets still pending.
        const QString firstFile = listing.files.value(s.machine.toCaseFolded()).value(first);
        if (!firstFile.isEmpty()) {
            Statement st(conn, QStringLiteral("SELECT 内容 FROM %1 WHERE 序号 = ?").arg(sqlName(SyncTables::kOutboxTable)));
            st.bindInt64(1, first);
            if (!st.step() || SyncFile::read(firstFile).changeset != st.blob(0))
                first = highestOwnFile(listing, s.machine) + 1;
        }
        renumberPending(conn, first);
        Statement st(conn, QStringLiteral("SELECT 序号, 时刻, 依赖, 内容 FROM %1 WHERE 标识 = ? ORDER BY 序号").arg(sqlName(SyncTables::kOutboxTable)));
        st.bind(1, identity);
        while (st.step())
            pending << Pending{st.int64(0), st.int64(1), st.text(2), st.blob(3)};
        tx.commit();
    }
    return pending;
}

// Writes this computer's recorded changesets to the folder.
void sendPending(Connection& conn, const Settings& s, const SyncFile::Listing& listing, Report& report)
{
    if (pendingCount(conn) == 0)
        return;
    // A changeset that was being written when the program was killed or the power went is still
    // pending: written again below, what was left of it goes.
    SyncFile::removeUnfinished(s.folder, s.machine);
    const QString identity = SyncTables::machineIdentity(conn.path());
    std::int64_t node = 0;
    const QList<Pending> pending = readPending(conn, s, listing, identity, node);
    QList<Pending> sent;
    QStringList sentText;
    for (const Pending& p : pending) {
        SyncFile::Header h;
        h.machine = s.machine;
        h.identity = identity;
        h.node = node;
        h.sequence = p.sequence;
        h.stamp = p.stamp;
        const QJsonObject applied = QJsonDocument::fromJson(p.applied.toUtf8()).object();
        for (auto it = applied.begin(); it != applied.end(); ++it)
            h.applied.insert(it.key(), it.value().toInteger());
        const QString name = SyncFile::fileName(s.machine, p.sequence);
        const QByteArray bytes = SyncFile::compose(h, p.changeset);
        QString why;
        const SyncFile::Written w = SyncFile::writeNew(s.folder, name, bytes, &why);
        if (w == SyncFile::Written::Failed) {
            report.failure = why;
            break;
        }
        if (w == SyncFile::Written::Exists && SyncFile::read(QDir(s.folder).filePath(name)).changeset != p.changeset) {
            report.failure = QStringLiteral("同步文件夹里已有另一个 %1，这台电脑的变更暂不发送，下次同步时再试。").arg(name);
            break;
        }
        sent << p;
        report.sent << QStringLiteral("%1（%2 处变更）").arg(name).arg(changeCount(p.changeset));
        sentText << QStringLiteral("%1 处变更").arg(changeCount(p.changeset));
    }
    if (sent.isEmpty())
        return;
    Transaction tx(conn);
    Notes notes(conn);
    Statement drop(conn, QStringLiteral("DELETE FROM %1 WHERE 序号 = ?").arg(sqlName(SyncTables::kOutboxTable)));
    for (qsizetype k = 0; k < sent.size(); ++k) {
        drop.reset();
        drop.bindInt64(1, sent[k].sequence);
        drop.step();
        notes.log(QStringLiteral("发送"), SyncFile::fileName(s.machine, sent[k].sequence), sentText[k]);
    }
    notes.progress(Progress{s.machine, sent.back().sequence, sent.back().stamp, node});
    tx.commit();
}

}  // namespace

Settings settings(Connection& conn)
{
    Settings s;
    s.folder = ::Settings::value(conn, kFolderSetting, QString());
    s.machine = ::Settings::value(conn, kNameSetting, QString());
    s.thisComputer = !s.machine.isEmpty()
                     && ::Settings::value(conn, kIdentitySetting, QString()) == SyncTables::machineIdentity(conn.path());
    return s;
}

QString configure(Connection& conn, const QString& folderGiven, const QString& machine)
{
    if (!conn.sync())
        return QStringLiteral("这个账本文件的版本太旧，不能同步");
    if (!SyncFile::isValidMachineName(machine))
        return QStringLiteral("本机名称要有 1 到 20 个字，不能有 / \\ : * ? \" < > | 这些字符，不能以点开头或以空格、点结尾。");
    const QString folder = QDir::cleanPath(QFileInfo(folderGiven).absoluteFilePath());
    if (const QString why = folderProblem(folderGiven); !why.isEmpty())
        return why + QStringLiteral("。");
    const QString identity = SyncTables::machineIdentity(conn.path());
    const SyncFile::Listing listing = SyncFile::list(folder);
    const auto own = listing.files.value(machine.toCaseFolded());
    if (!own.isEmpty()) {
        const SyncFile::Parsed last = SyncFile::read(own.last());
        if (last.state != SyncFile::State::Incomplete && last.header.identity != identity)
            return QStringLiteral("同步文件夹里已有另一台电脑用“%1”这个名称，请换一个名称。").arg(machine);
    }
    const Settings before = settings(conn);
    bool synced = !before.machine.isEmpty();
    {
        Statement st(conn, QStringLiteral("SELECT (SELECT count(*) FROM %1) + (SELECT count(*) FROM %2)")
                               .arg(sqlName(SyncTables::kProgressTable), sqlName(SyncTables::kOutboxTable)));
        synced = synced || (st.step() && st.int64(0) > 0);
    }
    // First set up: the books as they are go to the others as this computer's first changeset (read
    // before the transaction: the empty tables it is compared with are attached for the moment).
    const QByteArray books = synced ? QByteArray() : snapshot(conn);
    {
        Transaction tx(conn);
        // Changes recorded in this file on another computer are that computer's to send, from its own copy.
        {
            Statement st(conn, QStringLiteral("DELETE FROM %1 WHERE 标识 <> ?").arg(sqlName(SyncTables::kOutboxTable)));
            st.bind(1, identity);
            st.step();
        }
        if (before.machine.compare(machine, Qt::CaseInsensitive) != 0 || !before.thisComputer) {
            Statement st(conn, QStringLiteral("UPDATE %1 SET 机器 = ?").arg(sqlName(SyncTables::kOutboxTable)));
            st.bind(1, machine);
            st.step();
            const std::map<QString, Progress> progress = readProgress(conn);
            const auto mine = progress.find(machine.toCaseFolded());
            renumberPending(conn, std::max(mine == progress.end() ? 0 : mine->second.sequence, highestOwnFile(listing, machine)) + 1);
        }
        ::Settings::setValue(conn, kFolderSetting, folder);
        ::Settings::setValue(conn, kNameSetting, machine);
        ::Settings::setValue(conn, kIdentitySetting, identity);
        conn.sync()->refresh();
        if (!books.isEmpty()) {
            {
                Statement put(conn, QStringLiteral("INSERT INTO %1 (序号, 机器, 标识, 时刻, 依赖, 内容) VALUES (1, ?, ?, 0, '{}', ?)")
                                        .arg(sqlName(SyncTables::kOutboxTable)));
                put.bind(1, machine);
                put.bind(2, identity);
                put.bindBlob(3, books);
                put.step();
            }
        }
        Notes(conn).log(QStringLiteral("设置"), QString(), QStringLiteral("同步文件夹 %1，本机名称 %2").arg(QDir::toNativeSeparators(folder), machine));
        tx.commit();
    }
    return QString();
}

Report run(Connection& conn, Mode mode)
{
    Report report;
    if (!conn.isOpen() || !conn.sync()) {
        report.failure = QStringLiteral("账本没有打开，或者版本太旧，不能同步");
        return report;
    }
    const Settings s = settings(conn);
    if (!s.configured()) {
        report.failure = s.machine.isEmpty() || s.thisComputer
                             ? QStringLiteral("还没有设置同步：请在“系统”→“同步…”里选择同步文件夹和本机名称")
                             : QStringLiteral("这个账本是从另一台电脑复制来的：请在“系统”→“同步…”里为这台电脑设置它自己的名称");
        return report;
    }
    if (const QString why = folderProblem(s.folder); !why.isEmpty()) {
        report.failure = why;
        return report;
    }
    try {
        const SyncFile::Listing listing = SyncFile::list(s.folder);
        if (mode == Mode::Full)
            applyFolder(conn, s, listing, report);
        if (report.failure.isEmpty())
            sendPending(conn, s, listing, report);
    } catch (const DbError& e) {
        report.failure = QStringLiteral("同步没有完成：%1").arg(e.userText());
    }
    return report;
}

int pendingCount(Connection& conn)
{
    if (!conn.sync())
        return 0;
    Statement st(conn, QStringLiteral("SELECT count(*) FROM %1").arg(sqlName(SyncTables::kOutboxTable)));
    return st.step() ? static_cast<int>(st.int64(0)) : 0;
}

void afterRestore(Connection& conn)
{
    if (SyncRecorder* sync = conn.sync())
        sync->forgetNode();
}

QString logQuery()
{
    return QStringLiteral("SELECT 时间, 类别, 文件, 说明 FROM %1 ORDER BY 编号 DESC").arg(sqlName(SyncTables::kLogTable));
}

QStringList Report::lines() const
{
    QStringList out;
    if (!failure.isEmpty())
        out << QStringLiteral("没有同步：") + failure;
    for (const QString& s : sent)
        out << QStringLiteral("发送 ") + s;
    for (const QString& s : applied)
        out << QStringLiteral("应用 ") + s;
    for (const QString& s : conflicts)
        out << QStringLiteral("冲突 ") + s;
    for (const QString& s : refused)
        out << QStringLiteral("拒绝 ") + s;
    for (const QString& s : waiting)
        out << QStringLiteral("等待 ") + s;
    if (out.isEmpty())
        out << QStringLiteral("没有要发送或应用的变更");
    return out;
}

}  // namespace Sync
