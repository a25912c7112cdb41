#include "bookstest.h"

#include "books/frmfz.h"

#include <QComboBox>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

namespace {

class DebtsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        Modmain::setToday(QDate(2026, 3, 1));
        openConn();
    }
    void TearDown() override
    {
        w.reset();
        DbTest::TearDown();
    }
    void openWindow()
    {
        w = std::make_unique<DebtsWindow>();
        showActive(w.get());
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(w.get(), QLatin1String(name)); }
    QString record() { return child<QPlainTextEdit>(w.get(), QStringLiteral("txtjilu"))->toPlainText(); }
    void setDate(const QDate& d) { child<QDateEdit>(w.get(), QStringLiteral("dpdate"))->setDate(d); }
    bool shown(const char* name) { return child<QPushButton>(w.get(), QLatin1String(name))->isVisible(); }

    void newLoan(const QString& name, const QString& type, const QString& amount)
    {
        click(w.get(), QStringLiteral("cmdaddnew"));
        typeText(box("txtname"), name);
        typeText(child<QComboBox>(w.get(), QStringLiteral("Combo1"))->lineEdit(), type);
        typeText(box("txtJe"), amount);
    }
    // 编辑(还款), the amount typed into the repayment box, and the box left with Tab.
    void repay(const QString& amount)
    {
        click(w.get(), QStringLiteral("cmdedit"));
        QLineEdit* huan = box("txtjehuan");
        huan->setFocus();
        huan->selectAll();
        typeText(huan, amount);
        QTest::keyClick(huan, Qt::Key_Tab);
    }

    std::unique_ptr<DebtsWindow> w;
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
    openWindow();
    EXPECT_EQ(child<QDateEdit>(w.get(), QStringLiteral("dpdate"))->date(), QDate(2026, 3, 1));
    EXPECT_FALSE(box("txtjehuan")->isEnabled());
    EXPECT_TRUE(box("txtjehuan")->text().isEmpty());
    newLoan(QStringLiteral("王五"), QStringLiteral("欠人"), QStringLiteral("500"));
    EXPECT_TRUE(shown("cmdupdate"));
    EXPECT_FALSE(shown("cmdedit"));
    click(w.get(), QStringLiteral("cmdupdate"));
    EXPECT_EQ(rows(QStringLiteral("select 借款日期,债权人,类型,金额,ifnull(还款记录,''),余额 from 负债")),
              QStringList{QStringLiteral("2026-03-01|王五|欠人|500||500")});
    EXPECT_TRUE(shown("cmdedit"));

    // 200 on 1 September, the box left twice: one entry; the loan keeps its date.
    setDate(QDate(2026, 9, 1));
    repay(QStringLiteral("200"));
    EXPECT_FALSE(box("txtJe")->isEnabled());
    EXPECT_EQ(record(), QStringLiteral("2026-9-1还 200 元|"));
    box("txtjehuan")->setFocus();
    QTest::keyClick(box("txtjehuan"), Qt::Key_Tab);
    EXPECT_EQ(record(), QStringLiteral("2026-9-1还 200 元|"));
    click(w.get(), QStringLiteral("cmdupdate"));
    EXPECT_EQ(rows(QStringLiteral("select 借款日期,金额,还款记录,余额 from 负债")),
              QStringList{QStringLiteral("2026-03-01|500|2026-9-1还 200 元||300")});
    EXPECT_FALSE(box("txtjehuan")->isEnabled());
    EXPECT_TRUE(box("txtJe")->isEnabled());

    // A repayment of 0 is logged and changes nothing; one above the balance leaves it negative.
    setDate(QDate(2026, 10, 2));
    click(w.get(), QStringLiteral("cmdedit"));
    box("txtjehuan")->setFocus();
    QTest::keyClick(box("txtjehuan"), Qt::Key_Tab);
    click(w.get(), QStringLiteral("cmdupdate"));
    repay(QStringLiteral("400"));
    // Saved without leaving the box again (as with a keyboard shortcut): still logged exactly once.
    child<QPushButton>(w.get(), QStringLiteral("cmdupdate"))->click();
    EXPECT_EQ(scalar(QStringLiteral("select 还款记录||'#'||余额 from 负债")),
              QStringLiteral("2026-9-1还 200 元|2026-10-2还 0 元|2026-10-2还 400 元|#-100"));
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
    QLocale::setDefault(QLocale::c());
}

TEST_F(DebtsTest, ChangedRepaymentReplacesItsOwnEntry)
{
    sql(QStringLiteral("insert into 负债 values('2026-01-01','赵六','人欠',100,'旧|',100);"));
    openWindow();
    repay(QStringLiteral("20"));
    EXPECT_EQ(record(), QStringLiteral("旧|2026-3-1还 20 元|"));
    QLineEdit* huan = box("txtjehuan");  // back into the box: the amount is corrected
    huan->setFocus();
    huan->selectAll();
    typeText(huan, QStringLiteral("-30"));
    QTest::keyClick(huan, Qt::Key_Tab);
    EXPECT_EQ(record(), QStringLiteral("旧|2026-3-1还 -30 元|"));
    click(w.get(), QStringLiteral("cmdupdate"));
    EXPECT_EQ(scalar(QStringLiteral("select 还款记录||'#'||余额 from 负债")), QStringLiteral("旧|2026-3-1还 -30 元|#130"));
}

TEST_F(DebtsTest, MalformedAmountsAreRefusedWithNothingLost)
{
    openWindow();
    newLoan(QStringLiteral("钱七"), QStringLiteral("人欠"), QString());
    for (const QString& bad : {QStringLiteral("1.2.3"), QStringLiteral("-"), QStringLiteral("1-2")}) {
        box("txtJe")->setText(bad);
        const int before = Modmain::shownMessages().size();
        click(w.get(), QStringLiteral("cmdupdate"));
        ASSERT_EQ(Modmain::shownMessages().size(), before + 1) << bad.toStdString();
        EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("数字")));
        EXPECT_EQ(box("txtJe")->text(), bad);
        EXPECT_EQ(w->focusWidget(), box("txtJe"));
        EXPECT_TRUE(shown("cmdupdate"));
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 负债")), QStringLiteral("0"));
    box("txtJe")->setText(QStringLiteral("80"));
    click(w.get(), QStringLiteral("cmdupdate"));

    // A repayment that is no number is neither logged nor saved.
    for (const QString& bad : {QStringLiteral("1.5.2"), QStringLiteral("-")}) {
        repay(bad);
        EXPECT_TRUE(record().isEmpty());
        const int before = Modmain::shownMessages().size();
        click(w.get(), QStringLiteral("cmdupdate"));
        ASSERT_EQ(Modmain::shownMessages().size(), before + 1);
        EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("还款")));
        EXPECT_EQ(w->focusWidget(), box("txtjehuan"));
        EXPECT_TRUE(record().isEmpty());
        EXPECT_EQ(box("txtjehuan")->text(), bad);
        click(w.get(), QStringLiteral("cmdcancel"));
    }
    EXPECT_EQ(scalar(QStringLiteral("select ifnull(还款记录,'')||'#'||余额 from 负债")), QStringLiteral("#80"));
}

TEST_F(DebtsTest, NameAndAmountChecks)
{
    openWindow();
    newLoan(QStringLiteral("   "), QStringLiteral("欠人"), QString());
    click(w.get(), QStringLiteral("cmdupdate"));
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages()[0].text, QStringLiteral("债权人不能为空,呵呵"));
    EXPECT_EQ(Modmain::shownMessages()[0].style, 64);
    EXPECT_EQ(Modmain::shownMessages()[0].title, QStringLiteral("kinbook"));
    EXPECT_EQ(w->focusWidget(), box("txtname"));
    box("txtname")->setText(QStringLiteral("孙八"));
    click(w.get(), QStringLiteral("cmdupdate"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("金额为零算什么??^_^"));
    EXPECT_EQ(w->focusWidget(), box("txtJe"));
    // Letters and Enter never reach the amount; "-" and "." do.
    typeText(box("txtJe"), QStringLiteral("a0"));
    QTest::keyClick(box("txtJe"), Qt::Key_Return);
    EXPECT_EQ(box("txtJe")->text(), QStringLiteral("0"));
    EXPECT_EQ(w->focusWidget(), box("txtJe"));
    click(w.get(), QStringLiteral("cmdupdate"));
    EXPECT_EQ(scalar(QStringLiteral("select 债权人||'|'||类型||'|'||金额||'|'||余额 from 负债")), QStringLiteral("孙八|欠人|0|0"));
    EXPECT_EQ(messageTexts().size(), 2);
}

TEST_F(DebtsTest, CancelAndEmptyListRepayment)
{
    openWindow();
    // 编辑(还款) on an empty list, then 保存: refused, still editing.
    click(w.get(), QStringLiteral("cmdedit"));
    click(w.get(), QStringLiteral("cmdupdate"));
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(shown("cmdupdate"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 负债")), QStringLiteral("0"));
    // 取消 during a repayment gives the amount box back, so that 添加 can take an amount.
    click(w.get(), QStringLiteral("cmdcancel"));
    EXPECT_FALSE(box("txtjehuan")->isEnabled());
    EXPECT_TRUE(box("txtJe")->isEnabled());
    newLoan(QStringLiteral("周九"), QStringLiteral("人欠"), QStringLiteral("-12.5"));
    click(w.get(), QStringLiteral("cmdupdate"));
    repay(QStringLiteral("5"));
    EXPECT_FALSE(record().isEmpty());
    click(w.get(), QStringLiteral("cmdcancel"));
    EXPECT_TRUE(record().isEmpty());  // the unsaved entry is gone with the cancelled repayment
    EXPECT_EQ(scalar(QStringLiteral("select ifnull(还款记录,'')||'#'||余额 from 负债")), QStringLiteral("#-12.5"));
}

TEST_F(DebtsTest, BrowseIsReadOnlyAndDeleteAsks)
{
    sql(QStringLiteral("insert into 负债 values('2026-01-01','甲','欠人',10,'',10);"
                       "insert into 负债 values('2026-01-02','乙','人欠',20,'',20);"));
    openWindow();
    EXPECT_EQ(box("txtname")->text(), QStringLiteral("甲"));
    EXPECT_TRUE(box("txtname")->isReadOnly());
    typeText(box("txtname"), QStringLiteral("x"));
    EXPECT_EQ(box("txtname")->text(), QStringLiteral("甲"));
    selectGridRow(w.get(), QStringLiteral("DG"), 1);
    EXPECT_EQ(child<QComboBox>(w.get(), QStringLiteral("Combo1"))->currentText(), QStringLiteral("人欠"));
    Modmain::queueAnswer(2);
    click(w.get(), QStringLiteral("cmddel"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 负债")), QStringLiteral("2"));
    click(w.get(), QStringLiteral("cmddel"));
    EXPECT_EQ(rows(QStringLiteral("select 债权人 from 负债")), QStringList{QStringLiteral("甲")});
    EXPECT_EQ(box("txtname")->text(), QStringLiteral("甲"));
    EXPECT_EQ(rows(QStringLiteral("select 借款日期,金额 from 负债")), QStringList{QStringLiteral("2026-01-01|10")});
}

TEST_F(DebtsTest, OpensCentredOnItsOwner)
{
    QWidget owner;
    owner.setGeometry(40, 30, 700, 540);
    owner.show();
    whenModal([&owner](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("债权债务管理"));
        const QPoint delta = d->frameGeometry().center() - owner.frameGeometry().center();
        EXPECT_LE(delta.manhattanLength(), 4) << delta.x() << "," << delta.y();
        d->close();
    });
    Modmain::openDataWindow(QStringLiteral("frmFz"), &owner);
}

}  // namespace
