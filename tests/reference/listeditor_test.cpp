#include "passwords.h"
#include "listeditor.h"
#include "support/testsupport.h"
#include "session.h"

#include <QAccessible>
#include <QGroupBox>
#include <QStyle>
#include <stdexcept>

namespace {

class ListEditorTest : public DbTest {
protected:
    void SetUp() override { DbTest::SetUp(); openConn(); }
    void TearDown() override { window_.reset(); DbTest::TearDown(); }

    // Opens an editor as the menu would create it, shown and active; the one opened before is gone.
    QDialog* open(const char* form)
    {
        window_.reset();
        window_.reset(App::createWindow(QLatin1String(form), App::store(), nullptr));
        if (!window_)
            throw std::runtime_error(std::string("no window ") + form);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        return window_.get();
    }

private:
    std::unique_ptr<QDialog> window_;
};

QLineEdit* box(QWidget* w, int i) { return child<QLineEdit>(w, QStringLiteral("txtFields_%1").arg(i)); }
QPushButton* button(QWidget* w, const char* name) { return child<QPushButton>(w, QLatin1String(name)); }
DataGrid* grid(QWidget* w) { return child<DataGrid>(w, QStringLiteral("FG")); }

// The grid's rows as shown, each row's cells joined with '|'.
QStringList gridRows(QWidget* w)
{
    return gridRows(grid(w));
}

int gridCurrentRow(QWidget* w)
{
    const QModelIndexList sel = grid(w)->selectionModel()->selectedRows();
    return sel.isEmpty() ? -1 : sel.first().row();
}

// Fills boxes first, first+1, ... as a person selects each, deletes and types, one key a character
// (each carrying its text, as an input method hands Chinese over).
void fill(QWidget* w, const QStringList& texts, int first = 0)
{
    for (int i = 0; i < texts.size(); ++i) {
        QLineEdit* b = box(w, first + i);
        b->setFocus();
        b->selectAll();
        QTest::keyClick(b, Qt::Key_Delete);
        for (const QChar c : texts[i])
            QTest::sendKeyEvent(QTest::Click, b, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QString boxes(QWidget* w, int n)
{
    QStringList t;
    for (int i = 0; i < n; ++i)
        t << box(w, i)->text();
    return t.join(u'|');
}

// Browse: 添加 编辑 删除 usable, 保存 取消 not, the boxes read-only; editing the other way round. The
// type lists grey out what is withdrawn; the bank and member lists hide 编辑 or 保存 instead.
void expectBrowsing(QWidget* w, bool browse)
{
    const bool swap = w->objectName() == QLatin1String("frmyhxx") || w->objectName() == QLatin1String("frmuser");
    for (const auto& [name, on] : {std::pair{"cmdedit", browse}, std::pair{"cmdupdate", !browse}}) {
        EXPECT_EQ(button(w, name)->isEnabled(), swap || on) << name;
        EXPECT_EQ(button(w, name)->isVisible(), !swap || on) << name;
    }
    for (const auto& [name, on] : {std::pair{"cmdaddnew", browse}, std::pair{"cmddel", browse},
                                   std::pair{"cmdcancel", !browse}, std::pair{"cmdquit", true}})
        EXPECT_TRUE(button(w, name)->isEnabled() == on && button(w, name)->isVisible()) << name;
    for (int i = 0; QLineEdit* b = w->findChild<QLineEdit*>(QStringLiteral("txtFields_%1").arg(i)); ++i)
        EXPECT_EQ(b->isReadOnly(), browse) << i;
}

const char* const kIncome = "select ID, 类型, 备注 from 收入类型 order by ID";

}  // namespace

// The whole round in the income-type list, checked in the grid and in the file; the focused box
// alone is white. What the file refuses is told with its cause, the typed values stay and editing
// goes on: a code that differs only in letter case, then a file that takes no writes (neither the
// new row nor the delete, which leaves its row current).
TEST_F(ListEditorTest, IncomeTypesAddSaveEditCancelDeleteAndRefusals)
{
    const auto colours = [](QWidget* w) {
        return QList{box(w, 0)->palette().base().color(), box(w, 1)->palette().base().color()};
    };
    const auto refused = [](QWidget* w, const char* cause, const char* shown) {
        EXPECT_TRUE(lastMessage().contains(QString::fromUtf8(cause))) << lastMessage().toStdString();
        EXPECT_EQ(boxes(w, 2), QString::fromUtf8(shown));
    };
    const QColor white(Qt::white), grey(0xE0, 0xE0, 0xE0);
    QDialog* w = open("frmsrlx");
    click(w, "cmdaddnew");
    EXPECT_EQ(gridRows(w), QStringList({"||"}));
    EXPECT_EQ(colours(w), QList({white, grey}));
    fill(w, {"a", "工资"});
    EXPECT_EQ(colours(w), QList({grey, white}));
    click(w, "cmdupdate");
    click(w, "cmdaddnew");
    fill(w, {"A", "奖金", "年终"});
    click(w, "cmdupdate");
    refused(w, "编号重复", "A|奖金");
    expectBrowsing(w, false);
    EXPECT_EQ(rows(kIncome), QStringList({"a|工资|"}));
    fill(w, {"b"});
    click(w, "cmdupdate");
    expectBrowsing(w, true);
    EXPECT_EQ(rows(kIncome), QStringList({"a|工资|", "b|奖金|年终"}));
    EXPECT_EQ(gridRows(w), rows(kIncome));
    EXPECT_EQ(gridCurrentRow(w), 1);

    // 编辑 the first row (the focus on its first box, not on 取消), saved.
    clickRow(grid(w), 0);
    click(w, "cmdedit");
    EXPECT_EQ(QApplication::focusWidget(), box(w, 0));
    fill(w, {"月薪", "税后"}, 1);
    click(w, "cmdupdate");
    const QStringList saved = {"a|月薪|税后", "b|奖金|年终"};
    EXPECT_EQ(rows(kIncome), saved);
    EXPECT_EQ(gridRows(w), saved);

    // 编辑 or 添加, then 取消: the stored row shows again, nothing written, no extra grid row.
    for (const char* start : {"cmdedit", "cmdaddnew"}) {
        click(w, start);
        fill(w, {"c", "利息"});
        click(w, "cmdcancel");
        expectBrowsing(w, true);
        EXPECT_EQ(boxes(w, 3), "a|月薪|税后");
        EXPECT_EQ(gridRows(w), saved);
        EXPECT_EQ(rows(kIncome), saved);
    }

    App::conn.execute(QStringLiteral("PRAGMA query_only = 1"));
    click(w, "cmdaddnew");
    fill(w, {"c", "利息"});
    click(w, "cmdupdate");
    refused(w, "只读", "c|利息");
    click(w, "cmdcancel");
    click(w, "cmddel");
    refused(w, "只读", "a|月薪");
    EXPECT_EQ(gridRows(w), saved);
    EXPECT_EQ(gridCurrentRow(w), 0);
    App::conn.execute(QStringLiteral("PRAGMA query_only = 0"));

    // 删除 asks (a question with OK and Cancel), then the row is gone from grid and file at once.
    script().clearMessages();
    click(w, "cmddel");
    EXPECT_EQ(script().messages().value(0).style, App::MsgStyle::Question);
    EXPECT_EQ(gridRows(w), QStringList({"b|奖金|年终"}));
    EXPECT_EQ(rows(kIncome), gridRows(w));

    // A list that cannot be read offers only 退出.
    sql("drop table 银行");
    w = open("frmyhxx");
    EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("不能打开银行信息列表。")));
    for (const char* name : {"cmdaddnew", "cmdedit", "cmddel", "cmdcancel"})
        EXPECT_FALSE(button(w, name)->isEnabled()) << name;
}

// Cancel on the prompt; delete in the middle, at the end, the only row; on an empty list 删除 only
// asks, and 编辑 then 保存 gives a clear message.
TEST_F(ListEditorTest, DeleteLeavesTheNextOrNewLastRowCurrent)
{
    sql("insert into 支出类型 (ID, 类型, 备注) values ('1','饭',''); insert into 支出类型 (ID, 类型, 备注) values ('2','衣','');"
        "insert into 支出类型 (ID, 类型, 备注) values ('3','住',''); insert into 支出类型 (ID, 类型, 备注) values ('4','行','')");
    const auto stored = [this] { return rows("select ID, 类型, 备注 from 支出类型 order by ID"); };
    QDialog* w = open("frmzclx");
    // Row clicked first (-1: none), the answer to the prompt, the IDs left, the boxes and grid row then.
    const struct { int click; int answer; const char* left; const char* shown; int current; } steps[] = {
        {1, 2, "1,2,3,4", "2|衣|", 1}, {-1, 1, "1,3,4", "3|住|", 1}, {2, 1, "1,3", "3|住|", 1},
        {-1, 1, "1", "1|饭|", 0}, {-1, 1, "", "||", -1}, {-1, 1, "", "||", -1}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.left);
        if (s.click >= 0)
            clickRow(grid(w), s.click);
        script().clearMessages();
        script().queueAnswer(s.answer == 2 ? App::MsgAnswer::Cancel : App::MsgAnswer::Ok);
        click(w, "cmddel");
        EXPECT_EQ(messageTexts(), QStringList({"真的要删除此成员记录吗"}));
        EXPECT_EQ(rows("select ID from 支出类型 order by ID").join(u','), s.left);
        EXPECT_EQ(gridRows(w), stored());
        EXPECT_EQ(boxes(w, 3), s.shown);
        EXPECT_EQ(gridCurrentRow(w), s.current);
        expectBrowsing(w, true);
    }

    script().clearMessages();
    click(w, "cmdedit");
    fill(w, {"1", "饭"});
    click(w, "cmdupdate");
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(messageTexts().value(0).contains("没有当前记录")) << messageTexts().value(0).toStdString();
    EXPECT_EQ(stored(), QStringList());
    expectBrowsing(w, false);
}

// In the member list: the password box shows "*" for what is typed and nothing stored, the grid's
// password column is hidden and not read out either. Nothing reaches the file except through 保存:
// not text typed while browsing, not a row left pending when the window closes, and the grid cannot
// leave a row being edited.
TEST_F(ListEditorTest, MembersPasswordHiddenAndNothingWrittenWithoutSave)
{
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('1','张三','父','p1'); insert into 成员 (ID, 姓名, 关系, 密码) values ('2','李四','母','p2')");
    hashPasswords(dbPath());
    const auto members = [this] { return rows("select ID, 姓名, 关系, 密码 from 成员 order by ID"); };
    const QStringList stored = members();
    QDialog* w = open("frmuser");
    QLineEdit* pw = box(w, 3);
    EXPECT_EQ(pw->text(), "");
    EXPECT_EQ(pw->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, pw), '*');
    EXPECT_TRUE(grid(w)->columnWidth(3) == 0 && grid(w)->columnWidth(2) > 0);
    QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(grid(w))->tableInterface()->cellAt(0, 3);
    EXPECT_FALSE(cell && cell->text(QAccessible::Name).contains("argon2"));

    fill(w, {"王五"}, 1);
    EXPECT_EQ(box(w, 1)->text(), "张三");
    clickRow(grid(w), 1);
    clickRow(grid(w), 0);
    EXPECT_EQ(members(), stored);

    click(w, "cmdedit");
    fill(w, {"王五"}, 1);
    clickRow(grid(w), 1);
    QTest::qWait(20);
    EXPECT_EQ(gridCurrentRow(w), 0);
    EXPECT_EQ(box(w, 1)->text(), "王五");
    click(w, "cmdquit");
    EXPECT_EQ(members(), stored);

    // Closing during 添加 (close box) leaves no new row; Escape does not close it.
    w = open("frmuser");
    click(w, "cmdaddnew");
    fill(w, {"3", "小明", "子", "p3"});
    QTest::keyClick(box(w, 3), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->close());
    EXPECT_EQ(members(), stored);
}

// A member's password is kept as its salted hash, never as typed: the box shows no stored password,
// an empty box on 编辑 keeps the one there is, a password typed replaces it, and a new member needs
// one. Each matches what was typed, letter case aside.
TEST_F(ListEditorTest, MemberPasswordsAreKeptAsHashesAndAnEmptyBoxKeepsTheOld)
{
    const auto password = [this](const QString& id) { return scalar("select 密码 from 成员 where ID = '" + id + "'"); };
    QDialog* w = open("frmuser");
    click(w, "cmdaddnew");
    fill(w, {"1", "张三", "父亲"});
    click(w, "cmdupdate");
    EXPECT_EQ(messageTexts(), QStringList{"密码 不能为空"});
    fill(w, {"AbC1"}, 3);
    click(w, "cmdupdate");
    const QString first = password("1");
    EXPECT_TRUE(first.startsWith("$argon2id$")) << first.toStdString();
    EXPECT_FALSE(first.contains("AbC1", Qt::CaseInsensitive));
    EXPECT_TRUE(Passwords::matches(first, "abc1") && Passwords::matches(first, "ABC1") && !Passwords::matches(first, "abc2"));
    EXPECT_EQ(box(w, 3)->text(), "");

    // 编辑 with the box left empty: the relation changes, the password stays.
    click(w, "cmdedit");
    EXPECT_EQ(box(w, 3)->text(), "");
    fill(w, {"爸爸"}, 2);
    click(w, "cmdupdate");
    EXPECT_EQ(rows("select 关系 from 成员"), QStringList{"爸爸"});
    EXPECT_EQ(password("1"), first);

    // A new password replaces it; the same password hashes differently each time (its salt).
    click(w, "cmdedit");
    fill(w, {"AbC1"}, 3);
    click(w, "cmdupdate");
    EXPECT_NE(password("1"), first);
    EXPECT_TRUE(Passwords::matches(password("1"), "abc1"));
    click(w, "cmdedit");
    fill(w, {"新密码"}, 3);
    click(w, "cmdcancel");
    EXPECT_EQ(box(w, 3)->text(), "");
    EXPECT_TRUE(Passwords::matches(password("1"), "abc1"));
    EXPECT_EQ(messageTexts().size(), 1);
}

// What differs between the five lists: the button arrangement, each box's label as its buddy, the tab
// order (frmtzlx's runs 备注, ID, 类型; Enter moves on like Tab, from the last box to 保存, saving
// nothing), and the required fields in field order, each with its message and the focus put where the
// fix is; a blank counts as filled.
TEST_F(ListEditorTest, EachListsLayoutTabOrderAndRequiredFields)
{
    struct Case { const char* form; const char* table; QString order; bool beside; QStringList messages; };
    const Case cases[] = {
        {"frmsrlx", "收入类型", "012", false, {" I D 不能为空", "类型 不能为空"}},
        {"frmzclx", "支出类型", "012", false, {" I D 不能为空", "类型 不能为空"}},
        {"frmtzlx", "投资类型", "201", false, {" I D 不能为空", "类型 不能为空"}},
        {"frmyhxx", "银行", "012", true, {" I D 不能为空", "开户行 不能为空", "开户帐号 不能为空"}},
        {"frmuser", "成员", "0123", true, {" I D 不能为空", "姓名 不能为空", "关系 不能为空", "密码 不能为空"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        script().clearMessages();
        QDialog* w = open(c.form);
        QApplication::processEvents();  // the layout settles
        const QRect frame = child<QGroupBox>(w, "Frame1")->geometry();
        const QRect add = button(w, "cmdaddnew")->geometry(), fg = grid(w)->geometry();
        EXPECT_EQ(add.left() > frame.right() && fg.top() > frame.bottom(), c.beside);
        EXPECT_EQ(add.top() > frame.bottom() && fg.left() > frame.right(), !c.beside);
        const int fields = c.order.size();
        EXPECT_EQ(box(w, fields - 1)->echoMode(), fields == 4 ? QLineEdit::Password : QLineEdit::Normal);
        for (int i = 0; i < fields; ++i)
            EXPECT_EQ(child<QLabel>(w, QStringLiteral("Label1_%1").arg(i))->buddy(), box(w, i));

        click(w, "cmdaddnew");
        box(w, c.order[0].digitValue())->setFocus();
        QString seen = c.order.left(1);
        for (int i = 1; i < fields; ++i) {
            QTest::keyClick(QApplication::focusWidget(), i % 2 ? Qt::Key_Tab : Qt::Key_Return);
            seen += QApplication::focusWidget()->objectName().right(1);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(seen + QApplication::focusWidget()->objectName(), c.order + "cmdupdate");

        for (int i = 0; i < c.messages.size(); ++i) {
            button(w, "cmdquit")->setFocus();  // the check has to bring the focus back
            click(w, "cmdupdate");
            EXPECT_EQ(messageTexts(), c.messages.mid(0, i + 1));
            EXPECT_EQ(script().messages().value(i).style, App::MsgStyle::Information);
            EXPECT_TRUE(box(w, i)->hasFocus()) << i;
            expectBrowsing(w, false);
            fill(w, {" "}, i);
        }
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from ") + c.table), "0");
        click(w, "cmdupdate");
        EXPECT_EQ(messageTexts().size(), c.messages.size());
        expectBrowsing(w, true);
        EXPECT_EQ(rows(QStringLiteral("select ID from ") + c.table), QStringList({" "}));
    }
}
