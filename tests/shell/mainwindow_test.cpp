#include "shelltest.h"
#include "shell/about.h"
#include "shell/datawindow.h"
#include "shell/platform.h"

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

// The background picture keeps covering the window as it resizes; the menus hold every item in order.
TEST_F(MainWindowTest, PictureCoversTheWindowAndTheMenusHoldEveryItem)
{
    auto* pic = child<QLabel>(main_, "imgbag");
    main_->resize(main_->width() + 137, main_->height() + 59);
    EXPECT_EQ(pic->geometry(), main_->centralWidget()->rect());

    // Menu, then its items in order ("-" for a separator), as the household sees them.
    const QStringList expected = {
        "mnuita 期初设置[&F]", "mnucy 成员信息", "aaa -", "mnu1sr 收入类型", "mnu1zc 支出类型", "bbb -",
        "mnu1yh 银行信息", "mnu1tz 其它投资类型",
        "mnu2 收入/支出[&U]", "mnu2sr 收入帐录入", "mnu2zc 支出帐录入", "mnu2aaa -", "mnu2fz 债权/债务",
        "mnu2yh 银行帐", "mnu2tz 其它投资", "mnu2bbb -", "mnuimport 导入账单…",
        "mnu3 查询统计[&Q]", "mnu3sr 收入状况", "mnu3zc 支出状况", "mnu3yh 银行存取记录", "mnu3bbb -",
        "mnu3zic 资产统计", "mnu3ye 年终处理", "mnuedit 编辑[&E]", "mnuundo 撤销", "mnu5aaa -", "mnurecycle 回收站",
        "mnusystem 系统[&S]", "mnuabout 关于", "mnuhelp 帮助", "mnu4aaa -", "mnucalc 计算器", "mnu4bbb -",
        "mnubackup 备份数据…", "mnurestore 恢复数据…", "mnu4ccc -", "mnurelogin 重新登录", "mnuexit 退出"};
    QStringList seen;
    QStringList withIcons;
    for (QAction* top : main_->menuBar()->actions()) {
        QMenu* menu = top->menu();
        ASSERT_NE(menu, nullptr);
        seen << menu->objectName() + u' ' + menu->title();
        for (QAction* a : menu->actions()) {
            seen << a->objectName() + u' ' + (a->isSeparator() ? QStringLiteral("-") : a->text());
            // 撤销 only while there is something to take back.
            EXPECT_EQ(a->isEnabled(), a->objectName() != "mnuundo") << a->objectName().toStdString();
            if (!a->icon().isNull())
                withIcons << a->text();
        }
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(withIcons, QStringList({"成员信息", "资产统计", "年终处理", "帮助", "退出"}));
    EXPECT_EQ(main_->findChild<QAction*>("mnuundo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
}

// Every menu item opens its window. While it is up and after it closes the main window is idle:
// "加载完毕..." (heard by a screen reader too), the normal pointer; the debts window sits centred on
// the main window. While a window loads the program is busy, as seen from a window registered under
// a menu's name.
TEST_F(MainWindowTest, EveryMenuItemOpensItsWindowAndTheBusyStateEnds)
{
    const auto state = [this] {
        return heard(main_, {"Stabar_2"}).constFirst() + (App::isBusy() ? " busy" : "")
            + (QApplication::overrideCursor() ? " wait" : "");
    };
    const std::pair<const char*, const char*> items[] = {
        {"mnucy", "frmuser"},     {"mnu1sr", "frmsrlx"},      {"mnu1zc", "frmzclx"},          {"mnu1yh", "frmyhxx"},
        {"mnu1tz", "frmtzlx"},    {"mnu2sr", "frmsrzhang"},   {"mnu2zc", "frmzczhang"},       {"mnu2fz", "frmFz"},
        {"mnu2yh", "frmyhzhang"}, {"mnu2tz", "frmtzhang"},    {"mnu3sr", "frmquery_sr"},      {"mnu3zc", "frmquery_zc"},
        {"mnu3yh", "frmquery_yh"}, {"mnu3zic", "frmcurt"},    {"mnu3ye", "frmYear"},          {"mnurecycle", "frmRecycle"}};
    for (const auto& [item, form] : items) {
        QString opened, whileUp;
        whenModal([&](QDialog* d) {
            opened = d->objectName();
            whileUp = state();
            const int off = (d->frameGeometry().center() - main_->frameGeometry().center()).manhattanLength();
            EXPECT_TRUE(opened != "frmFz" || off <= 4) << off;
            d->close();
        });
        trigger(main_, item);
        EXPECT_EQ(opened, form);
        EXPECT_EQ(whileUp, "加载完毕...") << item;
        EXPECT_EQ(state(), "加载完毕...") << item;
    }
    EXPECT_EQ(heard(main_, {"Stabar_1"}), QStringList{"当前用户：Manager"});

    QString whileLoading;
    App::registerWindow("frmYear", [&](QWidget* parent) -> QDialog* {
        whileLoading = state();
        return new DataWindow("frmYear", parent);
    });
    whenModal([](QDialog* d) { d->reject(); });
    trigger(main_, "mnu3ye");
    EXPECT_EQ(whileLoading, "正在加载... busy wait");
    EXPECT_EQ(state(), "加载完毕...");
}

// F1 shows the help; 关于 closes with Enter or Escape.
TEST_F(MainWindowTest, F1ShowsTheHelpAndAboutClosesWithEnterOrEscape)
{
    QString shown;
    whenModal([&](QDialog* d) {
        shown = d->objectName();
        d->reject();
    });
    QTest::keyClick(main_, Qt::Key_F1);
    EXPECT_EQ(shown, "frmHelp");
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
    EXPECT_EQ(panel(main_, "Stabar_2"), "加载完毕...");  // neither window touches the loading panel
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
            expectOneMessage(QStringLiteral("未能发现系统计算器！"), 64);
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
            expectOneMessage(QStringLiteral("此时系统信息不可用"), 0);
    }
    // Without a registry (every system but Windows) the button ends in the message.
#ifndef Q_OS_WIN
    AboutBox::setRegistryReader({});
    pressSysInfo();
    expectOneMessage(QStringLiteral("此时系统信息不可用"), 0);
#endif
}

}  // namespace
