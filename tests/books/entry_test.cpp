#include "bookstest.h"

#include "books/entryform.h"
#include "shell/frmlogin.h"
#include "shell/frmmain.h"

#include <QComboBox>
#include <QPointer>

namespace {

class EntryTest : public BooksTest {
protected:
    EntryForm* openForm(int kind) { return open<EntryForm>(kEntryForms[kind]); }

    // 添加数据, both pickers (member row, type row), amount and note.
    void fillRecord(int memberRow, int typeRow, const QString& amount, const QString& memo)
    {
        press(QStringLiteral("addnew"));
        pick(QStringLiteral("cmdfindt"), memberRow);
        pick(QStringLiteral("cmdfindo"), typeRow);
        typeText(box(QStringLiteral("txtJe")), amount);
        typeText(box(QStringLiteral("txtMemo")), memo);
    }
    QString count(const char* table) { return scalar(QStringLiteral("select count(*) from ") + QString::fromUtf8(table)); }
};

// The income record's road through the real windows: the login, the menu, 添加数据, both pickers,
// amount and note, 保存数据, 入帐/返回.
TEST_F(EntryTest, IncomeRecordGoesFromTheLoginToTheLedger)
{
    QPointer<frmlogin> login = new frmlogin;
    login->show();
    auto* user = child<QComboBox>(login, QStringLiteral("cbouser"));
    user->lineEdit()->clear();
    typeText(user->lineEdit(), QStringLiteral("qmr"));
    typeText(child<QLineEdit>(login, QStringLiteral("txtpw")), QStringLiteral("7351"));
    click(login, QStringLiteral("Command1"));
    QPointer<frmmain> main = login->mainWindow();
    ASSERT_NE(main, nullptr);

    whenModal([this](QDialog* d) {
        w.reset(d);  // driven with the fixture's helpers, handed back below
        EXPECT_EQ(d->windowTitle(), QStringLiteral("收入帐"));
        EXPECT_FALSE(Modmain::isBusy());
        EXPECT_EQ(child<QDateEdit>(d, QStringLiteral("dpDate"))->date(), QDate(2026, 3, 5));
        press(QStringLiteral("addnew"));
        EXPECT_EQ(focused(), widget(QStringLiteral("cmdfindt")));
        pick(QStringLiteral("cmdfindt"), 1);
        EXPECT_EQ(labelText(QStringLiteral("lblcyID")) + labelText(QStringLiteral("lblcy")), QStringLiteral("02李四"));
        pick(QStringLiteral("cmdfindo"), 0);
        EXPECT_EQ(labelText(QStringLiteral("lbllxID")) + labelText(QStringLiteral("lbllx")), QStringLiteral("g工资"));
        EXPECT_EQ(focused(), box(QStringLiteral("txtJe")));
        typeText(box(QStringLiteral("txtJe")), QStringLiteral("1234.5"));
        QTest::keyClick(box(QStringLiteral("txtJe")), Qt::Key_Return);  // moves on to the note
        EXPECT_EQ(focused(), box(QStringLiteral("txtMemo")));
        typeText(box(QStringLiteral("txtMemo")), QStringLiteral("三月工资"));
        EXPECT_FALSE(actionEnabled(QStringLiteral("exit")));  // only save or cancel end an addition
        press(QStringLiteral("update"));
        EXPECT_TRUE(actionEnabled(QStringLiteral("exit")));
        auto* fg = child<QTableView>(d, QStringLiteral("FG"));
        EXPECT_EQ(fg->currentIndex().row(), 0);
        EXPECT_EQ(fg->model()->index(0, 2).data().toString(), QStringLiteral("1,234.50"));
        press(QStringLiteral("exit"));
        if (d->isVisible())
            d->reject();
        (void)w.release();
    });
    main->findChild<QAction*>(QStringLiteral("mnu2sr"))->trigger();
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,日期,备注,月份 from 收入帐")),
              QStringList{QStringLiteral("02|g|1234.5|2026-03-05|三月工资|3")});
    EXPECT_EQ(count("收入临时"), QStringLiteral("0"));
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
    EXPECT_FALSE(Modmain::isBusy());
    delete main.data();
    delete login.data();
}

TEST_F(EntryTest, CloseBoxThrowsAwayWhatIsStagedEscapeDoesNot)
{
    sql(QStringLiteral("insert into 支出帐 values('01','f',9,'2026-01-01','旧',1);"));
    openForm(1);
    for (const char* amount : {"10", "20.5", "30"}) {
        fillRecord(0, 0, QLatin1String(amount), QString());
        press(QStringLiteral("update"));
    }
    EXPECT_EQ(count("支出临时"), QStringLiteral("3"));
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows(QStringLiteral("select 金额,备注 from 支出帐")), QStringList{QStringLiteral("9|旧")});
    EXPECT_EQ(count("支出临时"), QStringLiteral("0"));
}

TEST_F(EntryTest, SaveChecksTypeMemberAmountInThatOrder)
{
    openForm(0);
    press(QStringLiteral("addnew"));
    EXPECT_TRUE(labelText(QStringLiteral("lblcy")).isEmpty());
    press(QStringLiteral("update"));
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages().last().text, QStringLiteral("收入类型不能为空"));
    EXPECT_EQ(Modmain::shownMessages().last().style, 64);
    EXPECT_EQ(Modmain::shownMessages().last().title, QStringLiteral("kinbook"));
    EXPECT_EQ(focused(), widget(QStringLiteral("cmdfindo")));

    pick(QStringLiteral("cmdfindo"), 1);
    press(QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("成员不能为空"));
    EXPECT_EQ(focused(), widget(QStringLiteral("cmdfindt")));

    // A cancelled or closed picker leaves the labels as they were, never an earlier pick.
    pick(QStringLiteral("cmdfindt"), 0);
    pick(QStringLiteral("cmdfindo"), 0, true);
    pick(QStringLiteral("cmdfindt"), 1, true, true);
    EXPECT_EQ(labelText(QStringLiteral("lbllxID")) + labelText(QStringLiteral("lblcyID")), QStringLiteral("j01"));
    press(QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("收入金额不能为空"));
    QLineEdit* je = box(QStringLiteral("txtJe"));
    EXPECT_EQ(focused(), je);

    // Letters and signs never reach the amount; two points do, and are refused on save.
    typeText(je, QStringLiteral("1a2-+ 3.4.5"));
    EXPECT_EQ(je->text(), QStringLiteral("123.4.5"));
    for (const QString& bad : {QStringLiteral("123.4.5"), QStringLiteral(".")}) {
        je->setText(bad);
        press(QStringLiteral("update"));
        EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("数字")));
        EXPECT_EQ(focused(), je);
        EXPECT_EQ(je->text(), bad);
        EXPECT_TRUE(actionEnabled(QStringLiteral("update")));
    }
    EXPECT_EQ(messageTexts().size(), 5);
    EXPECT_EQ(count("收入临时"), QStringLiteral("0"));

    je->setText(QStringLiteral("88"));
    typeText(box(QStringLiteral("txtMemo")), QStringLiteral("一二三四五六七八九十一二三四五六七八九十多"));
    child<QDateEdit>(w.get(), QStringLiteral("dpDate"))->setDate(QDate(2025, 12, 31));
    press(QStringLiteral("update"));
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,日期,月份,length(备注) from 收入临时")),
              QStringList{QStringLiteral("01|j|88|2025-12-31|12|20")});
}

TEST_F(EntryTest, BrowseTypingIsNeverWrittenAndDeleteAsks)
{
    sql(QStringLiteral("insert into 收入临时 values('01','g',5,'2026-03-01','a',3);"
                       "insert into 收入临时 values('02','j',6,'2026-03-02','b',3);"));
    openForm(0);
    QLineEdit* je = box(QStringLiteral("txtJe"));
    EXPECT_EQ(je->text(), QStringLiteral("5"));
    EXPECT_TRUE(je->isReadOnly());
    // A pick while browsing would show an identifier the row never receives.
    EXPECT_FALSE(enabled(QStringLiteral("cmdfindt")));
    EXPECT_FALSE(enabled(QStringLiteral("cmdfindo")));
    typeText(je, QStringLiteral("99"));
    EXPECT_EQ(je->text(), QStringLiteral("5"));
    selectGridRow(QStringLiteral("FG"), 1);
    EXPECT_EQ(je->text(), QStringLiteral("6"));
    EXPECT_EQ(labelText(QStringLiteral("lblcyID")), QStringLiteral("02"));
    press(QStringLiteral("addnew"));
    EXPECT_FALSE(je->isReadOnly());
    EXPECT_TRUE(je->text().isEmpty());
    press(QStringLiteral("cancel"));
    EXPECT_TRUE(je->isReadOnly());
    EXPECT_EQ(rows(QStringLiteral("select 金额 from 收入临时 order by rowid")),
              (QStringList{QStringLiteral("5"), QStringLiteral("6")}));

    // Deleting the last row asks, and leaves the previous row current.
    Modmain::queueAnswer(2);
    press(QStringLiteral("del"));
    EXPECT_EQ(Modmain::shownMessages().last().text, QStringLiteral("真的要删除此成员记录吗"));
    EXPECT_EQ(Modmain::shownMessages().last().style, 33);
    EXPECT_EQ(count("收入临时"), QStringLiteral("2"));
    press(QStringLiteral("del"));  // OK
    EXPECT_EQ(rows(QStringLiteral("select 金额 from 收入临时")), QStringList{QStringLiteral("5")});
    EXPECT_EQ(je->text(), QStringLiteral("5"));
    press(QStringLiteral("del"));
    EXPECT_EQ(count("收入临时"), QStringLiteral("0"));
    EXPECT_EQ(child<QTableView>(w.get(), QStringLiteral("FG"))->model()->rowCount(), 0);
    press(QStringLiteral("del"));  // nothing left: nothing happens beyond the question
    EXPECT_TRUE(actionEnabled(QStringLiteral("addnew")));
}

TEST_F(EntryTest, RefusedSaveOrPostingLosesNothing)
{
    sql(QStringLiteral("create trigger stop_save before insert on 收入临时 begin select raise(abort, 'no'); end;"));
    openForm(0);
    fillRecord(0, 1, QStringLiteral("100"), QStringLiteral("留着"));
    press(QStringLiteral("update"));
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(actionEnabled(QStringLiteral("update")));
    EXPECT_EQ(boxText(QStringLiteral("txtJe")) + boxText(QStringLiteral("txtMemo")), QStringLiteral("100留着"));
    sql(QStringLiteral("drop trigger stop_save;"));
    press(QStringLiteral("update"));
    fillRecord(1, 0, QStringLiteral("200"), QStringLiteral("b"));
    press(QStringLiteral("update"));

    // The copy succeeds but emptying the staging table is refused: the copy must not stay, or the
    // next 入帐/返回 would post the same records a second time.
    sql(QStringLiteral("create trigger stop_post before delete on 收入临时 begin select raise(abort, 'no'); end;"));
    press(QStringLiteral("exit"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(messageTexts().size(), 2);
    EXPECT_EQ(count("收入帐"), QStringLiteral("0"));
    EXPECT_EQ(count("收入临时"), QStringLiteral("2"));
    sql(QStringLiteral("drop trigger stop_post;"));
    press(QStringLiteral("exit"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,备注 from 收入帐 order by 金额")),
              (QStringList{QStringLiteral("01|j|100|留着"), QStringLiteral("02|g|200|b")}));
    EXPECT_EQ(count("收入临时"), QStringLiteral("0"));
}

TEST_F(EntryTest, InvestmentsGoStraightToTheirLedger)
{
    openForm(2);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("投资帐录入"));
    fillRecord(1, 0, QStringLiteral("5000"), QStringLiteral("基金"));
    press(QStringLiteral("update"));
    EXPECT_EQ(rows(QStringLiteral("select 成员ID,类型ID,金额,日期,备注,月份 from 投资帐")),
              QStringList{QStringLiteral("02|s|5000|2026-03-05|基金|3")});
    fillRecord(0, 0, QStringLiteral("1"), QString());
    EXPECT_TRUE(actionEnabled(QStringLiteral("exit")));  // "返回" while adding
    press(QStringLiteral("exit"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(count("投资帐"), QStringLiteral("1"));
}

}  // namespace
