#include "bookstest.h"

#include "books/entryform.h"

#include <memory>

namespace {

class EntryTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql(QStringLiteral("insert into 成员 values('01','张三','父亲','');"
                           "insert into 成员 values('02','李四','母亲','');"
                           "insert into 收入类型 values('g','工资','');"
                           "insert into 收入类型 values('j','奖金','');"
                           "insert into 支出类型 values('f','伙食','');"
                           "insert into 投资类型 values('s','股票','');"));
        Modmain::setToday(QDate(2026, 3, 5));
        openConn();
    }

    std::unique_ptr<EntryForm> open(int kind)
    {
        auto w = std::make_unique<EntryForm>(kEntryForms[kind]);
        showActive(w.get());
        return w;
    }

    // 添加数据, both pickers (member row, type row), amount and note.
    static void fillRecord(QWidget* w, int memberRow, int typeRow, const QString& amount, const QString& memo)
    {
        click(w, QStringLiteral("addnew"));
        answerPicker(memberRow);
        click(w, QStringLiteral("cmdfindt"));
        answerPicker(typeRow);
        click(w, QStringLiteral("cmdfindo"));
        typeText(child<QLineEdit>(w, QStringLiteral("txtJe")), amount);
        typeText(child<QLineEdit>(w, QStringLiteral("txtMemo")), memo);
    }

    static void setDate(QWidget* w, const QDate& d) { child<QDateEdit>(w, QStringLiteral("dpDate"))->setDate(d); }
};

// The income record's road through the real windows: menu dispatch, 添加数据, both pickers,
// amount and note, 保存数据, 入帐/返回.
void driveIncomeRoad(QDialog* w)
{
    EXPECT_EQ(w->windowTitle(), QStringLiteral("收入帐"));
    EXPECT_FALSE(Modmain::isBusy());
    EXPECT_EQ(child<QDateEdit>(w, QStringLiteral("dpDate"))->date(), QDate(2026, 3, 5));
    click(w, QStringLiteral("addnew"));
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w, QStringLiteral("cmdfindt")));
    answerPicker(1);
    click(w, QStringLiteral("cmdfindt"));
    EXPECT_EQ(labelText(w, QStringLiteral("lblcyID")), QStringLiteral("02"));
    EXPECT_EQ(labelText(w, QStringLiteral("lblcy")), QStringLiteral("李四"));
    answerPicker(0);
    click(w, QStringLiteral("cmdfindo"));
    EXPECT_EQ(labelText(w, QStringLiteral("lbllxID")), QStringLiteral("g"));
    EXPECT_EQ(labelText(w, QStringLiteral("lbllx")), QStringLiteral("工资"));
    auto* je = child<QLineEdit>(w, QStringLiteral("txtJe"));
    EXPECT_EQ(w->focusWidget(), je);
    typeText(je, QStringLiteral("1234.5"));
    QTest::keyClick(je, Qt::Key_Return);  // moves on to the note
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w, QStringLiteral("txtMemo")));
    typeText(child<QLineEdit>(w, QStringLiteral("txtMemo")), QStringLiteral("三月工资"));
    EXPECT_FALSE(actionEnabled(w, QStringLiteral("exit")));  // only save or cancel end an addition
    click(w, QStringLiteral("update"));
    EXPECT_TRUE(actionEnabled(w, QStringLiteral("exit")));
    auto* fg = child<QTableView>(w, QStringLiteral("FG"));
    EXPECT_EQ(fg->model()->rowCount(), 1);
    EXPECT_EQ(fg->currentIndex().row(), 0);
    EXPECT_EQ(fg->model()->index(0, 2).data().toString(), QStringLiteral("1,234.50"));
    click(w, QStringLiteral("exit"));
}

TEST_F(EntryTest, IncomeRecordGoesFromTheMenuToTheLedger)
{
    whenModal([](QDialog* w) {
        driveIncomeRoad(w);
        if (w->isVisible())
            w->reject();
    });
    Modmain::openDataWindow(QStringLiteral("frmsrzhang"), nullptr);
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,日期,备注,月份 from 收入帐")),
              QStringList{QStringLiteral("02|g|1234.5|2026-03-05|三月工资|3")});
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("0"));
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
    EXPECT_FALSE(Modmain::isBusy());
}

TEST_F(EntryTest, CloseBoxThrowsAwayWhatIsStaged)
{
    sql(QStringLiteral("insert into 支出帐 values('01','f',9,'2026-01-01','旧',1);"));
    auto w = open(1);
    for (const char* amount : {"10", "20.5", "30"}) {
        fillRecord(w.get(), 0, 0, QLatin1String(amount), QString());
        click(w.get(), QStringLiteral("update"));
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 支出临时")), QStringLiteral("3"));
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows(QStringLiteral("select 金额,备注 from 支出帐")), QStringList{QStringLiteral("9|旧")});
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 支出临时")), QStringLiteral("0"));
}

TEST_F(EntryTest, EscapeDoesNotCloseTheForm)
{
    auto w = open(0);
    fillRecord(w.get(), 0, 0, QStringLiteral("5"), QString());
    click(w.get(), QStringLiteral("update"));
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("1"));
}

TEST_F(EntryTest, SaveChecksTypeMemberAmountInThatOrder)
{
    auto w = open(0);
    click(w.get(), QStringLiteral("addnew"));
    EXPECT_TRUE(labelText(w.get(), QStringLiteral("lblcy")).isEmpty());
    click(w.get(), QStringLiteral("update"));
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages().last().text, QStringLiteral("收入类型不能为空"));
    EXPECT_EQ(Modmain::shownMessages().last().style, 64);
    EXPECT_EQ(Modmain::shownMessages().last().title, QStringLiteral("kinbook"));
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w.get(), QStringLiteral("cmdfindo")));

    answerPicker(1);
    click(w.get(), QStringLiteral("cmdfindo"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("成员不能为空"));
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w.get(), QStringLiteral("cmdfindt")));

    answerPicker(0);
    click(w.get(), QStringLiteral("cmdfindt"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("收入金额不能为空"));
    auto* je = child<QLineEdit>(w.get(), QStringLiteral("txtJe"));
    EXPECT_EQ(w->focusWidget(), je);

    // Letters and signs never reach the amount; two points do, and are refused on save.
    typeText(je, QStringLiteral("1a2-+ 3.4.5"));
    EXPECT_EQ(je->text(), QStringLiteral("123.4.5"));
    for (const QString& bad : {QStringLiteral("123.4.5"), QStringLiteral(".")}) {
        je->setText(bad);
        const int before = Modmain::shownMessages().size();
        click(w.get(), QStringLiteral("update"));
        ASSERT_EQ(Modmain::shownMessages().size(), before + 1);
        EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("数字")));
        EXPECT_EQ(w->focusWidget(), je);
        EXPECT_EQ(je->text(), bad);
        EXPECT_TRUE(actionEnabled(w.get(), QStringLiteral("update")));
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("0"));

    je->setText(QStringLiteral("88"));
    auto* memo = child<QLineEdit>(w.get(), QStringLiteral("txtMemo"));
    typeText(memo, QStringLiteral("一二三四五六七八九十一二三四五六七八九十多"));
    EXPECT_EQ(memo->text().size(), 20);
    setDate(w.get(), QDate(2025, 12, 31));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,日期,月份,length(备注) from 收入临时")),
              QStringList{QStringLiteral("01|j|88|2025-12-31|12|20")});
}

TEST_F(EntryTest, BrowseTypingIsNeverWritten)
{
    sql(QStringLiteral("insert into 收入临时 values('01','g',5,'2026-03-01','a',3);"
                       "insert into 收入临时 values('02','j',6,'2026-03-02','b',3);"));
    auto w = open(0);
    auto* je = child<QLineEdit>(w.get(), QStringLiteral("txtJe"));
    EXPECT_EQ(je->text(), QStringLiteral("5"));
    EXPECT_TRUE(je->isReadOnly());
    // A pick while browsing would show an identifier the row never receives.
    EXPECT_FALSE(child<QWidget>(w.get(), QStringLiteral("cmdfindt"))->isEnabled());
    EXPECT_FALSE(child<QWidget>(w.get(), QStringLiteral("cmdfindo"))->isEnabled());
    typeText(je, QStringLiteral("99"));
    EXPECT_EQ(je->text(), QStringLiteral("5"));
    selectGridRow(w.get(), QStringLiteral("FG"), 1);
    EXPECT_EQ(je->text(), QStringLiteral("6"));
    EXPECT_EQ(labelText(w.get(), QStringLiteral("lblcyID")), QStringLiteral("02"));
    EXPECT_EQ(rows(QStringLiteral("select 金额 from 收入临时 order by rowid")),
              (QStringList{QStringLiteral("5"), QStringLiteral("6")}));
    click(w.get(), QStringLiteral("addnew"));
    EXPECT_FALSE(je->isReadOnly());
    EXPECT_TRUE(je->text().isEmpty());
    click(w.get(), QStringLiteral("cancel"));
    EXPECT_TRUE(je->isReadOnly());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("2"));
}

TEST_F(EntryTest, CancelledPickLeavesTheLabels)
{
    auto w = open(0);
    click(w.get(), QStringLiteral("addnew"));
    answerPicker(1);
    click(w.get(), QStringLiteral("cmdfindt"));
    cancelPicker();
    click(w.get(), QStringLiteral("cmdfindo"));
    cancelPicker(true);
    click(w.get(), QStringLiteral("cmdfindo"));
    EXPECT_EQ(labelText(w.get(), QStringLiteral("lblcyID")), QStringLiteral("02"));
    EXPECT_TRUE(labelText(w.get(), QStringLiteral("lbllxID")).isEmpty());
    EXPECT_TRUE(labelText(w.get(), QStringLiteral("lbllx")).isEmpty());
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w.get(), QStringLiteral("txtJe")));
}

TEST_F(EntryTest, DeleteAsksAndKeepsAPreviousRowCurrent)
{
    sql(QStringLiteral("insert into 收入临时 values('01','g',5,'2026-03-01','a',3);"
                       "insert into 收入临时 values('02','j',6,'2026-03-02','b',3);"));
    auto w = open(0);
    selectGridRow(w.get(), QStringLiteral("FG"), 1);
    Modmain::queueAnswer(2);
    click(w.get(), QStringLiteral("del"));
    EXPECT_EQ(Modmain::shownMessages().last().text, QStringLiteral("真的要删除此成员记录吗"));
    EXPECT_EQ(Modmain::shownMessages().last().style, 33);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("2"));
    click(w.get(), QStringLiteral("del"));  // OK
    EXPECT_EQ(rows(QStringLiteral("select 金额 from 收入临时")), QStringList{QStringLiteral("5")});
    EXPECT_EQ(boxText(w.get(), QStringLiteral("txtJe")), QStringLiteral("5"));
    click(w.get(), QStringLiteral("del"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("0"));
    EXPECT_EQ(child<QTableView>(w.get(), QStringLiteral("FG"))->model()->rowCount(), 0);
    click(w.get(), QStringLiteral("del"));  // nothing left: nothing happens beyond the question
    EXPECT_TRUE(actionEnabled(w.get(), QStringLiteral("addnew")));
}

TEST_F(EntryTest, FailedPostingKeepsEverythingStaged)
{
    auto w = open(0);
    fillRecord(w.get(), 0, 0, QStringLiteral("100"), QStringLiteral("a"));
    click(w.get(), QStringLiteral("update"));
    fillRecord(w.get(), 1, 1, QStringLiteral("200"), QStringLiteral("b"));
    click(w.get(), QStringLiteral("update"));
    // The copy succeeds but emptying the staging table is refused: the copy must not stay, or the
    // next 入帐/返回 would post the same records a second time.
    sql(QStringLiteral("create trigger stop_post before delete on 收入临时 "
                       "begin select raise(abort, 'refused'); end;"));
    click(w.get(), QStringLiteral("exit"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入帐")), QStringLiteral("0"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("2"));
    sql(QStringLiteral("drop trigger stop_post;"));
    click(w.get(), QStringLiteral("exit"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows(QStringLiteral("select 金额,备注 from 收入帐 order by 金额")),
              (QStringList{QStringLiteral("100|a"), QStringLiteral("200|b")}));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 收入临时")), QStringLiteral("0"));
}

TEST_F(EntryTest, RefusedSaveKeepsTheRecordBeingAdded)
{
    sql(QStringLiteral("create trigger stop_save before insert on 收入临时 "
                       "begin select raise(abort, 'refused'); end;"));
    auto w = open(0);
    fillRecord(w.get(), 0, 1, QStringLiteral("77"), QStringLiteral("留着"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(actionEnabled(w.get(), QStringLiteral("update")));
    EXPECT_EQ(boxText(w.get(), QStringLiteral("txtJe")), QStringLiteral("77"));
    EXPECT_EQ(boxText(w.get(), QStringLiteral("txtMemo")), QStringLiteral("留着"));
    sql(QStringLiteral("drop trigger stop_save;"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,备注 from 收入临时")),
              QStringList{QStringLiteral("01|j|77|留着")});
}

TEST_F(EntryTest, InvestmentsGoStraightToTheirLedger)
{
    auto w = open(2);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("投资帐录入"));
    fillRecord(w.get(), 1, 0, QStringLiteral("5000"), QStringLiteral("基金"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,日期,备注,月份 from 投资帐")),
              QStringList{QStringLiteral("02|s|5000|2026-03-05|基金|3")});
    fillRecord(w.get(), 0, 0, QStringLiteral("1"), QString());
    EXPECT_TRUE(actionEnabled(w.get(), QStringLiteral("exit")));  // "返回" while adding
    click(w.get(), QStringLiteral("exit"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 投资帐")), QStringLiteral("1"));
}

}  // namespace
