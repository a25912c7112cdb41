#include "backup.h"

#include "connection.h"
#include "dberror.h"
#include "diskwrites.h"
#include "filepath.h"
#include "statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <filesystem>
#include <sqlite3.h>
#include <memory>
#include <system_error>

namespace Backup {

namespace {

constexpr int kNewestKept = 10;
constexpr int kMonthsKept = 12;
[[noreturn]] void fail(DbError::Kind kind, int code, const QString& message)
{
    throw DbError(kind, code, message);
}

[[noreturn]] void failWith(const std::error_code& ec)
{
    fail(ec == std::errc::no_space_on_device ? DbError::DiskFull : DbError::CannotOpen, SQLITE_CANTOPEN,
         QString::fromLocal8Bit(ec.message()));
}

// The copy's own connection: closed on every way out.
struct RawDb {
    sqlite3* db = nullptr;
    ~RawDb() { sqlite3_close(db); }
};

// A file opened through the engine's file system, as the engine writes its own files: the same
// flush to the disk, and a file system put in its place (tests) sees these writes too.
class EngineFile {
public:
    EngineFile() = default;
    ~EngineFile()
    {
        // The engine's rule: a file whose methods are set is closed, even when its opening failed.
        if (file() && file()->pMethods)
            file()->pMethods->xClose(file());
        sqlite3_free_filename(name_);
    }
    EngineFile(const EngineFile&) = delete;
    EngineFile& operator=(const EngineFile&) = delete;

    void create(const QString& path)
    {
        sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
        name_ = sqlite3_create_filename(QFile::encodeName(path).constData(), "", "", 0, nullptr);
        if (!vfs || !name_)
            fail(DbError::Other, SQLITE_NOMEM, QStringLiteral("out of memory"));
        memory_.reset(new char[static_cast<std::size_t>(vfs->szOsFile)]());
        int flags = 0;
        check(vfs->xOpen(vfs, name_, file(), SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &flags));
    }
    void write(const char* p, int n, sqlite3_int64 at) { check(file()->pMethods->xWrite(file(), p, n, at)); }

    static void check(int rc)
    {
        if (rc != SQLITE_OK)
            fail(DbError::classify(rc, QString()), rc, QString::fromUtf8(sqlite3_errstr(rc)));
    }

private:
    sqlite3_file* file() const { return reinterpret_cast<sqlite3_file*>(memory_.get()); }

    sqlite3_filename name_ = nullptr;
    std::unique_ptr<char[]> memory_;
};

// Copies the file of `from`, which holds a read transaction (no writer can change the file
// meanwhile), byte for byte into `target` in blocks of 64 KiB (putting it in place flushes it). The file is
// read through the connection's own handle: a second handle on it, once closed, would drop the
// locks this process holds on the file (POSIX locks belong to the process, not to a handle).
void copyBytes(Connection& from, const QString& target)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(from.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        fail(DbError::Other, SQLITE_ERROR, QStringLiteral("cannot read ") + from.path());
    sqlite3_int64 size = 0;
    EngineFile::check(file->pMethods->xFileSize(file, &size));
    EngineFile out;
    out.create(target);
    // The engine's file system reads and writes at most a little under 128 KiB at a time.
    constexpr sqlite3_int64 kBlock = 64 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kBlock]);
    for (sqlite3_int64 at = 0; at < size; at += kBlock) {
        const int n = static_cast<int>(std::min(kBlock, size - at));
        // A short read fails too: the file never shrinks while the read transaction lasts.
        EngineFile::check(file->pMethods->xRead(file, buffer.get(), n, at));
        out.write(buffer.get(), n, at);
    }
}

// Copies the database of `from` page by page through the engine's online backup, in one step; the
// commit of the copy flushes it.
void copyPages(Connection& from, const QString& target)
{
    RawDb to;
    int rc = sqlite3_open_v2(QFile::encodeName(target).constData(), &to.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(to.db, "PRAGMA journal_mode = OFF", nullptr, nullptr, nullptr);
    // After the journal is off: defensive mode would refuse to turn it off.
    if (rc == SQLITE_OK)
        rc = applySafeSettings(to.db);
    if (rc == SQLITE_OK) {
        sqlite3_backup* copy = sqlite3_backup_init(to.db, "main", from.handle(), "main");
        if (!copy) {
            rc = sqlite3_extended_errcode(to.db);
        } else {
            rc = sqlite3_backup_step(copy, -1);
            const int finished = sqlite3_backup_finish(copy);
            rc = rc == SQLITE_DONE ? finished : rc;
        }
    }
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(to.db ? sqlite3_errmsg(to.db) : sqlite3_errstr(rc));
        fail(DbError::classify(rc, msg), rc, msg);
    }
    rc = sqlite3_close(to.db);
    to.db = nullptr;
    if (rc != SQLITE_OK)
        fail(DbError::classify(rc, QString()), rc, QString::fromUtf8(sqlite3_errstr(rc)));
}

// A name in `folder` (made if needed) for a file of that moment, not yet taken: prefix, date and
// time, and -2, -3 ... for more than one in a second.
QString freshName(const QString& folder, const QString& prefix, const QDateTime& when)
{
    if (DiskWrites::makeFolders(fsPath(folder)) || !QFileInfo(folder).isDir())
        fail(DbError::CannotOpen, SQLITE_CANTOPEN, QStringLiteral("cannot make the folder ") + folder);
    const QString stem = folder + QLatin1Char('/') + prefix + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".mdb");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1.mdb").arg(n);
    return path;
}

// Removes the hidden temporary copies in `dir` that DiskWrites::createBeside made for a file whose
// name `target` matches, and only those.
int removeParts(const QDir& dir, const QRegularExpression& target)
{
    int removed = 0;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString targetName = name.section(QLatin1Char('.'), 1, -3);
        if (target.match(targetName).hasMatch()
            && DiskWrites::isTemporaryFor(QFile::encodeName(name).toStdString(), QFile::encodeName(targetName).toStdString()))
            removed += DiskWrites::remove(fsPath(dir.filePath(name))) ? 1 : 0;
    }
    return removed;
}

// The names of the dated backups.
const QRegularExpression& datedName()
{
    static const QRegularExpression re(QStringLiteral("^main-(\\d{8}-\\d{6})(?:-(\\d+))?\\.mdb$"));
    return re;
}

}  // namespace

QString folderFor(const QString& databasePath)
{
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/backups");
}

QString writeCopy(const QString& source, const QString& target)
{
    // A name of its own beside the target: never one of the user's files. Readable by its owner
    // alone until it is put in place (a restored main.mdb takes the permissions of the one it replaces).
    std::error_code ec;
    const std::filesystem::path part = DiskWrites::createBeside(fsPath(QFileInfo(target).absoluteFilePath()), 0600, ec);
    if (ec)
        fail(DbError::CannotOpen, SQLITE_CANTOPEN, QStringLiteral("cannot create a file beside ") + target);
#ifdef Q_OS_WIN
    const QString temporary = QString::fromStdWString(part.wstring());
#else
    const QString temporary = QFile::decodeName(QByteArray::fromStdString(part.string()));
#endif

    try {
        Connection from;
        from.open(source, true);
        // One read transaction for the whole copy: a writer waits (or the copy times out) and the
        // copy is one committed state of the file.
        Statement(from, QStringLiteral("BEGIN")).step();
        Statement(from, QStringLiteral("SELECT count(*) FROM sqlite_master")).step();
        Statement mode(from, QStringLiteral("PRAGMA journal_mode"));
        const bool wal = mode.step() && mode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
        if (wal)
            copyPages(from, temporary);  // the committed state is partly in the -wal file
        else
            copyBytes(from, temporary);
    } catch (...) {
        DiskWrites::remove(part);
        throw;
    }
    return temporary;
}

void putInPlace(const QString& temporary, const QString& target)
{
    // A journal left beside the replaced file would be played back into the new one: it goes first,
    // and for good, before the new file takes the name.
    bool removed = false;
    for (const char* journal : {"-journal", "-wal", "-shm"}) {
        const QString path = target + QString::fromLatin1(journal);
        if (QFileInfo::exists(path)) {
            DiskWrites::remove(fsPath(path));
            removed = true;
        }
    }
    std::error_code ec;
    if (removed)
        ec = DiskWrites::flushFolder(fsPath(QFileInfo(target).absolutePath()));
    if (!ec)
        ec = DiskWrites::place(fsPath(temporary), fsPath(target));
    if (ec) {
        DiskWrites::remove(fsPath(temporary));
        failWith(ec);
    }
}

void copy(const QString& source, const QString& target, bool overwrite)
{
    if (!overwrite && QFileInfo::exists(target))
        fail(DbError::CannotOpen, SQLITE_CANTOPEN, QStringLiteral("exists: ") + target);
    putInPlace(writeCopy(source, target), target);
}

QString makeDated(const QString& source, const QString& folder, const QDateTime& when)
{
    const QString path = freshName(folder, QStringLiteral("main-"), when);
    copy(source, path, false);
    return path;
}

QString moveAside(const QString& path, const QString& folder, const QDateTime& when)
{
    const QString aside = freshName(folder, QStringLiteral("damaged-"), when);
    // The journal goes first: the file must never leave it behind, where it would be played back
    // into the copy that takes the file's place.
    const QString journal = path + QStringLiteral("-journal");
    if (QFileInfo::exists(journal))
        DiskWrites::place(fsPath(journal), fsPath(aside + QStringLiteral("-journal")));
    if (const std::error_code ec = DiskWrites::place(fsPath(path), fsPath(aside)))
        failWith(ec);
    return aside;
}

bool parseName(const QString& fileName, Dated& dated)
{
    const QRegularExpressionMatch m = datedName().match(fileName);
    if (!m.hasMatch())
        return false;
    dated.time = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
    dated.sequence = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
    return dated.time.isValid();
}

QList<Dated> listDated(const QString& folder)
{
    QList<Dated> out;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("main-*.mdb")}, QDir::Files)) {
        Dated d;
        d.path = dir.filePath(name);
        if (parseName(name, d))
            out << d;
    }
    std::sort(out.begin(), out.end(), [](const Dated& a, const Dated& b) {
        return a.time != b.time ? a.time > b.time : a.sequence > b.sequence;
    });
    return out;
}

QList<Dated> beyondKeeping(const QList<Dated>& newestFirst, const QDate& today)
{
    QSet<int> kept;
    for (int i = 0; i < newestFirst.size() && i < kNewestKept; ++i)
        kept.insert(i);
    for (int back = 0; back < kMonthsKept; ++back) {
        const QDate month = QDate(today.year(), today.month(), 1).addMonths(-back);
        for (int i = 0; i < newestFirst.size(); ++i) {
            const QDate d = newestFirst[i].time.date();
            if (d.year() == month.year() && d.month() == month.month()) {
                kept.insert(i);
                break;
            }
        }
    }
    QList<Dated> out;
    for (int i = 0; i < newestFirst.size(); ++i)
        if (!kept.contains(i))
            out << newestFirst[i];
    return out;
}

int prune(const QString& folder, const QDate& today)
{
    int removed = 0;
    for (const Dated& d : beyondKeeping(listDated(folder), today))
        removed += DiskWrites::remove(fsPath(d.path)) ? 1 : 0;
    return removed + removeUnfinishedDated(folder);
}

int removeUnfinishedDated(const QString& folder)
{
    return removeParts(QDir(folder), datedName());
}

int removeUnfinished(const QString& target)
{
    const QFileInfo info(target);
    return removeParts(info.absoluteDir(),
                       QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(info.fileName()) + QLatin1Char('$')));
}

}  // namespace Backup
