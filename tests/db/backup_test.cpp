// Copies of the file, the keep rule over a folder of backups, and the check that tells a sound
// household file from everything else.
#include "backup.h"
#include "dberror.h"
#include "filecheck.h"
#include "support/fulldisk.h"
#include "support/testsupport.h"
#include "upgrade.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <atomic>
#include <sqlite3.h>
#include <thread>

namespace {

using FileCheck::State;

class Backups : public DbTest {
protected:
    QStringList names(const QString& dir) const
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static void touch(const QString& path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
};

TEST_F(Backups, KeepsTheTenNewestAndTheNewestOfEachOfTwelveMonths)
{
    const QDate today(2026, 12, 6);
    const QString dir = folder() + "/backups";
    QDir().mkpath(dir);
    QStringList kept;
    // December: twelve backups; the two oldest go.
    for (int i = 0; i < 12; ++i) {
        const QString name = QString("main-202612%1-%2.mdb").arg(1 + i / 2, 2, 10, QChar('0')).arg(i % 2 ? "090000" : "080000");
        touch(dir + "/" + name);
        if (i >= 2)
            kept << name;
    }
    // Two a month before: the later of the two stays for January to November 2026 only.
    for (QDate m(2025, 1, 1); m < QDate(2026, 12, 1); m = m.addMonths(1)) {
        const QString early = "main-" + m.toString("yyyyMM") + "03-120000.mdb";
        const QString late = "main-" + m.toString("yyyyMM") + "20-120000.mdb";
        touch(dir + "/" + early);
        touch(dir + "/" + late);
        if (m.year() == 2026)
            kept << late;
    }
    // A second backup within one second counts as the newer; other files are left alone, and
    // the temporary copy an interrupted backup left is removed.
    touch(dir + "/main-20261206-235959.mdb");
    touch(dir + "/main-20261206-235959-2.mdb");
    kept.removeAt(0);  // and push the two oldest of those ten out
    kept.removeAt(0);
    kept << "main-20261206-235959.mdb" << "main-20261206-235959-2.mdb" << "notes.txt" << "main-old.mdb";
    touch(dir + "/notes.txt");
    touch(dir + "/main-old.mdb");
    touch(dir + "/.main-20261205-080000.mdb.Ab12Cd.part");

    const int before = names(dir).size();
    const int removed = Backup::prune(dir, today);
    kept.sort();
    EXPECT_EQ(names(dir), kept);
    EXPECT_EQ(removed, before - kept.size());
    EXPECT_EQ(Backup::listDated(dir).value(0).path, dir + "/main-20261206-235959-2.mdb");

    // A few old backups are all among the ten newest.
    const QString few = folder() + "/few";
    QDir().mkpath(few);
    for (const char* n : {"main-20190101-000000.mdb", "main-20200101-000000.mdb", "main-20210101-000000.mdb"})
        touch(few + "/" + n);
    EXPECT_EQ(Backup::prune(few, today), 0);
    EXPECT_EQ(names(few).size(), 3);
}

TEST_F(Backups, ACopyTakenWhileAnotherConnectionWritesIsOneCommittedState)
{
    constexpr int kBatch = 50;
    std::atomic<bool> stop{false};
    std::atomic<int> batches{0};
    std::thread writer([&] {
        sqlite3* db = nullptr;
        sqlite3_open(dbPath().toUtf8().constData(), &db);
        sqlite3_busy_timeout(db, 5000);
        const QByteArray batch = QString("begin; with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                         "insert into 收入帐 select 'm', 't', i, '2026-01-02', 'x', 1 from n; commit;")
                                     .arg(kBatch)
                                     .toUtf8();
        while (!stop) {
            if (sqlite3_exec(db, batch.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                ++batches;
            else
                sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a writer that lets readers in
        }
        sqlite3_close(db);
    });
    QStringList copies;
    const QDateTime when(QDate(2026, 1, 2), QTime(12, 0));
    int batchesBefore = 0;
    try {
        while (copies.size() < 8) {
            if (copies.isEmpty())
                batchesBefore = batches;
            if (batches > 0)
                copies << Backup::makeDated(dbPath(), folder() + "/backups", when);
            else
                std::this_thread::yield();
        }
    } catch (const DbError& e) {
        ADD_FAILURE() << e.what();
    }
    const int batchesWhileCopying = batches - batchesBefore;
    stop = true;
    writer.join();
    EXPECT_GT(batchesWhileCopying, 0);

    EXPECT_EQ(copies.size(), QSet<QString>(copies.begin(), copies.end()).size());
    for (const QString& c : copies) {
        EXPECT_TRUE(FileCheck::inspect(c, Upgrade::newestVersion(), false).sound()) << c.toStdString();
        const int n = rowsOf(c, "select count(*) from 收入帐").value(0).toInt();
        EXPECT_EQ(n % kBatch, 0) << "a copy holds part of a transaction";
    }
    EXPECT_TRUE(names(folder() + "/backups").filter(".part").isEmpty());
}

TEST_F(Backups, ACopyThatCannotBeWrittenLeavesNothingUnderItsName)
{
    const QString blocked = folder() + "/blocked";
    touch(blocked);  // a file where the folder should be
    try {
        Backup::makeDated(dbPath(), blocked, QDateTime::currentDateTime());
        ADD_FAILURE() << "a copy into a file";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::CannotOpen);
    }
    const QString dir = folder() + "/backups";
    QDir().mkpath(dir);
    {
        FullDisk full;
        try {
            Backup::copy(dbPath(), dir + "/copy.mdb", false);
            ADD_FAILURE() << "a copy onto a full disk";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbError::DiskFull);
        }
    }
    EXPECT_TRUE(names(dir).isEmpty()) << names(dir).join(" ").toStdString();
    // The automatic names are never reused; a chosen file is replaced whole.
    touch(dir + "/copy.mdb");
    EXPECT_THROW(Backup::copy(dbPath(), dir + "/copy.mdb", false), DbError);
    Backup::copy(dbPath(), dir + "/copy.mdb", true);
    EXPECT_TRUE(FileCheck::inspect(dir + "/copy.mdb", Upgrade::newestVersion(), false).sound());
}

TEST_F(Backups, FileCheckTellsEachKindOfFile)
{
    sql("with recursive n(i) as (select 1 union all select i + 1 from n where i < 400) "
        "insert into 收入帐 select 'm', 't', i, '2026-01-02', hex(zeroblob(250)), 1 from n");
    const QByteArray good = fileBytes(dbPath());
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(folder() + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QString readOnly = write("readonly.mdb", good);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadUser);
    const QString foreign = folder() + "/foreign.mdb";
    makeDatabase(foreign, "create table notes(t text); insert into notes values('x');");
    const QString newer = write("newer.mdb", good);
    makeDatabase(newer, QString("pragma user_version = %1;").arg(Upgrade::newestVersion() + 1));
    QDir().mkpath(folder() + "/folder.mdb");

    struct Case {
        QString path;
        bool own;
        State state;
        const char* says;
    };
    const Case cases[] = {
        {dbPath(), true, State::Sound, "完好"},
        {folder() + "/none.mdb", true, State::Missing, "找不到"},
        {folder() + "/folder.mdb", true, State::NotAFile, "文件夹"},
        {write("empty.mdb", {}), true, State::Empty, "0 字节"},
        {write("text.mdb", "收入 100 元\n"), false, State::NotADatabase, "不是数据库文件"},
        {write("half.mdb", good.left(good.size() / 2)), false, State::Damaged, "已损坏"},
        {foreign, false, State::Foreign, "不是和顺家账的数据库"},
        {newer, false, State::Newer, "新版"},
        {readOnly, true, State::ReadOnly, "只读"},
        {readOnly, false, State::Sound, "完好"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const FileCheck::Report r = FileCheck::inspect(c.path, Upgrade::newestVersion(), c.own);
        EXPECT_EQ(static_cast<int>(r.state), static_cast<int>(c.state));
        const QString text = FileCheck::describe(r, c.path, c.own);
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators(c.path))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.says))) << text.toStdString();
        EXPECT_FALSE(hasEnglish(text)) << text.toStdString();
    }
    EXPECT_EQ(fileBytes(dbPath()), good);
}

}  // namespace
