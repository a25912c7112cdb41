#include "bookstest.h"

#include "books/bankledger.h"

#include <QComboBox>

namespace {

class BankTest : public BooksTest {
protected:
    void SetUp() override
    {
        BooksTest::SetUp();
        open<BankLedger>();
    }
    void addRow(int bankRow, int memberRow, const QString& amount)
    {
        press(QStringLiteral("addnew"));
        pick(QStringLiteral("cmdfindt"), memberRow);
        pick(QStringLiteral("cmdfindo"), bankRow);
        typeText(box(QStringLiteral("txtJE")), amount);
    }
    QComboBox* combo(const char* name) { return child<QComboBox>(w.get(), QLatin1String(name)); }
};

TEST_F(BankTest, CombosPresetAndKeptFromRowToRow)
{
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("存入"));
    EXPECT_EQ(combo("cbolx")->currentText(), QStringLiteral("活期"));
    addRow(1, 0, QStringLiteral("1000"));
    EXPECT_EQ(focused(), box(QStringLiteral("txtJE")));
    EXPECT_EQ(labelText(QStringLiteral("lblyh")), QStringLiteral("农行"));
    press(QStringLiteral("update"));

    // A withdrawal, chosen from the list with the keyboard: no reminder.
    addRow(0, 1, QStringLiteral("300"));
    QTest::keyClick(combo("cbocq"), Qt::Key_Down);
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("支出"));
    press(QStringLiteral("update"));
    press(QStringLiteral("addnew"));
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("支出"));
    EXPECT_EQ(labelText(QStringLiteral("lblcy")), QStringLiteral("李四"));  // name labels stay
    press(QStringLiteral("cancel"));

    EXPECT_EQ(rows(QStringLiteral("select 银行ID,成员ID,存或取,类型,金额,日期 from 银行帐 order by rowid")),
              (QStringList{QStringLiteral("b2|01|存入|活期|1000|2026-03-05"),
                           QStringLiteral("b1|02|支出|活期|300|2026-03-05")}));
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();

    // Browsing moves the bound labels and the amount, not the names, the combos or the date.
    selectGridRow(QStringLiteral("DG"), 0);
    EXPECT_EQ(labelText(QStringLiteral("lblyhid")), QStringLiteral("b2"));
    EXPECT_EQ(boxText(QStringLiteral("txtJE")), QStringLiteral("1000"));
    EXPECT_EQ(labelText(QStringLiteral("lblyh")), QStringLiteral("工行"));
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("支出"));
    EXPECT_FALSE(enabled(QStringLiteral("cmdfindo")));  // no pick that would never be saved
}

TEST_F(BankTest, EachTypedChangeOfAComboRaisesTheReminder)
{
    const QString cqWarning =
        QStringLiteral("系统默认为“存入或支出”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！");
    const QString lxWarning =
        QStringLiteral("系统默认为“定期或活期”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！");
    QLineEdit* cq = combo("cbocq")->lineEdit();
    cq->clear();
    typeText(cq, QStringLiteral("存"));
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages()[0].text, cqWarning);
    EXPECT_EQ(Modmain::shownMessages()[0].style, 64);
    EXPECT_EQ(Modmain::shownMessages()[0].title, QStringLiteral("重要提示"));
    typeText(cq, QStringLiteral("款"));
    EXPECT_EQ(Modmain::shownMessages().size(), 2);
    EXPECT_EQ(cq->text(), QStringLiteral("存款"));

    QLineEdit* lx = combo("cbolx")->lineEdit();
    lx->selectAll();
    typeText(lx, QStringLiteral("通知"));
    EXPECT_EQ(messageTexts().mid(2), (QStringList{lxWarning, lxWarning}));

    // The typed texts are what the row receives.
    addRow(0, 0, QStringLiteral("50"));
    press(QStringLiteral("update"));
    EXPECT_EQ(scalar(QStringLiteral("select 存或取||'/'||类型 from 银行帐")), QStringLiteral("存款/通知"));
    EXPECT_EQ(messageTexts().size(), 4);
}

TEST_F(BankTest, SaveChecksBankMemberAmountInThatOrder)
{
    // The grey boxes are white while they have the focus.
    QLineEdit* je = box(QStringLiteral("txtJE"));
    EXPECT_EQ(je->palette().color(QPalette::Base), kBoxGrey);
    je->setFocus();
    EXPECT_EQ(je->palette().color(QPalette::Base), QColor(Qt::white));
    combo("cbocq")->setFocus();
    EXPECT_EQ(je->palette().color(QPalette::Base), kBoxGrey);
    EXPECT_EQ(combo("cbocq")->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(combo("cbolx")->palette().color(QPalette::Base), kBoxGrey);

    press(QStringLiteral("addnew"));
    EXPECT_EQ(focused(), widget(QStringLiteral("cmdfindt")));
    press(QStringLiteral("update"));
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("银行不能为空")});
    EXPECT_EQ(focused(), widget(QStringLiteral("cmdfindo")));
    pick(QStringLiteral("cmdfindo"), 0);
    press(QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("成员不能为空"));
    EXPECT_EQ(focused(), widget(QStringLiteral("cmdfindt")));
    pick(QStringLiteral("cmdfindt"), 0);
    press(QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("金额不能为空"));
    EXPECT_EQ(focused(), je);

    // The filter keeps digits and points; Enter does nothing; two points are refused on save.
    typeText(je, QStringLiteral("1-a2.3.4"));
    QTest::keyClick(je, Qt::Key_Return);
    EXPECT_EQ(focused(), je);
    EXPECT_EQ(je->text(), QStringLiteral("12.3.4"));
    press(QStringLiteral("update"));
    EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("数字")));
    EXPECT_EQ(je->text(), QStringLiteral("12.3.4"));
    EXPECT_EQ(focused(), je);
    EXPECT_TRUE(actionEnabled(QStringLiteral("update")));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 银行帐")), QStringLiteral("0"));
}

TEST_F(BankTest, ExitWhileAddingDropsTheRowAndDeleteAsks)
{
    sql(QStringLiteral("insert into 银行帐 values('b1','01','存入','活期',10,'2026-01-01');"
                       "insert into 银行帐 values('b2','02','支出','定期',20,'2026-01-02');"));
    open<BankLedger>();
    selectGridRow(QStringLiteral("DG"), 1);
    Modmain::queueAnswer(2);
    press(QStringLiteral("del"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 银行帐")), QStringLiteral("2"));
    press(QStringLiteral("del"));
    EXPECT_EQ(messageTexts(), QStringList(2, QStringLiteral("真的要删除此成员记录吗")));
    EXPECT_EQ(boxText(QStringLiteral("txtJE")), QStringLiteral("10"));

    addRow(0, 0, QStringLiteral("99"));
    EXPECT_TRUE(actionEnabled(QStringLiteral("exit")));
    press(QStringLiteral("exit"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows(QStringLiteral("select 金额 from 银行帐")), QStringList{QStringLiteral("10")});
}

// Both ledgers open from the menu dispatch; the debts window centred on its owner.
TEST_F(BankTest, LedgersOpenFromTheMenuDispatch)
{
    QWidget owner;
    owner.setGeometry(40, 30, 700, 540);
    owner.show();
    for (const char* name : {"frmyhzhang", "frmFz"}) {
        whenModal([&owner, name](QDialog* d) {
            EXPECT_EQ(d->objectName(), QLatin1String(name));
            EXPECT_FALSE(Modmain::isBusy());
            if (d->objectName() == QLatin1String("frmFz")) {
                EXPECT_EQ(d->windowTitle(), QStringLiteral("债权债务管理"));
                const QPoint delta = d->frameGeometry().center() - owner.frameGeometry().center();
                EXPECT_LE(delta.manhattanLength(), 4) << delta.x() << "," << delta.y();
            } else {
                EXPECT_EQ(d->windowTitle(), QStringLiteral("银行帐"));
            }
            d->close();
        });
        Modmain::openDataWindow(QLatin1String(name), &owner);
    }
}

}  // namespace
