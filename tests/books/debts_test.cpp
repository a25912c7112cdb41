#include "bookstest.h"

#include "books/frmfz.h"

#include <QComboBox>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class DebtsTest : public BooksTest {
protected:
    QString record() { return child<QPlainTextEdit>(w.get(), QStringLiteral("txtjilu"))->toPlainText(); }
    void setDate(const QDate& d) { child<QDateEdit>(w.get(), QStringLiteral("dpdate"))->setDate(d); }
    bool shown(const char* name) { return child<QPushButton>(w.get(), QLatin1String(name))->isVisible(); }
    QString table() { return scalar(QStringLiteral("select ifnull(还款记录,'')||'#'||余额 from 负债")); }

    void newLoan(const QString& name, const QString& type, const QString& amount)
    {
        press(QStringLiteral("cmdaddnew"));
        typeText(box(QStringLiteral("txtname")), name);
        typeText(child<QComboBox>(w.get(), QStringLiteral("Combo1"))->lineEdit(), type);
        typeText(box(QStringLiteral("txtJe")), amount);
    }
    // 编辑(还款) unless already repaying, the amount typed into the repayment box, the box left with Tab.
    void repay(const QString& amount, bool start = true)
    {
        if (start)
            press(QStringLiteral("cmdedit"));
        QLineEdit* huan = box(QStringLiteral("txtjehuan"));
        huan->setFocus();
        huan->selectAll();
        typeText(huan, amount);
        QTest::keyClick(huan, Qt::Key_Tab);
    }
};

TEST_F(DebtsTest, NumericValueReadsTheLeadingNumber)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {{"1.5.2", 1.5}, {"", 0},    {" 1 2 ", 12}, {"-30", -30}, {"-", 0},
                 {"1-2", 1},     {".5", 0.5}, {"abc", 0},    {"200", 200}, {"- 3.25x", -3.25}};
    for (const auto& c : cases)
        EXPECT_EQ(DebtsWindow::numericValue(QString::fromUtf8(c.text)), Money::fromDouble(c.value)) << c.text;
}

TEST_F(DebtsTest, LoanThenRepaymentsLowerTheBalance)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // the entry date does not follow the locale
    open<DebtsWindow>();
    EXPECT_EQ(child<QDateEdit>(w.get(), QStringLiteral("dpdate"))->date(), QDate(2026, 3, 5));
    EXPECT_FALSE(enabled(QStringLiteral("txtjehuan")));
    EXPECT_TRUE(boxText(QStringLiteral("txtjehuan")).isEmpty());
    newLoan(QStringLiteral("王五"), QStringLiteral("欠人"), QStringLiteral("500"));
    EXPECT_TRUE(shown("cmdupdate"));
    EXPECT_FALSE(shown("cmdedit"));
    press(QStringLiteral("cmdupdate"));
    EXPECT_EQ(rows(QStringLiteral("select 借款日期,债权人,类型,金额,ifnull(还款记录,''),余额 from 负债")),
              QStringList{QStringLiteral("2026-03-05|王五|欠人|500||500")});
    EXPECT_TRUE(shown("cmdedit"));

    // 200 on 1 September, the box left twice: one entry; the loan keeps its date.
    setDate(QDate(2026, 9, 1));
    repay(QStringLiteral("200"));
    EXPECT_FALSE(enabled(QStringLiteral("txtJe")));
    EXPECT_EQ(record(), QStringLiteral("2026-9-1还 200 元|"));
    box(QStringLiteral("txtjehuan"))->setFocus();
    QTest::keyClick(box(QStringLiteral("txtjehuan")), Qt::Key_Tab);
    EXPECT_EQ(record(), QStringLiteral("2026-9-1还 200 元|"));
    // Back into the box, the amount corrected: its own entry is replaced.
    repay(QStringLiteral("-30"), false);
    EXPECT_EQ(record(), QStringLiteral("2026-9-1还 -30 元|"));
    repay(QStringLiteral("200"), false);
    press(QStringLiteral("cmdupdate"));
    EXPECT_EQ(rows(QStringLiteral("select 借款日期,金额,还款记录,余额 from 负债")),
              QStringList{QStringLiteral("2026-03-05|500|2026-9-1还 200 元||300")});
    EXPECT_FALSE(enabled(QStringLiteral("txtjehuan")));
    EXPECT_TRUE(enabled(QStringLiteral("txtJe")));

    // A repayment of 0 is logged and changes nothing; one above the balance leaves it negative.
    setDate(QDate(2026, 10, 2));
    press(QStringLiteral("cmdedit"));
    box(QStringLiteral("txtjehuan"))->setFocus();
    QTest::keyClick(box(QStringLiteral("txtjehuan")), Qt::Key_Tab);
    press(QStringLiteral("cmdupdate"));
    repay(QStringLiteral("400"));
    // Saved without leaving the box again (as with a keyboard shortcut): still logged exactly once.
    child<QPushButton>(w.get(), QStringLiteral("cmdupdate"))->click();
    EXPECT_EQ(table(), QStringLiteral("2026-9-1还 200 元|2026-10-2还 0 元|2026-10-2还 400 元|#-100"));
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
    QLocale::setDefault(QLocale::c());
}

TEST_F(DebtsTest, BadNamesAndAmountsAreRefusedWithNothingLost)
{
    open<DebtsWindow>();
    newLoan(QStringLiteral("   "), QStringLiteral("人欠"), QString());
    press(QStringLiteral("cmdupdate"));
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages()[0].text, QStringLiteral("债权人不能为空,呵呵"));
    EXPECT_EQ(Modmain::shownMessages()[0].style, 64);
    EXPECT_EQ(Modmain::shownMessages()[0].title, QStringLiteral("kinbook"));
    EXPECT_EQ(focused(), box(QStringLiteral("txtname")));
    box(QStringLiteral("txtname"))->setText(QStringLiteral("钱七"));
    press(QStringLiteral("cmdupdate"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("金额为零算什么??^_^"));
    EXPECT_EQ(focused(), box(QStringLiteral("txtJe")));
    // Letters and Enter never reach the amount; "-" and "." do, anywhere.
    typeText(box(QStringLiteral("txtJe")), QStringLiteral("a1-2"));
    QTest::keyClick(box(QStringLiteral("txtJe")), Qt::Key_Return);
    EXPECT_EQ(focused(), box(QStringLiteral("txtJe")));
    for (const QString& bad : {QStringLiteral("1-2"), QStringLiteral("1.2.3"), QStringLiteral("-")}) {
        box(QStringLiteral("txtJe"))->setText(bad);
        press(QStringLiteral("cmdupdate"));
        EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("数字"))) << bad.toStdString();
        EXPECT_EQ(boxText(QStringLiteral("txtJe")), bad);
        EXPECT_EQ(focused(), box(QStringLiteral("txtJe")));
        EXPECT_TRUE(shown("cmdupdate"));
    }
    EXPECT_EQ(messageTexts().size(), 5);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 负债")), QStringLiteral("0"));
    box(QStringLiteral("txtJe"))->setText(QStringLiteral("0"));  // "0" is an amount
    press(QStringLiteral("cmdupdate"));
    EXPECT_EQ(scalar(QStringLiteral("select 债权人||'|'||类型||'|'||金额||'|'||余额 from 负债")),
              QStringLiteral("钱七|人欠|0|0"));

    // A repayment that is no number is neither logged nor saved.
    for (const QString& bad : {QStringLiteral("1.5.2"), QStringLiteral("-")}) {
        repay(bad);
        EXPECT_TRUE(record().isEmpty());
        press(QStringLiteral("cmdupdate"));
        EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("还款")));
        EXPECT_EQ(focused(), box(QStringLiteral("txtjehuan")));
        EXPECT_TRUE(record().isEmpty());
        EXPECT_EQ(boxText(QStringLiteral("txtjehuan")), bad);
        press(QStringLiteral("cmdcancel"));
    }
    EXPECT_EQ(messageTexts().size(), 7);
    EXPECT_EQ(table(), QStringLiteral("#0"));
}

TEST_F(DebtsTest, CancelAndEmptyListRepayment)
{
    open<DebtsWindow>();
    // 编辑(还款) on an empty list, then 保存: refused, still editing.
    press(QStringLiteral("cmdedit"));
    press(QStringLiteral("cmdupdate"));
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(shown("cmdupdate"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 负债")), QStringLiteral("0"));
    // 取消 during a repayment gives the amount box back, so that 添加 can take an amount.
    press(QStringLiteral("cmdcancel"));
    EXPECT_FALSE(enabled(QStringLiteral("txtjehuan")));
    EXPECT_TRUE(enabled(QStringLiteral("txtJe")));
    newLoan(QStringLiteral("周九"), QStringLiteral("人欠"), QStringLiteral("-12.5"));
    press(QStringLiteral("cmdupdate"));
    repay(QStringLiteral("5"));
    EXPECT_FALSE(record().isEmpty());
    press(QStringLiteral("cmdcancel"));
    EXPECT_TRUE(record().isEmpty());  // the unsaved entry is gone with the cancelled repayment
    EXPECT_EQ(table(), QStringLiteral("#-12.5"));
    repay(QStringLiteral("-30"));  // a negative repayment raises the balance
    press(QStringLiteral("cmdupdate"));
    EXPECT_EQ(table(), QStringLiteral("2026-3-5还 -30 元|#17.5"));
}

TEST_F(DebtsTest, BrowseIsReadOnlyAndDeleteAsks)
{
    sql(QStringLiteral("insert into 负债 values('2026-01-01','甲','欠人',10,'',10);"
                       "insert into 负债 values('2026-01-02','乙','人欠',20,'',20);"));
    open<DebtsWindow>();
    EXPECT_EQ(boxText(QStringLiteral("txtname")), QStringLiteral("甲"));
    EXPECT_TRUE(box(QStringLiteral("txtname"))->isReadOnly());
    typeText(box(QStringLiteral("txtname")), QStringLiteral("x"));
    EXPECT_EQ(boxText(QStringLiteral("txtname")), QStringLiteral("甲"));
    selectGridRow(QStringLiteral("DG"), 1);
    EXPECT_EQ(child<QComboBox>(w.get(), QStringLiteral("Combo1"))->currentText(), QStringLiteral("人欠"));
    Modmain::queueAnswer(2);
    press(QStringLiteral("cmddel"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 负债")), QStringLiteral("2"));
    press(QStringLiteral("cmddel"));
    EXPECT_EQ(messageTexts(), QStringList(2, QStringLiteral("真的要删除此成员记录吗")));
    EXPECT_EQ(rows(QStringLiteral("select 借款日期,债权人,金额 from 负债")), QStringList{QStringLiteral("2026-01-01|甲|10")});
    EXPECT_EQ(boxText(QStringLiteral("txtname")), QStringLiteral("甲"));
}

}  // namespace
