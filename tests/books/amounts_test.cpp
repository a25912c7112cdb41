#include "bookstest.h"
#include "bankledger.h"
#include "debts.h"
#include "entryform.h"
#include "session.h"

#include <QInputMethodEvent>

namespace {

const QString kNotPlain = u"粘贴的内容不是一个金额，没有粘贴：金额只能由数字和小数点组成，例如 1234.56"_s;
const QString kNotPlainSigned = u"粘贴的内容不是一个金额，没有粘贴：金额只能由数字、小数点和负号组成，例如 500 或 -30.5"_s;

class AmountTest : public BooksTest {
protected:
    // What an input method hands over when the user confirms: a commit string, no key.
    static void commit(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        QInputMethodEvent e;
        e.setCommitString(text);
        QCoreApplication::sendEvent(box, &e);
        QCoreApplication::processEvents();
    }
    // Opens the window and starts a new row, so that its amount box takes input.
    QLineEdit* amountBoxOf(int window)
    {
        switch (window) {
        case 0:
            open(new EntryForm(App::store(), kEntryForms[0]));
            press("addnew");
            return box("txtJe");
        case 1:
            open(new BankLedger(App::store()));
            press("addnew");
            return box("txtJE");
        default:
            open(new DebtsWindow(App::store()));
            press("cmdaddnew");
            return box("txtJe");
        }
    }
};

// Every amount box takes a paste only as a whole and only what could have been typed; full-width
// digits and points, pasted or committed by an input method, are read as plain ones. The debts
// boxes alone take a minus sign.
TEST_F(AmountTest, PastesAndInputMethodCommitsGetInWholeOrNotAtAll)
{
    const struct {
        const char* paste;
        const char* plain;    // the box afterwards, from "12"; nullptr: refused
        const char* signedBox;  // the same in a box that takes a minus sign
    } cases[] = {
        {"1e3", nullptr, nullptr},       {"1.000,50", nullptr, nullptr}, {"0x10", nullptr, nullptr},
        {"-5", nullptr, "12-5"},         {" 7", nullptr, nullptr},       {"3\n", nullptr, nullptr},
        {"３４．５", "1234.5", "1234.5"}, {"－１", nullptr, "12-1"},      {"5。2", "125.2", "125.2"},
        {"34", "1234", "1234"},
    };
    for (int window = 0; window < 3; ++window) {
        for (const auto& c : cases) {
            QLineEdit* amount = amountBoxOf(window);
            typeInto(amount, "12");
            script().clearMessages();
            paste(amount, QString::fromUtf8(c.paste));
            const char* expected = window == 2 ? c.signedBox : c.plain;
            EXPECT_EQ(amount->text(), expected ? QString::fromUtf8(expected) : u"12"_s) << window << c.paste;
            EXPECT_EQ(messageTexts(), expected ? QStringList() : QStringList{window == 2 ? kNotPlainSigned : kNotPlain})
                << window << c.paste;
        }
        QLineEdit* amount = amountBoxOf(window);
        commit(amount, u"１２３．５"_s);
        commit(amount, u"元"_s);
        EXPECT_EQ(amount->text(), "123.5") << window;
    }
}

// Typing "1e-3" into an amount box: the "e" is refused at once with a message, the box then holding
// "1". Refused quietly, the keys after it would have made 13 unseen; while the message shows, the keys
// typed go to it (here it is answered at once, and the "-" is refused and said too).
TEST_F(AmountTest, AKeyThatIsNoPartOfAnAmountIsSaidAtOnce)
{
    // The box as it was when each message showed.
    struct Watching : ScriptedAnswers {
        QLineEdit* box = nullptr;
        QStringList seen;
        App::MsgAnswer message(const QString& text, App::MsgStyle style, const QString& title) override
        {
            seen << box->text() + u" / "_s + text;
            return ScriptedAnswers::message(text, style, title);
        }
    };
    for (int window = 0; window < 3; ++window) {
        Watching answers;
        answers.box = amountBoxOf(window);
        App::setAnswerer(&answers);
        typeInto(answers.box, u"1e-3"_s);
        App::setAnswerer(&script());
        const QString notPart = window == 2 ? u"”不是金额的一部分，没有输入：金额只能由数字、小数点和负号组成，例如 500 或 -30.5"_s
                                            : u"”不是金额的一部分，没有输入：金额只能由数字和小数点组成，例如 1234.56"_s;
        QStringList expected{u"1 / “e"_s + notPart};
        if (window != 2)
            expected << u"1 / “-"_s + notPart;
        EXPECT_EQ(answers.seen, expected) << window;
    }
}

// The debts window refuses the bound of a record at save, for the loan and for a repayment, and
// stores the largest negative loan within it.
TEST_F(AmountTest, DebtAmountsBeyondTheBoundAreRefusedAtSave)
{
    open(new DebtsWindow(App::store()));
    press("cmdaddnew");
    typeInto(box("txtname"), "王五");
    expectRefused("txtJe", {"-100000000000", "100000000000"}, "cmdupdate", u"借款金额不能超过 99,999,999,999.99"_s);
    box("txtJe")->setText("-99999999999.99");
    press("cmdupdate");
    EXPECT_EQ(rows("select 金额, 余额 from 负债"), QStringList{u"-99999999999.99|-99999999999.99"_s});
    press("cmdedit");
    expectRefused("txtjehuan", {"200000000000"}, "cmdupdate", u"还款金额不能超过 99,999,999,999.99"_s);
    EXPECT_EQ(rows("select 余额 from 负债"), QStringList{u"-99999999999.99"_s});
}

}  // namespace
