// 系统 → 同步… as a person uses it (set up, 立即同步, what was sent, applied, refused, the conflicts), and
// `kinbook --sync` as a script uses it: two data folders kept in step, and runs killed while applying.
#include "shelltest.h"
#include "connection.h"
#include "ledgerrows.h"
#include "posting.h"
#include "statement.h"
#include "sync.h"
#include "syncfile.h"
#include "synctables.h"
#include "platform.h"
#include "safekeeping.h"
#include "syncwindow.h"
#include "session.h"

#include <QProcess>
#include <QRandomGenerator>
#include <csignal>

namespace {

// Each simulated computer is known by its data folder; `real` ones by this machine, as the program
// run in a process of its own knows it.
void identifyByFolder(bool on)
{
    SyncTables::setMachineIdentityForTests(on ? std::function<QString(const QString&)>(
                                                    [](const QString& path) { return QFileInfo(path).absolutePath(); })
                                              : std::function<QString(const QString&)>());
}

QString figures(Connection& c)
{
    Statement st(c, "select (select count(*) || ' ' || total(金额) from 收入帐), (select count(*) || ' ' || total(金额) from 支出帐)");
    st.step();
    return st.text(0) + "|" + st.text(1);
}

// Posts `count` income records in one posting, as the entry form does (staged, then posted).
void postMany(Connection& c, int count, int salt)
{
    c.execute(QString("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1)"
                      " insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份)"
                      " select '1', 'i1', (i * %2) % 1000 + 0.25, '2026-04-0' || (i % 9 + 1), '批' || %2, 4 from n")
                  .arg(count)
                  .arg(salt));
    postStaged(c, "收入临时", "收入帐");
}

class SyncShellTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        identifyByFolder(true);
        shared = folder() + "/同步";
        QDir().mkpath(shared);
    }
    void TearDown() override
    {
        SyncService::setAutomatic(false);
        identifyByFolder(false);
        ShellTest::TearDown();
    }
    // Another computer's data folder with its main.mdb, made from the empty book.
    QString otherFolder(const QString& name)
    {
        const QString dir = folder() + "/" + name;
        QDir().mkpath(dir);
        QFile::copy(KINBOOK_EMPTY_DB, dir + "/main.mdb");
        QFile::setPermissions(dir + "/main.mdb", QFile::ReadOwner | QFile::WriteOwner);
        return dir;
    }
    QString shared;
};

// Set up from the window with the keyboard; each 立即同步 applies the other computers' changes and
// sends this one's, and the list says so; a damaged file is refused with a message that names it
// while the others are applied; a conflict is listed.
TEST_F(SyncShellTest, TheWindowSetsUpSyncsAndListsWhatWasDone)
{
    openConn();
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('1', '张三', '父亲', '')");
    // The other computer, with records of its own in the folder.
    Connection other;
    other.open(otherFolder("客厅") + "/main.mdb");
    ASSERT_EQ(Sync::configure(other, shared, "客厅"), QString());
    postMany(other, 3, 7);
    ASSERT_TRUE(Sync::run(other).ok());

    std::unique_ptr<QDialog> w(App::createWindow("frmSync", App::store(), nullptr));
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    EXPECT_EQ(w->windowTitle(), "同步");
    EXPECT_EQ(heard(w.get(), {"txtfolder", "txtname", "lblstate", "DG", "cmdfolder"}),
              QStringList({"同步文件夹(F)：", "本机名称(N)：", "同步状态 还没有设置同步", "同步记录", "选择…"}));
    // The labels take the keyboard to their boxes.
    QTest::keyClick(w.get(), Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(w.get(), "txtname"));
    typeInto(child<QLineEdit>(w.get(), "txtname"), "书房");
    // 选择… asks for the folder; without one nothing is saved.
    script().queueFileChoice(shared);
    click(w.get(), "cmdfolder");
    EXPECT_EQ(script().fileDialogs().last().kind, App::FileDialog::Folder);
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtfolder")->text(), QDir::toNativeSeparators(shared));
    click(w.get(), "cmdsave");
    EXPECT_TRUE(messageTexts().contains(
        "同步设置已保存。这台电脑的变更会写到同步文件夹，其它电脑的变更会在启动、登录后、每隔几分钟和按“立即同步”时应用。"))
        << messageTexts().join('\n').toStdString();
    EXPECT_EQ(scalar("select 值 from 设置 where 名称 = '本机名称'"), "书房");
    EXPECT_EQ(scalar("select count(*) || ' ' || total(金额) from 收入帐"), "3 42.75");
    const QStringList listed = gridRows(child<QTableView>(w.get(), "DG"));
    EXPECT_FALSE(listed.filter("|应用|客厅-00000001.kbsync|3 处变更").isEmpty()) << listed.join('\n').toStdString();
    EXPECT_FALSE(listed.filter("|发送|书房-00000001.kbsync|1 处变更").isEmpty()) << listed.join('\n').toStdString();

    // A damaged file beside the other computer's next one: named in a message, refused, the other applied.
    writeFile(shared + "/外人-00000001.kbsync", "kinbook-sync 1\n{\"machine\":\"外人\"}\nxx");
    postMany(other, 2, 11);
    ASSERT_TRUE(Sync::run(other).failure.isEmpty());
    restartScript();
    click(w.get(), "cmdsync");
    ASSERT_EQ(messageTexts().size(), 1) << messageTexts().join('\n').toStdString();
    EXPECT_TRUE(messageTexts()[0].contains("外人-00000001.kbsync")) << messageTexts()[0].toStdString();
    EXPECT_TRUE(messageTexts()[0].contains("一处也没有应用"));
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "5");
    const QStringList after = gridRows(child<QTableView>(w.get(), "DG"));
    EXPECT_FALSE(after.filter("|拒绝|外人-00000001.kbsync|").isEmpty()) << after.join('\n').toStdString();

    // One record corrected on both computers: listed as a conflict, the other version in the bin.
    const std::int64_t key = scalar("select min(rowid) from 收入帐").toLongLong();
    const QVariantList before = *LedgerRows::read(App::conn, "收入帐", key);
    QVariantList mine = before, theirs = before;
    mine[2] = 100.0;
    theirs[2] = 200.0;
    ASSERT_TRUE(LedgerRows::correct(App::conn, "收入帐", key, before, mine));
    QTest::qWait(5);
    ASSERT_TRUE(LedgerRows::correct(other, "收入帐", key, before, theirs));
    ASSERT_TRUE(Sync::run(other).failure.isEmpty());
    click(w.get(), "cmdsync");
    EXPECT_EQ(scalar("select 金额 from 收入帐 where rowid = " + QString::number(key)), "200");
    EXPECT_EQ(scalar("select 金额 || ' ' || 说明 from 回收站"), "100 另一台电脑同时修改");
    EXPECT_FALSE(gridRows(child<QTableView>(w.get(), "DG")).filter("|冲突|").isEmpty());
    EXPECT_TRUE(heard(w.get(), {"lblstate"})[0].contains("应用 1 个，冲突 1 处")) << heard(w.get(), {"lblstate"})[0].toStdString();
    ASSERT_TRUE(Sync::run(other).failure.isEmpty());
    EXPECT_EQ(figures(other), figures(App::conn));
    // The other computer joined with an empty book and took this one's as it was set up.
    Statement members(other, "select 姓名 from 成员");
    ASSERT_TRUE(members.step());
    EXPECT_EQ(members.text(0), "张三");
}

// The program's own runs: after a login it applies what the folder holds and sends what this
// computer recorded; what is recorded before the file closes is sent as it closes.
// Settings the file cannot give (their table gone) are told when the window opens and when it shows
// its state; the window still opens, with its log.
TEST_F(SyncShellTest, SettingsThatCannotBeReadAreTold)
{
    openConn();
    sql("drop table 设置");
    std::unique_ptr<QDialog> w(App::createWindow("frmSync", App::store(), nullptr));
    ASSERT_TRUE(w);
    const QStringList told = messageTexts();
    ASSERT_EQ(told.size(), 2);
    for (const QString& text : told)
        EXPECT_TRUE(text.startsWith("无法读取同步设置。\n")) << text.toStdString();
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtfolder")->text(), "");
}

TEST_F(SyncShellTest, AfterALoginAndAtTheEndTheProgramSyncsByItself)
{
    openConn();
    ASSERT_EQ(Sync::configure(App::conn, shared, "书房"), QString());
    Connection other;
    other.open(otherFolder("客厅") + "/main.mdb");
    ASSERT_EQ(Sync::configure(other, shared, "客厅"), QString());
    postMany(other, 4, 3);
    ASSERT_TRUE(Sync::run(other).ok());
    SyncService::setAutomatic(true);
    App::curUser = "当前用户：Manager";
    auto* main = new MainWindow;
    SyncService::afterLogin(main);
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "4");
    postMany(App::conn, 2, 5);
    EXPECT_EQ(Sync::pendingCount(App::conn), 1);
    delete main;
    App::closeConn();
    EXPECT_TRUE(QFile::exists(shared + "/书房-00000001.kbsync"));
    ASSERT_TRUE(Sync::run(other).ok());
    EXPECT_EQ(figures(other).section('|', 0, 0).section(' ', 0, 0), "6");
}

// 恢复数据… on a computer that syncs: what it recorded and had not sent goes to the folder before the
// backup goes in place; then the folder's changes that the backup lacks, its own included, come
// back, nothing twice, and its new records take numbers its old ones never had.
TEST_F(SyncShellTest, RestoringABackupFromTheMenuSendsFirstAndCatchesUpAfter)
{
    openConn();
    ASSERT_EQ(Sync::configure(App::conn, shared, "书房"), QString());
    postMany(App::conn, 2, 3);
    ASSERT_TRUE(Sync::run(App::conn).ok());
    const QString backup = Safekeeping::backupBeforeChange();
    ASSERT_FALSE(backup.isEmpty());
    postMany(App::conn, 3, 5);
    const QString range = scalar("select max(编号) >> 32 from 收入帐");
    EXPECT_EQ(Sync::pendingCount(App::conn), 1);

    script().queueFileChoice(backup);
    script().queueAnswer(App::MsgAnswer::Ok);
    ASSERT_TRUE(Safekeeping::restoreChosenBackup(nullptr));
    EXPECT_TRUE(QFile::exists(shared + "/书房-00000002.kbsync"));
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "2");
    const Sync::Report r = Sync::run(App::conn);
    EXPECT_TRUE(r.ok()) << r.lines().join('\n').toStdString();
    EXPECT_EQ(r.applied.size(), 1);
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "5");
    postMany(App::conn, 1, 7);
    EXPECT_NE(scalar("select 编号 >> 32 from 收入帐 where 备注 = '批7'"), range);
    ASSERT_TRUE(Sync::run(App::conn).ok());
    EXPECT_EQ(QDir(shared).entryList({"书房-*.kbsync"}), QStringList({"书房-00000001.kbsync", "书房-00000002.kbsync", "书房-00000003.kbsync"}));
}

// `kinbook --sync`: two data folders started from the same book with one sync folder; what each
// posts appears on the other after a run on each, the same counts and sums and nothing twice; the
// run prints what it did and ends with its status.
TEST_F(SyncShellTest, TheCommandKeepsTwoDataFoldersInStep)
{
    identifyByFolder(false);  // the program in its own process knows this machine as itself
    const QString a = otherFolder("书房"), b = otherFolder("客厅");
    for (const auto& [dir, name, salt] : {std::tuple{a, QString("书房"), 3}, std::tuple{b, QString("客厅"), 5}}) {
        Connection c;
        c.open(dir + "/main.mdb");
        ASSERT_EQ(Sync::configure(c, shared, name), QString());
        postMany(c, 10, salt);
    }
    const auto run = [](const QString& dir, QString* out = nullptr) {
        QProcess p;
        p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p.start(KINBOOK_PROGRAM, {"--sync", "--data", dir});
        EXPECT_TRUE(p.waitForFinished(60000));
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString printed;
    EXPECT_EQ(run(a, &printed), 0) << printed.toStdString();
    EXPECT_TRUE(printed.contains("发送 书房-00000001.kbsync（10 处变更）")) << printed.toStdString();
    EXPECT_EQ(run(b, &printed), 0) << printed.toStdString();
    EXPECT_TRUE(printed.contains("应用 书房-00000001.kbsync（10 处变更）")) << printed.toStdString();
    EXPECT_EQ(run(a, &printed), 0);
    EXPECT_TRUE(printed.contains("应用 客厅-00000001.kbsync")) << printed.toStdString();
    EXPECT_EQ(run(b, &printed), 0);
    EXPECT_TRUE(printed.contains("没有要发送或应用的变更")) << printed.toStdString();
    Connection ca, cb;
    ca.open(a + "/main.mdb");
    cb.open(b + "/main.mdb");
    EXPECT_EQ(figures(ca), figures(cb));
    EXPECT_EQ(figures(ca).section(' ', 0, 0), "20");
    ca.close();
    cb.close();
    // The program open on the books: nothing touched, status 2.
    {
        Platform::FileLock lock;
        ASSERT_EQ(lock.tryLock(a + "/main.mdb.lock"), Platform::FileLock::Acquired);
        EXPECT_EQ(run(a, &printed), 2);
        EXPECT_TRUE(printed.contains("已经在运行")) << printed.toStdString();
    }
    // Not set up, and a folder that holds no book: a status that says it, and why.
    const QString bare = otherFolder("阳台");
    EXPECT_EQ(run(bare, &printed), 1);
    EXPECT_TRUE(printed.contains("还没有设置同步")) << printed.toStdString();
    EXPECT_EQ(run(folder() + "/无", &printed), 1);
}

// `kinbook --sync` killed (kill -9) at random moments while it applies forty changesets of ten
// thousand records, corrections and deletions among them, then run to its end: every changeset is
// applied exactly once, the books are the other computer's, whatever moment the kills came.
TEST_F(SyncShellTest, AnApplyKilledAtAnyMomentAppliesEachChangesetOnce)
{
    const QString a = otherFolder("书房");
    QString expected;
    {
        Connection c;
        c.open(a + "/main.mdb");
        ASSERT_EQ(Sync::configure(c, shared, "书房"), QString());
        for (int i = 0; i < 40; ++i) {
            postMany(c, 250, i + 1);
            if (i % 5 == 4) {
                Statement last(c, "select max(rowid) from 收入帐");
                last.step();
                const std::int64_t k = last.int64(0);
                const QVariantList before = *LedgerRows::read(c, "收入帐", k);
                QVariantList after = before;
                after[2] = 999.5;
                ASSERT_TRUE(LedgerRows::correct(c, "收入帐", k, before, after));
                LedgerRows::moveToBin(c, "收入帐", k - 1, QDateTime::currentDateTime());
            }
        }
        ASSERT_TRUE(Sync::run(c).ok());
        expected = figures(c);
    }
    identifyByFolder(false);
    const QString b = otherFolder("客厅");
    {
        Connection c;
        c.open(b + "/main.mdb");
        ASSERT_EQ(Sync::configure(c, shared, "客厅"), QString());
    }
    // How long a whole run takes, measured on a copy; the kills fall within it.
    const QString pristine = folder() + "/客厅.mdb";
    ASSERT_TRUE(QFile::copy(b + "/main.mdb", pristine));
    const auto fresh = [&] {
        for (const QString& f : QDir(b).entryList(QDir::Files))
            QFile::remove(b + "/" + f);
        QDir(b + "/backups").removeRecursively();
        return QFile::copy(pristine, b + "/main.mdb");
    };
    const auto syncB = [&b] {
        auto p = std::make_unique<QProcess>();
        p->start(KINBOOK_PROGRAM, {"--sync", "--data", b});
        EXPECT_TRUE(p->waitForStarted());
        return p;
    };
    QElapsedTimer clock;
    clock.start();
    {
        auto p = syncB();
        ASSERT_TRUE(p->waitForFinished(120000));
        ASSERT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    const qint64 whole = std::max<qint64>(clock.elapsed(), 50);
    // Each trial starts from the computer's book as it joined; up to three runs are killed at random
    // moments, then a run goes to its end. Until three kills came while the apply's transaction was
    // open (its journal left beside the file), at most eight trials.
    int killed = 0, inTransaction = 0;
    for (int trial = 0; trial < 8 && inTransaction < 3; ++trial) {
        ASSERT_TRUE(fresh());
        for (int k = 0; k < 3; ++k) {
            auto p = syncB();
            QTest::qWait(int(QRandomGenerator::global()->bounded(whole)));
            const bool running = p->state() == QProcess::Running;
            if (running) {
                ::kill(pid_t(p->processId()), SIGKILL);
                ++killed;
            }
            p->waitForFinished(60000);
            if (QFileInfo(b + "/main.mdb-journal").size() > 0 || QFileInfo(b + "/main.mdb-wal").size() > 0)
                ++inTransaction;
            // Whatever the moment, the file holds whole changesets only, each once.
            Connection c;
            c.open(b + "/main.mdb");
            Statement st(c, "select (select count(*) from 同步日志 where 类别 = '应用') - (select count(distinct 文件) from 同步日志 where 类别 = '应用'),"
                            " (select count(*) from 同步日志 where 类别 = '应用') - coalesce((select 序号 from 同步进度 where 机器 = '书房'), 0)");
            ASSERT_TRUE(st.step());
            EXPECT_EQ(st.int64(0), 0);  // no changeset applied twice
            EXPECT_EQ(st.int64(1), 0);  // and the note of what was applied is what was applied
            if (!running)
                break;  // it had finished: nothing left to kill in this trial
        }
        auto last = syncB();
        ASSERT_TRUE(last->waitForFinished(120000));
        EXPECT_EQ(last->exitCode(), 0) << last->readAllStandardError().toStdString();
        Connection c;
        c.open(b + "/main.mdb");
        EXPECT_EQ(figures(c), expected);
        Statement progress(c, "select 序号 from 同步进度 where 机器 = '书房'");
        ASSERT_TRUE(progress.step());
        // The book was empty when it joined: forty postings, eight corrections and eight deletions.
        EXPECT_EQ(progress.int64(0), 56);
    }
    EXPECT_GT(inTransaction, 0);
    EXPECT_EQ(QDir(shared).entryList({"书房-*.kbsync"}).size(), 56);
    std::printf("[          ] %d runs killed, %d of them within the apply's transaction (a whole run took %lld ms)\n", killed,
                inTransaction, static_cast<long long>(whole));
}

}  // namespace
