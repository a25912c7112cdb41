#include "bookstest.h"

#include "books/bankledger.h"

#include <QComboBox>
#include <memory>

namespace {

const QString kCqWarning =
    QStringLiteral("系统默认为“存入或支出”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！");
const QString kLxWarning =
    QStringLiteral("系统默认为“定期或活期”两个类型，如果您改变了条目，请必须记住，否则将不利于查询！");

class BankTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql(QStringLiteral("insert into 成员 values('01','张三','父亲','');"
                           "insert into 成员 values('02','李四','母亲','');"
                           "insert into 银行 values('b1','工行','6222');"
                           "insert into 银行 values('b2','农行','9559');"));
        Modmain::setToday(QDate(2026, 3, 5));
        openConn();
        w = std::make_unique<BankLedger>();
        showActive(w.get());
    }
    void TearDown() override
    {
        w.reset();
        DbTest::TearDown();
    }

    void addRow(int bankRow, int memberRow, const QString& amount)
    {
        click(w.get(), QStringLiteral("addnew"));
        answerPicker(memberRow);
        click(w.get(), QStringLiteral("cmdfindt"));
        answerPicker(bankRow);
        click(w.get(), QStringLiteral("cmdfindo"));
        typeText(child<QLineEdit>(w.get(), QStringLiteral("txtJE")), amount);
    }
    QComboBox* combo(const char* name) { return child<QComboBox>(w.get(), QLatin1String(name)); }

    std::unique_ptr<BankLedger> w;
};

TEST_F(BankTest, CombosPresetAndKeptFromRowToRow)
{
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("存入"));
    EXPECT_EQ(combo("cbolx")->currentText(), QStringLiteral("活期"));
    addRow(1, 0, QStringLiteral("1000"));
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w.get(), QStringLiteral("txtJE")));
    EXPECT_EQ(labelText(w.get(), QStringLiteral("lblyh")), QStringLiteral("农行"));
    click(w.get(), QStringLiteral("update"));

    // A withdrawal, chosen from the list with the keyboard: no reminder.
    addRow(0, 1, QStringLiteral("300"));
    QTest::keyClick(combo("cbocq"), Qt::Key_Down);
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("支出"));
    click(w.get(), QStringLiteral("update"));
    click(w.get(), QStringLiteral("addnew"));
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("支出"));
    EXPECT_EQ(labelText(w.get(), QStringLiteral("lblcy")), QStringLiteral("李四"));  // name labels stay
    click(w.get(), QStringLiteral("cancel"));

    EXPECT_EQ(rows(QStringLiteral("select 银行ID,成员ID,存或取,类型,金额,日期 from 银行帐 order by rowid")),
              (QStringList{QStringLiteral("b2|01|存入|活期|1000|2026-03-05"),
                           QStringLiteral("b1|02|支出|活期|300|2026-03-05")}));
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();

    // Browsing moves the bound labels and the amount, not the names, the combos or the date.
    selectGridRow(w.get(), QStringLiteral("DG"), 0);
    EXPECT_EQ(labelText(w.get(), QStringLiteral("lblyhid")), QStringLiteral("b2"));
    EXPECT_EQ(boxText(w.get(), QStringLiteral("txtJE")), QStringLiteral("1000"));
    EXPECT_EQ(labelText(w.get(), QStringLiteral("lblyh")), QStringLiteral("工行"));
    EXPECT_EQ(combo("cbocq")->currentText(), QStringLiteral("支出"));
    EXPECT_FALSE(child<QWidget>(w.get(), QStringLiteral("cmdfindo"))->isEnabled());  // no pick that is never saved
}

TEST_F(BankTest, EachTypedChangeOfAComboRaisesTheReminder)
{
    QLineEdit* cq = combo("cbocq")->lineEdit();
    cq->clear();
    typeText(cq, QStringLiteral("存"));
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages()[0].text, kCqWarning);
    EXPECT_EQ(Modmain::shownMessages()[0].style, 64);
    EXPECT_EQ(Modmain::shownMessages()[0].title, QStringLiteral("重要提示"));
    typeText(cq, QStringLiteral("款"));
    EXPECT_EQ(Modmain::shownMessages().size(), 2);
    EXPECT_EQ(cq->text(), QStringLiteral("存款"));

    QLineEdit* lx = combo("cbolx")->lineEdit();
    lx->selectAll();
    typeText(lx, QStringLiteral("通知"));
    EXPECT_EQ(messageTexts().mid(2), (QStringList{kLxWarning, kLxWarning}));

    // The typed texts are what the row receives.
    addRow(0, 0, QStringLiteral("50"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(scalar(QStringLiteral("select 存或取||'/'||类型 from 银行帐")), QStringLiteral("存款/通知"));
    EXPECT_EQ(messageTexts().size(), 4);
}

TEST_F(BankTest, SaveChecksBankMemberAmountInThatOrder)
{
    click(w.get(), QStringLiteral("addnew"));
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w.get(), QStringLiteral("cmdfindt")));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("银行不能为空")});
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w.get(), QStringLiteral("cmdfindo")));
    answerPicker(0);
    click(w.get(), QStringLiteral("cmdfindo"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("成员不能为空"));
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w.get(), QStringLiteral("cmdfindt")));
    answerPicker(0);
    click(w.get(), QStringLiteral("cmdfindt"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_EQ(messageTexts().last(), QStringLiteral("金额不能为空"));
    auto* je = child<QLineEdit>(w.get(), QStringLiteral("txtJE"));
    EXPECT_EQ(w->focusWidget(), je);

    // The filter keeps digits and points; Enter does nothing.
    typeText(je, QStringLiteral("1-a2.3.4"));
    QTest::keyClick(je, Qt::Key_Return);
    EXPECT_EQ(w->focusWidget(), je);
    EXPECT_EQ(je->text(), QStringLiteral("12.3.4"));
    click(w.get(), QStringLiteral("update"));
    EXPECT_TRUE(messageTexts().last().contains(QStringLiteral("数字")));
    EXPECT_EQ(je->text(), QStringLiteral("12.3.4"));
    EXPECT_EQ(w->focusWidget(), je);
    EXPECT_TRUE(actionEnabled(w.get(), QStringLiteral("update")));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 银行帐")), QStringLiteral("0"));
}

TEST_F(BankTest, AmountBoxIsGreyUntilItHasTheFocus)
{
    auto* je = child<QLineEdit>(w.get(), QStringLiteral("txtJE"));
    EXPECT_EQ(je->palette().color(QPalette::Base), kBoxGrey);
    je->setFocus();
    EXPECT_EQ(je->palette().color(QPalette::Base), QColor(Qt::white));
    combo("cbocq")->setFocus();
    EXPECT_EQ(je->palette().color(QPalette::Base), kBoxGrey);
    EXPECT_EQ(combo("cbocq")->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(combo("cbolx")->palette().color(QPalette::Base), kBoxGrey);
}

TEST_F(BankTest, ExitWhileAddingDropsTheRowAndDeleteAsks)
{
    sql(QStringLiteral("insert into 银行帐 values('b1','01','存入','活期',10,'2026-01-01');"
                       "insert into 银行帐 values('b2','02','支出','定期',20,'2026-01-02');"));
    w = std::make_unique<BankLedger>();
    showActive(w.get());
    selectGridRow(w.get(), QStringLiteral("DG"), 1);
    Modmain::queueAnswer(2);
    click(w.get(), QStringLiteral("del"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from 银行帐")), QStringLiteral("2"));
    click(w.get(), QStringLiteral("del"));
    EXPECT_EQ(messageTexts(), (QStringList{QStringLiteral("真的要删除此成员记录吗"), QStringLiteral("真的要删除此成员记录吗")}));
    EXPECT_EQ(boxText(w.get(), QStringLiteral("txtJE")), QStringLiteral("10"));

    addRow(0, 0, QStringLiteral("99"));
    EXPECT_TRUE(actionEnabled(w.get(), QStringLiteral("exit")));
    click(w.get(), QStringLiteral("exit"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows(QStringLiteral("select 金额 from 银行帐")), QStringList{QStringLiteral("10")});
}

TEST_F(BankTest, OpensFromTheMenuDispatch)
{
    whenModal([](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("frmyhzhang"));
        EXPECT_EQ(d->windowTitle(), QStringLiteral("银行帐"));
        d->close();
    });
    Modmain::openDataWindow(QStringLiteral("frmyhzhang"), nullptr);
    EXPECT_FALSE(Modmain::isBusy());
}

}  // namespace
