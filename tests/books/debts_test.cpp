#include "bookstest.h"
#include "debts.h"
#include "assets.h"
#include "session.h"

#include <QLocale>

namespace {

class DebtsTest : public BooksTest {
protected:
    QString table() { return scalar("select ifnull(还款记录,'')||'#'||余额 from 负债"); }
    // 添加, the name, the type typed over what the box shows (left as it starts when empty), the amount.
    void newLoan(const QString& name, const QString& type, const QString& amount)
    {
        press("cmdaddnew");
        typeInto(box("txtname"), name);
        if (!type.isEmpty()) {
            get<QComboBox>("Combo1")->lineEdit()->selectAll();
            typeInto(get<QComboBox>("Combo1")->lineEdit(), type);
        }
        typeInto(box("txtJe"), amount);
    }
    void leaveRepayment() { QTest::keyClick(box("txtjehuan"), Qt::Key_Tab); }
    // 编辑(还款) unless already repaying, the amount typed over the repayment box, the box left.
    void repay(const QString& amount, bool start = true)
    {
        if (start)
            press("cmdedit");
        box("txtjehuan")->clear();
        typeInto(box("txtjehuan"), amount);
        leaveRepayment();
    }
};

// A loan of 500 whose type is left as 添加 starts it, "欠人": it counts as borrowed in 资产统计. Then
// repayments: 200 (the box left twice gives one entry, a corrected amount replaces its own entry), 0
// and nothing (no entry, balance kept), and 400 saved at once (balance negative). The loan keeps its
// date; the entries take their repayment's date in one form whatever the locale. Typing while
// browsing is refused; delete asks.
TEST_F(DebtsTest, LoanThenRepaymentsLowerTheBalance)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    open(new DebtsWindow(App::store()));
    EXPECT_EQ(get<QDateEdit>("dpdate")->date(), QDate(2026, 3, 5));
    EXPECT_EQ(texts("dpdate"), "2026-03-05");  // in the one form, not the locale's
    EXPECT_FALSE(enabled("txtjehuan"));
    newLoan("王五", "", "500");
    EXPECT_EQ(texts("Combo1"), "欠人");
    press("cmdupdate");
    EXPECT_EQ(rows("select 借款日期,债权人,类型,金额,ifnull(还款记录,''),余额 from 负债"),
              QStringList{u"2026-03-05|王五|欠人|500||500"_s});
    {
        AssetsWindow assets(App::store());
        click(&assets, "Command1");
        EXPECT_EQ(child<QLabel>(&assets, "lblyh_8")->text(), "500 ");
    }

    // 编辑(还款) and 保存 with the "0" it puts in, or with the box emptied: no entry, balance kept.
    press("cmdedit");
    press("cmdupdate");
    repay("");
    press("cmdupdate");
    EXPECT_EQ(table(), "#500");

    press("cmdedit");
    get<QDateEdit>("dphuan")->setDate(QDate(2026, 9, 1));
    repay("200", false);
    EXPECT_FALSE(enabled("txtJe"));
    box("txtjehuan")->setFocus();
    leaveRepayment();
    EXPECT_EQ(texts("txtjilu"), "2026-9-1还 200 元|");
    repay("-30", false);  // no repayment: not logged, and refused at save
    EXPECT_EQ(texts("txtjilu"), "2026-9-1还 200 元|");
    repay("200", false);
    press("cmdupdate");
    EXPECT_EQ(rows("select 借款日期,金额,还款记录,余额 from 负债"), QStringList{u"2026-03-05|500|2026-9-1还 200 元||300"_s});

    press("cmdedit");
    get<QDateEdit>("dphuan")->setDate(QDate(2026, 10, 2));
    repay("70", false);
    repay("0", false);  // a repayment taken back to 0 takes its entry back
    press("cmdupdate");
    // A click into the repayment box selects its "0": what is typed replaces it. More than the
    // balance of 300 asks first, and 取消 writes nothing. Saved without leaving the box: one entry,
    // on the repayment's day as it starts, today.
    press("cmdedit");
    QTest::mouseClick(box("txtjehuan"), Qt::LeftButton);
    QCoreApplication::processEvents();
    for (const char c : {'4', '0', '0'})
        QTest::keyClick(box("txtjehuan"), c);
    EXPECT_EQ(texts("txtjehuan"), "400");
    script().queueAnswer(App::MsgAnswer::Cancel);
    get<QPushButton>("cmdupdate")->click();
    EXPECT_EQ(table(), "2026-9-1还 200 元|#300");
    script().queueAnswer(App::MsgAnswer::Ok);
    get<QPushButton>("cmdupdate")->click();
    EXPECT_EQ(table(), "2026-9-1还 200 元|2026-3-5还 400 元|#-100");
    EXPECT_EQ(messageTexts(), QStringList(2, u"还款大于余额，确定吗？"_s));
    script().clearMessages();

    typeInto(box("txtname"), "x");
    EXPECT_EQ(texts("txtname"), "王五");
    script().queueAnswer(App::MsgAnswer::Cancel);
    press("cmddel");
    press("cmddel");
    EXPECT_EQ(messageTexts(), QStringList(2, u"真的要删除此成员记录吗"_s));
    EXPECT_EQ(count("负债"), "0");
    QLocale::setDefault(before);
}

// 编辑(还款) then 保存 on an empty list, a blank name, a zero or malformed loan amount and a malformed
// repayment are refused with the focus back in their box, nothing written and nothing typed lost;
// "0" is an amount. 取消 during a repayment gives the amount box back and drops the unsaved entry.
TEST_F(DebtsTest, RefusalsAndCancelLoseNothing)
{
    open(new DebtsWindow(App::store()));
    press("cmdedit");
    press("cmdupdate");
    EXPECT_TRUE(get("cmdupdate")->isVisible());
    press("cmdcancel");
    newLoan("   ", "人欠", "");
    press("cmdupdate");
    EXPECT_EQ(focusName(), "txtname");
    box("txtname")->setText("钱七");
    press("cmdupdate");
    EXPECT_EQ(messageTexts().mid(1), (QStringList{"债权人不能为空,呵呵", "金额为零算什么??^_^"}));
    EXPECT_EQ(focusName(), "txtJe");
    typeInto(box("txtJe"), "a1-2.");
    QTest::keyClick(box("txtJe"), Qt::Key_Return);
    EXPECT_EQ(focusName(), "txtJe");
    EXPECT_EQ(texts("txtJe"), "1-2.");
    expectRefused("txtJe", {"1-2", "1.2.3", "-"}, "cmdupdate", u"数字"_s);
    EXPECT_EQ(count("负债"), "0");
    box("txtJe")->setText("0");
    press("cmdupdate");

    for (const char* bad : {"1.5.2", "-", "-30", "0.125"}) {
        repay(bad);
        expectRefused("txtjehuan", {bad}, "cmdupdate", u"还款"_s);
        EXPECT_EQ(texts("txtjilu"), "");
        press("cmdcancel");
    }
    EXPECT_EQ(messageTexts().size(), 11);  // the "a" typed into the amount among them
    repay("5");
    press("cmdcancel");
    EXPECT_EQ(texts("txtjilu"), "");
    EXPECT_TRUE(enabled("txtJe"));
    EXPECT_EQ(rows("select 债权人,类型,金额,ifnull(还款记录,''),余额 from 负债"), QStringList{u"钱七|人欠|0||0"_s});
}

// A loan of 2 December repaid on the 7th: the repayment has its own date box, 还款日期, today as it
// starts, and its entry takes that date; the loan's date box is not the repayment's (it rests while
// a repayment is edited), and 借款日期 never changes by a repayment.
TEST_F(DebtsTest, ARepaymentHasItsOwnDateAndTheLoanKeepsItsDate)
{
    App::setToday(QDate(2026, 12, 7));
    open(new DebtsWindow(App::store()));
    EXPECT_FALSE(get("dphuan")->isVisible());
    get<QDateEdit>("dpdate")->setDate(QDate(2026, 12, 2));
    newLoan("老王", "", "5000");
    press("cmdupdate");
    EXPECT_EQ(rows("select 借款日期, 余额 from 负债"), QStringList({"2026-12-02|5000"}));

    press("cmdedit");
    EXPECT_TRUE(get("dphuan")->isVisible());
    EXPECT_EQ(get<QDateEdit>("dphuan")->date(), QDate(2026, 12, 7));
    EXPECT_FALSE(enabled("dpdate"));
    EXPECT_EQ(heard(w.get(), {"dphuan"}), QStringList({"还款日期"}));
    repay("5000", false);
    EXPECT_EQ(texts("txtjilu"), "2026-12-7还 5000 元|");
    // Another day chosen after the entry was logged: the entry follows it.
    get<QDateEdit>("dphuan")->setDate(QDate(2026, 12, 6));
    EXPECT_EQ(texts("txtjilu"), "2026-12-6还 5000 元|");
    press("cmdupdate");
    EXPECT_EQ(rows("select 借款日期, 还款记录, 余额 from 负债"), QStringList({"2026-12-02|2026-12-6还 5000 元||0"}));
    EXPECT_FALSE(get("dphuan")->isVisible());
    EXPECT_TRUE(enabled("dpdate"));
    EXPECT_EQ(get<QDateEdit>("dpdate")->date(), QDate(2026, 12, 2));

    // The loan's date box moved before a repayment changes nothing of the loan either.
    get<QDateEdit>("dpdate")->setDate(QDate(2026, 12, 20));
    press("cmdedit");
    repay("0", false);
    press("cmdupdate");
    EXPECT_EQ(rows("select 借款日期, 还款记录 from 负债"), QStringList({"2026-12-02|2026-12-6还 5000 元|"}));
}

}  // namespace
