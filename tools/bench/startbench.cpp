// A login, and the safekeeping of the file: the automatic backup and the check at start, and
// 恢复数据, each beside the plain copies or the engine's check that they imply.
#include "driving.h"
#include "sizerun.h"

#include "backup.h"
#include "filecheck.h"
#include "upgrade.h"
#include "app.h"
#include "loginwindow.h"
#include "safekeeping.h"
#include "scriptedanswers.h"
#include "session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <memory>
#include <sqlite3.h>

namespace Bench {

namespace {

// The automatic backup at start, beside a plain copy of the file (what cp does) as the floor.
void startBackup(const SizeRun& run)
{
    Row r{QStringLiteral("启动: automatic backup into backups/"), run.size};
    const QString backups = run.folder + QStringLiteral("/backups");
    const QString plain = run.folder + QStringLiteral("/plain-copy.mdb");
    measure(
        r, run.repeat,
        [&] {
            QDir(backups).removeRecursively();
            const double t0 = nowMs();
            Backup::makeDated(run.dbFile, backups, QDateTime::currentDateTime());
            return nowMs() - t0;
        },
        [&] {
            QFile::remove(plain);
            const double t0 = nowMs();
            std::filesystem::copy_file(run.dbFile.toStdString(), plain.toStdString());
            return nowMs() - t0;
        });
    QFile::remove(plain);
    r.note = QStringLiteral("%1 MB").arg(static_cast<double>(QFileInfo(run.dbFile).size()) / 1e6, 0, 'f', 1);
    run.add(r);
}

// The check at start: header, quick integrity check, tables and fields, version; the floor is the
// engine's quick check of the file's structure alone.
void startCheck(const SizeRun& run)
{
    Row r{QStringLiteral("启动: check of main.mdb"), run.size};
    measure(
        r, run.repeat,
        [&] {
            const double t0 = nowMs();
            FileCheck::inspect(run.dbFile, Upgrade::newestVersion(), true);
            return nowMs() - t0;
        },
        [&] {
            sqlite3* db = nullptr;
            sqlite3_open_v2(run.dbFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
            const double t0 = nowMs();
            step(db, {QStringLiteral("pragma ignore_check_constraints = on"), QStringLiteral("pragma quick_check")});
            const double t = nowMs() - t0;
            sqlite3_close(db);
            return t;
        });
    run.add(r);
}

// 恢复数据 as the menu does it: check the chosen backup, count, back up the current file, copy
// beside main.mdb, rename, reopen. The floor: the two plain copies that it implies.
void restore(const SizeRun& run)
{
    Row r{QStringLiteral("恢复数据: restore a backup"), run.size};
    const QString chosen = run.data + QStringLiteral("/restore-%1.mdb").arg(run.size);
    QFile::remove(chosen);
    Backup::copy(run.dbFile, chosen, false);
    const QString plain = run.folder + QStringLiteral("/plain-copy.mdb");
    measure(
        r, run.repeat,
        [&] {
            QDir(run.folder + QStringLiteral("/backups")).removeRecursively();
            script().queueFileChoice(chosen);
            script().queueAnswer(App::MsgAnswer::Ok);
            const double t0 = nowMs();
            const bool done = Safekeeping::restoreChosenBackup(nullptr);
            const double t = nowMs() - t0;
            return done ? t : -1.0;
        },
        [&] {
            QFile::remove(plain);
            const double t0 = nowMs();
            std::filesystem::copy_file(run.dbFile.toStdString(), plain.toStdString());
            std::filesystem::copy_file(chosen.toStdString(), plain.toStdString(), std::filesystem::copy_options::overwrite_existing);
            return nowMs() - t0;
        });
    QFile::remove(plain);
    QFile::remove(chosen);
    run.add(r);
}

}  // namespace

// The login window's load opens the database and reads the member list. The file is as the last
// session left it: the check and backup of a start (rows 启动) are not made again.
void benchLogin(const SizeRun& run)
{
    Row r{QStringLiteral("登录: a new login opens main.mdb and lists the members"), run.size};
    measure(
        r, run.repeat,
        [&] {
            App::closeConn();
            const double t0 = nowMs();
            auto w = std::make_unique<LoginWindow>();
            const double t = nowMs() - t0;
            w.reset();  // closes the connection, as unloading the login does
            return t;
        },
        [&] {
            const double t0 = nowMs();
            sqlite3* db = nullptr;
            sqlite3_open_v2(run.dbFile.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
            step(db, {QStringLiteral("select 姓名 from 成员")});
            sqlite3_close(db);
            return nowMs() - t0;
        });
    App::openConn();
    run.add(r);
}

void benchSafekeeping(const SizeRun& run)
{
    startBackup(run);
    startCheck(run);
    restore(run);
}

}  // namespace Bench
