// Searching the query windows by note and amount, as a person types into the boxes.
#include "reports/ledgerquery.h"
#include "shell/gridtest.h"

#include <algorithm>

namespace {

class SearchTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(2026, 7, 25));
        // Notes with quotes, the wildcards of LIKE, its escape, an emoji and latin letters; one record
        // of last year.
        sql("insert into 成员 values('1','张三','',''), ('2','李四','','');"
            "insert into 收入类型 values('5','工资',null);"
            "insert into 收入帐 values('1','5',10,'2026-02-01',''' or ''''=''',2), ('1','5',20,'2026-02-02','100%',2),"
            " ('1','5',30,'2026-02-03','a_b',2), ('2','5',40,'2026-02-04','ab',2), ('2','5',50,'2026-02-05','看病🙂',2),"
            " ('2','5',60,'2025-02-06','Hospital visit',2), ('2','5',70,'2026-02-07','axb%\\',2), ('2','5',80.005,'2026-02-08','',2);"
            "insert into 银行 values('b1','工行','');"
            "insert into 银行帐 values('b1','1','存入','活期',100,'2026-02-01'), ('b1','1','存入','活期',900,'2026-02-02');");
        openConn();
    }

    std::unique_ptr<LedgerQuery> open(int kind, const QString& member = {})
    {
        auto w = std::make_unique<LedgerQuery>(kQueryKinds[kind]);
        w->show();
        if (!member.isEmpty())
            pickId(w.get(), "cmdfindt", member);
        return w;
    }
    // What a person types or pastes into a box.
    static void type(LedgerQuery* w, const char* box, const QString& text)
    {
        auto* b = child<QLineEdit>(w, box);
        b->clear();
        b->insert(text);
    }
    // The notes listed (column 4), or the amounts (column 2) of the bank query, in no order.
    static QStringList listed(LedgerQuery* w, int column = 4)
    {
        QStringList out = columnOf(child<DataGrid>(w, "DG"), column);
        std::sort(out.begin(), out.end());
        return out;
    }
};

}  // namespace

// Each search finds exactly the records that hold its text or lie in its range, combined with the
// member and the dates; with no member the dates do not apply, and the range line says what was searched.
TEST_F(SearchTest, NoteAndAmountFindExactlyTheirRecords)
{
    struct Case { QString member, note, from, to; QStringList notes; QString total, range; };
    const Case cases[] = {
        {"", "' or ''='", "", "", {"' or ''='"}, "10.00", "全部日期，备注包含“' or ''='”"},
        {"", "%", "", "", {"100%", "axb%\\"}, "90.00", "全部日期，备注包含“%”"},
        {"", "_", "", "", {"a_b"}, "30.00", "全部日期，备注包含“_”"},
        {"", "\\", "", "", {"axb%\\"}, "70.00", "全部日期，备注包含“\\”"},
        {"", "🙂", "", "", {"看病🙂"}, "50.00", "全部日期，备注包含“🙂”"},
        {"", "HOSPITAL", "", "", {"Hospital visit"}, "60.00", "全部日期，备注包含“HOSPITAL”"},
        {"", "", "20", "40", {"100%", "a_b", "ab"}, "90.00", "全部日期，金额 20 至 40"},
        {"", "", "70", "", {"", "axb%\\"}, "150.01", "全部日期，金额不少于 70"},
        {"", "", "", "10", {"' or ''='"}, "10.00", "全部日期，金额不超过 10"},
        {"", "", "80.005", "80.005", {""}, "80.01", "全部日期，金额 80.005 至 80.005"},  // to the ten-thousandth
        {"", "b", "35", "", {"ab", "axb%\\"}, "110.00", "全部日期，备注包含“b”，金额不少于 35"},
        {"2", "", "40", "70", {"ab", "axb%\\", "看病🙂"}, "160.00", "2026-01-01 至 2026-07-25，金额 40 至 70"},
        {"2", "hospital", "", "", {}, "0.00", "2026-01-01 至 2026-07-25，备注包含“hospital”"},  // last year's
    };
    for (const Case& c : cases) {
        auto w = open(0, c.member);
        type(w.get(), "txtNote", c.note);
        type(w.get(), "txtFrom", c.from);
        type(w.get(), "txtTo", c.to);
        click(w.get(), "CmdqueryNow");
        EXPECT_EQ(listed(w.get()), c.notes) << c.note.toStdString() << " " << c.from.toStdString();
        EXPECT_EQ(child<QLabel>(w.get(), "lblJE")->text(), "金额总计：" + c.total + "元");
        EXPECT_EQ(child<QLabel>(w.get(), "lblRange")->text(), c.range);
    }
    EXPECT_TRUE(messageTexts().isEmpty());

    // The bank query has the amount range (its ledger keeps no note).
    auto bank = open(2);
    EXPECT_EQ(bank->findChild<QLineEdit*>("txtNote"), nullptr);
    type(bank.get(), "txtFrom", "500");
    click(bank.get(), "CmdqueryNow");
    EXPECT_EQ(listed(bank.get(), 2), QStringList{"900"});
}

// A range whose start lies above its end, or that is no number, is refused: the list stays, the
// focus goes to the box to mend, and the boxes are heard by their labels.
TEST_F(SearchTest, ARangeThatIsNoRangeIsRefusedWithAMessage)
{
    auto w = open(0);
    const QStringList before = gridRows(child<QTableView>(w.get(), "DG"));
    struct Case { QString from, to, message; const char* mend; };
    const Case cases[] = {
        {"50", "20", "金额的“从”50 大于“到”20，请改正后再查询。", "txtFrom"},
        {".", "", "金额的“从”必须是一个数字，例如 100 或 99.50，请改正后再查询。", "txtFrom"},
        {"1", "1.2.3", "金额的“到”必须是一个数字，例如 100 或 99.50，请改正后再查询。", "txtTo"},
    };
    for (const Case& c : cases) {
        App::clearShownMessages();
        type(w.get(), "txtFrom", c.from);
        type(w.get(), "txtTo", c.to);
        click(w.get(), "CmdqueryNow");
        EXPECT_EQ(messageTexts(), QStringList{c.message});
        EXPECT_EQ(gridRows(child<QTableView>(w.get(), "DG")), before);
        EXPECT_EQ(child<QLabel>(w.get(), "lblRange")->text(), "全部日期");
        EXPECT_EQ(w->focusWidget(), child<QLineEdit>(w.get(), c.mend));
    }
    // Letters never get into an amount box: a paste that holds one is refused whole.
    type(w.get(), "txtFrom", "1e3");
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtFrom")->text(), "");
    EXPECT_EQ(heard(w.get(), {"txtNote", "txtFrom", "txtTo"}), (QStringList{"备注包含", "金额从", "金额到"}));
}
