// The income, expense and bank record queries, driven as a person uses them: criteria, totals, the
// range line, loading, and searching by note and amount.
#include "ledgerquery.h"
#include "datagrid.h"
#include "support/testsupport.h"
#include "session.h"

#include <algorithm>
#include <memory>

namespace {

// The names in the order a Chinese reader expects them (by pinyin: li, zhang, zhao; gong, jian).
const QStringList kNameOrder = {"", "李四", "张三", "赵六", "工行", "建行"};

// Whether the rows (cells joined with '|') are in that order of their column `col`.
bool orderedBy(const QStringList& rows, int col)
{
    const auto place = [col](const QString& row) { return kNameOrder.indexOf(row.section(u'|', col, col)); };
    return std::is_sorted(rows.begin(), rows.end(), [&](const QString& a, const QString& b) { return place(a) < place(b); });
}

// Opens a query and, in the lookup picker, chooses the member and the type (or bank) given by ID.
std::unique_ptr<LedgerQuery> open(int kind, const char* member = "", const char* other = "")
{
    auto w = std::make_unique<LedgerQuery>(App::store(), kQueryKinds[kind]);
    w->show();
    if (*member)
        pickId(w.get(), "cmdfindt", member);
    if (*other)
        pickId(w.get(), "cmdfindo", other);
    return w;
}
QStringList shown(LedgerQuery* w)
{
    return gridRows(child<DataGrid>(w, "DG"));
}
QStringList query(LedgerQuery* w)
{
    click(w, "CmdqueryNow");
    return shown(w);
}
QString total(LedgerQuery* w)
{
    return child<QLabel>(w, "lblJE")->text();
}
QString range(LedgerQuery* w)
{
    return child<QLabel>(w, "lblRange")->text();
}

class QueryTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(2026, 7, 25));
        // 张三 on both ends of the default range and just outside it; a deleted member (9), a deleted
        // type (7), an empty amount, an ID with a quote.
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','父亲',''), ('2','李四','母亲',''), ('x''y','赵六','','');"
            "insert into 收入类型 (ID, 类型, 备注) values('5','工资',null), ('6','奖金',null);"
            "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',100,'2026-01-01','元旦',1), ('1','6',50.25,'2026-07-25','',7),"
            " ('1','5',30,'2025-12-31','',12), ('1','5',40,'2026-07-26','',7), ('2','5',200.5,'2026-03-01','',3),"
            " ('9','5',7,'2026-03-02','',3), ('2','7',3,'2026-03-03','',3), ('2','6',null,'2026-04-01','空',4),"
            " ('x''y','5',5,'2026-02-02','',2);"
            // The bank ledger, with a deleted bank (b9), a deleted member (9) and last year.
            "insert into 银行 (ID, 开户行, 帐号) values('b1','工行','111'), ('b2','建行','222');"
            "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values('b1','1','存入','活期',100,'2026-02-01'), ('b1','1','支出','活期',40,'2026-03-01'),"
            " ('b2','2','存入','定期',500,'2026-04-01'), ('b9','1','存入','活期',8,'2026-05-01'),"
            " ('b1','9','存入','活期',9,'2026-05-02'), ('b1','1','存入','活期',77,'2025-05-02');");
        openConn();
    }
};

const QString kThisYear = "2026-01-01 至 2026-07-25";

const QStringList kAllIncome = {
    "张三|工资|100|2026-01-01|元旦", "张三|奖金|50.25|2026-07-25|", "张三|工资|30|2025-12-31|",
    "张三|工资|40|2026-07-26|",       "李四|工资|200.5|2026-03-01|", "|工资|7|2026-03-02|",
    "李四||3|2026-03-03|",            "李四|奖金||2026-04-01|空",     "赵六|工资|5|2026-02-02|",
};

const QStringList kMemberDeposits = {"张三|工行|100|2026-02-01|存入|活期", "张三||8|2026-05-01|存入|活期"};

class SearchTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(2026, 7, 25));
        // Notes with quotes, the wildcards of LIKE, its escape, an emoji and latin letters; one record
        // of last year.
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','',''), ('2','李四','','');"
            "insert into 收入类型 (ID, 类型, 备注) values('5','工资',null);"
            "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',10,'2026-02-01',''' or ''''=''',2), ('1','5',20,'2026-02-02','100%',2),"
            " ('1','5',30,'2026-02-03','a_b',2), ('2','5',40,'2026-02-04','ab',2), ('2','5',50,'2026-02-05','看病🙂',2),"
            " ('2','5',60,'2025-02-06','Hospital visit',2), ('2','5',70,'2026-02-07','axb%\\',2), ('2','5',80.005,'2026-02-08','',2);"
            "insert into 银行 (ID, 开户行, 帐号) values('b1','工行','');"
            "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values('b1','1','存入','活期',100,'2026-02-01'), ('b1','1','存入','活期',900,'2026-02-02');");
        openConn();
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
        QStringList out;
        for (const QString& row : shown(w))
            out << row.section(u'|', column, column);
        return sorted(out);
    }
};

}  // namespace

// The range line says which dates the list and its total cover: all of them at load (a chosen
// criterion takes effect only with 执行) and with neither member nor type, else the two dates. A
// screen reader hears the picks, the total and the range as they read.
TEST_F(QueryTest, EachCombinationOfCriteriaListsItsRecordsByNameWithTheirTotal)
{
    struct Case { const char *member, *type; QStringList rows; QString total, range; };
    const Case cases[] = {
        // Neither: the whole ledger, at load and whatever the dates say; the empty amount counts 0.
        {"", "", kAllIncome, "435.75", "全部日期"},
        // Both ends of the range are in, the days just outside are not.
        {"1", "", {"张三|工资|100|2026-01-01|元旦", "张三|奖金|50.25|2026-07-25|"}, "150.25", kThisYear},
        {"", "5",
         {"|工资|7|2026-03-02|", "张三|工资|100|2026-01-01|元旦", "李四|工资|200.5|2026-03-01|", "赵六|工资|5|2026-02-02|"},
         "312.50", kThisYear},
        {"1", "5", {"张三|工资|100|2026-01-01|元旦"}, "100.00", kThisYear},
        {"2", "", {"李四|工资|200.5|2026-03-01|", "李四||3|2026-03-03|", "李四|奖金||2026-04-01|空"}, "203.50", kThisYear},
        {"x'y", "", {"赵六|工资|5|2026-02-02|"}, "5.00", kThisYear},  // the quote finds its record and breaks nothing
    };
    for (const Case& c : cases) {
        auto w = open(0, c.member, c.type);
        EXPECT_EQ(range(w.get()), "全部日期");
        if (!*c.member && !*c.type) {
            EXPECT_EQ(sorted(shown(w.get())), sorted(kAllIncome));
            child<QDateEdit>(w.get(), "dpfrom")->setDate(QDate(2001, 1, 1));
            child<QDateEdit>(w.get(), "dpto")->setDate(QDate(2001, 1, 2));
        }
        const QStringList rows = query(w.get());
        EXPECT_EQ(sorted(rows), sorted(c.rows)) << c.member << "/" << c.type;
        EXPECT_TRUE(orderedBy(rows, 0)) << rows.join(u',').toStdString();
        EXPECT_EQ(total(w.get()), "金额总计：" + c.total + "元");
        EXPECT_EQ(range(w.get()), c.range);
        if (QLatin1String(c.member) == "1" && QLatin1String(c.type) == "5") {  // heard as they read
            EXPECT_EQ(heard(w.get(), {"lblcyID", "lblcy", "lbllxID", "lbllx", "lblJE", "lblRange"}),
                      (QStringList{"成员ID 1", "成员 张三", "类型ID 5", "类型 工资", "金额总计：100.00元", "日期范围 " + kThisYear}));
        }
    }
}

TEST_F(QueryTest, RangeRunsFromNewYearToTodayAndIn2030FindsTheRecordsOf2030)
{
    sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',1000,'2030-06-01','',6), ('1','5',9,'1930-06-01','',6);");
    App::setToday(QDate(2030, 6, 15));
    auto w = open(0, "1");
    EXPECT_EQ(child<QDateEdit>(w.get(), "dpfrom")->date(), QDate(2030, 1, 1));
    EXPECT_EQ(child<QDateEdit>(w.get(), "dpto")->date(), QDate(2030, 6, 15));
    EXPECT_EQ(query(w.get()), QStringList({"张三|工资|1000|2030-06-01|"}));
    EXPECT_EQ(total(w.get()), "金额总计：1,000.00元");
}

// The expense query picks its types from the expense types (an ID the income types do not have).
TEST_F(QueryTest, ExpenseQueryListsByTheExpenseTypes)
{
    sql("insert into 支出类型 (ID, 类型, 备注) values('8','伙食',null);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','8',12.5,'2026-02-02','菜',2), ('2','8',1234.5,'2026-02-03','',2);");
    auto w = open(1, "", "8");
    EXPECT_EQ(sorted(query(w.get())), sorted({"张三|伙食|12.5|2026-02-02|菜", "李四|伙食|1234.5|2026-02-03|"}));
    EXPECT_EQ(total(w.get()), "金额总计：1,247.00元");
}

TEST_F(QueryTest, BankDirectionAppliesOnlyWithAMemberOrBankAndNoTotalIsShown)
{
    const QStringList all = {"张三|工行|100|2026-02-01|存入|活期", "张三|工行|40|2026-03-01|支出|活期",
                             "李四|建行|500|2026-04-01|存入|定期", "张三||8|2026-05-01|存入|活期",
                             "|工行|9|2026-05-02|存入|活期",       "张三|工行|77|2025-05-02|存入|活期"};
    struct Case { const char *member, *bank; QStringList rows; };
    const Case cases[] = {
        {"", "", all},  // deposits and withdrawals of every date
        {"1", "", kMemberDeposits},
        {"", "b1", {"张三|工行|100|2026-02-01|存入|活期", "|工行|9|2026-05-02|存入|活期"}},
        {"1", "b1", {"张三|工行|100|2026-02-01|存入|活期"}},
    };
    for (const Case& c : cases) {
        auto w = open(2, c.member, c.bank);
        EXPECT_EQ(sorted(shown(w.get())), sorted(all));  // at load
        EXPECT_EQ(child<QComboBox>(w.get(), "coblx")->currentText(), "存入");
        const QStringList rows = query(w.get());
        EXPECT_EQ(sorted(rows), sorted(c.rows)) << c.member << "/" << c.bank;
        EXPECT_TRUE(orderedBy(rows, 1)) << rows.join(u',').toStdString();
        EXPECT_EQ(total(w.get()), "查询结果：");
        EXPECT_EQ(range(w.get()), *c.member || *c.bank ? kThisYear : "全部日期");
    }
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(QueryTest, BankTypingWarnsOnEveryKeyAndOnlyTheListSwitchesTheDirection)
{
    auto w = open(2, "1");
    auto* coblx = child<QComboBox>(w.get(), "coblx");
    coblx->lineEdit()->clear();
    for (const QChar c : QStringLiteral("支出"))  // one key each, as an input method hands them over
        QTest::sendKeyEvent(QTest::Click, coblx->lineEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(coblx, Qt::Key_Return);  // the combo holds the focus for its edit field
    ASSERT_EQ(script().messages().size(), 2);
    const auto m = script().messages().back();
    EXPECT_EQ(m.title + m.text, "重要提示如果您在前期银行帐内改变了条目，请引用您自定的内容");
    EXPECT_EQ(m.style, App::MsgStyle::Information);
    EXPECT_EQ(coblx->currentText(), "支出");
    // Nor does leaving the combo for the button with the mouse switch it.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    coblx->setFocus();
    QTest::mouseClick(child<QPushButton>(w.get(), "CmdqueryNow"), Qt::LeftButton);
    EXPECT_TRUE(child<QPushButton>(w.get(), "CmdqueryNow")->hasFocus());
    EXPECT_EQ(sorted(shown(w.get())), sorted(kMemberDeposits));

    // Choosing "支出" from the list, and back to "存入" with the arrow key.
    coblx->showPopup();
    QAbstractItemView* view = coblx->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(1, 0)).center());
    EXPECT_EQ(query(w.get()), QStringList({"张三|工行|40|2026-03-01|支出|活期"}));
    EXPECT_EQ(script().messages().size(), 2);
    coblx->setFocus();
    QTest::keyClick(coblx, Qt::Key_Up);
    EXPECT_EQ(sorted(query(w.get())), sorted(kMemberDeposits));
}

TEST_F(QueryTest, ALargeLedgerShowsItsFirstRowsAtOnceItsTotalOnceAllAreInAndFitsEveryCell)
{
    // 3000 more records; the widest note and amount far down the list.
    sql("with recursive n(i) as (select 1 union all select i+1 from n where i < 3000) "
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select case i % 3 when 0 then '1' else '2' end, '5', i % 50 + 0.25, '2025-05-01',"
        " 'n' || (i % 10), 5 from n;"
        "update 收入帐 set 备注 = '这是一条特别长的备注，写在很后面', 金额 = 12345678.75 where rowid = 2900;");
    Recordset oneShot;
    oneShot.open(App::conn, LedgerListing(Ledger::Income).head().text());
    const QString expected = "金额总计：" + oneShot.sum(2, 0).toGrouped() + "元";

    auto w = open(0);
    auto* grid = child<DataGrid>(w.get(), "DG");
    ASSERT_TRUE(grid->recordset()->isLoading());
    EXPECT_GT(grid->model()->rowCount(), 0);
    EXPECT_LT(grid->model()->rowCount(), oneShot.rowCount());
    EXPECT_EQ(total(w.get()), "查询结果：");  // no total from part of the rows
    ASSERT_TRUE(QTest::qWaitFor([&] { return !grid->recordset()->isLoading(); }, 10000));
    EXPECT_EQ(grid->model()->rowCount(), oneShot.rowCount());
    EXPECT_EQ(total(w.get()), expected);
    EXPECT_EQ(narrowColumns(grid), QStringList());

    // A maximised window gives the grid the room, and the last column takes what is left.
    const int before = grid->width();
    w->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->width() > before; }, 5000));
    const int last = grid->model()->columnCount() - 1;
    EXPECT_GE(grid->columnViewportPosition(last) + grid->columnWidth(last), grid->viewport()->width() - 1);

    // A query while the rows still arrive replaces them; closing while they arrive is safe.
    auto again = open(0);
    auto* grid2 = child<DataGrid>(again.get(), "DG");
    ASSERT_TRUE(grid2->recordset()->isLoading());
    click(again.get(), "CmdqueryNow");
    ASSERT_TRUE(QTest::qWaitFor([&] { return total(again.get()) != "查询结果："; }, 10000));
    EXPECT_EQ(grid2->model()->rowCount(), oneShot.rowCount());
    EXPECT_EQ(total(again.get()), expected);
    auto closed = open(0);
    ASSERT_TRUE(child<DataGrid>(closed.get(), "DG")->recordset()->isLoading());
    closed.reset();
    QCoreApplication::processEvents();
}

// Each search finds exactly the records that hold its text or lie in its range, combined with the
// member and the dates; with no member the dates do not apply, and the range line says what was searched.
TEST_F(SearchTest, NoteAndAmountFindExactlyTheirRecords)
{
    struct Case { const char* member; QString note, from, to; QStringList notes; QString total, range; };
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
        EXPECT_EQ(total(w.get()), "金额总计：" + c.total + "元");
        EXPECT_EQ(range(w.get()), c.range);
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
    const QStringList before = shown(w.get());
    struct Case { QString from, to, message; const char* mend; };
    const Case cases[] = {
        {"50", "20", "金额的“从”50 大于“到”20，请改正后再查询。", "txtFrom"},
        {".", "", "金额的“从”必须是一个数字，例如 100 或 99.50，请改正后再查询。", "txtFrom"},
        {"1", "1.2.3", "金额的“到”必须是一个数字，例如 100 或 99.50，请改正后再查询。", "txtTo"},
    };
    for (const Case& c : cases) {
        script().clearMessages();
        type(w.get(), "txtFrom", c.from);
        type(w.get(), "txtTo", c.to);
        click(w.get(), "CmdqueryNow");
        EXPECT_EQ(messageTexts(), QStringList{c.message});
        EXPECT_EQ(shown(w.get()), before);
        EXPECT_EQ(range(w.get()), "全部日期");
        EXPECT_EQ(w->focusWidget(), child<QLineEdit>(w.get(), c.mend));
    }
    // Letters never get into an amount box: a paste that holds one is refused whole.
    type(w.get(), "txtFrom", "1e3");
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtFrom")->text(), "");
    EXPECT_EQ(heard(w.get(), {"txtNote", "txtFrom", "txtTo"}), (QStringList{"备注包含", "金额从", "金额到"}));
}
