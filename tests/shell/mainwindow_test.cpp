#include "shelltest.h"

#include "shell/frmabout.h"
#include "shell/frmhelp.h"
#include "shell/platform.h"
#include "recordset.h"
#include "shell/ui.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class MainWindow : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        oldPath_ = qgetenv("PATH");
        openConn();
        Modmain::curUser = QStringLiteral("当前用户：Manager");
        main_ = new frmmain;
        main_->show();
        main_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main_));
    }
    void TearDown() override
    {
        qputenv("PATH", oldPath_);
        frmAbout::setRegistryReader({});
        ShellTest::TearDown();
    }

    QPointer<frmmain> main_;
    QByteArray oldPath_;
};

// What a started program would have been.
QStringList g_started;
bool g_startSucceeds = true;
bool fakeStart(const QString& program, const QStringList& args)
{
    g_started << program;
    Q_UNUSED(args);
    return g_startSucceeds;
}

void makeExecutable(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(MainWindow, MenusHoldEveryItemWithAccessKeysShortcutsAndIcons)
{
    EXPECT_EQ(main_->windowTitle(), QStringLiteral("和顺家账 "));
    EXPECT_FALSE(main_->windowIcon().isNull());
    EXPECT_EQ(child<QLabel>(main_, "Label1")->text(), QStringLiteral("温馨的家"));

    // Menu, then its items in order ("-" for a separator), as the household sees them.
    const QStringList expected = {
        "mnuita 期初设置[&F]", "mnucy 成员信息", "aaa -", "mnu1sr 收入类型", "mnu1zc 支出类型", "bbb -",
        "mnu1yh 银行信息", "mnu1tz 其它投资类型",
        "mnu2 收入/支出[&U]", "mnu2sr 收入帐录入", "mnu2zc 支出帐录入", "mnu2aaa -", "mnu2fz 债权/债务",
        "mnu2yh 银行帐", "mnu2tz 其它投资",
        "mnu3 查询统计[&Q]", "mnu3sr 收入状况", "mnu3zc 支出状况", "mnu3yh 银行存取记录", "mnu3bbb -",
        "mnu3zic 资产统计", "mnu3ye 年终处理",
        "mnusystem 系统[&S]", "mnuabout 关于", "mnuhelp 帮助", "mnu4aaa -", "mnucalc 计算器", "mnu4bbb -",
        "mnurelogin 重新登录", "mnuexit 退出"};
    QStringList seen;
    QStringList withIcons;
    for (QAction* top : main_->menuBar()->actions()) {
        QMenu* menu = top->menu();
        ASSERT_NE(menu, nullptr);
        seen << menu->objectName() + u' ' + menu->title();
        for (QAction* a : menu->actions()) {
            seen << a->objectName() + u' ' + (a->isSeparator() ? QStringLiteral("-") : a->text());
            EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
            if (!a->icon().isNull())
                withIcons << a->text();
        }
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(withIcons, QStringList({"成员信息", "资产统计", "年终处理", "帮助", "退出"}));
    EXPECT_EQ(main_->findChild<QAction*>("mnuhelp")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(main_->findChild<QAction*>("mnucalc")->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_EQ(frmmain::dataWindowNames().size(), 15);
}

TEST_F(MainWindow, PictureCoversTheWindowAsItResizes)
{
    auto* pic = child<QLabel>(main_, "imgbag");
    const QWidget* body = main_->centralWidget();
    EXPECT_EQ(pic->geometry(), body->rect());
    main_->resize(main_->width() + 137, main_->height() + 59);
    EXPECT_EQ(pic->geometry(), body->rect());
    EXPECT_GT(body->width(), 0);
}

TEST_F(MainWindow, DataWindowFromTheMenuEndsWithTheNormalPointer)
{
    // Any window registered under a menu's name opens from that item.
    QString panelWhileLoading;
    bool busyWhileLoading = false;
    bool waitCursorWhileLoading = false;
    Modmain::registerWindow(QStringLiteral("frmYear"), [&](QWidget* parent) -> QDialog* {
        panelWhileLoading = panel(main_, "Stabar_2");
        busyWhileLoading = Modmain::isBusy();
        waitCursorWhileLoading = QApplication::overrideCursor() != nullptr;
        return new DataWindow(QStringLiteral("frmYear"), parent);
    });
    QString nameShown;
    whenModal([&](QDialog* d) {
        nameShown = d->objectName();
        d->reject();
    });
    trigger(main_, "mnu3ye");
    EXPECT_EQ(nameShown, QStringLiteral("frmYear"));
    EXPECT_EQ(panelWhileLoading, QStringLiteral("正在加载..."));
    EXPECT_TRUE(busyWhileLoading);
    EXPECT_TRUE(waitCursorWhileLoading);
    EXPECT_EQ(panel(main_, "Stabar_2"), QStringLiteral("加载完毕..."));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(Modmain::isBusy());
    EXPECT_EQ(panel(main_, "Stabar_1"), QStringLiteral("当前用户：Manager"));
}

TEST_F(MainWindow, F1ShowsTheHelp)
{
    QString title, text;
    whenModal([&](QDialog* d) {
        title = d->windowTitle();
        if (auto* l = d->findChild<QLabel*>("Label1"))
            text = l->text();
        d->reject();
    });
    QTest::keyClick(main_, Qt::Key_F1);
    EXPECT_EQ(title, QStringLiteral("帮助"));
    const QStringList lines = text.split(u'\n');
    ASSERT_EQ(lines.size(), 4) << text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("一、使用本程序前先阅读本帮助系统"));
    EXPECT_EQ(lines[1], QStringLiteral("二、必须在“期初设置”中仔细录入"));
    EXPECT_EQ(lines[2], QStringLiteral("三、一般操作程序为：添加、保存、入帐，否则数据不能正确入帐"));
    EXPECT_EQ(lines[3], QStringLiteral("四、系统默认超级用户,以防止密码丢失不能正确进入,请在登录时寻找"));
    // About and Help leave the loading indicator alone.
    EXPECT_EQ(panel(main_, "Stabar_2"), QStringLiteral("加载完毕..."));
}

TEST_F(MainWindow, F8StartsADesktopCalculatorOrSaysThereIsNone)
{
    g_started.clear();
    g_startSucceeds = true;
    Platform::setStarter(fakeStart);
    QTemporaryDir bin;
    const QString calc = bin.path() + QStringLiteral("/galculator");
    makeExecutable(calc);
    qputenv("PATH", QFile::encodeName(bin.path()));

    QTest::keyClick(main_, Qt::Key_F8);
    EXPECT_EQ(g_started, QStringList{calc});
    EXPECT_TRUE(messageTexts().isEmpty());

    // Found but it will not start.
    g_started.clear();
    g_startSucceeds = false;
    trigger(main_, "mnucalc");
    EXPECT_EQ(g_started, QStringList{calc});
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("未能发现系统计算器！")});

    // None on the PATH: nothing is started.
    g_started.clear();
    g_startSucceeds = true;
    Modmain::clearShownMessages();
    QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    QTest::keyClick(main_, Qt::Key_F8);
    EXPECT_TRUE(g_started.isEmpty());
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages().at(0).text, QStringLiteral("未能发现系统计算器！"));
    EXPECT_EQ(Modmain::shownMessages().at(0).style, 64);
    EXPECT_EQ(Modmain::shownMessages().at(0).title, QStringLiteral("kinbook"));
}

TEST_F(MainWindow, AboutShowsTheVersionAndClosesWithEnterOrEscape)
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QString title, version, heading, description;
        bool closed = false;
        whenModal([&](QDialog* d) {
            title = d->windowTitle();
            version = d->findChild<QLabel*>("lblVersion")->text();
            heading = d->findChild<QLabel*>("lblTitle")->text();
            description = d->findChild<QLabel*>("lblDescription")->text();
            QTest::keyClick(d, key);
            closed = !d->isVisible();
            if (!closed)
                d->reject();
        });
        trigger(main_, "mnuabout");
        EXPECT_TRUE(closed) << "key " << key;
        EXPECT_EQ(title, QStringLiteral("关于"));
        EXPECT_EQ(version, QStringLiteral("版本 1.1.0"));
        EXPECT_EQ(heading, QStringLiteral("和顺家账系统"));
        EXPECT_EQ(description, QStringLiteral("快速上手，使用方便，分散录入，集中查询。"));
    }
    EXPECT_EQ(panel(main_, "Stabar_2"), QStringLiteral("加载完毕..."));
}

TEST_F(MainWindow, SystemInformationStartsTheRegisteredToolOrSaysItIsMissing)
{
    g_started.clear();
    g_startSucceeds = true;
    Platform::setStarter(fakeStart);
    QTemporaryDir tools;
    makeExecutable(tools.path() + QStringLiteral("/MSINFO32.EXE"));

    struct Registry {
        bool hasPath;
        bool pathIsText;
        QString path;
        bool hasFolder;
        QString folder;
    };
    Registry reg{};
    frmAbout::setRegistryReader([&reg](const QString& key, const QString& value, QString& out) {
        if (key == QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") && value == QStringLiteral("PATH")) {
            if (!reg.hasPath)
                return false;
            if (reg.pathIsText)
                out = reg.path;
            return true;
        }
        if (key == QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location") && value == QStringLiteral("MSINFO")) {
            if (!reg.hasFolder)
                return false;
            out = reg.folder;
            return true;
        }
        return false;
    });
    auto pressSysInfo = [&] {
        frmAbout about(main_);
        about.show();
        click(&about, "cmdSysInfo");
    };
    const QString unavailable = QStringLiteral("此时系统信息不可用");

    reg = {true, true, QStringLiteral("/opt/msinfo/msinfo32"), false, {}};
    pressSysInfo();
    EXPECT_EQ(g_started, QStringList{"/opt/msinfo/msinfo32"});
    EXPECT_TRUE(messageTexts().isEmpty());

    // No PATH value: the tool in the registered folder.
    g_started.clear();
    reg = {false, true, {}, true, tools.path()};
    pressSysInfo();
    EXPECT_EQ(g_started, QStringList{tools.path() + QStringLiteral("/MSINFO32.EXE")});

    // A registered folder without the tool, no folder, a PATH that is not a text, a tool that
    // does not start: each ends in the message, with an OK button only.
    const Registry failing[] = {
        {false, true, {}, true, tools.path() + QStringLiteral("/nowhere")},
        {false, true, {}, false, {}},
        {true, false, {}, true, tools.path()},
    };
    for (const Registry& r : failing) {
        g_started.clear();
        Modmain::clearShownMessages();
        reg = r;
        pressSysInfo();
        EXPECT_TRUE(g_started.isEmpty());
        ASSERT_EQ(Modmain::shownMessages().size(), 1);
        EXPECT_EQ(Modmain::shownMessages().at(0).text, unavailable);
        EXPECT_EQ(Modmain::shownMessages().at(0).style, 0);
    }
    Modmain::clearShownMessages();
    g_startSucceeds = false;
    reg = {true, true, QStringLiteral("/opt/msinfo/msinfo32"), false, {}};
    pressSysInfo();
    EXPECT_EQ(messageTexts(), QStringList{unavailable});

    // Without a registry (every system but Windows) the button ends in the message.
#ifndef Q_OS_WIN
    frmAbout::setRegistryReader({});
    Modmain::clearShownMessages();
    pressSysInfo();
    EXPECT_EQ(messageTexts(), QStringList{unavailable});
#endif
}

}  // namespace
