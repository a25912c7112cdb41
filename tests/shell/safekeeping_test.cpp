// Keeping the file safe, as the household meets it: what the start says about a file it cannot
// use, the automatic backups, the menu's backup and restore, and the upgrade of an old file.
#include "shelltest.h"
#include "backup.h"
#include "support/faultydisk.h"
#include "upgrade.h"
#include "session.h"

#include <QCryptographicHash>
#include <QTemporaryFile>
#include <optional>
#include <sqlite3.h>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const QString kNoDatabase = QStringLiteral("连接数据库错误，系统将不能正常运行");

QByteArray hashOf(const QString& path)
{
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

class FileSafety : public ShellTest {
protected:
    QString backupsDir() const { return folder() + "/backups"; }
    QStringList backups() const  // newest first
    {
        QStringList out;
        for (const Backup::Dated& d : Backup::listDated(backupsDir()))
            out << d.path;
        return out;
    }
    MainWindow* loggedIn()
    {
        LoginWindow* login = openLogin();
        attempt(login, "qmr", "7351");
        return login->mainWindow();
    }
    void fresh()  // a new folder and empty database, as for a test of its own
    {
        TearDown();
        SetUp();
    }
};

TEST_F(FileSafety, StartRefusesAFileItCannotUseAndSaysWhy)
{
    sqlite3* holder = nullptr;
    std::optional<FullDisk> full;
    const int newest = Upgrade::newestVersion();
    const std::vector<std::pair<std::function<void()>, QString>> cases = {
        {[&] { QFile::remove(dbPath()); }, "找不到"},
        {[&] { writeFile(dbPath(), "收入 100 元\n"); }, "不是数据库文件"},
        {[&] { writeFile(dbPath(), {}); }, "0 字节"},
        {[&] { writeFile(dbPath(), {}); makeDatabase(dbPath(), "create table notes(t);"); }, "不是和顺家账的数据库"},
        {[&] { makeDatabase(dbPath(), QString("pragma user_version = %1;").arg(newest + 1)); },
         QString("版本是 %1，比本程序能打开的版本 %2 新").arg(newest + 1).arg(newest)},
        {[&] { QFile::setPermissions(dbPath(), QFile::ReadOwner | QFile::ReadUser); }, "只读"},
        {[&] {
             sqlite3_open(dbPath().toUtf8().constData(), &holder);
             sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr);
         },
         "正被其它程序使用"},
        {[&] {
             writeFile(dbPath(), {});
             makeDatabase(dbPath(), versionZeroSchema());
             full.emplace();
         },
         "磁盘已满"},
    };
    for (const auto& [make, cause] : cases) {
        SCOPED_TRACE(cause.toStdString());
        fresh();
        make();
        const QByteArray before = fileBytes(dbPath());
        EXPECT_FALSE(LoginWindow().isLoaded());
        full.reset();
        sqlite3_close(holder);
        holder = nullptr;
        // The old message first; then the file, the cause and what to do, in Chinese only.
        ASSERT_FALSE(script().messages().isEmpty());
        const ScriptedAnswers::Message m = script().messages().last();
        EXPECT_EQ(m.style, App::MsgStyle::Stop);
        EXPECT_EQ(m.text.section('\n', 0, 0), kNoDatabase);
        const QString why = m.text.section('\n', 1);
        EXPECT_TRUE(why.contains(QDir::toNativeSeparators(dbPath())) && why.contains(cause)) << why.toStdString();
        EXPECT_FALSE(hasEnglish(why)) << why.toStdString();
        EXPECT_FALSE(App::conn.isOpen());
        EXPECT_EQ(fileBytes(dbPath()), before);
        EXPECT_TRUE(backups().isEmpty());
    }
}

TEST_F(FileSafety, DamagedFileOffersTheNewestSoundBackup)
{
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1', '甲', '', '1');");
    openConn();
    App::closeConn();
    ASSERT_EQ(backups().size(), 1);
    const QString sound = backups().first();
    writeFile(backupsDir() + "/main-20991231-000000.mdb", "newer, but no database");
    const QByteArray junk("\x00\x01 damaged", 10);
    writeFile(dbPath(), junk);

    for (App::MsgAnswer answer : {App::MsgAnswer::Cancel, App::MsgAnswer::Ok}) {
        restartScript();
        script().queueAnswer(answer);
        LoginWindow login;
        ASSERT_EQ(script().messages().size(), 1);
        EXPECT_EQ(script().messages().first().style, App::MsgStyle::Question);
        EXPECT_TRUE(lastMessage().startsWith(kNoDatabase + "\n"));
        EXPECT_TRUE(lastMessage().contains(QDir::toNativeSeparators(sound))) << lastMessage().toStdString();
        EXPECT_EQ(login.isLoaded(), answer == App::MsgAnswer::Ok);
        EXPECT_EQ(fileBytes(dbPath()) == junk, answer == App::MsgAnswer::Cancel);
    }
    EXPECT_EQ(scalar("select 姓名 from 成员"), "甲");
    // The damaged file is kept, out of the way.
    const QStringList aside = QDir(backupsDir()).entryList({"damaged-*.mdb"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(backupsDir() + "/" + aside.first()), junk);
}

TEST_F(FileSafety, BackupsAtStartAndAtTheEndOfAWritingSessionOnly)
{
    openConn();
    App::closeConn();  // a reading session
    EXPECT_EQ(backups().size(), 1);
    // A new login on the file as it was left needs no second copy of it.
    openConn();
    EXPECT_EQ(backups().size(), 1);
    App::conn.execute("insert into 成员 (ID, 姓名, 关系, 密码) values('2', '乙', '', '2')");
    App::closeConn();
    ASSERT_EQ(backups().size(), 2);
    EXPECT_EQ(rowsOf(backups()[0], "select 姓名 from 成员"), QStringList({"乙"}));
    EXPECT_EQ(rowsOf(backups()[1], "select 姓名 from 成员"), QStringList());
    // Another program wrote in between: the next login copies the file as it now is.
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('3', '丙', '', '3')");
    openConn();
    ASSERT_EQ(backups().size(), 3);
    EXPECT_EQ(rowsOf(backups()[0], "select 姓名 from 成员 order by ID"), QStringList({"乙", "丙"}));
    App::closeConn();
    EXPECT_EQ(backups().size(), 3);
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(FileSafety, BackupThatCannotBeMadeIsToldOnceAndTheProgramGoesOn)
{
    for (const bool diskFull : {false, true}) {
        SCOPED_TRACE(diskFull ? "disk full" : "folder not writable");
        fresh();
        std::optional<FullDisk> full;
        if (diskFull)
            full.emplace();
        else
            writeFile(backupsDir(), "a file where the folder should be");
        MainWindow* main = loggedIn();
        ASSERT_NE(main, nullptr);
        ASSERT_EQ(script().messages().size(), 1);
        EXPECT_EQ(script().messages().first().style, App::MsgStyle::Information);
        EXPECT_TRUE(lastMessage().contains(diskFull ? "磁盘已满" : "无法写入")) << lastMessage().toStdString();
        auto* note = child<QLabel>(main, "Stabar_note");
        EXPECT_TRUE(note->isVisible() && note->text().startsWith("自动备份失败：")) << note->text().toStdString();

        full.reset();
        App::conn.execute("insert into 成员 (ID, 姓名, 关系, 密码) values('2', '乙', '', '2')");
        if (diskFull)
            full.emplace();
        App::closeConn();
        full.reset();
        EXPECT_EQ(script().messages().size(), 1) << "told once";
        EXPECT_EQ(scalar("select 姓名 from 成员"), "乙");
        EXPECT_TRUE(QDir(backupsDir()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "no half copy left";
    }
}

TEST_F(FileSafety, RestoreRefusesWhatIsNotASoundFileAndRoundTripsABackup)
{
    sql("with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) "
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select 'm', 't', i, '2026-01-02', hex(zeroblob(500)), 1 from n");
    MainWindow* main = loggedIn();
    ASSERT_NE(main, nullptr);
    const QString good = backups().value(0);
    const QString newer = folder() + "/newer.mdb", foreign = folder() + "/foreign.mdb", text = folder() + "/notes.mdb",
                  half = folder() + "/half.mdb";
    QFile::copy(good, newer);
    makeDatabase(newer, QString("pragma user_version = %1;").arg(Upgrade::newestVersion() + 1));
    makeDatabase(foreign, "create table notes(t);");
    writeFile(text, "收入 100 元");
    writeFile(half, fileBytes(good).left(fileBytes(good).size() / 2));
    App::conn.execute("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('2', 'i', 10, '2026-01-02', '', 1)");
    const QByteArray before = fileBytes(dbPath());

    const std::vector<std::tuple<QString, App::MsgAnswer, QString>> refused = {
        {text, App::MsgAnswer::Ok, "不是数据库文件"}, {half, App::MsgAnswer::Ok, "已损坏"}, {foreign, App::MsgAnswer::Ok, "不是和顺家账的数据库"},
        {newer, App::MsgAnswer::Ok, "比本程序能打开的版本"}, {good, App::MsgAnswer::Cancel, "要用这个备份恢复数据吗？"}, {QString(), App::MsgAnswer::Ok, QString()},
    };
    for (const auto& [chosen, answer, says] : refused) {
        SCOPED_TRACE(chosen.toStdString());
        restartScript();
        script().queueFileChoice(chosen);
        script().queueAnswer(answer);
        trigger(main, "mnurestore");
        EXPECT_EQ(!script().messages().isEmpty() && lastMessage().contains(says), !says.isEmpty()) << lastMessage().toStdString();
        EXPECT_EQ(fileBytes(dbPath()), before);
        EXPECT_EQ(backups(), QStringList({good}));
        EXPECT_TRUE(main->isVisible() && App::conn.isOpen());
        EXPECT_TRUE(QDir(folder()).entryList(QDir::Files | QDir::Hidden).filter(".part").isEmpty()) << "the copy checked is gone";
    }

    restartScript();
    script().queueFileChoice(good);
    script().queueAnswer(App::MsgAnswer::Ok);
    trigger(main, "mnurestore");
    ASSERT_EQ(script().fileDialogs().size(), 1);
    EXPECT_EQ(script().fileDialogs().first().proposed, backupsDir());
    ASSERT_EQ(messageTexts().size(), 2);
    EXPECT_TRUE(messageTexts()[0].contains("收入帐：备份 0 条，现在 1 条")) << messageTexts()[0].toStdString();
    // What was written after the backup is gone from the file, and kept in the copy made first.
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "0");
    const QStringList made = backups();
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(rowsOf(made[0], "select count(*) from 收入帐"), QStringList({"1"}));
    // Back at the login, on the restored file.
    settle();
    ASSERT_EQ(shellWindows().size(), 1);
    EXPECT_TRUE(qobject_cast<LoginWindow*>(shellWindows().first()) && shellWindows().first()->isVisible());
    EXPECT_TRUE(App::conn.isOpen());
}

TEST_F(FileSafety, BackupToAChosenFileNeverOverTheOpenFile)
{
    App::setToday(QDate(2026, 12, 6));
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1', '甲', '', '1');");
    MainWindow* main = loggedIn();
    ASSERT_NE(main, nullptr);
    const QByteArray before = fileBytes(dbPath());
    const QString chosen = folder() + "/copy.mdb";
    writeFile(folder() + "/blocked", "a file where a folder should be");
    for (const auto& [target, says] : std::vector<std::pair<QString, QString>>{
             {chosen, "数据已备份到 " + QDir::toNativeSeparators(chosen)},
             {dbPath(), "不能把备份写到数据库文件 main.mdb 本身"},
             {folder() + "/blocked/copy.mdb", "备份没有完成"}}) {
        restartScript();
        script().queueFileChoice(target);
        trigger(main, "mnubackup");
        ASSERT_EQ(script().fileDialogs().size(), 1);
        EXPECT_TRUE(script().fileDialogs().first().proposed.endsWith("/和顺家账备份-20261206.mdb"));
        EXPECT_TRUE(lastMessage().startsWith(says)) << lastMessage().toStdString();
        EXPECT_EQ(fileBytes(dbPath()), before);
    }
    EXPECT_EQ(rowsOf(chosen, "select 姓名 from 成员"), QStringList({"甲"}));
}

// 恢复数据 opens on backups/, where the automatic copies are, also after a copy went to a USB stick
// and after a restore from elsewhere; 备份数据 goes on opening where its last copy went.
TEST_F(FileSafety, RestoreAlwaysOpensOnTheBackupsFolder)
{
    App::setToday(QDate(2026, 12, 6));
    MainWindow* main = loggedIn();
    ASSERT_NE(main, nullptr);
    const QString stick = folder() + "/U盘";
    ASSERT_TRUE(QDir().mkpath(stick));
    script().queueFileChoice(stick + "/和顺家账备份-20261206.mdb");
    trigger(main, "mnubackup");
    for (const QString& chosen : {QString(), stick + "/和顺家账备份-20261206.mdb"}) {
        script().queueFileChoice(chosen);
        script().queueAnswer(App::MsgAnswer::Cancel);  // the question before a restore
        trigger(main, "mnurestore");
        ASSERT_FALSE(script().fileDialogs().isEmpty());
        EXPECT_EQ(script().fileDialogs().last().proposed, backupsDir());
    }
    script().queueFileChoice(QString());
    trigger(main, "mnubackup");
    EXPECT_EQ(QFileInfo(script().fileDialogs().last().proposed).absolutePath(), stick);
}

TEST_F(FileSafety, OldFileIsUpgradedAtStartAfterABackupOfItAsItWas)
{
    writeFile(dbPath(), {});
    makeDatabase(dbPath(), versionZeroSchema() + "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1', 'i', 5, '01/02/2026', '', 1);");
    openConn();
    ASSERT_EQ(backups().size(), 1);
    EXPECT_EQ(rowsOf(backups().first(), "select 日期 from 收入帐"), QStringList({"01/02/2026"}));
    EXPECT_EQ(rowsOf(backups().first(), "pragma user_version"), QStringList({"0"}));
    EXPECT_EQ(scalar("pragma user_version").toInt(), Upgrade::newestVersion());
    EXPECT_EQ(rows("select 金额, quote(日期) from 收入帐"), QStringList({"5|NULL"}));
    ASSERT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains("收入帐.日期 1 个") && messageTexts().first().contains(Upgrade::kSetAsideTable));
}

// Files that another tool changed: each is refused by the restore and at start (where the sound
// backup is offered), named for what is wrong, and neither it nor main.mdb is written.
TEST_F(FileSafety, FileWithObjectsTheProgramDidNotMakeIsRefusedAtRestoreAndAtStart)
{
    const QString plainLedger = "成员ID TEXT COLLATE NOCASE, 类型ID TEXT COLLATE NOCASE, 金额 CURRENCY, 日期 DATE, "
                                "备注 TEXT COLLATE NOCASE, 月份 INTEGER, 编号 INTEGER PRIMARY KEY";
    std::vector<std::pair<QString, QString>> crafts;  // what is done to a sound file, the object named
    for (const char* table : {"收入帐", "支出帐", "投资帐", "银行帐", "负债", "回收站"})
        crafts.emplace_back(QString("create trigger tw after insert on %1 begin delete from 支出帐; end;").arg(table), "触发器 tw");
    crafts.emplace_back("create view 看 as select * from 支出帐;", "视图 看");
    crafts.emplace_back("create table 备忘(t);", "表 备忘");
    crafts.emplace_back("pragma legacy_alter_table = on; alter table 支出帐 rename to 旧; create table 支出帐(" + plainLedger
                            + "); insert into 支出帐 select * from 旧; drop table 旧;"
                              "create index 支出帐_成员ID on 支出帐 (成员ID); create index 支出帐_类型ID on 支出帐 (类型ID);"
                              "create index 支出帐_日期 on 支出帐 (日期, 月份, 金额);",
                        "表 支出帐 的定义");
    crafts.emplace_back("drop index 收入帐_日期;", "缺少索引 收入帐_日期");
    crafts.emplace_back("alter table 收入帐 add column 附注 text;", "表 收入帐 的定义");
    for (const auto& [craft, named] : crafts) {
        SCOPED_TRACE(craft.toStdString());
        fresh();
        sql("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1', 't', 8, '2026-01-02', '', 1);");
        MainWindow* main = loggedIn();
        ASSERT_NE(main, nullptr);
        const QString good = backups().value(0), crafted = folder() + "/crafted.mdb";
        ASSERT_TRUE(QFile::copy(good, crafted));
        makeDatabase(crafted, craft);
        const QByteArray craftedHash = hashOf(crafted), ownHash = hashOf(dbPath());

        restartScript();
        script().queueFileChoice(crafted);
        trigger(main, "mnurestore");
        ASSERT_EQ(messageTexts().size(), 1);
        EXPECT_TRUE(lastMessage().startsWith("不能用这个文件恢复数据") && lastMessage().contains("被别的程序改动过")
                    && lastMessage().contains(named))
            << lastMessage().toStdString();
        EXPECT_EQ(hashOf(dbPath()), ownHash);
        EXPECT_EQ(hashOf(crafted), craftedHash);
        EXPECT_TRUE(main->isVisible() && App::conn.isOpen());

        // The same file as main.mdb at the next start: the sound backup is offered and declined.
        delete main;
        App::closeConn();
        writeFile(dbPath(), fileBytes(crafted));
        restartScript();
        script().queueAnswer(App::MsgAnswer::Cancel);
        EXPECT_FALSE(LoginWindow().isLoaded());
        ASSERT_EQ(script().messages().size(), 1);
        EXPECT_EQ(script().messages().first().style, App::MsgStyle::Question);
        EXPECT_TRUE(lastMessage().startsWith(kNoDatabase + "\n") && lastMessage().contains(named)
                    && lastMessage().contains(QDir::toNativeSeparators(good)))
            << lastMessage().toStdString();
        EXPECT_FALSE(App::conn.isOpen());
        EXPECT_EQ(hashOf(dbPath()), craftedHash);
        EXPECT_EQ(hashOf(crafted), craftedHash);
    }
    // Accepted, the backup takes the altered file's place; the trigger went aside with it.
    restartScript();
    script().queueAnswer(App::MsgAnswer::Ok);
    EXPECT_TRUE(LoginWindow().isLoaded());
    EXPECT_EQ(scalar("select count(*) from pragma_table_info('收入帐')"), "7");
    EXPECT_EQ(scalar("select count(*) from 支出帐"), "1");
}

// A file of an old version is checked against that version before it is upgraded; the table of
// values the upgrade set aside is its own, and the upgraded file opens again.
TEST_F(FileSafety, OldFileIsCheckedAsItsVersionMadeItBeforeTheUpgrade)
{
    writeFile(dbPath(), {});
    makeDatabase(dbPath(), versionZeroSchema() + "create trigger tw after insert on 收入帐 begin delete from 支出帐; end;");
    const QByteArray before = hashOf(dbPath());
    EXPECT_FALSE(LoginWindow().isLoaded());
    EXPECT_TRUE(lastMessage().contains("触发器 tw")) << lastMessage().toStdString();
    EXPECT_EQ(hashOf(dbPath()), before);
    EXPECT_EQ(scalar("pragma user_version"), "0");

    writeFile(dbPath(), {});
    makeDatabase(dbPath(), versionZeroSchema() + "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1', 'i', 5, '01/02/2026', '', 1);");
    openConn();
    App::closeConn();
    ASSERT_EQ(scalar("select count(*) from 升级待核对"), "1");
    // Written by another program since: checked the whole way at the next start.
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('9', '丁', '', '9');");
    script().clearMessages();
    EXPECT_TRUE(LoginWindow().isLoaded());
    EXPECT_EQ(messageTexts(), QStringList());
}

// main.mdb writable in a folder that is not: refused at start, naming the folder, nothing written.
// Run as root, the rights are dropped for the start (the effective user only) and taken back.
TEST_F(FileSafety, FolderThatCannotBeWrittenIsRefusedAtStart)
{
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "folder permissions are set here with POSIX modes only";
#else
    const QByteArray before = hashOf(dbPath());
    QFile::setPermissions(dbPath(), QFile::Permissions(0x6666));  // read and write for everyone
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                        | QFile::ReadOther | QFile::ExeOther);
    struct Restore {
        QString folder;
        bool dropped = false;
        ~Restore()
        {
            if (dropped && (seteuid(0) != 0 || setegid(0) != 0))
                ADD_FAILURE() << "could not take the rights back";
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    } restore{folder()};
    if (QTemporaryFile(folder() + "/probe-XXXXXX").open()) {
        if (geteuid() != 0)
            GTEST_SKIP() << "this file system lets a read-only folder be written";
        constexpr uid_t kNobody = 65534;
        if (setegid(kNobody) != 0 || seteuid(kNobody) != 0) {
            setegid(0);
            GTEST_SKIP() << "running as root and cannot give up the rights: a read-only folder stays writable";
        }
        restore.dropped = true;
        if (QTemporaryFile(folder() + "/probe-XXXXXX").open())
            GTEST_SKIP() << "running as root: the folder stays writable even without the rights";
        if (!QFile(dbPath()).open(QIODevice::ReadWrite))
            GTEST_SKIP() << "running as root: without the rights main.mdb cannot be reached, so the test would not be of the folder";
    }
    const bool loaded = LoginWindow().isLoaded();
    if (restore.dropped) {
        EXPECT_EQ(seteuid(0), 0);
        EXPECT_EQ(setegid(0), 0);
        restore.dropped = false;
    }
    EXPECT_FALSE(loaded);
    ASSERT_EQ(script().messages().size(), 1);
    EXPECT_EQ(script().messages().first().style, App::MsgStyle::Stop);
    EXPECT_TRUE(lastMessage().startsWith(kNoDatabase + "\n") && lastMessage().contains("文件夹 " + QDir::toNativeSeparators(folder()))
                && lastMessage().contains("无法写入"))
        << lastMessage().toStdString();
    EXPECT_FALSE(hasEnglish(lastMessage().section('\n', 1))) << lastMessage().toStdString();
    EXPECT_FALSE(App::conn.isOpen());
    EXPECT_EQ(hashOf(dbPath()), before);
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList({"main.mdb"}));
#endif
}

// What the program's own work left when it was killed goes at the next start: a restore's copy
// beside main.mdb, a backup's in backups/, a first start's main.mdb.tmp and its journal. Other files
// stay, however like them they look.
TEST_F(FileSafety, UnfinishedCopyBesideTheFileIsRemovedAtStart)
{
    const QByteArray copy = fileBytes(dbPath());
    QDir().mkpath(backupsDir());
    const QStringList ours = {"/.main.mdb.Ab12Cd.part", "/backups/.main-20261206-193012.mdb.Xy34Zw.part",
                              "/backups/.main-20261206-193012-2.mdb.Xy34Zw.part", "/main.mdb.tmp", "/main.mdb.tmp-journal"};
    const QStringList theirs = {"/.notes.txt.Ab12Cd.part", "/main.mdb.part", "/backups/.main-notes.part",
                                "/backups/.main-20261206-193012.mdb.part", "/main.mdb.tmp.keep", "/backups/main.mdb.tmp"};
    for (const QString& name : ours + theirs)
        writeFile(folder() + name, copy);
    openConn();
    EXPECT_TRUE(App::conn.isOpen());
    for (const QString& name : ours)
        EXPECT_FALSE(QFile::exists(folder() + name)) << name.toStdString();
    for (const QString& name : theirs)
        EXPECT_TRUE(QFile::exists(folder() + name)) << name.toStdString();
}

// A restored main.mdb keeps the permissions the file it replaces had.
TEST_F(FileSafety, RestoredFileKeepsThePermissionsOfTheOneItReplaces)
{
    MainWindow* main = loggedIn();
    ASSERT_NE(main, nullptr);
    const QString chosen = backups().value(0);
    ASSERT_FALSE(chosen.isEmpty());
    const QFile::Permissions before = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                                      | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(dbPath(), before));
    script().queueFileChoice(chosen);
    script().queueAnswer(App::MsgAnswer::Ok);
    trigger(main, "mnurestore");
    EXPECT_TRUE(lastMessage().startsWith("已用备份")) << lastMessage().toStdString();
    EXPECT_EQ(QFile::permissions(dbPath()), before);
}

}  // namespace
