#include "reference/listeditor.h"
#include "support/testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
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

    // Opens an editor as the menu would create it, shown and active.
    std::unique_ptr<QDialog> open(const QString& form)
    {
        std::unique_ptr<QDialog> w(Modmain::createWindow(form, nullptr));
        EXPECT_NE(w, nullptr) << form.toStdString();
        if (!w)
            return w;
        w->show();
        QApplication::setActiveWindow(w.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        return w;
    }
};

QLineEdit* box(QWidget* w, int i)
{
    return child<QLineEdit>(w, QStringLiteral("txtFields_%1").arg(i));
}

QPushButton* button(QWidget* w, const char* name)
{
    return child<QPushButton>(w, QLatin1String(name));
}

// The grid's rows as shown, each row's cells joined with '|'.
QStringList gridRows(QWidget* w)
{
    QStringList out;
    auto* fg = child<DataGrid>(w, QStringLiteral("FG"));
    if (!fg)
        return out;
    const QAbstractItemModel* m = fg->model();
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
    auto* fg = child<DataGrid>(w, QStringLiteral("FG"));
    const QModelIndexList sel = fg->selectionModel()->selectedRows();
    return sel.isEmpty() ? -1 : sel.first().row();
}

// Clicks a row of the grid, as a person picks a row.
void clickRow(QWidget* w, int row)
{
    auto* fg = child<DataGrid>(w, QStringLiteral("FG"));
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

}  // namespace

// The whole round in the income-type list, checked in the grid and in the file.
TEST_F(ListEditorTest, IncomeTypesAddSaveEditCancelDelete)
{
    auto w = open(QStringLiteral("frmsrlx"));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("收入类型"));
    EXPECT_EQ(gridRows(w.get()), QStringList());

    // Browse: 添加 编辑 删除 usable, 保存 取消 not; all six stay visible in the type lists.
    auto browse = [&] {
        EXPECT_TRUE(button(w.get(), "cmdaddnew")->isEnabled());
        EXPECT_TRUE(button(w.get(), "cmdedit")->isEnabled());
        EXPECT_TRUE(button(w.get(), "cmddel")->isEnabled());
        EXPECT_FALSE(button(w.get(), "cmdupdate")->isEnabled());
        EXPECT_FALSE(button(w.get(), "cmdcancel")->isEnabled());
        EXPECT_TRUE(button(w.get(), "cmdquit")->isEnabled());
        for (const char* b : {"cmdaddnew", "cmdedit", "cmddel", "cmdupdate", "cmdcancel", "cmdquit"})
            EXPECT_TRUE(button(w.get(), b)->isVisible()) << b;
    };
    auto editing = [&] {
        EXPECT_FALSE(button(w.get(), "cmdaddnew")->isEnabled());
        EXPECT_FALSE(button(w.get(), "cmdedit")->isEnabled());
        EXPECT_FALSE(button(w.get(), "cmddel")->isEnabled());
        EXPECT_TRUE(button(w.get(), "cmdupdate")->isEnabled());
        EXPECT_TRUE(button(w.get(), "cmdcancel")->isEnabled());
        EXPECT_TRUE(button(w.get(), "cmdquit")->isEnabled());
    };
    browse();

    click(w.get(), "cmdaddnew");
    editing();
    EXPECT_TRUE(box(w.get(), 0)->hasFocus());
    EXPECT_EQ(gridRows(w.get()), QStringList({"||"}));
    typeBox(w.get(), 0, "a");
    typeBox(w.get(), 1, "工资");
    click(w.get(), "cmdupdate");
    browse();
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型"), QStringList({"a|工资|"}));
    EXPECT_EQ(gridRows(w.get()), QStringList({"a|工资|"}));

    click(w.get(), "cmdaddnew");
    typeBox(w.get(), 0, "b");
    typeBox(w.get(), 1, "奖金");
    typeBox(w.get(), 2, "年终");
    click(w.get(), "cmdupdate");
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型 order by ID"), QStringList({"a|工资|", "b|奖金|年终"}));
    EXPECT_EQ(gridRows(w.get()), QStringList({"a|工资|", "b|奖金|年终"}));
    EXPECT_EQ(gridCurrentRow(w.get()), 1);
    EXPECT_EQ(boxes(w.get(), 3), "b|奖金|年终");

    // 编辑 the first row, saved.
    clickRow(w.get(), 0);
    EXPECT_EQ(boxes(w.get(), 3), "a|工资|");
    click(w.get(), "cmdedit");
    editing();
    typeBox(w.get(), 1, "月薪");
    typeBox(w.get(), 2, "税后");
    click(w.get(), "cmdupdate");
    browse();
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型 order by ID"), QStringList({"a|月薪|税后", "b|奖金|年终"}));
    EXPECT_EQ(gridRows(w.get()), QStringList({"a|月薪|税后", "b|奖金|年终"}));

    // 编辑 then 取消: the boxes show the stored row again, nothing written.
    click(w.get(), "cmdedit");
    typeBox(w.get(), 1, "改了");
    click(w.get(), "cmdcancel");
    browse();
    EXPECT_EQ(boxes(w.get(), 3), "a|月薪|税后");
    EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型 order by ID"), QStringList({"a|月薪|税后", "b|奖金|年终"}));

    // 添加 then 取消: no row in grid or file, the row shown before is current again.
    click(w.get(), "cmdaddnew");
    typeBox(w.get(), 0, "c");
    typeBox(w.get(), 1, "利息");
    EXPECT_EQ(gridRows(w.get()).size(), 3);
    click(w.get(), "cmdcancel");
    browse();
    EXPECT_EQ(gridRows(w.get()), QStringList({"a|月薪|税后", "b|奖金|年终"}));
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "2");
    EXPECT_EQ(boxes(w.get(), 3), "a|月薪|税后");

    // 删除 the current row: gone from grid and file at once.
    click(w.get(), "cmddel");
    EXPECT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages().last().text, QStringLiteral("真的要删除此成员记录吗"));
    EXPECT_EQ(Modmain::shownMessages().last().style, 33);
    EXPECT_EQ(Modmain::shownMessages().last().title, QStringLiteral("kinbook"));
    browse();
    EXPECT_EQ(gridRows(w.get()), QStringList({"b|奖金|年终"}));
    EXPECT_EQ(rows("select ID from 收入类型"), QStringList({"b"}));
    EXPECT_EQ(boxes(w.get(), 3), "b|奖金|年终");
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
        auto w = open(QLatin1String(c.form));
        ASSERT_TRUE(w);
        click(w.get(), "cmdaddnew");
        for (int i = 0; i < c.messages.size(); ++i) {
            // Move the focus away first, so that the check has to bring it back.
            button(w.get(), "cmdquit")->setFocus();
            click(w.get(), "cmdupdate");
            ASSERT_EQ(Modmain::shownMessages().size(), i + 1);
            const auto m = Modmain::shownMessages().last();
            EXPECT_EQ(m.text, c.messages[i]);
            EXPECT_EQ(m.style, 64);
            EXPECT_EQ(m.title, QStringLiteral("kinbook"));
            EXPECT_TRUE(box(w.get(), i)->hasFocus()) << i;
            EXPECT_TRUE(button(w.get(), "cmdcancel")->isEnabled());  // still editing
            EXPECT_EQ(scalar(QStringLiteral("select count(*) from ") + c.table), "0");
            typeBox(w.get(), i, " ");  // a single blank counts as filled
        }
        click(w.get(), "cmdupdate");
        EXPECT_EQ(Modmain::shownMessages().size(), c.messages.size());
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from ") + c.table), "1");
        EXPECT_EQ(scalar(QStringLiteral("select ID from ") + c.table), " ");
        if (c.messages.size() < c.fields) {  // 备注 left empty
            EXPECT_EQ(scalar(QStringLiteral("select 备注 from ") + c.table), "");
        }
        EXPECT_TRUE(button(w.get(), "cmdaddnew")->isEnabled());
    }
}

// Delete in the middle, at the end, the only row; Cancel on the prompt; delete on an empty list.
TEST_F(ListEditorTest, DeleteLeavesTheNextOrNewLastRowCurrent)
{
    sql("insert into 支出类型 values ('1','饭','');"
        "insert into 支出类型 values ('2','衣','');"
        "insert into 支出类型 values ('3','住','');"
        "insert into 支出类型 values ('4','行','')");
    auto w = open(QStringLiteral("frmzclx"));
    ASSERT_TRUE(w);
    EXPECT_EQ(gridRows(w.get()).size(), 4);

    // Cancel deletes nothing and stays in browse.
    clickRow(w.get(), 1);
    Modmain::queueAnswer(2);
    click(w.get(), "cmddel");
    EXPECT_EQ(scalar("select count(*) from 支出类型"), "4");
    EXPECT_EQ(gridRows(w.get()).size(), 4);
    EXPECT_EQ(boxes(w.get(), 2), "2|衣");
    EXPECT_TRUE(button(w.get(), "cmdaddnew")->isEnabled());

    // Middle: the following row becomes current.
    click(w.get(), "cmddel");
    EXPECT_EQ(rows("select ID from 支出类型 order by ID"), QStringList({"1", "3", "4"}));
    EXPECT_EQ(gridRows(w.get()), QStringList({"1|饭|", "3|住|", "4|行|"}));
    EXPECT_EQ(boxes(w.get(), 2), "3|住");
    EXPECT_EQ(gridCurrentRow(w.get()), 1);

    // End: the new last row becomes current.
    clickRow(w.get(), 2);
    click(w.get(), "cmddel");
    EXPECT_EQ(rows("select ID from 支出类型 order by ID"), QStringList({"1", "3"}));
    EXPECT_EQ(boxes(w.get(), 2), "3|住");
    EXPECT_EQ(gridCurrentRow(w.get()), 1);

    click(w.get(), "cmddel");
    EXPECT_EQ(boxes(w.get(), 2), "1|饭");
    // The only row: an empty grid, empty boxes, browse, and no message beyond the prompt.
    Modmain::clearShownMessages();
    click(w.get(), "cmddel");
    EXPECT_EQ(scalar("select count(*) from 支出类型"), "0");
    EXPECT_EQ(gridRows(w.get()), QStringList());
    EXPECT_EQ(boxes(w.get(), 3), "||");
    EXPECT_EQ(messageTexts(), QStringList({"真的要删除此成员记录吗"}));
    EXPECT_TRUE(button(w.get(), "cmdaddnew")->isEnabled());

    // On the empty list: the prompt, nothing else, still usable.
    Modmain::clearShownMessages();
    click(w.get(), "cmddel");
    EXPECT_EQ(messageTexts(), QStringList({"真的要删除此成员记录吗"}));
    click(w.get(), "cmdaddnew");
    typeBox(w.get(), 0, "9");
    typeBox(w.get(), 1, "杂");
    click(w.get(), "cmdupdate");
    EXPECT_EQ(rows("select ID, 类型 from 支出类型"), QStringList({"9|杂"}));
}

// Saves the file refuses: the cause is told, the typed values stay, editing goes on, nothing is written.
TEST_F(ListEditorTest, RefusedSavesKeepTheTypedValues)
{
    sql("insert into 收入类型 values ('a','工资','')");
    auto w = open(QStringLiteral("frmsrlx"));
    ASSERT_TRUE(w);

    // "A" after "a": codes compare without letter case.
    click(w.get(), "cmdaddnew");
    typeBox(w.get(), 0, "A");
    typeBox(w.get(), 1, "奖金");
    click(w.get(), "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("编号重复"))) << messageTexts().first().toStdString();
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("没有保存")));
    EXPECT_EQ(rows("select ID, 类型 from 收入类型"), QStringList({"a|工资"}));
    EXPECT_EQ(boxes(w.get(), 2), "A|奖金");
    EXPECT_TRUE(button(w.get(), "cmdupdate")->isEnabled());
    EXPECT_FALSE(box(w.get(), 0)->isReadOnly());
    EXPECT_EQ(gridRows(w.get()).size(), 2);  // the row being added is still there, unsaved

    // Mended, it saves.
    typeBox(w.get(), 0, "b");
    click(w.get(), "cmdupdate");
    EXPECT_EQ(rows("select ID, 类型 from 收入类型 order by ID"), QStringList({"a|工资", "b|奖金"}));
    EXPECT_EQ(gridRows(w.get()), QStringList({"a|工资|", "b|奖金|"}));

    // Renaming b to "A" through 编辑 is refused the same way.
    Modmain::clearShownMessages();
    click(w.get(), "cmdedit");
    typeBox(w.get(), 0, "A");
    click(w.get(), "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("编号重复")));
    EXPECT_EQ(rows("select ID from 收入类型 order by ID"), QStringList({"a", "b"}));
    EXPECT_EQ(box(w.get(), 0)->text(), "A");
    click(w.get(), "cmdcancel");
    EXPECT_EQ(boxes(w.get(), 2), "b|奖金");

    // A file that takes no writes.
    Modmain::conn.execute(QStringLiteral("PRAGMA query_only = 1"));
    Modmain::clearShownMessages();
    click(w.get(), "cmdaddnew");
    typeBox(w.get(), 0, "c");
    typeBox(w.get(), 1, "利息");
    click(w.get(), "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("只读"))) << messageTexts().first().toStdString();
    EXPECT_EQ(boxes(w.get(), 2), "c|利息");
    EXPECT_TRUE(button(w.get(), "cmdcancel")->isEnabled());
    click(w.get(), "cmdcancel");
    // A refused delete is told too, and the row stays, current.
    clickRow(w.get(), 0);
    Modmain::clearShownMessages();
    click(w.get(), "cmddel");
    ASSERT_EQ(Modmain::shownMessages().size(), 2);
    EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("只读")));
    EXPECT_EQ(gridRows(w.get()).size(), 2);
    EXPECT_EQ(boxes(w.get(), 2), "a|工资");
    EXPECT_EQ(gridCurrentRow(w.get()), 0);
    Modmain::conn.execute(QStringLiteral("PRAGMA query_only = 0"));
    EXPECT_EQ(rows("select ID from 收入类型 order by ID"), QStringList({"a", "b"}));
}

// 编辑 then 保存 with no row at all: a clear message, no crash, nothing written.
TEST_F(ListEditorTest, EditOnAnEmptyListSaysThereIsNoRow)
{
    auto w = open(QStringLiteral("frmyhxx"));
    ASSERT_TRUE(w);
    click(w.get(), "cmdedit");
    EXPECT_TRUE(button(w.get(), "cmdupdate")->isVisible());
    typeBox(w.get(), 0, "1");
    typeBox(w.get(), 1, "工行");
    typeBox(w.get(), 2, "6222");
    click(w.get(), "cmdupdate");
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().contains(QStringLiteral("没有当前记录"))) << messageTexts().first().toStdString();
    EXPECT_EQ(scalar("select count(*) from 银行"), "0");
    EXPECT_EQ(gridRows(w.get()), QStringList());
    click(w.get(), "cmdcancel");
    EXPECT_TRUE(button(w.get(), "cmdedit")->isVisible());
    EXPECT_EQ(boxes(w.get(), 3), "||");
}

// Nothing reaches the file except through 保存: not text typed while browsing, not a row left
// pending when the window closes, and the grid cannot leave a row being edited.
TEST_F(ListEditorTest, NothingIsWrittenWithoutSave)
{
    sql("insert into 成员 values ('1','张三','父','p1');"
        "insert into 成员 values ('2','李四','母','p2')");
    const QStringList stored = {"1|张三|父|p1", "2|李四|母|p2"};
    {
        auto w = open(QStringLiteral("frmuser"));
        ASSERT_TRUE(w);
        // Browsing: the boxes take no text, and moving to another row writes nothing.
        EXPECT_TRUE(box(w.get(), 1)->isReadOnly());
        typeBox(w.get(), 1, "王五");
        EXPECT_EQ(box(w.get(), 1)->text(), "张三");
        clickRow(w.get(), 1);
        clickRow(w.get(), 0);
        EXPECT_EQ(rows("select * from 成员 order by ID"), stored);

        // Editing: the grid stays on the edited row until 保存 or 取消.
        click(w.get(), "cmdedit");
        EXPECT_FALSE(box(w.get(), 1)->isReadOnly());
        typeBox(w.get(), 1, "王五");
        clickRow(w.get(), 1);
        QTest::qWait(20);
        EXPECT_EQ(gridCurrentRow(w.get()), 0);
        EXPECT_EQ(box(w.get(), 1)->text(), "王五");
        EXPECT_EQ(rows("select * from 成员 order by ID"), stored);

        // Closing during 编辑 writes nothing.
        click(w.get(), "cmdquit");
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(rows("select * from 成员 order by ID"), stored);
    {
        // Closing during 添加 (close box) leaves no new row.
        auto w = open(QStringLiteral("frmuser"));
        ASSERT_TRUE(w);
        click(w.get(), "cmdaddnew");
        typeBox(w.get(), 0, "3");
        typeBox(w.get(), 1, "小明");
        typeBox(w.get(), 2, "子");
        typeBox(w.get(), 3, "p3");
        EXPECT_TRUE(w->close());
    }
    EXPECT_EQ(rows("select * from 成员 order by ID"), stored);
    {
        // Escape does not close the window in the middle of 添加.
        auto w = open(QStringLiteral("frmsrlx"));
        ASSERT_TRUE(w);
        click(w.get(), "cmdaddnew");
        typeBox(w.get(), 0, "x");
        QTest::keyClick(box(w.get(), 0), Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(box(w.get(), 0)->text(), "x");
    }
    EXPECT_EQ(scalar("select count(*) from 收入类型"), "0");
}

// Opened from the menu: the loading indicator ends once the window is up and stays ended after it
// closes.
TEST_F(ListEditorTest, OpenedFromTheMenuEndsTheBusyState)
{
    QLabel panel;
    Modmain::setStatusPanel(&panel);
    for (const char* form : {"frmuser", "frmsrlx", "frmzclx", "frmyhxx", "frmtzlx"}) {
        SCOPED_TRACE(form);
        bool seen = false;
        whenModal([&](QDialog* d) {
            seen = true;
            EXPECT_EQ(d->objectName(), QLatin1String(form));
            EXPECT_FALSE(Modmain::isBusy());
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(panel.text(), QStringLiteral("加载完毕..."));
            click(d, "cmdquit");
        });
        Modmain::openDataWindow(QLatin1String(form), nullptr);
        EXPECT_TRUE(seen);
        EXPECT_FALSE(Modmain::isBusy());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(panel.text(), QStringLiteral("加载完毕..."));
    }
    Modmain::setStatusPanel(nullptr);
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
        auto w = open(QLatin1String(c.form));
        ASSERT_TRUE(w);
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(child<QGroupBox>(w.get(), "Frame1")->title(), QString::fromUtf8(c.frame));
        EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("txtFields_%1").arg(c.captions.size())), nullptr);
        for (int i = 0; i < c.captions.size(); ++i) {
            auto* l = child<QLabel>(w.get(), QStringLiteral("Label1_%1").arg(i));
            EXPECT_EQ(l->text(), c.captions[i]);
            EXPECT_EQ(l->buddy(), box(w.get(), i));
            EXPECT_EQ(child<QLabel>(w.get(), QStringLiteral("Label2_%1").arg(i))->text(), QStringLiteral("："));
            EXPECT_FALSE(box(w.get(), i)->accessibleName().isEmpty());
        }
        QPushButton* edit = button(w.get(), "cmdedit");
        QPushButton* save = button(w.get(), "cmdupdate");
        auto* fg = child<DataGrid>(w.get(), "FG");
        if (c.swap) {
            // 编辑 and 保存 take turns in one place; the grid runs under the frame.
            EXPECT_TRUE(edit->isVisible());
            EXPECT_FALSE(save->isVisible());
            QApplication::processEvents();
            const QPoint at = edit->mapTo(w.get(), QPoint());
            const QSize size = edit->size();
            click(w.get(), "cmdaddnew");
            QApplication::processEvents();  // the layout settles
            EXPECT_FALSE(edit->isVisible());
            EXPECT_TRUE(save->isVisible());
            EXPECT_EQ(save->mapTo(w.get(), QPoint()), at);
            EXPECT_EQ(save->size(), size);
            click(w.get(), "cmdcancel");
            EXPECT_TRUE(edit->isVisible());
            EXPECT_FALSE(save->isVisible());
            EXPECT_GT(fg->geometry().top(), child<QGroupBox>(w.get(), "Frame1")->geometry().bottom());
            EXPECT_GT(button(w.get(), "cmdaddnew")->geometry().left(),
                      child<QGroupBox>(w.get(), "Frame1")->geometry().right());
        } else {
            // Buttons below the frame, the grid on the right.
            EXPECT_TRUE(edit->isVisible());
            EXPECT_TRUE(save->isVisible());
            EXPECT_GT(fg->geometry().left(), child<QGroupBox>(w.get(), "Frame1")->geometry().right());
            EXPECT_GT(button(w.get(), "cmdaddnew")->geometry().top(),
                      child<QGroupBox>(w.get(), "Frame1")->geometry().bottom());
            EXPECT_EQ(button(w.get(), "cmdaddnew")->geometry().top(), edit->geometry().top());
        }
        if (QLatin1String(c.form) == QLatin1String("frmuser")) {
            EXPECT_EQ(box(w.get(), 3)->echoMode(), QLineEdit::Password);
            EXPECT_EQ(box(w.get(), 3)->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box(w.get(), 3)),
                      '*');
            EXPECT_EQ(box(w.get(), 3)->text(), "secret");  // bound, only masked
            EXPECT_EQ(fg->columnWidth(3), 0);
            EXPECT_GT(fg->columnWidth(2), 0);
            // Nor does a screen reader read the password out of the grid.
            QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(fg)->tableInterface()->cellAt(0, 3);
            EXPECT_FALSE(cell && cell->text(QAccessible::Name).contains("secret"));
        } else {
            EXPECT_EQ(box(w.get(), 2)->echoMode(), QLineEdit::Normal);
        }
    }
}

// Keys and colours: the focused box alone is white, Enter moves on like Tab, frmtzlx's boxes run
// 备注, ID, 类型.
TEST_F(ListEditorTest, KeyboardAndFocusColour)
{
    auto base = [](QLineEdit* b) { return b->palette().color(QPalette::Base); };
    {
        auto w = open(QStringLiteral("frmsrlx"));
        ASSERT_TRUE(w);
        click(w.get(), "cmdaddnew");
        EXPECT_TRUE(box(w.get(), 0)->hasFocus());
        EXPECT_EQ(base(box(w.get(), 0)), QColor(Qt::white));
        EXPECT_EQ(base(box(w.get(), 1)), QColor(0xE0, 0xE0, 0xE0));
        QTest::keyClicks(box(w.get(), 0), "k");
        QTest::keyClick(box(w.get(), 0), Qt::Key_Return);
        EXPECT_TRUE(box(w.get(), 1)->hasFocus());
        EXPECT_EQ(base(box(w.get(), 0)), QColor(0xE0, 0xE0, 0xE0));
        EXPECT_EQ(base(box(w.get(), 1)), QColor(Qt::white));
        keys(box(w.get(), 1), "类");
        QTest::keyClick(box(w.get(), 1), Qt::Key_Enter);
        EXPECT_TRUE(box(w.get(), 2)->hasFocus());
        // Enter in the last box: on to 保存, no character typed.
        QTest::keyClick(box(w.get(), 2), Qt::Key_Return);
        EXPECT_TRUE(button(w.get(), "cmdupdate")->hasFocus());
        EXPECT_EQ(boxes(w.get(), 3), "k|类|");
        EXPECT_EQ(scalar("select count(*) from 收入类型"), "0");
        QTest::keyClick(button(w.get(), "cmdupdate"), Qt::Key_Space);
        EXPECT_EQ(rows("select ID, 类型, 备注 from 收入类型"), QStringList({"k|类|"}));
    }
    {
        auto w = open(QStringLiteral("frmtzlx"));
        ASSERT_TRUE(w);
        click(w.get(), "cmdaddnew");
        box(w.get(), 2)->setFocus();
        QTest::keyClick(box(w.get(), 2), Qt::Key_Tab);
        EXPECT_TRUE(box(w.get(), 0)->hasFocus());
        QTest::keyClick(box(w.get(), 0), Qt::Key_Return);
        EXPECT_TRUE(box(w.get(), 1)->hasFocus());
        QTest::keyClick(box(w.get(), 1), Qt::Key_Tab);
        EXPECT_TRUE(button(w.get(), "cmdupdate")->hasFocus());
    }
}

// A list that cannot be read: the cause is told, and only 退出 is offered.
TEST_F(ListEditorTest, AListThatCannotBeOpenedOffersOnlyQuit)
{
    sql("drop table 银行");
    auto w = open(QStringLiteral("frmyhxx"));
    ASSERT_TRUE(w);
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(messageTexts().first().startsWith(QStringLiteral("不能打开银行信息列表。"))) << messageTexts().first().toStdString();
    EXPECT_FALSE(button(w.get(), "cmdaddnew")->isEnabled());
    EXPECT_FALSE(button(w.get(), "cmdedit")->isEnabled());
    EXPECT_FALSE(button(w.get(), "cmddel")->isEnabled());
    EXPECT_EQ(gridRows(w.get()), QStringList());
    click(w.get(), "cmdquit");
    EXPECT_FALSE(w->isVisible());
}
