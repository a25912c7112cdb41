#include "safekeeping.h"

#include "app.h"
#include "datafolder.h"
#include "backup.h"
#include "dberror.h"
#include "diskwrites.h"
#include "emptyfile.h"
#include "filecheck.h"
#include "sync.h"
#include "synctables.h"
#include "upgrade.h"
#include "session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <utility>

namespace Safekeeping {

namespace {

const QString kNoDatabase = QStringLiteral("连接数据库错误，系统将不能正常运行");

// Rows the connection had changed when the file was opened: more at the end means the session wrote.
qint64 g_changesAtOpen = 0;
// A failed backup is told once in a run.
bool g_failureTold = false;

// main.mdb as this run last closed it: checked when it was opened, and backed up (at the start of
// a session that only read, at its end after a writing one). Opened again unchanged (a new login
// after 重新登录) it needs neither the check nor another copy of the same bytes. Any write by
// SQLite changes the header's change counter and the times; a file put in its place, its inode
// times; a journal beside it means it is not as it was closed.
struct Stamp {
    qint64 size = -1;
    QDateTime modified, changed;
    QByteArray header;
    bool operator==(const Stamp&) const = default;
};
Stamp g_closedAs;
// The file as opened is the same as a backup of it.
bool g_backedUpAtOpen = false;

Stamp stampOf(const QString& path)
{
    const QFileInfo info(path);
    Stamp s;
    if (!info.isFile() || QFileInfo::exists(path + QStringLiteral("-journal")) || QFileInfo::exists(path + QStringLiteral("-wal")))
        return s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return s;
    s.header = file.read(100);
    s.size = info.size();
    s.modified = info.lastModified();
    s.changed = info.metadataChangeTime();
    return s;
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString backupsFolder()
{
    return Backup::folderFor(DataFolder::databasePath());
}

QDateTime now()
{
    return QDateTime(App::today(), QTime::currentTime());
}

// Why a copy could not be written, for the user.
QString copyCause(const DbError& e, const QString& folder)
{
    switch (e.kind()) {
    case DbError::DiskFull:
        return QStringLiteral("磁盘已满");
    case DbError::CannotOpen:
    case DbError::ReadOnly:
        return QStringLiteral("文件夹 %1 无法写入").arg(native(folder));
    case DbError::Busy:
        return QStringLiteral("数据库文件正被其它程序使用");
    default:
        return QStringLiteral("写入时出错（错误代码 %1）").arg(e.code());
    }
}

// A dated backup of main.mdb, then the keep rule (backupBeforeChange). A failure is told (once in a
// run) and gives an empty path and its cause; the program goes on.
QString backupNow(QString* failure = nullptr)
{
    const QString folder = backupsFolder();
    QString cause;
    const QString made = backupBeforeChange(&cause);
    if (made.isEmpty()) {
        if (failure)
            *failure = cause;
        App::setStatusNote(QStringLiteral("自动备份失败：") + cause);
        if (!g_failureTold) {
            g_failureTold = true;
            App::msgBox(QStringLiteral("未能自动备份数据：%1。\n程序会继续运行，但这次没有备份。请检查文件夹 %2 和磁盘空间。")
                            .arg(cause, native(folder)),
                        App::MsgStyle::Information);
        }
    }
    return made;
}

void refuse(const QString& why)
{
    App::msgBox(kNoDatabase + QLatin1Char('\n') + why, App::MsgStyle::Stop);
}

QString whenMade(const QString& path)
{
    Backup::Dated d;
    const QDateTime t = Backup::parseName(QFileInfo(path).fileName(), d) ? d.time : QFileInfo(path).lastModified();
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void tellSetAside(const Upgrade::Report& report)
{
    if (report.setAside.isEmpty())
        return;
    QStringList where;
    for (const Upgrade::SetAside& s : report.setAside)
        where << QStringLiteral("%1.%2 %3 个").arg(s.table, s.field).arg(s.count);
    App::msgBox(QStringLiteral("数据库文件已从版本 %1 升级到版本 %2。\n有 %3 个值不符合新的检查（%4），已在记录中清空，记录本身都保留着。"
                               "\n原来的值保存在表“%5”中（表名、行号、字段、原值），可以据此改正这些记录。")
                    .arg(report.from)
                    .arg(report.to)
                    .arg(report.setAsideCount())
                    .arg(where.join(QStringLiteral("、")), Upgrade::kSetAsideTable),
                App::MsgStyle::Information);
}

bool openFile(bool takeBackup, bool offerBackup, const FileCheck::Report* checked = nullptr);

// Whether a file can be made in main.mdb's folder: the journal of every save, the lock that keeps a
// second copy of the program away and the backups all need one. Tried, not read from the folder's
// permissions: an administrator's rights, a read-only medium and access lists all count as they are.
bool folderWritable(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.kinbook-XXXXXX"));
    return probe.open();
}

// The folder cannot be written (a missing folder is the missing file's business): refused as a
// read-only file is. Otherwise what the program's own work left when it was killed or the power went
// is removed, and only that: a restore's unfinished copy of main.mdb beside it and a backup's in
// backups/ (hidden, as large as the file), and a first start's main.mdb.tmp with its journal.
bool folderUsable()
{
    const QString path = DataFolder::databasePath();
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir() && !folderWritable(folder)) {
        refuse(QStringLiteral("文件夹 %1 无法写入，记下的帐无法保存，也无法备份。请让当前用户可以写入这个文件夹"
                              "（去掉它的只读属性，或改它的权限），或把程序和数据放到可以写入的文件夹。")
                   .arg(native(folder)));
        return false;
    }
    Backup::removeUnfinished(path);
    Backup::removeUnfinishedDated(backupsFolder());
    for (const std::filesystem::path& leftover : EmptyFile::leftovers(QFile::encodeName(path).toStdString()))
        DiskWrites::remove(leftover);
    return true;
}

// main.mdb is missing, empty, damaged or not the program's: offer the newest sound backup.
bool offerNewestBackup(const FileCheck::Report& report)
{
    const QString path = DataFolder::databasePath();
    const QString folder = backupsFolder();
    const QString why = FileCheck::describe(report, path);
    QString sound;
    for (const Backup::Dated& d : Backup::listDated(folder)) {
        if (FileCheck::inspect(d.path, Upgrade::newestVersion(), false).sound()) {
            sound = d.path;
            break;
        }
    }
    if (sound.isEmpty()) {
        refuse(why + QStringLiteral("\n备份文件夹 %1 里没有可用的备份。").arg(native(folder)));
        return false;
    }
    const bool present = QFileInfo::exists(path);
    const QString ask = kNoDatabase + QLatin1Char('\n') + why
                        + QStringLiteral("\n最新的完好备份是 %1（%2）。要用它恢复数据吗？").arg(native(sound), whenMade(sound))
                        + (present ? QStringLiteral("\n现在的文件会先移到备份文件夹里保存。") : QString());
    if (App::msgBox(ask, App::MsgStyle::Question) != App::MsgAnswer::Ok)
        return false;
    try {
        if (present)
            Backup::moveAside(path, folder, now());
        Backup::copy(sound, path, false);
    } catch (const DbError& e) {
        refuse(QStringLiteral("用备份 %1 恢复没有成功：%2。").arg(native(sound), copyCause(e, QFileInfo(path).absolutePath())));
        return false;
    }
    App::setStatusNote(QStringLiteral("已用备份 %1 恢复数据").arg(QFileInfo(sound).fileName()));
    // The backup that was used stays where it is: it is the copy this file came from.
    return openFile(false, false);
}

// Opens main.mdb after checking it; `checked` is the check of a file just put in place, which is
// not made again.
bool openFile(bool takeBackup, bool offerBackup, const FileCheck::Report* checked)
{
    const QString path = DataFolder::databasePath();
    const int newest = Upgrade::newestVersion();
    const FileCheck::Report report = checked ? *checked : FileCheck::inspect(path, newest, true);
    if (report.replaceable() && offerBackup)
        return offerNewestBackup(report);
    if (!report.sound()) {
        refuse(FileCheck::describe(report, path));
        return false;
    }
    const bool older = report.version < newest;
    QString failure;
    g_backedUpAtOpen = false;
    const bool backedUp = takeBackup && !backupNow(&failure).isEmpty();
    if (takeBackup && !backedUp && older) {
        refuse(QStringLiteral("数据库文件 %1 是版本 %2，要升级到版本 %3 才能使用；升级前要先备份，但备份没有成功（%4），所以没有升级。"
                              "请检查备份文件夹和磁盘空间后再启动。")
                   .arg(native(path))
                   .arg(report.version)
                   .arg(newest)
                   .arg(failure));
        return false;
    }
    try {
        App::conn.open(path);
        if (older)
            tellSetAside(Upgrade::run(App::conn));
    } catch (const DbError& e) {
        App::conn.close();
        FileCheck::Report failed;
        failed.state = FileCheck::stateOf(e);
        failed.code = e.code();
        refuse(FileCheck::describe(failed, path)
               + (older ? QStringLiteral("\n（升级没有完成，文件保持原样。）") : QString()));
        return false;
    }
    g_changesAtOpen = App::conn.totalChanges();
    g_backedUpAtOpen = backedUp && !older;
    return true;
}

}  // namespace

bool openAtStart()
{
    g_failureTold = false;
    App::setStatusNote(QString());
    if (!folderUsable())
        return false;
    const Stamp closedAs = std::exchange(g_closedAs, Stamp());
    if (closedAs.size >= 0 && stampOf(DataFolder::databasePath()) == closedAs) {
        try {
            App::conn.open(DataFolder::databasePath());
            g_changesAtOpen = App::conn.totalChanges();
            g_backedUpAtOpen = true;
            return true;
        } catch (const DbError&) {
            App::conn.close();  // checked the whole way below, which says what is wrong
        }
    }
    return openFile(true, true);
}

void closeAtEnd()
{
    if (!App::conn.isOpen())
        return;
    const bool wrote = App::conn.totalChanges() > g_changesAtOpen;
    App::conn.close();
    if (wrote ? !backupNow().isEmpty() : g_backedUpAtOpen)
        g_closedAs = stampOf(DataFolder::databasePath());
}

QString backupBeforeChange(QString* failure)
{
    const QString folder = backupsFolder();
    try {
        const QString made = Backup::makeDated(DataFolder::databasePath(), folder, now());
        Backup::prune(folder, App::today());
        return made;
    } catch (const DbError& e) {
        if (failure)
            *failure = copyCause(e, folder);
        return QString();
    }
}

void backupToChosenFile(QWidget* parent)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed = QDir(documents.isEmpty() ? QDir::homePath() : documents)
                                 .filePath(QStringLiteral("和顺家账备份-%1.mdb").arg(App::today().toString(QStringLiteral("yyyyMMdd"))));
    const QString target = App::chooseFile(App::FileDialog::Save, QStringLiteral("备份数据"), proposed, parent);
    if (target.isEmpty())
        return;
    // Replacing the open file by its own copy would lose every later write.
    const QFileInfo chosen(target), own(DataFolder::databasePath());
    if (chosen.absoluteFilePath() == own.absoluteFilePath()
        || (chosen.exists() && chosen.canonicalFilePath() == own.canonicalFilePath())) {
        App::msgBox(QStringLiteral("不能把备份写到数据库文件 main.mdb 本身，请另选一个文件名。"), App::MsgStyle::Information);
        return;
    }
    App::setBusy(true);
    try {
        Backup::copy(DataFolder::databasePath(), target, true);
    } catch (const DbError& e) {
        App::setBusy(false);
        App::msgBox(QStringLiteral("备份没有完成：%1。\n请换一个位置，或腾出磁盘空间后再试。").arg(copyCause(e, chosen.absolutePath())), App::MsgStyle::Information);
        return;
    }
    App::setBusy(false);
    App::msgBox(QStringLiteral("数据已备份到 %1。").arg(native(target)), App::MsgStyle::Information);
}

namespace {

// A backup about to take main.mdb's place: the chosen file copied beside main.mdb, and the check of
// that copy. The copy is what is counted and put in place, so that what goes in place is what was
// checked, and it is not checked twice.
struct Candidate {
    QString chosen, copy;
    FileCheck::Report report;
    void discard()
    {
        if (!copy.isEmpty())
            QFile::remove(std::exchange(copy, QString()));
    }
};

// Copies and checks the chosen file; false with the message when it cannot be used (nothing is left
// behind then).
bool readyRestore(Candidate& candidate, QString& refusal)
{
    const QString path = DataFolder::databasePath();
    try {
        candidate.copy = Backup::writeCopy(candidate.chosen, path);
        candidate.report = FileCheck::inspect(candidate.copy, Upgrade::newestVersion(), false);
    } catch (const DbError& e) {
        candidate.report = FileCheck::inspect(candidate.chosen, Upgrade::newestVersion(), false);
        if (candidate.report.sound()) {
            refusal = QStringLiteral("没有恢复：%1，现在的文件没有改动。").arg(copyCause(e, QFileInfo(path).absolutePath()));
            return false;
        }
    }
    if (!candidate.report.sound()) {
        candidate.discard();
        refusal = QStringLiteral("不能用这个文件恢复数据，什么也没有改动。\n") + FileCheck::describe(candidate.report, candidate.chosen, false);
        return false;
    }
    return true;
}

// What this computer recorded for the other computers and has not sent yet is in the file about to
// be replaced: it goes to the sync folder first.
void sendPendingBeforeReplace(Connection& conn)
{
    if (SyncTables::fileHasSync(conn) && Sync::settings(conn).configured())
        Sync::run(conn, Sync::Mode::SendOnly);
}

// The checked copy takes main.mdb's place (the current file is backed up before, by the caller):
// App::conn is closed first. False with the message when nothing was replaced.
bool putCandidateInPlace(Candidate& candidate, QString& refusal)
{
    const QString path = DataFolder::databasePath();
    try {
        App::conn.close();
        Backup::putInPlace(std::exchange(candidate.copy, QString()), path);
    } catch (const DbError& e) {
        refusal = QStringLiteral("没有恢复：%1，现在的文件没有改动。").arg(copyCause(e, QFileInfo(path).absolutePath()));
        return false;
    }
    return true;
}

}  // namespace

bool restoreChosenBackup(QWidget* parent)
{
    Candidate candidate;
    candidate.chosen = App::chooseFileIn(App::FileDialog::Open, QStringLiteral("恢复数据"), backupsFolder(), parent);
    if (candidate.chosen.isEmpty())
        return false;
    QString refusal;
    if (!readyRestore(candidate, refusal)) {
        App::msgBox(refusal, App::MsgStyle::Information);
        return false;
    }
    const QString path = DataFolder::databasePath();
    const QList<FileCheck::Count> theirs = FileCheck::ledgerCounts(candidate.copy), ours = FileCheck::ledgerCounts(path);
    QString counts;
    for (qsizetype i = 0; i < theirs.size(); ++i)
        counts += QStringLiteral("\n%1：备份 %2 条，现在 %3 条").arg(theirs[i].table).arg(theirs[i].rows).arg(ours.value(i).rows);
    const QString ask = QStringLiteral("要用这个备份恢复数据吗？\n备份文件：%1\n备份时间：%2\n%3\n\n恢复后，备份以后记下的帐都会没有；"
                                       "恢复前会先把现在的文件备份到备份文件夹。恢复后请重新登录。")
                            .arg(native(candidate.chosen), whenMade(candidate.chosen), counts);
    if (App::msgBox(ask, App::MsgStyle::Question) != App::MsgAnswer::Ok) {
        candidate.discard();
        return false;
    }

    App::setBusy(true);
    // The backup of the current file is on the disk, with its name, before main.mdb is replaced.
    if (backupNow().isEmpty()) {
        candidate.discard();
        App::setBusy(false);
        App::msgBox(QStringLiteral("没有恢复：现在的文件没能先备份，为安全起见什么也没有改动。"), App::MsgStyle::Information);
        return false;
    }
    sendPendingBeforeReplace(App::conn);
    if (!putCandidateInPlace(candidate, refusal)) {
        // Nothing was replaced: the current file opens again as it was.
        App::setBusy(false);
        App::msgBox(refusal, App::MsgStyle::Information);
        openFile(false, false);
        return false;
    }
    const bool reopened = openFile(false, false, &candidate.report);
    if (reopened)
        Sync::afterRestore(App::conn);
    App::setBusy(false);
    if (reopened)
        App::msgBox(QStringLiteral("已用备份 %1 恢复数据，请重新登录。").arg(QFileInfo(candidate.chosen).fileName()), App::MsgStyle::Information);
    return true;
}

bool restoreFromFile(const QString& chosen, QString& said)
{
    Candidate candidate;
    candidate.chosen = QFileInfo(chosen).absoluteFilePath();
    QString refusal;
    if (!readyRestore(candidate, refusal)) {
        said = refusal;
        return false;
    }
    // The current file is backed up first; one that cannot be copied because it is unusable (damaged,
    // not the program's) is moved into the backups instead, as the start does.
    const QString path = DataFolder::databasePath();
    QString keptAs;
    if (QFileInfo::exists(path)) {
        QString failure;
        keptAs = backupBeforeChange(&failure);
        if (keptAs.isEmpty()) {
            if (!FileCheck::inspect(path, Upgrade::newestVersion(), false).replaceable()) {
                candidate.discard();
                said = QStringLiteral("没有恢复：现在的文件没能先备份（%1），为安全起见什么也没有改动。").arg(failure);
                return false;
            }
            try {
                keptAs = Backup::moveAside(path, backupsFolder(), now());
            } catch (const DbError& e) {
                candidate.discard();
                said = QStringLiteral("没有恢复：现在的文件没能移到备份文件夹（%1），什么也没有改动。").arg(copyCause(e, backupsFolder()));
                return false;
            }
        }
    }
    if (QFileInfo::exists(path)) {
        try {
            Connection current;
            current.open(path);
            sendPendingBeforeReplace(current);
        } catch (const DbError&) {
            // A file that cannot be opened has nothing to send that could be read from it.
        }
    }
    if (!putCandidateInPlace(candidate, refusal)) {
        said = refusal;
        return false;
    }
    // Keys of this computer's new rows come from a new range: the backup's next ones may be in the
    // sync folder already. A file without the sync's tables takes a range when it is upgraded.
    QString syncNote;
    try {
        Connection restored;
        restored.open(path);
        if (restored.sync())
            Sync::afterRestore(restored);
    } catch (const DbError& e) {
        syncNote = QStringLiteral("（同步的设置没能更新：%1）").arg(e.userText());
    }
    said = QStringLiteral("已用 %1 恢复数据：%2").arg(native(candidate.chosen), native(path))
           + (keptAs.isEmpty() ? QStringLiteral("（原来没有这个文件）。") : QStringLiteral("；原来的文件保存为 %1。").arg(native(keptAs)))
           + syncNote;
    return true;
}

}  // namespace Safekeeping
