#include "reference/listeditor.h"
#include "shell/frmmain.h"
#include "support/testsupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

namespace {

class ListEditorTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        openConn();
    }
    void TearDown() override
    {
        window_.reset();
        DbTest::TearDown();
    }

    // Opens an editor as the menu would create it, shown and active; the one opened before is gone.
    QDialog* open(const char* form)
    {
        window_.reset();
        window_.reset(Modmain::createWindow(QLatin1String(form), nullptr));
        EXPECT_NE(window_, nullptr) << form;
        if (!window_)
            return nullptr;
        window_->show();
        QApplication::setActiveWindow(window_.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        return window_.get();
    }

private:
    std::unique_ptr<QDialog> window_;
};

QLineEdit* box(QWidget* w, int i)
{
    return child<QLineEdit>(w, QStringLiteral("txtFields_%1").arg(i));
}

QPushButton* button(QWidget* w, const char* name)
{
    return child<QPushButton>(w, QLatin1String(name));
}

DataGrid* grid(QWidget* w)
{
    return child<DataGrid>(w, QStringLiteral("FG"));
}

// The grid's rows as shown, each row's cells joined with '|'.
QStringList gridRows(QWidget* w)
{
    QStringList out;
    const QAbstractItemModel* m = grid(w)->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->index(r, c).data().toString();
        out << cells.join(u'|');
    }
    return out;
}

int gridCurrentRow(QWidget* w)
{
    const QModelIndexList sel = grid(w)->selectionModel()->selectedRows();
    return sel.isEmpty() ? -1 : sel.first().row();
}

// Clicks a row of the grid, as a person picks a row.
void clickRow(QWidget* w, int row)
{
    DataGrid* fg = grid(w);
    const QRect r = fg->visualRect(fg->model()->index(row, 0));
    QTest::mouseClick(fg->viewport(), Qt::LeftButton, {}, r.center());
}

// Types text key by key; characters beyond ASCII arrive as a key carrying the text, as an input
// method hands them over.
void keys(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Replaces what a box holds, as a person selects it all and types over it.
void typeBox(QWidget* w, int i, const QString& text)
{
    QLineEdit* b = box(w, i);
    b->setFocus();
    b->selectAll();
    if (text.isEmpty())
        QTest::keyClick(b, Qt::Key_Delete);
    else
        keys(b, text);
}

QString boxes(QWidget* w, int n)
{
    QStringList t;
    for (int i = 0; i < n; ++i)
        t << box(w, i)->text();
    return t.join(u'|');
}

// Browse: 添加 编辑 删除 usable, 保存 取消 not, the boxes take no text; editing the other way round.
// The type lists grey out what is withdrawn; the bank and member lists hide 编辑 or 保存 instead.
// 退出 is always usable.
void expectBrowsing(QWidget* w, bool browse)
{
    const bool swap = w->objectName() == QLatin1String("frmyhxx") || w->objectName() == QLatin1String("frmuser");
    for (const auto& [name, on] : {std::pair{"cmdedit", browse}, std::pair{"cmdupdate", !browse}}) {
        EXPECT_EQ(button(w, name)->isEnabled(), swap || on) << name;
        EXPECT_EQ(button(w, name)->isVisible(), !swap || on) << name;
    }
    EXPECT_EQ(button(w, "cmdaddnew")->isEnabled(), browse);
    EXPECT_EQ(button(w, "cmddel")->isEnabled(), browse);
    EXPECT_EQ(button(w, "cmdcancel")->isEnabled(), !browse);
    EXPECT_TRUE(button(w, "cmdquit")->isEnabled());
    for (const char* name : {"cmdaddnew", "cmdcancel", "cmddel", "cmdquit"})
        EXPECT_TRUE(button(w, name)->isVisible()) << name;
    for (int i = 0; QLineEdit* b = w->findChild<QLineEdit*>(QStringLiteral("txtFields_%1").arg(i)); ++i)
        EXPECT_EQ(b->isReadOnly(), browse) << i;
}

}  // namespace

// The whole round in the income-type list, checked in the grid and in the file.
TEST_F(ListEditorTest, IncomeTypesAddSaveEditCancelDelete)
{
    QDialog* w = open("frmsrlx");
    ASSERT_TRUE(w);
    EXPECT_EQ(gridRows(w), QStringList());
    expectBrowsing(w, true);

    click(w, "cmdaddnew");
    expectBrowsing(w, false);
    EXPECT_TRUE(box(w, 0)->hasFocus());
    EXPECT_EQ(gridRows(w), QStringList({"||"}));
    typeBox(w, 0, "a");
    typeBox(w, 1, "工资");
    click(w, "cmdupdate");
    expectBrowsing(w, true);
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型"), QStringList({"a|工资|"}));
    EXPECT_EQ(gridRows(w), QStringList({"a|工资|"}));

    click(w, "cmdaddnew");
    typeBox(w, 0, "b");
    typeBox(w, 1, "奖金");
    typeBox(w, 2, "年终");
    click(w, "cmdupdate");
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型 order by ID"), QStringList({"a|工资|", "b|奖金|年终"}));
    EXPECT_EQ(gridRows(w), QStringList({"a|工资|", "b|奖金|年终"}));
    EXPECT_EQ(gridCurrentRow(w), 1);
    EXPECT_EQ(boxes(w, 3), "b|奖金|年终");

    // 编辑 the first row, saved.
    clickRow(w, 0);
    EXPECT_EQ(boxes(w, 3), "a|工资|");
    click(w, "cmdedit");
    expectBrowsing(w, false);
    EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(w, "txtFields_0"));  // not on 取消
    typeBox(w, 1, "月薪");
    typeBox(w, 2, "税后");
    click(w, "cmdupdate");
    expectBrowsing(w, true);
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型 order by ID"), QStringList({"a|月薪|税后", "b|奖金|年终"}));
    EXPECT_EQ(gridRows(w), QStringList({"a|月薪|税后", "b|奖金|年终"}));

    // 编辑 then 取消: the boxes show the stored row again, nothing written.
    click(w, "cmdedit");
    typeBox(w, 1, "改了");
    click(w, "cmdcancel");
    expectBrowsing(w, true);
    EXPECT_EQ(boxes(w, 3), "a|月薪|税后");
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型 order by ID"), QStringList({"a|月薪|税后", "b|奖金|年终"}));

    // 添加 then 取消: no row in grid or file, the row shown before is current again.
    click(w, "cmdaddnew");
    typeBox(w, 0, "c");
    typeBox(w, 1, "利息");
    EXPECT_EQ(gridRows(w).size(), 3);
    click(w, "cmdcancel");
    expectBrowsing(w, true);
    EXPECT_EQ(gridRows(w), QStringList({"a|月薪|税后", "b|奖金|年终"}));
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "2");
    EXPECT_EQ(boxes(w, 3), "a|月薪|税后");

    // 删除 the current row: gone from grid and file at once.
    click(w, "cmddel");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages().last().text, QStringLiteral("真的要删除此成员记录吗"));
    EXPECT_EQ(Modmain::shownMessages().last().style, 33);
    EXPECT_EQ(Modmain::shownMessages().last().title, QStringLiteral("kinbook"));
    expectBrowsing(w, true);
    EXPECT_EQ(gridRows(w), QStringList({"b|奖金|年终"}));
    EXPECT_EQ(rows("select ID from 收入类型"), QStringList({"b"}));
    EXPECT_EQ(boxes(w, 3), "b|奖金|年终");
}

// Each list's required fields, in field order, with the focus put where the fix is; a blank counts
// as filled; optional fields may stay empty.
TEST_F(ListEditorTest, RequiredFieldsOfEveryList)
{
    struct Case {
        const char* form;
        const char* table;
        QStringList messages;  // in order, as the fields are filled one by one
        int fields;
    };
    const Case cases[] = {
        {"frmsrlx", "收入类型", {" I D 不能为空", "类型 不能为空"}, 3},
        {"frmzclx", "支出类型", {" I D 不能为空", "类型 不能为空"}, 3},
        {"frmtzlx", "投资类型", {" I D 不能为空", "类型 不能为空"}, 3},
        {"frmyhxx", "银行", {" I D 不能为空", "开户行 不能为空", "开户帐号 不能为空"}, 3},
        {"frmuser", "成员", {" I D 不能为空", "姓名 不能为空", "关系 不能为空", "密码 不能为空"}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        Modmain::clearShownMessages();
        QDialog* w = open(c.form);
        ASSERT_TRUE(w);
        click(w, "cmdaddnew");
        for (int i = 0; i < c.messages.size(); ++i) {
            // Move the focus away first, so that the check has to bring it back.
            button(w, "cmdquit")->setFocus();
            click(w, "cmdupdate");
            ASSERT_EQ(Modmain::shownMessages().size(), i + 1);
            const auto m = Modmain::shownMessages().last();
            EXPECT_EQ(m.text, c.messages[i]);
            EXPECT_EQ(m.style, 64);
            EXPECT_EQ(m.title, QStringLiteral("kinbook"));
            EXPECT_TRUE(box(w, i)->hasFocus()) << i;
            expectBrowsing(w, false);
            EXPECT_EQ(scalar(QStringLiteral("select count(*) from ") + c.table), "0");
            typeBox(w, i, " ");  // a single blank counts as filled
        }
        click(w, "cmdupdate");
        EXPECT_EQ(Modmain::shownMessages().size(), c.messages.size());
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from ") + c.table), "1");
        EXPECT_EQ(scalar(QStringLiteral("select ID from ") + c.table), " ");
        if (c.messages.size() < c.fields) {  // 备注 left empty
            EXPECT_EQ(scalar(QStringLiteral("select 备注 from ") + c.table), "");
        }
        expectBrowsing(w, true);
    }
}

// Delete in the middle, at the end, the only row; Cancel on the prompt; delete and 编辑 on an empty
// list.
TEST_F(ListEditorTest, DeleteLeavesTheNextOrNewLastRowCurrent)
{
    sql("insert into 支出类型 values ('1','饭','');"
        "insert into 支出类型 values ('2','衣','');"
        "insert into 支出类型 values ('3','住','');"
        "insert into 支出类型 values ('4','行','')");
    QDialog* w = open("frmzclx");
    ASSERT_TRUE(w);
    EXPECT_EQ(gridRows(w).size(), 4);

    // Cancel deletes nothing and stays in browse.
    clickRow(w, 1);
    Modmain::queueAnswer(2);
    click(w, "cmddel");
    EXPECT_EQ(scalar("select count(*) from 支出类型"), "4");
    EXPECT_EQ(gridRows(w).size(), 4);
    EXPECT_EQ(boxes(w, 2), "2|衣");
    expectBrowsing(w, true);

    // Middle: the following row becomes current.
    click(w, "cmddel");
    EXPECT_EQ(rows("select ID from 支出类型 order by ID"), QStringList({"1", "3", "4"}));
    EXPECT_EQ(gridRows(w), QStringList({"1|饭|", "3|住|", "4|行|"}));
    EXPECT_EQ(boxes(w, 2), "3|住");
    EXPECT_EQ(gridCurrentRow(w), 1);

    // End: the new last row becomes current.
    clickRow(w, 2);
    click(w, "cmddel");
    EXPECT_EQ(rows("select ID from 支出类型 order by ID"), QStringList({"1", "3"}));
    EXPECT_EQ(boxes(w, 2), "3|住");
    EXPECT_EQ(gridCurrentRow(w), 1);

    click(w, "cmddel");
    EXPECT_EQ(boxes(w, 2), "1|饭");
    // The only row: an empty grid, empty boxes, browse, and no message beyond the prompt.
    Modmain::clearShownMessages();
    click(w, "cmddel");
    EXPECT_EQ(scalar("select count(*) from 支出类型"), "0");
    EXPECT_EQ(gridRows(w), QStringList());
    EXPECT_EQ(boxes(w, 3), "||");
    EXPECT_EQ(messageTexts(), QStringList({"真的要删除此成员记录吗"}));
    expectBrowsing(w, true);

    // On the empty list: the prompt, nothing else, still usable.
    Modmain::clearShownMessages();
    click(w, "cmddel");
    EXPECT_EQ(messageTexts(), QStringList({"真的要删除此成员记录吗"}));
    // 编辑 then 保存 with no row at all: a clear message, no crash, nothing written.
    Modmain::clearShownMessages();
    click(w, "cmdedit");
    typeBox(w, 0, "1");
    typeBox(w, 1, "饭");
    click(w, "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("没有当前记录"))) << messageTexts().first().toStdString();
    EXPECT_EQ(scalar("select count(*) from 支出类型"), "0");
    EXPECT_EQ(gridRows(w), QStringList());
    expectBrowsing(w, false);
    click(w, "cmdcancel");
    EXPECT_EQ(boxes(w, 3), "||");

    click(w, "cmdaddnew");
    typeBox(w, 0, "9");
    typeBox(w, 1, "杂");
    click(w, "cmdupdate");
    EXPECT_EQ(rows("select ID, 类型 from 支出类型"), QStringList({"9|杂"}));
}

// What the file refuses is told with its cause; the typed values stay, editing goes on, nothing is
// written. A list that cannot be read offers only 退出.
TEST_F(ListEditorTest, RefusedWritesKeepTheTypedValues)
{
    sql("insert into 收入类型 values ('a','工资','')");
    QDialog* w = open("frmsrlx");
    ASSERT_TRUE(w);

    // "A" after "a": codes compare without letter case.
    click(w, "cmdaddnew");
    typeBox(w, 0, "A");
    typeBox(w, 1, "奖金");
    click(w, "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("编号重复"))) << messageTexts().first().toStdString();
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("没有保存")));
    EXPECT_EQ(rows("select ID, 类型 from 收入类型"), QStringList({"a|工资"}));
    EXPECT_EQ(boxes(w, 2), "A|奖金");
    expectBrowsing(w, false);
    EXPECT_EQ(gridRows(w).size(), 2);  // the row being added is still there, unsaved

    // Mended, it saves.
    typeBox(w, 0, "b");
    click(w, "cmdupdate");
    EXPECT_EQ(rows("select ID, 类型 from 收入类型 order by ID"), QStringList({"a|工资", "b|奖金"}));
    EXPECT_EQ(gridRows(w), QStringList({"a|工资|", "b|奖金|"}));

    // Renaming b to "A" through 编辑 is refused the same way.
    Modmain::clearShownMessages();
    click(w, "cmdedit");
    typeBox(w, 0, "A");
    click(w, "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("编号重复")));
    EXPECT_EQ(rows("select ID from 收入类型 order by ID"), QStringList({"a", "b"}));
    EXPECT_EQ(box(w, 0)->text(), "A");
    click(w, "cmdcancel");
    EXPECT_EQ(boxes(w, 2), "b|奖金");

    // A file that takes no writes.
    Modmain::conn.execute(QStringLiteral("PRAGMA query_only = 1"));
    Modmain::clearShownMessages();
    click(w, "cmdaddnew");
    typeBox(w, 0, "c");
    typeBox(w, 1, "利息");
    click(w, "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("只读"))) << messageTexts().first().toStdString();
    EXPECT_EQ(boxes(w, 2), "c|利息");
    expectBrowsing(w, false);
    click(w, "cmdcancel");
    // A refused delete is told too, and the row stays, current.
    clickRow(w, 0);
    Modmain::clearShownMessages();
    click(w, "cmddel");
    ASSERT_EQ(Modmain::shownMessages().size(), 2);
    EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("只读")));
    EXPECT_EQ(gridRows(w).size(), 2);
    EXPECT_EQ(boxes(w, 2), "a|工资");
    EXPECT_EQ(gridCurrentRow(w), 0);
    Modmain::conn.execute(QStringLiteral("PRAGMA query_only = 0"));
    EXPECT_EQ(rows("select ID from 收入类型 order by ID"), QStringList({"a", "b"}));

    sql("drop table 银行");
    Modmain::clearShownMessages();
    w = open("frmyhxx");
    ASSERT_TRUE(w);
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().startsWith(QStringLiteral("不能打开银行信息列表。"))) << messageTexts().first().toStdString();
    for (const char* name : {"cmdaddnew", "cmdedit", "cmddel", "cmdcancel"})
        EXPECT_FALSE(button(w, name)->isEnabled()) << name;
    EXPECT_EQ(gridRows(w), QStringList());
    click(w, "cmdquit");
    EXPECT_FALSE(w->isVisible());
}

// Nothing reaches the file except through 保存: not text typed while browsing, not a row left
// pending when the window closes, and the grid cannot leave a row being edited.
TEST_F(ListEditorTest, NothingIsWrittenWithoutSave)
{
    sql("insert into 成员 values ('1','张三','父','p1');"
        "insert into 成员 values ('2','李四','母','p2')");
    const QStringList stored = {"1|张三|父|p1", "2|李四|母|p2"};
    QDialog* w = open("frmuser");
    ASSERT_TRUE(w);
    // Browsing: the boxes take no text, and moving to another row writes nothing.
    typeBox(w, 1, "王五");
    EXPECT_EQ(box(w, 1)->text(), "张三");
    clickRow(w, 1);
    clickRow(w, 0);
    EXPECT_EQ(rows("select * from 成员 order by ID"), stored);

    // Editing: the grid stays on the edited row until 保存 or 取消.
    click(w, "cmdedit");
    typeBox(w, 1, "王五");
    clickRow(w, 1);
    QTest::qWait(20);
    EXPECT_EQ(gridCurrentRow(w), 0);
    EXPECT_EQ(box(w, 1)->text(), "王五");
    EXPECT_EQ(rows("select * from 成员 order by ID"), stored);

    // Closing during 编辑 writes nothing.
    click(w, "cmdquit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows("select * from 成员 order by ID"), stored);

    // Closing during 添加 (close box) leaves no new row.
    w = open("frmuser");
    ASSERT_TRUE(w);
    click(w, "cmdaddnew");
    typeBox(w, 0, "3");
    typeBox(w, 1, "小明");
    typeBox(w, 2, "子");
    typeBox(w, 3, "p3");
    EXPECT_TRUE(w->close());
    EXPECT_EQ(rows("select * from 成员 order by ID"), stored);

    // Escape does not close the window in the middle of 添加.
    w = open("frmsrlx");
    ASSERT_TRUE(w);
    click(w, "cmdaddnew");
    typeBox(w, 0, "x");
    QTest::keyClick(box(w, 0), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(box(w, 0)->text(), "x");
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "0");
}

// Each item of the main window's menu "期初设置[&F]" opens its list; once it is up and after it
// closes, the main window shows "加载完毕..." and the normal pointer.
TEST_F(ListEditorTest, OpenedFromTheMenuEndsTheBusyState)
{
    Modmain::curUser = QStringLiteral("当前用户：Manager");
    auto main = std::make_unique<frmmain>();
    main->show();
    auto* status = child<QLabel>(main.get(), "Stabar_2");
    const std::pair<const char*, const char*> items[] = {
        {"mnucy", "frmuser"}, {"mnu1sr", "frmsrlx"}, {"mnu1zc", "frmzclx"}, {"mnu1yh", "frmyhxx"}, {"mnu1tz", "frmtzlx"}};
    for (const auto& [item, form] : items) {
        SCOPED_TRACE(item);
        QString opened;
        whenModal([&](QDialog* d) {
            opened = d->objectName();
            EXPECT_FALSE(Modmain::isBusy());
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(status->text(), QStringLiteral("加载完毕..."));
            click(d, "cmdquit");
        });
        child<QAction>(main.get(), QLatin1String(item))->trigger();
        EXPECT_EQ(opened, QLatin1String(form));
        EXPECT_FALSE(Modmain::isBusy());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(status->text(), QStringLiteral("加载完毕..."));
    }
}

// What the five windows show: captions, the two button arrangements, the hidden password.
TEST_F(ListEditorTest, LooksOfTheFiveWindows)
{
    sql("insert into 成员 values ('1','张三','父','secret')");
    struct Case {
        const char* form;
        const char* title;
        const char* frame;
        QStringList captions;
        bool swap;
    };
    const Case cases[] = {
        {"frmsrlx", "收入类型", "类型信息", {" I D", "类型", "备注"}, false},
        {"frmzclx", "支出类型", "类型信息", {" I D", "类型", "备注"}, false},
        {"frmtzlx", "其它投资类型", "类型信息", {" I D", "类型", "备注"}, false},
        {"frmyhxx", "银行信息", "银行信息", {" I D", "开户行", "开户帐号"}, true},
        {"frmuser", "家庭成员", "成员信息", {" I D", "姓名", "关系", "密码"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        QDialog* w = open(c.form);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(c.title));
        expectBrowsing(w, true);
        QApplication::processEvents();  // the layout settles
        const QRect frame = child<QGroupBox>(w, "Frame1")->geometry();
        EXPECT_EQ(child<QGroupBox>(w, "Frame1")->title(), QString::fromUtf8(c.frame));
        EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("txtFields_%1").arg(c.captions.size())), nullptr);
        for (int i = 0; i < c.captions.size(); ++i) {
            auto* l = child<QLabel>(w, QStringLiteral("Label1_%1").arg(i));
            EXPECT_EQ(l->text(), c.captions[i]);
            EXPECT_EQ(l->buddy(), box(w, i));
            EXPECT_EQ(child<QLabel>(w, QStringLiteral("Label2_%1").arg(i))->text(), QStringLiteral("："));
            EXPECT_FALSE(box(w, i)->accessibleName().isEmpty());
        }
        QPushButton* edit = button(w, "cmdedit");
        DataGrid* fg = grid(w);
        if (c.swap) {
            // 编辑 and 保存 take turns in one place; the grid runs under the frame.
            const QRect place(edit->mapTo(w, QPoint()), edit->size());
            click(w, "cmdaddnew");
            QApplication::processEvents();
            expectBrowsing(w, false);
            EXPECT_EQ(QRect(button(w, "cmdupdate")->mapTo(w, QPoint()), button(w, "cmdupdate")->size()), place);
            click(w, "cmdcancel");
            QApplication::processEvents();
            expectBrowsing(w, true);
            EXPECT_GT(fg->geometry().top(), frame.bottom());
            EXPECT_GT(button(w, "cmdaddnew")->geometry().left(), frame.right());
        } else {
            // Buttons below the frame, the grid on the right.
            EXPECT_GT(fg->geometry().left(), frame.right());
            EXPECT_GT(button(w, "cmdaddnew")->geometry().top(), frame.bottom());
            EXPECT_EQ(button(w, "cmdaddnew")->geometry().top(), edit->geometry().top());
        }
        if (QLatin1String(c.form) == QLatin1String("frmuser")) {
            QLineEdit* pw = box(w, 3);
            EXPECT_EQ(pw->echoMode(), QLineEdit::Password);
            EXPECT_EQ(pw->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, pw), '*');
            EXPECT_EQ(pw->text(), "secret");  // bound, only masked
            EXPECT_EQ(fg->columnWidth(3), 0);
            EXPECT_GT(fg->columnWidth(2), 0);
            // Nor does a screen reader read the password out of the grid.
            QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(fg)->tableInterface()->cellAt(0, 3);
            EXPECT_FALSE(cell && cell->text(QAccessible::Name).contains("secret"));
        } else {
            EXPECT_EQ(box(w, 2)->echoMode(), QLineEdit::Normal);
        }
    }
}

// Keys and colours: the focused box alone is white, Enter moves on like Tab, frmtzlx's boxes run
// 备注, ID, 类型.
TEST_F(ListEditorTest, KeyboardAndFocusColour)
{
    auto base = [](QLineEdit* b) { return b->palette().color(QPalette::Base); };
    QDialog* w = open("frmsrlx");
    ASSERT_TRUE(w);
    click(w, "cmdaddnew");
    EXPECT_TRUE(box(w, 0)->hasFocus());
    EXPECT_EQ(base(box(w, 0)), QColor(Qt::white));
    EXPECT_EQ(base(box(w, 1)), QColor(0xE0, 0xE0, 0xE0));
    QTest::keyClicks(box(w, 0), "k");
    QTest::keyClick(box(w, 0), Qt::Key_Return);
    EXPECT_TRUE(box(w, 1)->hasFocus());
    EXPECT_EQ(base(box(w, 0)), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(base(box(w, 1)), QColor(Qt::white));
    keys(box(w, 1), "类");
    QTest::keyClick(box(w, 1), Qt::Key_Enter);
    EXPECT_TRUE(box(w, 2)->hasFocus());
    // Enter in the last box: on to 保存, no character typed.
    QTest::keyClick(box(w, 2), Qt::Key_Return);
    EXPECT_TRUE(button(w, "cmdupdate")->hasFocus());
    EXPECT_EQ(boxes(w, 3), "k|类|");
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "0");
    QTest::keyClick(button(w, "cmdupdate"), Qt::Key_Space);
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型"), QStringList({"k|类|"}));

    w = open("frmtzlx");
    ASSERT_TRUE(w);
    click(w, "cmdaddnew");
    box(w, 2)->setFocus();
    QTest::keyClick(box(w, 2), Qt::Key_Tab);
    EXPECT_TRUE(box(w, 0)->hasFocus());
    QTest::keyClick(box(w, 0), Qt::Key_Return);
    EXPECT_TRUE(box(w, 1)->hasFocus());
    QTest::keyClick(box(w, 1), Qt::Key_Tab);
    EXPECT_TRUE(button(w, "cmdupdate")->hasFocus());
}
