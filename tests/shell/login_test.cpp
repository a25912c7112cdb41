#include "shelltest.h"

namespace {

const QString kRefused = QStringLiteral("密码错误，请重新输入");

class Login : public ShellTest {};

TEST_F(Login, EmptyMemberTableLetsOnlyTheSuperUserIn)
{
    QPointer<frmlogin> w = openLogin();
    ASSERT_TRUE(w->isLoaded());
    EXPECT_EQ(child<QComboBox>(w, "cbouser")->count(), 0);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("登录"));

    // The super-user's name and password compare with letter case.
    attempt(w, QStringLiteral("QMR"), QStringLiteral("7351"));
    attempt(w, QStringLiteral("qmr "), QStringLiteral("7351"));
    attempt(w, QStringLiteral("qmr"), QStringLiteral("735"));
    EXPECT_EQ(messageTexts(), QStringList({kRefused, kRefused, kRefused}));
    EXPECT_EQ(w->mainWindow(), nullptr);
    EXPECT_TRUE(w->isVisible());

    attempt(w, QStringLiteral("qmr"), QStringLiteral("7351"));
    EXPECT_EQ(Modmain::curUser, QStringLiteral("当前用户：Manager"));
    frmmain* main = w->mainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isVisible());
    // Hidden, not unloaded: the connection stays open for the main window.
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(Modmain::conn.isOpen());
    EXPECT_EQ(panel(main, "Stabar_1"), QStringLiteral("当前用户：Manager"));
    EXPECT_EQ(panel(main, "Stabar_2"), QStringLiteral("加载完毕..."));
    EXPECT_EQ(messageTexts().size(), 3);
}

TEST_F(Login, MembersLogInByNameIgnoringLetterCase)
{
    sql("insert into 成员 values ('02', 'Zed', '父亲', '111');"
        "insert into 成员 values ('01', 'Alice', '母亲', 'pw42');"
        "insert into 成员 values ('03', '张三', '儿子', '张3');");
    QPointer<frmlogin> w = openLogin();
    auto* cbo = child<QComboBox>(w, "cbouser");
    // The names in the database's order, not sorted; nothing chosen yet.
    ASSERT_EQ(cbo->count(), 3);
    EXPECT_EQ(cbo->itemText(0), QStringLiteral("Zed"));
    EXPECT_EQ(cbo->itemText(1), QStringLiteral("Alice"));
    EXPECT_EQ(cbo->itemText(2), QStringLiteral("张三"));
    EXPECT_EQ(cbo->currentText(), QString());

    attempt(w, QStringLiteral("aLICE"), QStringLiteral("pw42"));
    EXPECT_TRUE(messageTexts().isEmpty());
    // The name as stored, not as typed.
    EXPECT_EQ(Modmain::curUser, QStringLiteral("当前用户：Alice"));
    ASSERT_NE(w->mainWindow(), nullptr);
    EXPECT_EQ(panel(w->mainWindow(), "Stabar_1"), QStringLiteral("当前用户：Alice"));
}

TEST_F(Login, NamesAreTakenAndShownAsTheyStand)
{
    sql("insert into 成员 values ('01', 'Alice', '母亲', 'pw42');"
        "insert into 成员 values ('02', 'Al', '父亲', 'pw7');"
        "insert into 成员 values ('03', '<b>Kim</b>', '女儿', 'k1');");
    QPointer<frmlogin> w = openLogin();
    // A typed name is not completed to another member's.
    attempt(w, QStringLiteral("Al"), QStringLiteral("pw7"));
    EXPECT_TRUE(messageTexts().isEmpty());
    EXPECT_EQ(Modmain::curUser, QStringLiteral("当前用户：Al"));

    // A name that looks like markup shows whole in the status bar, every character of it.
    trigger(w->mainWindow(), "mnurelogin");
    settle();
    attempt(w, QStringLiteral("<b>Kim</b>"), QStringLiteral("k1"));
    ASSERT_NE(w->mainWindow(), nullptr);
    auto* user = child<QLabel>(w->mainWindow(), "Stabar_1");
    EXPECT_EQ(user->text(), QStringLiteral("当前用户：<b>Kim</b>"));
    EXPECT_GE(user->sizeHint().width(), user->fontMetrics().horizontalAdvance(user->text()));
}

TEST_F(Login, ChineseNameChosenFromTheList)
{
    sql("insert into 成员 values ('03', '张三', '儿子', '张3');");
    QPointer<frmlogin> w = openLogin();
    auto* cbo = child<QComboBox>(w, "cbouser");
    cbo->setFocus();
    QTest::keyClick(cbo, Qt::Key_Down);  // picks the first name from the keyboard
    EXPECT_EQ(cbo->currentText(), QStringLiteral("张三"));
    auto* pw = child<QLineEdit>(w, "txtpw");
    pw->setFocus();
    typeText(pw, QStringLiteral("张3"));
    click(w, "Command1");
    EXPECT_EQ(Modmain::curUser, QStringLiteral("当前用户：张三"));
}

TEST_F(Login, WrongEmptyAndInjectedLoginsAreRefused)
{
    sql("insert into 成员 values ('01', 'Alice', '母亲', 'pw42');"
        "insert into 成员 values ('02', 'Bob', '父亲', 'longpass');");
    Modmain::curUser = QStringLiteral("unchanged");
    QPointer<frmlogin> w = openLogin();
    auto* cbo = child<QComboBox>(w, "cbouser");
    auto* pw = child<QLineEdit>(w, "txtpw");
    // A "*" for each character, and no more than six of them.
    pw->setFocus();
    QTest::keyClicks(pw, QStringLiteral("1234567"));
    EXPECT_EQ(pw->displayText(), QStringLiteral("******"));
    pw->clear();

    const QString inject = QStringLiteral("' or ''='");
    const struct {
        QString name, password;
    } attempts[] = {
        {QStringLiteral("Alice"), QStringLiteral("pw43")},  // wrong password
        {QStringLiteral("Alicia"), QStringLiteral("pw42")},  // no such member
        {QString(), QString()},                               // empty name and password
        {inject, inject},                                     // quotes cannot change the statement
        {QStringLiteral("Alice"), inject},
        {inject, QStringLiteral("pw42")},
        {QStringLiteral("Bob"), QStringLiteral("longpass")},  // only six characters can be typed
    };
    for (const auto& a : attempts) {
        Modmain::clearShownMessages();
        attempt(w, a.name, a.password);
        const QString what = a.name + QStringLiteral(" / ") + a.password;
        ASSERT_EQ(Modmain::shownMessages().size(), 1) << what.toStdString();
        EXPECT_EQ(Modmain::shownMessages().at(0).text, kRefused);
        EXPECT_EQ(Modmain::shownMessages().at(0).style, 64);
        EXPECT_EQ(Modmain::shownMessages().at(0).title, QStringLiteral("kinbook"));
        // The name stays; the password box is empty and has the focus for the next try.
        EXPECT_EQ(cbo->currentText(), a.name) << what.toStdString();
        EXPECT_EQ(pw->text(), QString());
        EXPECT_EQ(QApplication::focusWidget(), pw) << what.toStdString();
        EXPECT_EQ(w->mainWindow(), nullptr) << what.toStdString();
        EXPECT_TRUE(w->isVisible());
    }
    EXPECT_EQ(Modmain::curUser, QStringLiteral("unchanged"));
    EXPECT_EQ(scalar("select count(*) from 成员"), QStringLiteral("2"));
}

TEST_F(Login, PictureTellsTheSuperUser)
{
    QPointer<frmlogin> w = openLogin();
    auto* pic = child<QAbstractButton>(w, "Image1");
    EXPECT_EQ(pic->toolTip(), QStringLiteral("点击这里可以查看超级用户帐号及密码"));
    click(w, "Image1");
    // From the keyboard too: the picture comes after the buttons in the tab order.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    child<QWidget>(w, "Command2")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), pic);
    QTest::keyClick(pic, Qt::Key_Space);
    ASSERT_EQ(Modmain::shownMessages().size(), 2);
    EXPECT_EQ(Modmain::shownMessages().at(1).text, Modmain::shownMessages().at(0).text);
    EXPECT_EQ(Modmain::shownMessages().at(0).text, QStringLiteral("Administrator:qmr  password:7351"));
    EXPECT_EQ(Modmain::shownMessages().at(0).style, 0);
    EXPECT_EQ(Modmain::curUser, QString());
}

TEST_F(Login, ReloginBringsBackTheLoginWithTheLastName)
{
    sql("insert into 成员 values ('01', 'Alice', '母亲', 'pw42');"
        "insert into 成员 values ('02', 'Bob', '父亲', 'b0b');");
    QPointer<frmlogin> w = openLogin();
    attempt(w, QStringLiteral("Alice"), QStringLiteral("pw42"));
    QPointer<frmmain> first = w->mainWindow();
    ASSERT_NE(first, nullptr);

    // A member added while the program runs is not in the list but can type their name.
    sql("insert into 成员 values ('03', 'Carol', '女儿', 'c4');");
    trigger(first, "mnurelogin");
    settle();
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(Modmain::conn.isOpen());
    EXPECT_EQ(child<QComboBox>(w, "cbouser")->currentText(), QStringLiteral("Alice"));
    EXPECT_EQ(child<QComboBox>(w, "cbouser")->count(), 2);
    EXPECT_EQ(child<QLineEdit>(w, "txtpw")->text(), QString());
    EXPECT_EQ(Modmain::curUser, QStringLiteral("当前用户：Alice"));

    attempt(w, QStringLiteral("Bob"), QStringLiteral("b0b"));
    ASSERT_NE(w->mainWindow(), nullptr);
    EXPECT_EQ(panel(w->mainWindow(), "Stabar_1"), QStringLiteral("当前用户：Bob"));

    // At once, before the old main window is gone.
    trigger(w->mainWindow(), "mnurelogin");
    attempt(w, QStringLiteral("carol"), QStringLiteral("c4"));
    settle();
    ASSERT_FALSE(w.isNull());
    ASSERT_NE(w->mainWindow(), nullptr);
    EXPECT_TRUE(w->mainWindow()->isVisible());
    EXPECT_TRUE(Modmain::conn.isOpen());
    EXPECT_EQ(panel(w->mainWindow(), "Stabar_1"), QStringLiteral("当前用户：Carol"));
    EXPECT_EQ(panel(w->mainWindow(), "Stabar_2"), QStringLiteral("加载完毕..."));
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(Login, EveryWayOutClosesTheConnection)
{
    // "取消" at start-up.
    {
        QPointer<frmlogin> w = openLogin();
        ASSERT_TRUE(Modmain::conn.isOpen());
        click(w, "Command2");
        settle();
        EXPECT_TRUE(w.isNull());
        EXPECT_FALSE(Modmain::conn.isOpen());
    }
    // "退出" in the main window.
    {
        QPointer<frmlogin> w = openLogin();
        attempt(w, QStringLiteral("qmr"), QStringLiteral("7351"));
        QPointer<frmmain> main = w->mainWindow();
        trigger(main, "mnuexit");
        settle();
        EXPECT_TRUE(w.isNull());
        EXPECT_TRUE(main.isNull());
        EXPECT_FALSE(Modmain::conn.isOpen());
    }
    // The main window's close box.
    {
        QPointer<frmlogin> w = openLogin();
        attempt(w, QStringLiteral("qmr"), QStringLiteral("7351"));
        QPointer<frmmain> main = w->mainWindow();
        main->close();
        settle();
        EXPECT_TRUE(w.isNull());
        EXPECT_TRUE(main.isNull());
        EXPECT_FALSE(Modmain::conn.isOpen());
    }
    // The login's close box during a re-login.
    {
        QPointer<frmlogin> w = openLogin();
        attempt(w, QStringLiteral("qmr"), QStringLiteral("7351"));
        trigger(w->mainWindow(), "mnurelogin");
        settle();
        w->close();
        settle();
        EXPECT_TRUE(w.isNull());
        EXPECT_FALSE(Modmain::conn.isOpen());
    }
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(Login, EnterAndEscapeDoNothingSpecial)
{
    QPointer<frmlogin> w = openLogin();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    auto* cbo = child<QComboBox>(w, "cbouser");
    cbo->setFocus();
    QTest::keyClicks(cbo->lineEdit(), QStringLiteral("qmr"));
    auto* pw = child<QLineEdit>(w, "txtpw");
    pw->setFocus();
    QTest::keyClicks(pw, QStringLiteral("7351"));
    QTest::keyClick(pw, Qt::Key_Return);
    QTest::keyClick(pw, Qt::Key_Escape);
    settle();
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->mainWindow(), nullptr);
}

}  // namespace
