// Control characters are kept out of every text box, and a code that holds one (written by another
// tool) is still matched whole by the queries.
#include "shelltest.h"
#include "ledgerquery.h"
#include "session.h"

#include <QAccessible>
#include <QPlainTextEdit>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace {

const QString kRefused =
    QStringLiteral("粘贴的内容中有控制字符（例如换行、制表符）或不完整的字，没有粘贴：请只粘贴普通文字");

class ControlCharacters : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('01', 'Alice', '母亲', 'pw42');");
    }
    static QString text(QWidget* box)
    {
        if (auto* p = qobject_cast<QPlainTextEdit*>(box))
            return p->toPlainText();
        return qobject_cast<QLineEdit*>(box)->text();
    }
};

}  // namespace

// In each window the boxes that take text, in the state where they take it: a paste holding a
// control character or half a character is refused whole with a message; plain text gets in, and
// the multi-line repayment record keeps its line breaks.
TEST_F(ControlCharacters, EveryTextBoxRefusesThemWhole)
{
    App::registerAllWindows();
    const struct {
        const char* window;  // empty: the login
        const char* startEditing;
        QStringList boxes;
    } windows[] = {
        {"", "", {"cbouser", "txtpw"}},
        {"frmuser", "cmdaddnew", {"txtFields_0", "txtFields_1", "txtFields_2", "txtFields_3"}},
        {"frmyhxx", "cmdaddnew", {"txtFields_0", "txtFields_1", "txtFields_2"}},
        {"frmsrzhang", "addnew", {"txtMemo"}},
        {"frmyhzhang", "addnew", {"cbocq", "cbolx"}},
        {"frmFz", "cmdaddnew", {"txtname", "Combo1", "txtjilu"}},
        {"frmquery_yh", "", {"coblx"}},
    };
    // Line and paragraph breaks (U+2028, U+2029 as other programs copy them) only a multi-line box keeps.
    const QStringList breaks = {"a\r\nb", u"a\u2029b"_s, u"a\u2028b"_s};
    const QStringList bad = QStringList{u"甲"_s + QChar(0) + u"乙"_s, "a\tb", u"a\x1b"_s, QString(QChar(0xD83D))} + breaks;
    for (const auto& w : windows) {
        if (*w.window)
            App::openConn();  // as after the login
        QPointer<QWidget> window = *w.window ? static_cast<QWidget*>(App::createWindow(w.window, App::store(), nullptr))
                                             : static_cast<QWidget*>(new LoginWindow);
        window->show();
        if (*w.startEditing)
            click(window, w.startEditing);
        for (const QString& name : w.boxes) {
            QWidget* box = window->findChild<QWidget*>(name);
            ASSERT_NE(box, nullptr) << name.toStdString();
            if (auto* combo = qobject_cast<QComboBox*>(box))
                box = combo->lineEdit();
            const bool multiLine = qobject_cast<QPlainTextEdit*>(box);
            for (const QString& t : bad) {
                const QString before = text(box);
                script().clearMessages();
                paste(box, t);
                const bool refused = !(multiLine && breaks.contains(t));
                EXPECT_EQ(text(box), refused ? before : before + "a\nb") << w.window << name.toStdString();
                EXPECT_EQ(messageTexts(), refused ? QStringList{kRefused} : QStringList())
                    << w.window << name.toStdString() << t.toStdString();
            }
            const QString before = text(box);
            paste(box, u"甲乙"_s);
            EXPECT_EQ(text(box), before + "甲乙") << w.window << name.toStdString();
        }
        delete window.data();
    }
}

// A text set through the accessibility interface (as dictation and screen-reader tools do) passes no
// box's guard: it is checked again at save, named, and nothing is stored.
TEST_F(ControlCharacters, SaveRefusesThemWhateverRouteTheyCameBy)
{
    App::registerAllWindows();
    App::openConn();
    const struct {
        const char* window;
        const char* box;
        QStringList others;  // boxes filled with plain text, so that only the control character is wrong
        const char* table;
    } windows[] = {{"frmsrlx", "txtFields_0", {"txtFields_1", "txtFields_2"}, "收入类型"},
                   {"frmFz", "txtname", {"txtJe"}, "负债"}};
    for (const auto& w : windows) {
        std::unique_ptr<QWidget> window(static_cast<QWidget*>(App::createWindow(w.window, App::store(), nullptr)));
        window->show();
        click(window.get(), "cmdaddnew");
        for (const QString& name : w.others)
            child<QLineEdit>(window.get(), name)->setText("5");
        auto* box = child<QLineEdit>(window.get(), w.box);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
        ASSERT_TRUE(a && a->editableTextInterface()) << w.window;
        a->editableTextInterface()->insertText(0, u"A\x01"_s);
        ASSERT_EQ(box->text(), u"A\x01"_s) << w.window;
        click(window.get(), "cmdupdate");
        EXPECT_TRUE(lastMessage().contains(u"控制字符"_s) && lastMessage().contains(u"没有保存"_s))
            << lastMessage().toStdString();
        EXPECT_EQ(scalar(u"select count(*) from "_s + w.table), "0") << w.window;
        EXPECT_EQ(window->focusWidget(), box) << w.window;
    }
    // A multi-line box's line break is no control character: it is saved.
    std::unique_ptr<QWidget> debts(static_cast<QWidget*>(App::createWindow("frmFz", App::store(), nullptr)));
    debts->show();
    click(debts.get(), "cmdaddnew");
    child<QLineEdit>(debts.get(), "txtname")->setText(u"王五"_s);
    child<QLineEdit>(debts.get(), "txtJe")->setText("5");
    child<QPlainTextEdit>(debts.get(), "txtjilu")->setPlainText(u"一\n二"_s);
    click(debts.get(), "cmdupdate");
    EXPECT_EQ(scalar("select 还款记录 from 负债"), u"一\n二"_s) << lastMessage().toStdString();
}

// A member code holding a quote and a NUL, as another tool may store it, is chosen in the picker and
// matched whole by the query: its record is listed and no engine message appears.
TEST_F(ControlCharacters, ACodeHoldingOneIsStillMatchedWhole)
{
    sql("delete from 成员; insert into 成员 (ID, 姓名, 关系, 密码) values ('a' || char(0) || '''b', '张三', '', '');"
        "insert into 收入类型 (ID, 类型, 备注) values ('5', '工资', '');"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('a' || char(0) || '''b', '5', 12.5, '2026-03-01', '', 3),"
        " ('a', '5', 1, '2026-03-01', '', 3);");
    App::setToday(QDate(2026, 7, 1));
    openConn();
    LedgerQuery q(App::store(), kQueryKinds[0]);
    q.show();
    pickId(&q, "cmdfindt", u"a"_s + QChar(0) + u"'b"_s);
    EXPECT_EQ(child<QLabel>(&q, "lblcyID")->text(), u"a"_s + QChar(0) + u"'b"_s);
    click(&q, "CmdqueryNow");
    EXPECT_EQ(gridRows(child<QTableView>(&q, "DG")), QStringList{u"张三|工资|12.5|2026-03-01|"_s});
    EXPECT_EQ(child<QLabel>(&q, "lblJE")->text(), u"金额总计：12.50元"_s);
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
}
