// Copies of the file: the keep rule over a folder of backups, a copy taken while another
// connection writes, and what the file check accepts of a file's schema.
#include "backup.h"
#include "connection.h"
#include "dberror.h"
#include "diskwrites.h"
#include "filecheck.h"
#include "fileschema.h"
#include "statement.h"
#include "support/faultydisk.h"
#include "support/testsupport.h"
#include "upgrade.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <iterator>
#include <set>
#include <sqlite3.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Backups = DbTest;

TEST_F(Backups, KeepsTheTenNewestAndTheNewestOfEachOfTwelveMonths)
{
    const QString dir = folder() + "/backups";
    QDir().mkpath(dir);
    QStringList kept, all;
    // December 2026, the month of "today": fourteen backups, the last two within one second.
    for (int i = 0; i < 12; ++i)
        all << QString("main-202612%1-%2.mdb").arg(1 + i / 2, 2, 10, QChar('0')).arg(i % 2 ? "090000" : "080000");
    all << "main-20261206-235959.mdb" << "main-20261206-235959-2.mdb";
    kept = all.mid(4);
    // Two a month before: the later one stays for the eleven months before December only.
    for (QDate m(2025, 1, 1); m.year() < 2026 || m.month() < 12; m = m.addMonths(1)) {
        all << "main-" + m.toString("yyyyMM") + "03-120000.mdb" << "main-" + m.toString("yyyyMM") + "20-120000.mdb";
        if (m.year() == 2026)
            kept << all.last();
    }
    // Other files are left alone; the temporary copy an interrupted backup left goes.
    kept << "notes.txt" << "main-old.mdb";
    for (const QString& name : all + QStringList{"notes.txt", "main-old.mdb", ".main-20261205-080000.mdb.Ab12Cd.part"})
        writeFile(dir + "/" + name, {});

    EXPECT_EQ(Backup::prune(dir, QDate(2026, 12, 6)), all.size() + 3 - kept.size());
    kept.sort();
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
    EXPECT_EQ(Backup::listDated(dir).value(0).path, dir + "/main-20261206-235959-2.mdb");
    // A few old ones are all among the ten newest.
    for (const char* name : {"main-20190101-000000.mdb", "main-20200101-000000.mdb"})
        writeFile(folder() + "/" + QString(name), {});
    EXPECT_EQ(Backup::prune(folder(), QDate(2026, 12, 6)), 0);
}

// Which files DiskWrites renamed without having flushed them first.
struct RenamedUnflushed : DiskWrites::Observer {
    std::set<DiskWrites::Path> flushedFiles;
    QStringList unflushed;
    void created(const DiskWrites::Path&) override {}
    void wrote(const DiskWrites::Path& file, std::int64_t, std::string_view) override { flushedFiles.erase(file); }
    void flushed(const DiskWrites::Path& file) override { flushedFiles.insert(file); }
    void renamed(const DiskWrites::Path& from, const DiskWrites::Path&) override
    {
        if (!flushedFiles.count(from))
            unflushed << QString::fromStdString(from.string());
    }
    void removed(const DiskWrites::Path&) override {}
    void madeFolder(const DiskWrites::Path&) override {}
    void flushedFolder(const DiskWrites::Path&) override {}
};

// A copy is one committed state of the file: a batch that another connection writes in the middle of
// the copy (just before the copy's first write) is not in it. Without WAL the writer cannot commit
// while the copy reads (the file is busy) and commits after it; with WAL it commits at once and the
// copy holds the file as it was before. Either way the copy is flushed to the disk before it is put
// in place.
TEST_F(Backups, ACopyTakenWhileAnotherConnectionWritesIsOneCommittedState)
{
    FaultyDisk::install();
    const char* batch = "begin; with recursive n(i) as (select 1 union all select i + 1 from n where i < 50) "
                        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select 'm', 't', i, '2026-01-02', 'x', 1 from n; commit;";
    sql(batch);
    for (const char* mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        const bool wal = QByteArray(mode) == "wal";
        sqlite3* writer = nullptr;
        ASSERT_EQ(sqlite3_open(dbPath().toUtf8().constData(), &writer), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, QByteArray("pragma journal_mode = ").append(mode).constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        const QString before = scalar("select count(*) from 收入帐");
        int written = -1;
        QString firstWrite;
        FaultyDisk::closedUnflushed();
        RenamedUnflushed renames;
        DiskWrites::setObserver(&renames);
        FaultyDisk::beforeFirstWrite([&](const QString& file) {
            firstWrite = file;
            written = sqlite3_exec(writer, batch, nullptr, nullptr, nullptr);
            if (written != SQLITE_OK)
                sqlite3_exec(writer, "rollback", nullptr, nullptr, nullptr);
        });
        const QString copy = Backup::makeDated(dbPath(), folder() + "/backups", QDateTime(QDate(2026, 1, 2), QTime(12, 0)));
        EXPECT_TRUE(firstWrite.endsWith(".part")) << firstWrite.toStdString();
        EXPECT_EQ(written, wal ? SQLITE_OK : SQLITE_BUSY);
        DiskWrites::setObserver(nullptr);
        // The engine may close the copy unflushed: it is flushed before it takes its name.
        for (const QString& part : FaultyDisk::closedUnflushed().filter(".part"))
            EXPECT_TRUE(renames.flushedFiles.count(DiskWrites::Path(part.toStdString()))) << part.toStdString();
        EXPECT_EQ(renames.unflushed, QStringList());
        EXPECT_TRUE(FileCheck::inspect(copy, Upgrade::newestVersion(), false).sound()) << copy.toStdString();
        EXPECT_EQ(rowsOf(copy, "select count(*) from 收入帐"), QStringList({before}));
        if (!wal) {
            EXPECT_EQ(sqlite3_exec(writer, batch, nullptr, nullptr, nullptr), SQLITE_OK);
        }
        EXPECT_EQ(scalar("select count(*) from 收入帐").toInt(), before.toInt() + 50);
        sqlite3_exec(writer, "pragma journal_mode = delete", nullptr, nullptr, nullptr);
        sqlite3_close(writer);
    }
}

// The objects of a file's schema as "type name: definition", the table of values an upgrade set aside
// left out.
QStringList schemaOf(Connection& conn)
{
    QStringList out;
    for (const FileSchema::Object& o : FileSchema::objectsOf(conn))
        if (o.name != Upgrade::kSetAsideTable)
            out << o.type + " " + o.name + ": " + o.sql;
    return out;
}

QStringList schemaOf(const QString& file)
{
    Connection conn;
    conn.open(file, true);
    return schemaOf(conn);
}

// Files of each version as that version's own build made them, with a few records (tests/data/versions,
// made once by tools/versionfile.sh with that version's schema.sql beside each): each is accepted as
// its version, also once another tool has run ANALYZE on it; upgraded, it keeps its records and has
// exactly the schema of the newest version's file; and the file the build makes today is that one.
TEST_F(Backups, AFileOfEachVersionAsItsOwnBuildMadeItIsAcceptedAndUpgradedToTheNewest)
{
    const int newest = Upgrade::newestVersion();
    const QString data = QStringLiteral(KINBOOK_TEST_DIR "/data/versions/v%1.");
    ASSERT_TRUE(QFileInfo::exists(data.arg(newest) + "mdb")) << "no file of version " << newest << ": tools/versionfile.sh makes it";
    const QStringList newestSchema = schemaOf(data.arg(newest) + "mdb");
    EXPECT_EQ(schemaOf(KINBOOK_EMPTY_DB), newestSchema);
    for (int version = 0; version <= newest; ++version) {
        SCOPED_TRACE(version);
        Connection conn;
        conn.openInMemory();
        QFile sql(data.arg(version) + "sql");
        ASSERT_TRUE(sql.open(QIODevice::ReadOnly));
        conn.execute(QString::fromUtf8(sql.readAll()));
        const QString file = folder() + QString("/v%1.mdb").arg(version);
        ASSERT_TRUE(QFile::copy(data.arg(version) + "mdb", file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(schemaOf(file), schemaOf(conn)) << "the file is not what its schema.sql makes";
        conn.close();

        makeDatabase(file, "analyze");
        const FileCheck::Report r = FileCheck::inspect(file, newest, false);
        EXPECT_TRUE(r.sound()) << FileCheck::describe(r, file).toStdString();
        EXPECT_EQ(r.version, version);
        const QStringList records = rowsOf(file, "select 成员ID, 类型ID, 金额, 日期, 备注, 月份 from 收入帐 order by rowid");
        conn.open(file);
        const Upgrade::Report up = Upgrade::run(conn);
        EXPECT_EQ(schemaOf(conn), newestSchema);
        conn.close();
        EXPECT_EQ(rowsOf(file, "select 成员ID, 类型ID, 金额, ifnull(日期, '-'), 备注, 月份 from 收入帐 order by rowid"),
                  QStringList(records).replaceInStrings("01/02/2026", "-"));
        EXPECT_EQ(up.setAsideCount(), version == 0 ? 1 : 0);
        EXPECT_TRUE(FileCheck::inspect(file, newest, false).sound());
    }
    // Spelling apart: quotes, case, spacing and comments; a quoted text stays as it is.
    const struct {
        const char *a, *b;
        bool same;
    } spellings[] = {
        {"CREATE TABLE \"收入帐\" (\n  [金额] Currency -- yuan\n)", "create table 收入帐(金额 CURRENCY)", true},
        {"CREATE INDEX \"ix\" ON `t` ([ID]) /* new */", "create index ix on t(id)", true},
        {"check (帐 in ('收入帐'))", "check (帐 in (\"收入帐\"))", false},
        {"check (x in ('A'))", "check (x in ('a'))", false},
    };
    for (const auto& c : spellings)
        EXPECT_EQ(FileSchema::normalisedSql(c.a) == FileSchema::normalisedSql(c.b), c.same) << c.a;
    // Texts that end on a quote or a sign.
    EXPECT_EQ(FileSchema::normalisedSql("DEFAULT 'it''s'"), "default 'it''s'");
    EXPECT_EQ(FileSchema::normalisedSql("a -"), "a -");
    EXPECT_EQ(FileSchema::normalisedSql("a /"), "a /");
}

// Every connection keeps the file's schema from acting: no writes to the schema, no functions from
// it, every page's cells checked.
TEST_F(Backups, ConnectionsAreDefensive)
{
    const QByteArray before = fileBytes(dbPath());
    Connection conn;
    conn.open(dbPath());
    EXPECT_EQ(columnTexts(conn, "pragma trusted_schema"), QStringList({"0"}));
    EXPECT_EQ(columnTexts(conn, "pragma cell_size_check"), QStringList({"1"}));
    EXPECT_THROW(conn.execute("pragma writable_schema = on; update sqlite_master set sql = sql || ' ' where name = '成员'"),
                 DbError);
    conn.close();
    EXPECT_EQ(fileBytes(dbPath()), before);
}

// The copy is the file byte for byte while another connection reads it; a file in WAL mode is
// copied with the records that are still in its -wal file. Making it keeps every lock this process
// holds on the file: another process still cannot write while a connection of ours does.
TEST_F(Backups, ACopyIsTheWholeCommittedFileAndKeepsTheLocksHeldOnIt)
{
    sql("with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select 'm', 't', i, '2026-01-02', hex(zeroblob(100)), 1 from n");
    sqlite3* ours = nullptr;
    sqlite3_open(dbPath().toUtf8().constData(), &ours);
    ASSERT_EQ(sqlite3_exec(ours, "begin; select count(*) from 收入帐;", nullptr, nullptr, nullptr), SQLITE_OK);
    const QString copy = folder() + "/copy.mdb";
    Backup::copy(dbPath(), copy, false);
    EXPECT_EQ(fileBytes(copy), fileBytes(dbPath()));

    // Our connection writes (its lock is taken); a copy is made and closes its own handle.
    ASSERT_EQ(sqlite3_exec(ours, "commit; begin immediate; insert into 成员 (ID, 姓名, 关系, 密码) values('9', '丁', '', '9');", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    Backup::copy(dbPath(), folder() + "/during-write.mdb", false);
    const QByteArray path = QFile::encodeName(dbPath());
    const pid_t child = fork();
    if (child == 0) {
        // Another process asks whether it could take the engine's reserved byte for writing.
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0x40000001;
        lock.l_len = 1;
        const int fd = open(path.constData(), O_RDWR);
        _exit(fd >= 0 && fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process could write meanwhile";
    EXPECT_EQ(rowsOf(folder() + "/during-write.mdb", "select count(*) from 成员 where ID = '9'"), QStringList({"0"}));
    sqlite3_exec(ours, "commit", nullptr, nullptr, nullptr);

    // WAL: the last records are in the -wal file while a connection keeps it open.
    ASSERT_EQ(sqlite3_exec(ours, "pragma journal_mode = wal; pragma wal_autocheckpoint = 0; "
                                 "insert into 成员 (ID, 姓名, 关系, 密码) values('10', '戊', '', '10');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QString walCopy = folder() + "/wal.mdb";
    Backup::copy(dbPath(), walCopy, false);
    EXPECT_EQ(rowsOf(walCopy, "select 姓名 from 成员 where ID in ('9', '10') order by ID"), QStringList({"戊", "丁"}));
    EXPECT_EQ(rowsOf(walCopy, "select count(*) from 收入帐"), QStringList({"2000"}));
    EXPECT_TRUE(FileCheck::inspect(walCopy, Upgrade::newestVersion(), false).sound());
    sqlite3_exec(ours, "pragma journal_mode = delete", nullptr, nullptr, nullptr);
    sqlite3_close(ours);
}

}  // namespace
