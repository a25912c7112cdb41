// What shows after a login: the recurring records due and the month's overview, over the main
// window. An occurrence posted is not offered again at the next login; a restored older backup
// brings back its own state, in which it is due again, and it is posted once there too.
#include "shelltest.h"
#include "backup.h"
#include "ledgerrows.h"
#include "session.h"

#include <QCheckBox>
#include <QDialog>
#include <QTableView>

namespace {

class AfterLogin : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        App::setToday(QDate(2026, 3, 5));
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('1', '张三', '父亲', 'pw');"
            "insert into 支出类型 (ID, 类型, 备注) values ('02', '房租', '');"
            "insert into 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 日, 开始日期) values"
            " ('支出帐', '1', '02', 2500, '房租', '每月', 1, 1, '2026-03-01');");
        hashPasswords(dbPath());
    }
    MainWindow* logIn(LoginWindow* login)
    {
        attempt(login, "张三", "pw");
        return login->mainWindow();
    }
    static QDialog* shown(MainWindow* main, const char* name)
    {
        auto* d = main ? main->findChild<QDialog*>(QString::fromUtf8(name)) : nullptr;
        return d && d->isVisible() ? d : nullptr;
    }
};

TEST_F(AfterLogin, DueRecordsAndTheOverviewShowAndAnOccurrenceIsPostedOnceAcrossLoginsAndARestore)
{
    LoginWindow* login = openLogin();
    MainWindow* main = logIn(login);
    ASSERT_NE(main, nullptr);
    const QString before = Backup::listDated(folder() + "/backups").value(0).path;
    ASSERT_FALSE(before.isEmpty());
    QDialog* due = shown(main, "frmDue");
    ASSERT_NE(due, nullptr);
    ASSERT_NE(shown(main, "frmOverview"), nullptr);
    EXPECT_EQ(gridRows(child<QTableView>(due, "DG")), QStringList({"|2026-03-01|2026-03-01|支出帐|张三|房租|2500|房租|"}));
    EXPECT_TRUE(child<QLabel>(due, "lblNote")->text().contains("恢复较早的备份后"));
    click(due, "cmdPost");
    EXPECT_EQ(lastMessage(), "已入帐 1 笔。");
    EXPECT_EQ(rows("select 日期, 金额 from 支出帐"), QStringList({"2026-03-01|2500"}));

    // A new login: nothing due; the overview, switched off there, is not shown at the one after.
    trigger(main, "mnurelogin");
    main = logIn(login);
    EXPECT_EQ(shown(main, "frmDue"), nullptr);
    QDialog* overview = shown(main, "frmOverview");
    ASSERT_NE(overview, nullptr);
    child<QCheckBox>(overview, "chkShowAtLogin")->setChecked(false);
    trigger(main, "mnurelogin");
    main = logIn(login);
    EXPECT_EQ(shown(main, "frmOverview"), nullptr);

    // The backup from before the posting: the file as it was then, the occurrence due again.
    restartScript();
    script().queueFileChoice(before);
    script().queueAnswer(App::MsgAnswer::Ok);
    trigger(main, "mnurestore");
    EXPECT_EQ(scalar("select count(*) from 支出帐"), "0");
    main = logIn(login);
    due = shown(main, "frmDue");
    ASSERT_NE(due, nullptr);
    EXPECT_NE(shown(main, "frmOverview"), nullptr);  // the backup's own setting
    click(due, "cmdPost");
    EXPECT_EQ(rows("select 日期, 金额 from 支出帐"), QStringList({"2026-03-01|2500"}));
    EXPECT_EQ(rows("select 到期日, 结果 from 定期记录"), QStringList({"2026-03-01|入帐"}));
}

// The overview opens under the due window; whatever is written to the file afterwards, there or
// anywhere else (入帐, 跳过, a correction, a deletion), it shows what the file holds.
TEST_F(AfterLogin, TheOverviewUnderTheDueWindowFollowsEveryPostingAndCorrection)
{
    sql("insert into 收入类型 (ID, 类型, 备注) values ('g', '工资', '');"
        "insert into 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 日, 开始日期) values"
        " ('收入帐', '1', 'g', 8000, '工资', '每月', 1, 2, '2026-03-01');");
    MainWindow* main = logIn(openLogin());
    ASSERT_NE(main, nullptr);
    QDialog* due = shown(main, "frmDue");
    QDialog* overview = shown(main, "frmOverview");
    ASSERT_NE(due, nullptr);
    ASSERT_NE(overview, nullptr);
    const auto month = [overview] {
        QStringList out;
        for (const char* name : {"lblThis_0", "lblThis_1", "lblThis_2"})
            out << child<QLabel>(overview, name)->text();
        return out;
    };
    const auto dueListed = [overview] { return gridRows(child<QTableView>(overview, "DGDue")); };
    EXPECT_EQ(month(), QStringList({"0.00", "0.00", "0.00"}));
    EXPECT_EQ(dueListed(), QStringList({"2026-03-01|支出帐|张三|房租|2,500.00|", "2026-03-02|收入帐|张三|工资|8,000.00|"}));

    // The rent posted, the salary left for later: the overview is current once the event loop runs.
    auto* grid = child<QTableView>(due, "DG");
    grid->model()->setData(grid->model()->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    click(due, "cmdPost");
    QApplication::processEvents();
    EXPECT_EQ(month(), QStringList({"0.00", "2,500.00", "-2,500.00"}));
    EXPECT_EQ(dueListed(), QStringList({"2026-03-02|收入帐|张三|工资|8,000.00|"}));
    EXPECT_EQ(child<QLabel>(overview, "lblPosition")->text(), "收支余额 -2,500.00，银行余额 0.00，借入 0.00，借出 0.00，其它投资 0.00");

    // The salary skipped: no longer due anywhere.
    grid->model()->setData(grid->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    click(due, "cmdSkip");
    QApplication::processEvents();
    EXPECT_EQ(dueListed(), QStringList());

    // The rent corrected, as 修改 in 支出状况 does, then deleted into the recycle bin.
    const qint64 rent = scalar("select rowid from 支出帐").toLongLong();
    const QVariantList before = *LedgerRows::read(App::conn, "支出帐", rent);
    QVariantList after = before;
    after[2] = 2400.5;
    ASSERT_TRUE(LedgerRows::correct(App::conn, "支出帐", rent, before, after));
    QApplication::processEvents();
    EXPECT_EQ(month(), QStringList({"0.00", "2,400.50", "-2,400.50"}));
    LedgerRows::moveToBin(App::conn, "支出帐", rent, QDateTime::currentDateTime());
    QApplication::processEvents();
    EXPECT_EQ(month(), QStringList({"0.00", "0.00", "0.00"}));
    EXPECT_EQ(child<QTableView>(overview, "DGLatest")->model()->rowCount(), 0);
}

}  // namespace
