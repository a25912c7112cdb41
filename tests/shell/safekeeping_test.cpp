// Keeping the file safe, as the household meets it: what the start says about a file it cannot
// use, the automatic backups, the menu's backup and restore, and the upgrade of an old file.
#include "shelltest.h"
#include "backup.h"
#include "recordset.h"
#include "support/fulldisk.h"
#include "upgrade.h"

#include <QDir>
#include <QFile>
#include <optional>
#include <sqlite3.h>

namespace {

const QString kNoDatabase = QStringLiteral("连接数据库错误，系统将不能正常运行");

class FileSafety : public ShellTest {
protected:
    QString backupsDir() const { return folder() + "/backups"; }
    QStringList backups() const
    {
        QStringList out;
        for (const Backup::Dated& d : Backup::listDated(backupsDir()))
            out << d.path;
        return out;  // newest first
    }
    void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // The main window after logging in as the super-user.
    MainWindow* loggedIn()
    {
        LoginWindow* login = openLogin();
        attempt(login, "qmr", "7351");
        EXPECT_NE(login->mainWindow(), nullptr);
        return login->mainWindow();
    }
    // A new temporary folder with a fresh empty database, as for a test of its own.
    void fresh()
    {
        TearDown();
        SetUp();
    }
    static QString lastMessage() { return App::shownMessages().isEmpty() ? QString() : App::shownMessages().last().text; }
};

// The first line is the old message; the rest names the file and the cause, in Chinese only.
void expectRefusal(const QString& file, const QString& cause)
{
    ASSERT_FALSE(App::shownMessages().isEmpty());
    const App::ShownMessage m = App::shownMessages().last();
    EXPECT_EQ(m.style, 16);
    EXPECT_EQ(m.text.section('\n', 0, 0), kNoDatabase);
    const QString rest = m.text.section('\n', 1);
    EXPECT_TRUE(rest.contains(QDir::toNativeSeparators(file))) << rest.toStdString();
    EXPECT_TRUE(rest.contains(cause)) << rest.toStdString();
    EXPECT_FALSE(hasEnglish(rest)) << rest.toStdString();
}

TEST_F(FileSafety, StartRefusesAFileItCannotUseAndSaysWhy)
{
    sqlite3* holder = nullptr;
    std::optional<FullDisk> full;
    struct Case {
        const char* name;
        std::function<void()> make;
        QString cause;
    };
    const std::vector<Case> cases = {
        {"missing", [&] { QFile::remove(dbPath()); }, "找不到"},
        {"text", [&] { writeFile(dbPath(), "收入 100 元\n"); }, "不是数据库文件"},
        {"0 bytes", [&] { writeFile(dbPath(), {}); }, "0 字节"},
        {"no tables", [&] { QFile::remove(dbPath()); makeDatabase(dbPath(), "create table notes(t);"); }, "不是和顺家账的数据库"},
        {"newer", [&] { makeDatabase(dbPath(), QString("pragma user_version = %1;").arg(Upgrade::newestVersion() + 1)); },
         QString("版本是 %1，比本程序能打开的版本 %2 新").arg(Upgrade::newestVersion() + 1).arg(Upgrade::newestVersion())},
        {"read-only", [&] { QFile::setPermissions(dbPath(), QFile::ReadOwner | QFile::ReadUser); }, "只读"},
        {"locked",
         [&] {
             sqlite3_open(dbPath().toUtf8().constData(), &holder);
             sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr);
         },
         "正被其它程序使用"},
        {"full disk, old file",
         [&] {
             QFile::remove(dbPath());
             makeDatabase(dbPath(), versionZeroSchema());
             full.emplace();
         },
         "磁盘已满"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        c.make();
        const QByteArray before = fileBytes(dbPath());
        {
            LoginWindow login;
            EXPECT_FALSE(login.isLoaded());
        }
        full.reset();
        sqlite3_close(holder);
        holder = nullptr;
        expectRefusal(dbPath(), c.cause);
        EXPECT_FALSE(App::conn.isOpen());
        EXPECT_EQ(fileBytes(dbPath()), before);
        EXPECT_TRUE(backups().isEmpty());
    }
}

TEST_F(FileSafety, DamagedFileOffersTheNewestSoundBackup)
{
    sql("insert into 成员 values('1', '甲', '', '1');");
    openConn();
    App::closeConn();
    ASSERT_EQ(backups().size(), 1);
    const QString sound = backups().first();
    writeFile(backupsDir() + "/main-20991231-000000.mdb", "not a backup");  // newer, but no database
    const QByteArray junk("\x00\x01 damaged", 10);
    writeFile(dbPath(), junk);

    for (int answer : {2, 1}) {
        App::clearShownMessages();
        App::queueAnswer(answer);
        LoginWindow login;
        ASSERT_EQ(App::shownMessages().size(), 1);
        const App::ShownMessage asked = App::shownMessages().first();
        EXPECT_EQ(asked.style, 33);
        EXPECT_EQ(asked.text.section('\n', 0, 0), kNoDatabase);
        EXPECT_TRUE(asked.text.contains(QDir::toNativeSeparators(sound))) << asked.text.toStdString();
        EXPECT_EQ(login.isLoaded(), answer == 1);
        if (answer == 2) {
            EXPECT_EQ(fileBytes(dbPath()), junk);
            continue;
        }
        EXPECT_EQ(child<QComboBox>(&login, "cbouser")->itemText(0), "甲");
        EXPECT_EQ(scalar("select 姓名 from 成员"), "甲");
        // The damaged file is kept, out of the way.
        const QStringList aside = QDir(backupsDir()).entryList({"damaged-*.mdb"});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(fileBytes(backupsDir() + "/" + aside.first()), junk);
    }
}

TEST_F(FileSafety, BackupsAtStartAndAtTheEndOfAWritingSessionOnly)
{
    sql("insert into 成员 values('1', '甲', '', '1');");
    openConn();
    ASSERT_EQ(backups().size(), 1);
    {
        Recordset rs;
        rs.open(App::conn, "select * from 成员", Recordset::ReadOnly);
    }
    App::closeConn();
    EXPECT_EQ(backups().size(), 1) << "a reading session is not backed up";

    openConn();
    EXPECT_EQ(backups().size(), 2);
    App::conn.execute("insert into 成员 values('2', '乙', '', '2')");
    App::closeConn();
    const QStringList made = backups();
    ASSERT_EQ(made.size(), 3);
    EXPECT_EQ(rowsOf(made[0], "select 姓名 from 成员 order by ID"), QStringList({"甲", "乙"}));
    EXPECT_EQ(rowsOf(made[1], "select 姓名 from 成员 order by ID"), QStringList({"甲"}));
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
        ASSERT_EQ(App::shownMessages().size(), 1);
        EXPECT_EQ(App::shownMessages().first().style, 64);
        EXPECT_TRUE(lastMessage().contains(diskFull ? "磁盘已满" : "无法写入")) << lastMessage().toStdString();
        auto* note = child<QLabel>(main, "Stabar_note");
        EXPECT_TRUE(note->isVisible());
        EXPECT_TRUE(note->text().startsWith("自动备份失败：")) << note->text().toStdString();

        full.reset();
        App::conn.execute("insert into 成员 values('2', '乙', '', '2')");
        if (diskFull)
            full.emplace();
        App::closeConn();
        EXPECT_EQ(App::shownMessages().size(), 1) << "told once";
        full.reset();
        EXPECT_EQ(scalar("select 姓名 from 成员"), "乙");
    }
}

TEST_F(FileSafety, RestoreRoundTrip)
{
    sql("insert into 成员 values('1', '甲', '', '1');");
    MainWindow* main = loggedIn();
    ASSERT_NE(main, nullptr);
    const QString startCopy = backups().value(0);
    App::conn.execute("insert into 成员 values('2', '乙', '', '2')");
    App::conn.execute("insert into 收入帐 values('2', 'i', 10, '2026-01-02', '', 1)");

    App::queueFileChoice(startCopy);
    App::queueAnswer(1);
    trigger(main, "mnurestore");

    ASSERT_EQ(App::shownFileDialogs().size(), 1);
    EXPECT_EQ(App::shownFileDialogs().first().proposed, backupsDir());
    const QStringList texts = messageTexts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(App::shownMessages().first().style, 33);
    EXPECT_TRUE(texts[0].contains("收入帐：备份 0 条，现在 1 条")) << texts[0].toStdString();
    EXPECT_TRUE(texts[0].contains(QDir::toNativeSeparators(startCopy)));

    // The records written after the backup are gone from the file and kept in the copy made first.
    EXPECT_EQ(rows("select 姓名 from 成员"), QStringList({"甲"}));
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "0");
    const QStringList made = backups();
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(rowsOf(made[0], "select count(*) from 收入帐"), QStringList({"1"}));

    // Back at the login, on the restored file.
    settle();
    ASSERT_EQ(shellWindows().size(), 1);
    auto* login = qobject_cast<LoginWindow*>(shellWindows().first());
    ASSERT_NE(login, nullptr);
    EXPECT_TRUE(login->isVisible());
    EXPECT_TRUE(App::conn.isOpen());
    EXPECT_EQ(child<QComboBox>(login, "cbouser")->count(), 1);
}

TEST_F(FileSafety, RefusedRestoreLeavesTheFileAsItWas)
{
    sql("with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) "
        "insert into 收入帐 select 'm', 't', i, '2026-01-02', hex(zeroblob(500)), 1 from n");
    MainWindow* main = loggedIn();
    ASSERT_NE(main, nullptr);
    const QString good = backups().value(0);
    const QByteArray goodBytes = fileBytes(good);
    const QString newer = folder() + "/newer.mdb";
    writeFile(newer, goodBytes);
    makeDatabase(newer, QString("pragma user_version = %1;").arg(Upgrade::newestVersion() + 1));
    const QString foreign = folder() + "/foreign.mdb";
    makeDatabase(foreign, "create table notes(t);");

    struct Case {
        const char* name;
        QString chosen;      // empty: the dialog is cancelled
        QByteArray bytes;    // written to `chosen` when not empty
        int answer;          // to the question, if it comes
        QString says;
    };
    const Case cases[] = {
        {"text file", folder() + "/notes.mdb", "收入 100 元", 1, "不是数据库文件"},
        {"truncated copy", folder() + "/half.mdb", goodBytes.left(goodBytes.size() / 2), 1, "已损坏"},
        {"another program's file", foreign, {}, 1, "不是和顺家账的数据库"},
        {"newer version", newer, {}, 1, "比本程序能打开的版本"},
        {"cancelled question", good, {}, 2, "要用这个备份恢复数据吗？"},
        {"cancelled dialog", {}, {}, 1, {}},
    };
    const QByteArray before = fileBytes(dbPath());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.isEmpty())
            writeFile(c.chosen, c.bytes);
        App::scriptMessages(true);
        App::queueFileChoice(c.chosen);
        App::queueAnswer(c.answer);
        trigger(main, "mnurestore");
        const bool said = !App::shownMessages().isEmpty() && lastMessage().contains(c.says);
        EXPECT_EQ(said, !c.says.isEmpty()) << lastMessage().toStdString();
        EXPECT_EQ(fileBytes(dbPath()), before);
        EXPECT_EQ(backups(), QStringList({good}));
        EXPECT_TRUE(main->isVisible());
        EXPECT_TRUE(App::conn.isOpen());
    }
}

TEST_F(FileSafety, BackupToAChosenFile)
{
    App::setToday(QDate(2026, 12, 6));
    sql("insert into 成员 values('1', '甲', '', '1');");
    MainWindow* main = loggedIn();
    ASSERT_NE(main, nullptr);
    const QByteArray before = fileBytes(dbPath());
    const QString chosen = folder() + "/copy.mdb";
    writeFile(folder() + "/blocked", "a file where a folder should be");
    struct Case {
        QString chosen;
        QString says;
    };
    const Case cases[] = {
        {chosen, "数据已备份到 " + QDir::toNativeSeparators(chosen)},
        {dbPath(), "不能把备份写到数据库文件 main.mdb 本身"},
        {folder() + "/blocked/copy.mdb", "备份没有完成"},
    };
    for (const Case& c : cases) {
        App::scriptMessages(true);
        App::queueFileChoice(c.chosen);
        trigger(main, "mnubackup");
        ASSERT_EQ(App::shownFileDialogs().size(), 1);
        EXPECT_TRUE(App::shownFileDialogs().first().proposed.endsWith("/和顺家账备份-20261206.mdb"));
        EXPECT_TRUE(lastMessage().startsWith(c.says)) << lastMessage().toStdString();
        EXPECT_EQ(fileBytes(dbPath()), before);
    }
    EXPECT_EQ(rowsOf(chosen, "select 姓名 from 成员"), QStringList({"甲"}));
}

TEST_F(FileSafety, OldFileIsUpgradedAtStartAfterABackupOfItAsItWas)
{
    QFile::remove(dbPath());
    makeDatabase(dbPath(), versionZeroSchema() + "insert into 收入帐 values('1', 'i', 5, '01/02/2026', '', 1);"
                                                 "insert into 收入帐 values('1', 'i', 6, '2026-01-02', '', 1);");
    openConn();
    ASSERT_EQ(backups().size(), 1);
    EXPECT_EQ(rowsOf(backups().first(), "pragma user_version"), QStringList({"0"}));
    EXPECT_EQ(rowsOf(backups().first(), "select 日期 from 收入帐"), QStringList({"01/02/2026", "2026-01-02"}));
    EXPECT_EQ(scalar("pragma user_version").toInt(), Upgrade::newestVersion());
    EXPECT_EQ(rows("select 金额, quote(日期) from 收入帐 order by rowid"), QStringList({"5|NULL", "6|'2026-01-02'"}));
    ASSERT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains("收入帐.日期 1 个")) << messageTexts().first().toStdString();
    EXPECT_TRUE(messageTexts().first().contains(Upgrade::kSetAsideTable));
}

}  // namespace
