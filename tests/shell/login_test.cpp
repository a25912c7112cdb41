#include "shelltest.h"
#include "session.h"

#include <functional>

namespace {

const QString kRefused = QStringLiteral("密码错误，请重新输入");

class Login : public ShellTest {};

// With no members only the super-user gets in. The picture tells who that is, by mouse or by keyboard
// (it comes after the buttons in the tab order). Enter and Esc in the password box neither log in nor
// close the window; "确定" does.
TEST_F(Login, EmptyMemberTableLetsOnlyTheSuperUserIn)
{
    QPointer<LoginWindow> w = openLogin();
    ASSERT_TRUE(w->isLoaded());
    EXPECT_EQ(child<QComboBox>(w, "cbouser")->count(), 0);
    auto* pic = child<QAbstractButton>(w, "Image1");
    EXPECT_EQ(pic->toolTip(), QStringLiteral("点击这里可以查看超级用户帐号及密码"));
    click(w, "Image1");
    expectOneMessage(QStringLiteral("Administrator:qmr  password:7351"), App::MsgStyle::Plain);
    child<QWidget>(w, "Command2")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), pic);
    QTest::keyClick(pic, Qt::Key_Space);
    expectOneMessage(QStringLiteral("Administrator:qmr  password:7351"), App::MsgStyle::Plain);

    typeInto(child<QComboBox>(w, "cbouser")->lineEdit(), QStringLiteral("qmr"));
    auto* pw = child<QLineEdit>(w, "txtpw");
    QTest::keyClicks(pw, QStringLiteral("7351"));
    QTest::keyClick(pw, Qt::Key_Return);
    QTest::keyClick(pw, Qt::Key_Escape);
    settle();
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->mainWindow(), nullptr);
    click(w, "Command1");

    ASSERT_NE(w->mainWindow(), nullptr);
    EXPECT_TRUE(w->mainWindow()->isVisible());
    EXPECT_EQ(panel(w->mainWindow(), "Stabar_1"), QStringLiteral("当前用户：Manager"));
    EXPECT_EQ(App::curUser, QStringLiteral("当前用户：Manager"));
    // Hidden, not unloaded: the connection stays open for the main window.
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(App::conn.isOpen());
    EXPECT_TRUE(messageTexts().isEmpty());
}

// A new book says how to begin; once members have been entered, 重新登录 shows the login without it
// (no room kept for it), and a book without members again says it again.
TEST_F(Login, TheNoteOnANewBookGoesOnceItHasMembers)
{
    QPointer<LoginWindow> w = openLogin();
    EXPECT_TRUE(w->startHint().startsWith("这是一本新账本，还没有家庭成员"));
    const int withNote = w->height();
    attempt(w, "qmr", "7351");
    ASSERT_NE(w->mainWindow(), nullptr);
    App::conn.execute("insert into 成员 (ID, 姓名, 关系, 密码) values ('01', '张三', '父亲', 'pw')");  // as 成员信息 saves it
    trigger(w->mainWindow(), "mnurelogin");
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->startHint(), QString());
    EXPECT_FALSE(child<QLabel>(w, "lblStart")->isVisible());
    EXPECT_LT(w->height(), withNote);
    EXPECT_EQ(child<QComboBox>(w, "cbouser")->itemText(0), "张三");

    attempt(w, "张三", "pw");
    ASSERT_NE(w->mainWindow(), nullptr);
    App::conn.execute("delete from 成员");
    trigger(w->mainWindow(), "mnurelogin");
    EXPECT_TRUE(w->startHint().startsWith("这是一本新账本"));
    EXPECT_EQ(w->height(), withNote);
}

TEST_F(Login, MembersLogInByNameAsStoredAndComeBackToTheLogin)
{
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('03', '张三', '儿子', '张3');"
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('02', 'Zed', '父亲', '111');"
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('01', 'Alice', '母亲', 'pw42');"
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('04', 'Al', '父亲', 'pw7');"
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('05', '<b>Kim</b>', '女儿', 'k1');");
    hashPasswords(dbPath());
    QPointer<LoginWindow> w = openLogin();
    auto* cbo = child<QComboBox>(w, "cbouser");
    auto* pw = child<QLineEdit>(w, "txtpw");
    // The names in the database's order, not sorted; nothing chosen yet.
    QStringList names;
    for (int i = 0; i < cbo->count(); ++i)
        names << cbo->itemText(i);
    EXPECT_EQ(names, QStringList({"张三", "Zed", "Alice", "Al", "<b>Kim</b>"}));
    EXPECT_EQ(cbo->currentText(), QString());
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('06', 'Carol', '女儿', 'c4');");  // added while the program runs
    hashPasswords(dbPath());

    // The status panel shows the stored name whole (never as markup). 重新登录 brings the login back
    // with the members as they are now, the name as typed and an empty password; the next login comes at once, before the old
    // main window is gone.
    QList<QPointer<MainWindow>> left;
    auto loggedInAs = [&](const QString& typed, const QString& name) {
        EXPECT_TRUE(messageTexts().isEmpty()) << name.toStdString();
        ASSERT_NE(w->mainWindow(), nullptr) << name.toStdString();
        left << w->mainWindow();
        auto* user = child<QLabel>(w->mainWindow(), "Stabar_1");
        EXPECT_EQ(user->text(), QStringLiteral("当前用户：") + name);
        EXPECT_GE(user->sizeHint().width(), user->fontMetrics().horizontalAdvance(user->text()));
        EXPECT_EQ(App::curUser, user->text());
        EXPECT_EQ(panel(w->mainWindow(), "Stabar_2"), QStringLiteral("加载完毕..."));
        trigger(w->mainWindow(), "mnurelogin");
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(cbo->currentText(), typed);
        EXPECT_EQ(pw->text(), QString());
        EXPECT_EQ(cbo->count(), 6);
        EXPECT_EQ(cbo->itemText(5), QStringLiteral("Carol"));
    };
    // Chosen from the list with the keyboard.
    cbo->setFocus();
    QTest::keyClick(cbo, Qt::Key_Down);
    EXPECT_EQ(cbo->currentText(), QStringLiteral("张三"));
    typeInto(pw, QStringLiteral("张3"));
    click(w, "Command1");
    loggedInAs(QStringLiteral("张三"), QStringLiteral("张三"));

    // Typed: names and passwords without letter case, never completed to another member's name, or
    // not in the list.
    const struct { QString typed, password, stored; } logins[] = {
        {"aLICE", "pw42", "Alice"}, {"Al", "PW7", "Al"}, {"<b>Kim</b>", "k1", "<b>Kim</b>"}, {"carol", "c4", "Carol"}};
    for (const auto& l : logins) {
        attempt(w, l.typed, l.password);
        loggedInAs(l.typed, l.stored);
    }
    settle();
    for (const auto& main : left)
        EXPECT_TRUE(main.isNull());
    EXPECT_EQ(cbo->count(), 6);  // the members as they are now
    EXPECT_TRUE(App::conn.isOpen());
}

TEST_F(Login, WrongEmptyAndInjectedLoginsAreRefused)
{
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('01', 'Alice', '母亲', 'pw42');"
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('02', 'Bob', '父亲', 'longpass');");
    hashPasswords(dbPath());
    App::curUser = QStringLiteral("unchanged");
    QPointer<LoginWindow> w = openLogin();
    auto* cbo = child<QComboBox>(w, "cbouser");
    auto* pw = child<QLineEdit>(w, "txtpw");
    // A "*" for each character, and no more than six of them.
    pw->setFocus();
    QTest::keyClicks(pw, QStringLiteral("1234567"));
    EXPECT_EQ(pw->displayText(), QStringLiteral("******"));
    pw->clear();

    const QString inject = QStringLiteral("' or ''='");
    // "'or'1" fits in the six characters; of "longpass" only six can be typed; the super-user's name
    // and password compare with letter case.
    const struct { QString name, password; } attempts[] = {
        {"Alice", "pw43"}, {"Alicia", "pw42"}, {"", ""}, {inject, inject}, {"Alice", "'or'1"}, {inject, "pw42"},
        {"Bob", "longpass"}, {"QMR", "7351"}, {"qmr ", "7351"}, {"qmr", "735"}};
    for (const auto& a : attempts) {
        SCOPED_TRACE((a.name + QStringLiteral(" / ") + a.password).toStdString());
        attempt(w, a.name, a.password);
        expectOneMessage(kRefused, App::MsgStyle::Information);
        // The name stays; the password box is empty and has the focus for the next try.
        EXPECT_EQ(cbo->currentText(), a.name);
        EXPECT_EQ(pw->text(), QString());
        EXPECT_EQ(QApplication::focusWidget(), pw);
        EXPECT_EQ(w->mainWindow(), nullptr);
    }
    EXPECT_EQ(App::curUser, QStringLiteral("unchanged"));
}

TEST_F(Login, EveryWayOutClosesTheConnection)
{
    auto logIn = [this](LoginWindow* w) { attempt(w, QStringLiteral("qmr"), QStringLiteral("7351")); };
    const std::function<void(LoginWindow*)> ways[] = {
        [](LoginWindow* w) { click(w, "Command2"); },  // "取消" at start-up
        [&](LoginWindow* w) { logIn(w); trigger(w->mainWindow(), "mnuexit"); },
        [&](LoginWindow* w) { logIn(w); w->mainWindow()->close(); },  // the main window's close box
        [&](LoginWindow* w) {  // the login's close box during a re-login
            logIn(w);
            trigger(w->mainWindow(), "mnurelogin");
            settle();
            w->close();
        },
    };
    for (const auto& way : ways) {
        LoginWindow* w = openLogin();
        ASSERT_TRUE(App::conn.isOpen());
        way(w);
        settle();
        EXPECT_TRUE(shellWindows().isEmpty());
        EXPECT_FALSE(App::conn.isOpen());
    }
    EXPECT_TRUE(messageTexts().isEmpty());
}

}  // namespace
