#include "bookstest.h"
#include "bankledger.h"
#include "inputs.h"
#include "session.h"

namespace {

class BankTest : public BooksTest {
protected:
    void addRow(int bankRow, int memberRow, const QString& amount)
    {
        press("addnew");
        pick("cmdfindt", memberRow);
        pick("cmdfindo", bankRow);
        typeInto(box("txtJE"), amount);
    }
    QLineEdit* comboText(const QString& name) { return get<QComboBox>(name)->lineEdit(); }
};

// The grey boxes turn white with the focus; save checks bank, member and amount in that order; the
// amount takes digits and points only, Enter does nothing, and a malformed number is refused. The
// combos: preset "存入"/"活期"; a withdrawal chosen from the list raises no reminder and stays for the
// next row; each keystroke in their text raises the reminder once, and the typed text is saved.
// Browsing moves the bound fields, not the combos; delete asks; "入帐/返回" drops a row being added.
TEST_F(BankTest, SaveChecksCombosAndTheRowsOfTheLedger)
{
    open(new BankLedger(App::store()));
    EXPECT_EQ(box("txtJE")->palette().color(QPalette::Base), kBoxGrey);
    box("txtJE")->setFocus();
    EXPECT_EQ(box("txtJE")->palette().color(QPalette::Base), QColor(Qt::white));
    expectSaveOrder({"银行不能为空", "成员不能为空", "金额不能为空"}, "txtJE");
    typeInto(box("txtJE"), "1-a2.3.4");
    QTest::keyClick(box("txtJE"), Qt::Key_Return);
    EXPECT_EQ(focusName(), "txtJE");
    EXPECT_EQ(texts("txtJE"), "12.3.4");
    expectRefused("txtJE", {"12.3.4"}, "update", u"数字"_s);
    box("txtJE")->setText("12.3");
    press("update");
    script().clearMessages();

    addRow(1, 0, "1000");
    EXPECT_EQ(focusName(), "txtJE");
    press("update");
    addRow(0, 1, "300");
    QTest::keyClick(get("cbocq"), Qt::Key_Down);
    get<QDateEdit>("dpdate")->setDate(QDate(2026, 2, 1));
    press("update");
    press("addnew");
    EXPECT_EQ(texts("cbocq cbolx lblcy"), "支出|活期|李四");
    EXPECT_EQ(get<QDateEdit>("dpdate")->date(), QDate(2026, 2, 1));
    press("cancel");
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();

    const QString cq = u"系统默认为“存入或支出”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！"_s;
    const QString lx = u"系统默认为“定期或活期”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！"_s;
    addRow(0, 0, "50");
    comboText("cbocq")->clear();
    typeInto(comboText("cbocq"), "存款");
    comboText("cbolx")->selectAll();
    typeInto(comboText("cbolx"), "通知");
    EXPECT_EQ(messageTexts(), (QStringList{cq, cq, lx, lx}));
    EXPECT_EQ(script().messages().first().title, "重要提示");
    press("update");
    EXPECT_EQ(rows("select 银行ID,成员ID,存或取,类型,金额,日期 from 银行帐 order by rowid"),
              (QStringList{"b1|01|存入|活期|12.3|2026-03-05", "b2|01|存入|活期|1000|2026-03-05",
                           "b1|02|支出|活期|300|2026-02-01", "b1|01|存款|通知|50|2026-02-01"}));

    // Browsing shows every field of the current row, names looked up by ID; combos and date cannot
    // be changed while the row stays as it was.
    const auto shown = [&] {
        return texts("lblyhid lblyh lblcyid lblcy cbocq cbolx txtJE") + u'|'
            + get<QDateEdit>("dpdate")->date().toString(Qt::ISODate);
    };
    EXPECT_EQ(narrowColumns(get<QTableView>("DG")), QStringList());
    clickRow(get<QTableView>("DG"), 1);
    EXPECT_EQ(shown(), "b2|农行|01|张三|存入|活期|1000|2026-03-05");
    clickRow(get<QTableView>("DG"), 2);
    EXPECT_EQ(shown(), "b1|工行|02|李四|支出|活期|300|2026-02-01");
    for (const char* name : {"cmdfindo", "cbocq", "cbolx", "dpdate"})
        EXPECT_FALSE(enabled(name)) << name;
    clickRow(get<QTableView>("DG"), 1);
    script().queueAnswer(App::MsgAnswer::Cancel);
    press("del");
    press("del");
    EXPECT_EQ(messageTexts().mid(4), QStringList(2, u"真的要删除此成员记录吗"_s));
    addRow(0, 0, "99");
    press("exit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows("select 金额 from 银行帐 order by rowid"), (QStringList{"12.3", "300", "50"}));
}

}  // namespace
