#include "bookstest.h"
#include "entryform.h"
#include "session.h"

#include <QCalendarWidget>
#include <QClipboard>
#include <QInputMethodEvent>

namespace {

class EntryTest : public BooksTest {
protected:
    // 添加数据, both pickers (member row, type row), amount and note.
    void fillRecord(int memberRow, int typeRow, const QString& amount, const QString& memo = {})
    {
        press("addnew");
        pick("cmdfindt", memberRow);
        pick("cmdfindo", typeRow);
        typeInto(box("txtJe"), amount);
        typeInto(box("txtMemo"), memo);
    }
};

// An income record: 添加数据, both pickers, the amount (Enter moves on to the note) and the note, 保存数据,
// then 入帐/返回 posts it.
TEST_F(EntryTest, IncomeRecordGoesToTheLedger)
{
    open(new EntryForm(App::store(), kEntryForms[0]));
    EXPECT_EQ(get<QDateEdit>("dpDate")->date(), QDate(2026, 3, 5));
    press("addnew");
    pick("cmdfindt", 1);
    pick("cmdfindo", 0);
    EXPECT_EQ(texts("lblcyID lblcy lbllxID lbllx"), "02|李四|g|工资");
    EXPECT_EQ(focusName(), "txtJe");
    typeInto(box("txtJe"), "1234.5");
    QTest::keyClick(box("txtJe"), Qt::Key_Return);
    EXPECT_EQ(focusName(), "txtMemo");
    typeInto(box("txtMemo"), "三月工资");
    EXPECT_FALSE(enabled("exit"));  // only save or cancel end an addition
    press("update");
    press("exit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows("select 成员ID,类型ID,金额,日期,备注,月份 from 收入帐"), QStringList{u"02|g|1234.5|2026-03-05|三月工资|3"_s});
    EXPECT_EQ(count("收入临时"), "0");
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
}

// Three records staged. Typing while browsing is refused and no pick is offered; delete asks
// (OK/Cancel) and leaves the previous row current. Escape does not close the form; the close box
// throws the staged records away and leaves the ledger as it was.
TEST_F(EntryTest, BrowseDeleteAndTheCloseBox)
{
    sql("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','f',9,'2026-01-01','旧',1);");
    open(new EntryForm(App::store(), kEntryForms[1]));
    for (const char* amount : {"10", "20.5", "30"}) {
        fillRecord(0, 0, amount);
        press("update");
    }
    typeInto(box("txtJe"), "99");
    EXPECT_EQ(texts("txtJe"), "30");
    EXPECT_FALSE(enabled("cmdfindt") || enabled("cmdfindo"));
    script().queueAnswer(App::MsgAnswer::Cancel);
    press("del");
    press("del");
    EXPECT_EQ(script().messages().first().style, App::MsgStyle::Question);
    EXPECT_EQ(messageTexts(), QStringList(2, u"真的要删除此成员记录吗"_s));
    EXPECT_EQ(texts("txtJe"), "20.5");
    EXPECT_EQ(rows("select 金额 from 支出临时"), (QStringList{"10", "20.5"}));

    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows("select 金额,备注 from 支出帐"), QStringList{u"9|旧"_s});
    EXPECT_EQ(count("支出临时"), "0");
}

// Save checks type, member and amount in that order; a cancelled or closed picker changes nothing; the
// amount takes digits, points and Backspace, and a malformed number or one beyond a record's bound is
// refused. A refused save keeps what was typed. Posting is one transaction: if emptying the staging
// table is refused nothing is posted (or the next 入帐/返回 would post the same records a second time).
TEST_F(EntryTest, SaveRefusalsAndPostingLoseNothing)
{
    open(new EntryForm(App::store(), kEntryForms[0]));
    expectSaveOrder({"收入类型不能为空", "成员不能为空", "收入金额不能为空"}, "txtJe");
    pick("cmdfindo", 1, true);
    pick("cmdfindt", 1, true, true);
    EXPECT_EQ(texts("lbllxID lblcyID"), "g|01");
    typeInto(box("txtJe"), "1a2-+ 3.4.5");
    // Each key that is no part of an amount is refused and said, never dropped unseen.
    const QString notPart = u"”不是金额的一部分，没有输入：金额只能由数字和小数点组成，例如 1234.56"_s;
    EXPECT_EQ(messageTexts().mid(3), (QStringList{u"“a"_s + notPart, u"“-"_s + notPart, u"“+"_s + notPart, u"“ "_s + notPart}));
    QTest::keyClick(box("txtJe"), Qt::Key_Backspace);
    EXPECT_EQ(texts("txtJe"), "123.4.");
    expectRefused("txtJe", {"123.4.5", "."}, "update", u"数字"_s);
    expectRefused("txtJe", {"100000000000", "99999999999.995", "123456789012345678901234567890"}, "update",
                  u"金额不能超过 99,999,999,999.99，请改正后再保存"_s);
    expectRefused("txtJe", {"12.345", "0.001", "0.0050"}, "update", u"金额最多只能有两位小数"_s);

    // A full-width amount from an input method is stored as the number (zeros after the cents are
    // still cents). The note holds 20 characters
    // as the user sees them (an emoji, or a thumb with its skin tone, is one): a 21st is not taken, and
    // a paste that would go beyond 20 is refused whole. The month is the date's.
    box("txtJe")->clear();
    typeInto(box("txtJe"), u"８８．５００"_s);
    const QString nineteen = u"一二三四五六七八九十一二三四五六七八九"_s;
    typeInto(box("txtMemo"), nineteen);
    QTest::sendKeyEvent(QTest::Click, box("txtMemo"), Qt::Key_unknown, u"😀"_s, Qt::NoModifier);
    typeInto(box("txtMemo"), u"多"_s);
    EXPECT_EQ(texts("txtMemo"), nineteen + u"😀"_s);
    box("txtMemo")->clear();
    paste(box("txtMemo"), nineteen + u"👍🏽多"_s);
    EXPECT_EQ(texts("txtMemo"), QString());
    paste(box("txtMemo"), nineteen + u"👍🏽"_s);
    // A date typed or pasted whole over the selected text is taken whole in the forms people type; a
    // text that is no real date is refused with a message and the box keeps its date; typing into one
    // section edits that section only.
    auto* dpDate = get<QDateEdit>("dpDate");
    enum How { Typed, Pasted, Committed };  // committed: by an input method
    const auto enterDate = [&](const QString& text, How how) {
        dpDate->setFocus();
        QTest::keyClick(dpDate, Qt::Key_A, Qt::ControlModifier);
        if (how == Pasted) {
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(dpDate, Qt::Key_V, Qt::ControlModifier);
        } else {
            if (how == Committed) {
                QInputMethodEvent commit;
                commit.setCommitString(text);
                QApplication::sendEvent(dpDate, &commit);
            } else {
                typeInto(dpDate, text);
            }
            QTest::keyClick(dpDate, Qt::Key_Return);
        }
        return dpDate->date();
    };
    const struct { QString text; How how; QDate kept; } dates[] = {
        {u"2025-12-28"_s, Typed, {2025, 12, 28}}, {u"2024/3/1"_s, Typed, {2024, 3, 1}}, {u"２０２４／３／２"_s, Committed, {2024, 3, 2}},
        {u"2023.07.09"_s, Typed, {2023, 7, 9}},   {u"20221231"_s, Typed, {2022, 12, 31}},
        {u"２０２１年１月２日"_s, Typed, {2021, 1, 2}}, {u" 2020年2月29日 "_s, Pasted, {2020, 2, 29}},
        {u"2025-02-30"_s, Typed, {2020, 2, 29}},  {u"2025-13-01"_s, Pasted, {2020, 2, 29}},
        {u"1000-01-01"_s, Typed, {2020, 2, 29}},  {u"明天"_s, Pasted, {2020, 2, 29}},
    };
    for (const auto& d : dates)
        EXPECT_EQ(enterDate(d.text, d.how), d.kept) << d.text.toStdString();
    EXPECT_TRUE(messageTexts().last().contains(u"不是一个有效的日期"_s));
    QTest::keyClick(dpDate, Qt::Key_End);
    QTest::keyClick(dpDate, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(dpDate, Qt::Key_Left, Qt::ShiftModifier);  // the day selected
    typeInto(dpDate, u"15"_s);
    QTest::keyClick(dpDate, Qt::Key_Return);
    EXPECT_EQ(dpDate->date(), QDate(2020, 2, 15));
    // The calendar popup shows its last row of days whole.
    QTest::mouseClick(dpDate, Qt::LeftButton, {}, QPoint(dpDate->width() - 4, dpDate->height() / 2));  // its arrow
    QCalendarWidget* calendar = dpDate->calendarWidget();
    EXPECT_TRUE(calendar->isVisible());
    EXPECT_GE(calendar->height(), calendar->sizeHint().height());
    calendar->window()->hide();
    // A date taken whole is then selected whole: the next one typed replaces it.
    dpDate->setFocus();
    QTest::keyClick(dpDate, Qt::Key_A, Qt::ControlModifier);
    typeInto(dpDate, u"2025-12-28"_s);
    typeInto(dpDate, u"2024-01-02"_s);
    EXPECT_EQ(dpDate->date(), QDate(2024, 1, 2));
    enterDate(u"２０２５年１２月３１日"_s, Typed);
    sql("create trigger stop_save before insert on 收入临时 begin select raise(abort, 'no'); end;");
    press("update");
    EXPECT_EQ(messageTexts().size(), 20) << messageTexts().join(u'\n').toStdString();
    EXPECT_EQ(texts("txtJe txtMemo"), "88.500|" + nineteen + u"👍🏽"_s);
    sql("drop trigger stop_save;");
    press("update");
    EXPECT_EQ(rows("select 成员ID,类型ID,金额,typeof(金额),日期,月份,备注 from 收入临时"),
              QStringList{"01|g|88.5|real|2025-12-31|12|" + nineteen + u"👍🏽"_s});
    fillRecord(1, 1, "99999999999.99");  // the largest amount a record takes
    press("update");

    sql("create trigger stop_post before delete on 收入临时 begin select raise(abort, 'no'); end;");
    press("exit");
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(messageTexts().size(), 21);
    EXPECT_EQ(count("收入帐") + count("收入临时"), "02");
    sql("drop trigger stop_post;");
    press("exit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows("select 金额 from 收入帐 order by 金额"), (QStringList{"88.5", "99999999999.99"}));
    EXPECT_EQ(count("收入临时"), "0");
}

// The investment form writes its ledger on save; "返回" while adding stores nothing.
TEST_F(EntryTest, InvestmentsGoStraightToTheirLedger)
{
    open(new EntryForm(App::store(), kEntryForms[2]));
    fillRecord(1, 0, "5000", "基金");
    press("update");
    EXPECT_EQ(rows("select 成员ID,类型ID,金额,日期,备注,月份 from 投资帐"), QStringList{u"02|s|5000|2026-03-05|基金|3"_s});
    fillRecord(0, 0, "1");
    press("exit");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(count("投资帐"), "1");
}

}  // namespace

// Amounts in "#,##0.00" and dates never cut off, however far down the widest one is, and the grid
// widens when a saved record needs it.
TEST_F(EntryTest, GridFitsEveryStagedAmountAndDateAndWidensOnSave)
{
    sql("with recursive n(i) as (select 1 union all select i+1 from n where i < 1500) "
        "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select '01', 'g', i % 90 + 0.5, '2026-03-05', '', 3 from n;"
        "update 收入临时 set 金额 = 12345.6, 备注 = '年终奖和补发的工资' where rowid = 1400;");
    open(new EntryForm(App::store(), kEntryForms[0]));
    auto* fg = get<QTableView>("FG");
    EXPECT_EQ(narrowColumns(fg), QStringList());
    const int amountWidth = fg->columnWidth(2);
    fillRecord(0, 0, "987654321.5", "工资");
    press("update");
    EXPECT_GT(fg->columnWidth(2), amountWidth);
    EXPECT_EQ(narrowColumns(fg), QStringList());
}

namespace {

// An expense posted by 入帐/返回 that takes the household's and the member's budget for the month
// over: one message after the posting names both and by how much; both records are posted.
TEST_F(EntryTest, PostingOverBudgetsNamesThemAndByHowMuch)
{
    sql("insert into 预算 values ('', 'f', '', 100), ('01', 'f', '2026-03', 20), ('', 'f', '2026-04', 1);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','f',40,'2026-03-01','',3);");
    open(new EntryForm(App::store(), kEntryForms[1]));
    fillRecord(0, 0, "60");
    press("update");
    fillRecord(1, 0, "0.01");
    press("update");
    EXPECT_TRUE(messageTexts().isEmpty());
    press("exit");
    EXPECT_EQ(count("支出帐"), "3");
    EXPECT_EQ(messageTexts(), QStringList({u"以下支出超出了预算：\n2026-03 全家 伙食：超出 0.01 元\n2026-03 张三 伙食：超出 80.00 元"_s}));

    // Amounts too large to sum, written by another tool: the record is posted all the same, and the
    // person hears that the budgets could not be checked.
    sql("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01','f',1e15,'2026-03-02','',3), ('01','f',1e15,'2026-03-03','',3);");
    script().clearMessages();
    open(new EntryForm(App::store(), kEntryForms[1]));
    fillRecord(0, 0, "1");
    press("update");
    press("exit");
    EXPECT_EQ(count("支出帐"), "6");
    EXPECT_EQ(messageTexts(), QStringList({u"支出已保存，但无法检查是否超出了预算。\n"
                                           u"金额合计超出了能计算的范围：数据库中有超大的金额，可能是用其它工具写入的，请改正后再试"_s}));
}

}  // namespace
