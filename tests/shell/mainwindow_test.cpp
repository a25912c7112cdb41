#include "shelltest.h"
#include "about.h"
#include "datawindow.h"
#include "platform.h"

#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

namespace {

// What a started program would have been.
QStringList g_started;
bool g_startSucceeds = true;
bool fakeStart(const QString& program, const QStringList&)
{
    g_started << program;
    return g_startSucceeds;
}

class MainWindowTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        oldPath_ = qgetenv("PATH");
        g_started.clear();
        g_startSucceeds = true;
        Platform::setStarter(fakeStart);
        openConn();
        App::curUser = QStringLiteral("当前用户：Manager");
        main_ = new MainWindow;
        main_->show();
        main_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main_));
    }
    void TearDown() override
    {
        qputenv("PATH", oldPath_);
        AboutBox::setRegistryReader({});
        ShellTest::TearDown();
    }

    QPointer<MainWindow> main_;
    QByteArray oldPath_;
};

void makeExecutable(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The menus hold every item in order ("-" for a separator; then the window the item opens), five
// with an icon, 撤销 usable only while there is something to take back. While a window opened from
// its item is up and after it closes, the main window is idle: "加载完毕..." (heard by a screen reader
// too) and the normal pointer; the debts window sits centred on the main window. While a window loads
// the program is busy, as seen from a window registered under a menu's name. The background picture
// keeps covering the main window as it resizes.
TEST_F(MainWindowTest, MenusHoldEveryItemAndEachOpensItsWindow)
{
    const auto state = [this] {
        return heard(main_, {"Stabar_2"}).constFirst() + (App::isBusy() ? " busy" : "")
            + (QApplication::overrideCursor() ? " wait" : "");
    };
    const QStringList expected = {
        "mnuita 期初设置[&F]", "mnucy 成员信息 frmuser", "aaa -", "mnu1sr 收入类型 frmsrlx", "mnu1zc 支出类型 frmzclx",
        "bbb -", "mnu1yh 银行信息 frmyhxx", "mnu1tz 其它投资类型 frmtzlx", "ccc -", "mnubudget 预算 frmBudget",
        "mnurecurring 定期收支 frmRecurring",
        "mnu2 收入/支出[&U]", "mnu2sr 收入帐录入 frmsrzhang", "mnu2zc 支出帐录入 frmzczhang", "mnu2aaa -",
        "mnu2fz 债权/债务 frmFz", "mnu2yh 银行帐 frmyhzhang", "mnu2tz 其它投资 frmtzhang", "mnu2bbb -", "mnuimport 导入账单…",
        "mnu3 查询统计[&Q]", "mnu3sr 收入状况 frmquery_sr", "mnu3zc 支出状况 frmquery_zc", "mnu3yh 银行存取记录 frmquery_yh",
        "mnu3bbb -", "mnu3zic 资产统计 frmcurt", "mnu3ye 年终处理 frmYear", "mnu3ccc -", "mnu3budget 预算执行 frmBudgetReport",
        "mnu3overview 本月概览 frmOverview",
        "mnuedit 编辑[&E]", "mnuundo 撤销", "mnu5aaa -", "mnurecycle 回收站 frmRecycle",
        "mnusystem 系统[&S]", "mnuabout 关于 frmAbout", "mnuhelp 帮助 frmHelp", "mnu4aaa -", "mnucalc 计算器", "mnu4bbb -",
        "mnubackup 备份数据…", "mnurestore 恢复数据…", "mnusync 同步… frmSync", "mnu4ccc -", "mnurelogin 重新登录", "mnuexit 退出"};
    // Items that open no window of their own (file dialogs, the calculator) or end the session.
    const QStringList noWindow = {"mnuundo", "mnuimport", "mnucalc", "mnubackup", "mnurestore", "mnurelogin", "mnuexit"};
    QStringList seen, withIcons;
    for (QAction* top : main_->menuBar()->actions()) {
        QMenu* menu = top->menu();
        ASSERT_NE(menu, nullptr);
        seen << menu->objectName() + u' ' + menu->title();
        for (QAction* a : menu->actions()) {
            seen << a->objectName() + u' ' + (a->isSeparator() ? QStringLiteral("-") : a->text());
            EXPECT_EQ(a->isEnabled(), a->objectName() != "mnuundo") << a->objectName().toStdString();
            if (!a->icon().isNull())
                withIcons << a->text();
            if (a->isSeparator() || noWindow.contains(a->objectName()))
                continue;
            QString whileUp = "no window";
            whenModal([&](QDialog* d) {
                seen.last() += u' ' + d->objectName();
                whileUp = state();
                const int off = (d->frameGeometry().center() - main_->frameGeometry().center()).manhattanLength();
                EXPECT_TRUE(d->objectName() != "frmFz" || off <= 4) << off;
                d->close();
            });
            a->trigger();
            EXPECT_EQ(whileUp, "加载完毕...") << a->objectName().toStdString();
            EXPECT_EQ(state(), "加载完毕...") << a->objectName().toStdString();
        }
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(withIcons, QStringList({"成员信息", "资产统计", "年终处理", "帮助", "退出"}));
    EXPECT_EQ(main_->findChild<QAction*>("mnuundo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(heard(main_, {"Stabar_1"}), QStringList{"当前用户：Manager"});

    QString whileLoading;
    App::registerWindow("frmYear", [&](Store&, QWidget* parent) -> QDialog* {
        whileLoading = state();
        return new DataWindow("frmYear", parent);
    });
    whenModal([](QDialog* d) { d->reject(); });
    trigger(main_, "mnu3ye");
    EXPECT_EQ(whileLoading, "正在加载... busy wait");

    auto* pic = child<QLabel>(main_, "imgbag");
    main_->resize(main_->width() + 137, main_->height() + 59);
    EXPECT_EQ(pic->geometry(), main_->centralWidget()->rect());
}

// F1 shows the help; 关于 closes with Enter or Escape.
TEST_F(MainWindowTest, F1ShowsTheHelpAndAboutClosesWithEnterOrEscape)
{
    whenModal([](QDialog* d) {
        EXPECT_EQ(d->objectName(), "frmHelp");
        d->reject();
    });
    QTest::keyClick(main_, Qt::Key_F1);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        bool closed = false;
        whenModal([&](QDialog* d) {
            QTest::keyClick(d, key);
            closed = !d->isVisible();
            if (!closed)
                d->reject();
        });
        trigger(main_, "mnuabout");
        EXPECT_TRUE(closed) << "key " << key;
    }
}

TEST_F(MainWindowTest, F8StartsADesktopCalculatorOrSaysThereIsNone)
{
    QTemporaryDir bin, empty;
    const QString calc = bin.path() + QStringLiteral("/galculator");
    makeExecutable(calc);
    const struct {
        QString path;
        bool startSucceeds;
        QStringList started;
    } cases[] = {
        {bin.path(), true, {calc}},
        {bin.path(), false, {calc}},  // found, but it will not start
        {empty.path(), true, {}},
    };
    for (const auto& c : cases) {
        g_started.clear();
        g_startSucceeds = c.startSucceeds;
        qputenv("PATH", QFile::encodeName(c.path));
        QTest::keyClick(main_, Qt::Key_F8);
        EXPECT_EQ(g_started, c.started);
        if (c.startSucceeds && !c.started.isEmpty())
            EXPECT_TRUE(messageTexts().isEmpty());
        else
            expectOneMessage(QStringLiteral("未能发现系统计算器！"), App::MsgStyle::Information);
    }
}

TEST_F(MainWindowTest, SystemInformationStartsTheRegisteredToolOrSaysItIsMissing)
{
    QTemporaryDir tools;
    const QString tool = tools.path() + QStringLiteral("/MSINFO32.EXE");
    makeExecutable(tool);
    const QString opt = QStringLiteral("/opt/msinfo/msinfo32");

    // The registry's PATH value (absent, a text or not) and its tools folder (absent when empty).
    struct Registry {
        bool hasPath, pathIsText;
        QString path, folder;
        bool startSucceeds;
        QString started;
    };
    Registry reg{};
    AboutBox::setRegistryReader([&reg](const QString& key, const QString& value, QString& out) {
        if (key == QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") && value == QStringLiteral("PATH")) {
            if (reg.hasPath && reg.pathIsText)
                out = reg.path;
            return reg.hasPath;
        }
        if (key == QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location") && value == QStringLiteral("MSINFO")) {
            out = reg.folder;
            return !reg.folder.isEmpty();
        }
        return false;
    });
    auto pressSysInfo = [&] {
        AboutBox about(main_);
        about.show();
        click(&about, "cmdSysInfo");
    };
    const Registry cases[] = {
        {true, true, opt, {}, true, opt},
        {false, true, {}, tools.path(), true, tool},  // no PATH value: the tool in the folder
        {false, true, {}, tools.path() + QStringLiteral("/nowhere"), true, {}},
        {false, true, {}, {}, true, {}},
        {true, false, {}, tools.path(), true, {}},
        {true, true, opt, {}, false, opt},  // found, but it will not start
    };
    for (const Registry& r : cases) {
        SCOPED_TRACE(r.path.toStdString() + " " + r.folder.toStdString());
        g_started.clear();
        g_startSucceeds = r.startSucceeds;
        reg = r;
        pressSysInfo();
        EXPECT_EQ(g_started, r.started.isEmpty() ? QStringList() : QStringList{r.started});
        if (r.startSucceeds && !r.started.isEmpty())
            EXPECT_TRUE(messageTexts().isEmpty());
        else
            expectOneMessage(QStringLiteral("此时系统信息不可用"), App::MsgStyle::Plain);
    }
    // Without a registry (every system but Windows) the button ends in the message.
#ifndef Q_OS_WIN
    AboutBox::setRegistryReader({});
    pressSysInfo();
    expectOneMessage(QStringLiteral("此时系统信息不可用"), App::MsgStyle::Plain);
#endif
}

}  // namespace
