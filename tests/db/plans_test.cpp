// Recurring records and budgets in the file: the schedule arithmetic, occurrences posted at most
// once whoever posts them, templates whose member or type is gone or whose ledger or period no
// template can have, and budget figures against sums worked out here.
#include "budgets.h"
#include "connection.h"
#include "dberror.h"
#include "ledger.h"
#include "monthoverview.h"
#include "recurring.h"
#include "support/testsupport.h"
#include "session.h"
#include "store.h"

using namespace Recurring;

namespace {

QDate d(const char* iso)
{
    return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

Schedule every(Period period, int interval, int day, const char* start, const char* end = nullptr, int count = 0)
{
    return {period, interval, day, d(start), end ? d(end) : QDate(), count};
}

QStringList isoDates(const QList<QDate>& dates)
{
    QStringList out;
    for (const QDate& x : dates)
        out << x.toString(Qt::ISODate);
    return out;
}

TEST(Schedules, DueDatesFollowTheCalendar)
{
    struct Case {
        const char* name;
        Schedule schedule;
        const char* until;
        QStringList dates;
    };
    const Case cases[] = {
        {"day 31 is each month's last day, 29 February in a leap year", every(Period::Monthly, 1, 31, "2024-01-15"), "2024-05-31",
         {"2024-01-31", "2024-02-29", "2024-03-31", "2024-04-30", "2024-05-31"}},
        {"day 31 in a common year", every(Period::Monthly, 1, 31, "2023-01-31"), "2023-03-30", {"2023-01-31", "2023-02-28"}},
        {"day 31 from a start in February: each later month's own last day", every(Period::Monthly, 1, 31, "2023-02-10"),
         "2023-05-31", {"2023-02-28", "2023-03-31", "2023-04-30", "2023-05-31"}},
        {"day 29 across a year end into a leap February", every(Period::Monthly, 1, 29, "2023-12-01"), "2024-03-31",
         {"2023-12-29", "2024-01-29", "2024-02-29", "2024-03-29"}},
        {"a start after the month's day begins next month", every(Period::Monthly, 1, 10, "2026-01-15"), "2026-03-31",
         {"2026-02-10", "2026-03-10"}},
        {"the start on the day itself counts", every(Period::Monthly, 1, 15, "2026-01-15"), "2026-02-14", {"2026-01-15"}},
        {"an end date is the last possible day", every(Period::Monthly, 1, 10, "2026-01-01", "2026-03-10"), "2026-12-31",
         {"2026-01-10", "2026-02-10", "2026-03-10"}},
        {"a count", every(Period::Monthly, 1, 1, "2026-01-01", nullptr, 2), "2026-12-31", {"2026-01-01", "2026-02-01"}},
        {"every two weeks across a year end", every(Period::Weekly, 2, 1, "2025-12-20"), "2026-01-31",
         {"2025-12-20", "2026-01-03", "2026-01-17", "2026-01-31"}},
        {"weekly with a count", every(Period::Weekly, 1, 1, "2026-03-01", nullptr, 3), "2027-01-01",
         {"2026-03-01", "2026-03-08", "2026-03-15"}},
        {"every 0 weeks, as another tool may write it: every week", every(Period::Weekly, 0, 1, "2026-03-01"), "2026-03-15",
         {"2026-03-01", "2026-03-08", "2026-03-15"}},
        {"yearly on 29 February", every(Period::Yearly, 1, 1, "2024-02-29"), "2028-12-31",
         {"2024-02-29", "2025-02-28", "2026-02-28", "2027-02-28", "2028-02-29"}},
        {"yearly up to an end date", every(Period::Yearly, 1, 1, "2020-06-30", "2022-06-29"), "2030-01-01",
         {"2020-06-30", "2021-06-30"}},
        {"nothing before the start", every(Period::Monthly, 1, 5, "2026-05-01"), "2026-04-30", {}},
        {"day 30 in February of 2100, no leap year, and back to the 30th", every(Period::Monthly, 1, 30, "2100-01-30"),
         "2100-03-31", {"2100-01-30", "2100-02-28", "2100-03-30"}},
        {"an end date and a count: the count comes first", every(Period::Monthly, 1, 5, "2026-01-01", "2026-12-31", 2),
         "2027-12-31", {"2026-01-05", "2026-02-05"}},
        {"an end date and a count: the end comes first", every(Period::Weekly, 1, 1, "2026-01-01", "2026-01-15", 10),
         "2027-12-31", {"2026-01-01", "2026-01-08", "2026-01-15"}},
        {"every three weeks across 29 February", every(Period::Weekly, 3, 1, "2024-02-15"), "2024-03-31",
         {"2024-02-15", "2024-03-07", "2024-03-28"}},
        {"weekly across a year end into a new year's week", every(Period::Weekly, 1, 1, "2026-12-24"), "2027-01-07",
         {"2026-12-24", "2026-12-31", "2027-01-07"}},
        {"yearly from 29 February with a count", every(Period::Yearly, 1, 1, "2024-02-29", nullptr, 2), "2030-12-31",
         {"2024-02-29", "2025-02-28"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isoDates(datesUntil(c.schedule, d(c.until))), c.dates);
    }
}

class Plans : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('1','张三','父亲',''), ('2','李四','母亲','');"
            "insert into 支出类型 (ID, 类型, 备注) values ('01','餐饮',''), ('02','房租',''), ('03','交通','');"
            "insert into 收入类型 (ID, 类型, 备注) values ('i1','工资','');"
            "insert into 银行 (ID, 开户行, 帐号) values ('b1','工行','6222');");
        openConn();
    }
    Template monthly(const QString& ledger, const QString& member, const QString& type, const char* amount, int day,
                     const char* start)
    {
        Template t;
        t.ledger = ledger;
        t.memberId = member;
        t.typeId = type;
        t.amount = *Money::parse(QString::fromLatin1(amount));
        t.note = "定期";
        t.schedule = every(Period::Monthly, 1, day, start);
        save(App::conn, t);
        return t;
    }
    QList<Posting> postingsOf(const QList<Due>& due)
    {
        QList<Posting> out;
        for (const Due& x : due)
            out << Posting{x.what.id, x.due, x.due, x.what.amount};
        return out;
    }
};

TEST_F(Plans, AnOccurrenceIsPostedOnceWhoeverPostsItAndWhenever)
{
    const Template rent = monthly(kExpense, "1", "02", "2500.5", 31, "2026-01-01");
    const Template pay = monthly(kIncome, "2", "i1", "8000", 10, "2026-02-10");
    const QList<Due> due = dueUntil(App::conn, d("2026-02-28"));
    // Ordered by date; each with its own template.
    ASSERT_EQ(due.size(), 3);
    EXPECT_EQ(due[0].due, d("2026-01-31"));
    EXPECT_EQ(due[1].what.id, pay.id);
    EXPECT_EQ(due[2].due, d("2026-02-28"));

    // A second copy of the program read the same list; one posts, then the other tries.
    Connection other;
    other.open(dbPath());
    post(App::conn, postingsOf(due.mid(0, 2)));
    try {
        post(other, postingsOf(due));
        ADD_FAILURE() << "posted twice";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Duplicate);
    }
    other.close();
    EXPECT_EQ(rows("select 成员ID, 类型ID, 金额, 日期, 备注, 月份 from 支出帐"), QStringList({"1|02|2500.5|2026-01-31|定期|1"}));
    EXPECT_EQ(rows("select 类型ID, 金额, 日期 from 收入帐"), QStringList({"i1|8000|2026-02-10"}));
    EXPECT_EQ(rows("select 模板, 到期日, 结果, 帐, 行号 from 定期记录 order by 到期日"),
              QStringList({QString("%1|2026-01-31|入帐|支出帐|%2").arg(rent.id).arg(scalar("select rowid from 支出帐")),
                           QString("%1|2026-02-10|入帐|收入帐|%2").arg(pay.id).arg(scalar("select rowid from 收入帐"))}));

    // After a new login only the February rent is left; skipped, it is gone for good.
    App::closeConn();
    openConn();
    const QList<Due> left = dueUntil(App::conn, d("2026-02-28"));
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].due, d("2026-02-28"));
    skip(App::conn, {{rent.id, d("2026-02-28")}});
    EXPECT_TRUE(dueUntil(App::conn, d("2026-02-28")).isEmpty());
    EXPECT_THROW(post(App::conn, postingsOf(left)), DbError);
    EXPECT_EQ(scalar("select count(*) from 支出帐"), "1");

    // A template removed goes with what is recorded of it; the other stays.
    remove(App::conn, rent.id);
    EXPECT_EQ(rows("select 编号 from 定期收支"), QStringList({QString::number(pay.id)}));
    EXPECT_EQ(rows("select distinct 模板 from 定期记录"), QStringList({QString::number(pay.id)}));

    // An investment template posts into 投资帐.
    sql("insert into 投资类型 (ID, 类型, 备注) values ('s1','基金','')");
    monthly(kInvestment, "1", "s1", "300", 15, "2026-03-01");
    post(App::conn, postingsOf(dueUntil(App::conn, d("2026-03-15"))));
    EXPECT_EQ(rows("select 成员ID, 类型ID, 金额, 日期, 备注, 月份 from 投资帐"), QStringList({"1|s1|300|2026-03-15|定期|3"}));
}

TEST_F(Plans, ATemplateWhoseMemberTypeOrBankIsGoneIsListedWithTheReasonAndNotPosted)
{
    monthly(kExpense, "1", "03", "10", 1, "2026-03-01");
    monthly(kExpense, "2", "02", "20", 1, "2026-03-01");
    Template bank = monthly(kBank, "1", "活期", "30", 1, "2026-03-01");
    bank.bankId = "b1";
    bank.inOut = "存入";
    save(App::conn, bank);
    sql("delete from 支出类型 where ID = '03'; delete from 成员 where ID = '2'; delete from 银行;");
    const QList<Due> due = dueUntil(App::conn, d("2026-03-01"));
    ASSERT_EQ(due.size(), 3);
    EXPECT_EQ(due[0].problem, "支出类型“03”已不存在，请修改这条定期收支");
    EXPECT_EQ(due[1].problem, "成员“2”已不存在，请修改这条定期收支");
    EXPECT_EQ(due[2].problem, "银行“b1”已不存在，请修改这条定期收支");
    // What is gone is shown by its ID.
    EXPECT_EQ(due[0].names.type, "03");
    EXPECT_EQ(due[1].names.member, "2");
    EXPECT_EQ(due[1].names.type, "房租");
    for (const Due& x : due)
        EXPECT_THROW(post(App::conn, postingsOf({x})), DbError);
    EXPECT_EQ(scalar("select (select count(*) from 支出帐) + (select count(*) from 银行帐) + (select count(*) from 定期记录)"), "0");

    // Mended, it posts.
    sql("insert into 银行 (ID, 开户行, 帐号) values ('b1','工行','6222')");
    post(App::conn, postingsOf({dueUntil(App::conn, d("2026-03-01"))[2]}));
    EXPECT_EQ(rows("select 银行ID, 成员ID, 存或取, 类型, 金额, 日期 from 银行帐"), QStringList({"b1|1|存入|活期|30|2026-03-01"}));

    // What no version writes (another tool's): a ledger that takes no templates, a period whose
    // dates are not known. Each comes once, on its start date, with the reason, and is not posted.
    sql("pragma ignore_check_constraints = 1;"
        "insert into 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 日, 开始日期) values"
        " ('负债', '1', '02', 40, '借款', '每年', 1, NULL, '2026-01-01'), ('支出帐', '1', '02', 40, '物业', '每季', 1, 1, '2026-01-01')");
    QList<Due> odd;
    for (const Due& x : dueUntil(App::conn, d("2026-03-01")))
        if (x.what.note == "借款" || x.what.note == "物业")
            odd << x;
    ASSERT_EQ(odd.size(), 2);
    EXPECT_EQ(odd[0].problem, "帐“负债”不能用于定期收支，请修改这条定期收支");
    EXPECT_EQ(odd[1].problem, "周期“每季”无法识别，请修改这条定期收支");
    for (const Due& x : odd) {
        EXPECT_EQ(x.due, d("2026-01-01"));
        EXPECT_THROW(post(App::conn, postingsOf({x})), DbError);
    }
    EXPECT_EQ(scalar("select (select count(*) from 支出帐) + (select count(*) from 负债)"), "0");
}

// Each ledger names tables the file has; the bank ledger (its 类型 is a text of its own) and the
// debts have no type table; a name of no ledger (of no staging table) is none.
TEST_F(Plans, EveryLedgerNamesTablesOfTheFile)
{
    for (const char* name : {"收入帐", "支出帐", "投资帐", "银行帐", "负债"}) {
        SCOPED_TRACE(name);
        const std::optional<Ledger> ledger = Ledger::ofTable(QString::fromUtf8(name));
        ASSERT_TRUE(ledger.has_value());
        EXPECT_EQ(ledger->table(), QString::fromUtf8(name));
        for (const QString& table : {ledger->table(), ledger->stagingTable(), ledger->typeTable()}) {
            if (table.isEmpty())
                continue;
            EXPECT_EQ(scalar("select count(*) from sqlite_master where type = 'table' and name = '" + table + "'"), "1") << table.toStdString();
        }
        EXPECT_EQ(ledger->typeTable().isEmpty(), ledger->kind() == Ledger::Bank || ledger->kind() == Ledger::Debts);
        if (!ledger->stagingTable().isEmpty()) {
            EXPECT_EQ(Ledger::ofStagingTable(ledger->stagingTable()), ledger);
        }
    }
    for (const char* name : {"收入类型", "收入临时", "银行", "", "收入帐 "})
        EXPECT_FALSE(Ledger::ofTable(QString::fromUtf8(name)).has_value()) << name;
    for (const char* name : {"收入帐", "", "投资临时"})
        EXPECT_FALSE(Ledger::ofStagingTable(QString::fromUtf8(name)).has_value()) << name;
}

// A bank template's 类型 (活期, 定期, ...) is a text of its own, in no type table: the template
// needs only its member and bank, is named by the bank, and is posted into 银行帐.
TEST_F(Plans, ABankTemplateNeedsItsMemberAndBankOnly)
{
    Store& store = App::store();
    Template bank = monthly(kBank, "1", "活期", "30", 1, "2026-03-01");
    bank.bankId = "b1";
    bank.inOut = "存入";
    store.saveRecurring(bank);
    EXPECT_EQ(store.recurringProblem(bank), "");
    EXPECT_EQ(store.recurringNames(bank).type, "工行 存入 活期");
    const QList<Due> due = store.dueUntil(d("2026-03-01"));
    ASSERT_EQ(due.size(), 1);
    EXPECT_EQ(due[0].problem, "");
    store.postRecurring(postingsOf(due));
    EXPECT_EQ(rows("select 银行ID, 成员ID, 存或取, 类型, 金额, 日期 from 银行帐"), QStringList({"b1|1|存入|活期|30|2026-03-01"}));
    EXPECT_TRUE(store.dueUntil(d("2026-03-01")).isEmpty());
}

TEST_F(Plans, BudgetFiguresAgreeWithTheirOwnSums)
{
    // Amounts that binary fractions cannot hold, over three months and two members.
    struct Record {
        const char* member;
        const char* type;
        const char* amount;
        const char* date;
    };
    const Record records[] = {{"1", "01", "0.1", "2026-03-01"}, {"2", "01", "0.2", "2026-03-31"}, {"1", "01", "1234.5678", "2026-03-15"},
                              {"1", "02", "2500", "2026-03-05"}, {"2", "03", "99.99", "2026-02-28"}, {"1", "09", "7", "2026-03-02"},
                              {"1", "01", "5", "2026-04-01"},    {"2", "03", "0.01", "2026-12-31"}, {"2", "03", "7", "2026-03-20"}};
    QMap<QString, Money> march, marchOfOne, year;
    for (const Record& r : records) {
        sql(QString("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('%1','%2',%3,'%4','',%5)").arg(r.member, r.type, r.amount, r.date).arg(d(r.date).month()));
        const Money m = *Money::parse(QString::fromLatin1(r.amount));
        year[r.type] += m;
        if (QString(r.date).startsWith("2026-03")) {
            march[r.type] += m;
            if (QString(r.member) == "1")
                marchOfOne[r.type] += m;
        }
    }
    // The household: food by default 1000, in March its own 1234.6778; rent by default; transport none.
    Budgets::store(App::conn, "", Budgets::kDefault, {{"01", *Money::parse("1000")}, {"02", *Money::parse("2500")}});
    Budgets::store(App::conn, "", "2026-03", {{"01", *Money::parse("1234.6778")}});
    Budgets::store(App::conn, "1", Budgets::kDefault, {{"01", *Money::parse("100")}});

    const Budgets::Execution m = Budgets::execution(App::conn, "", 2026, 3);
    QStringList shown;
    for (const Budgets::Line& l : m.lines)
        shown << l.typeId + "|" + l.typeName + "|" + (l.budget ? l.budget->toPlain() : "-") + "|" + l.spent.toPlain() + "|"
                     + (l.over() ? "over" : "");
    EXPECT_EQ(shown, QStringList({"01|餐饮|1234.6778|" + march["01"].toPlain() + "|over", "02|房租|2500|2500|", "03|交通|-|7|",
                                  "09|09|-|7|"}));
    EXPECT_EQ(march["01"].toPlain(), "1234.8678");
    EXPECT_EQ(m.spent, MoneyTotal(march["01"] + march["02"] + march["03"] + march["09"]));
    EXPECT_EQ(m.budget, MoneyTotal(*Money::parse("3734.6778")));

    // One member's March: only his records, only his budgets.
    const Budgets::Execution one = Budgets::execution(App::conn, "1", 2026, 3);
    EXPECT_EQ(one.lines[0].spent, MoneyTotal(marchOfOne["01"]));
    EXPECT_EQ(*one.lines[0].budget, *Money::parse("100"));
    EXPECT_FALSE(one.lines[1].budget.has_value());

    // The year: eleven months of the default and March's own.
    const Budgets::Execution y = Budgets::execution(App::conn, "", 2026, 0);
    EXPECT_EQ(*y.lines[0].budget, *Money::parse("12234.6778"));
    EXPECT_EQ(*y.lines[1].budget, *Money::parse("30000"));
    Money all;
    for (const Money& v : year)
        all += v;
    EXPECT_EQ(y.spent, MoneyTotal(all));

    // 本月概览 of March: the month's expenses, February's beside them, the largest types first.
    const Overview::MonthFigures o = Overview::monthFigures(App::conn, d("2026-03-20"), 2);
    EXPECT_EQ(o.now.expense, m.spent);
    EXPECT_EQ(o.last.expense, MoneyTotal(*Money::parse("99.99")));
    ASSERT_EQ(o.largest.size(), 2);
    EXPECT_EQ(o.largest[0].typeId + "|" + o.largest[1].typeId, "02|01");
    // Asked for more: only the types spent on, those of equal spending in the order of their IDs.
    const auto largest = [](const char* day) {
        QStringList out;
        for (const Budgets::Line& l : Overview::monthFigures(App::conn, d(day), 5).largest)
            out << l.typeId;
        return out;
    };
    EXPECT_EQ(largest("2026-03-20"), QStringList({"02", "01", "03", "09"}));
    // April's rent has its budget but nothing spent: it is no largest.
    EXPECT_EQ(largest("2026-04-20"), QStringList({"01"}));
    // The share of a budget used: spending over a zero budget counts as over.
    const struct {
        std::optional<Money> budget;
        const char* spent;
        double percent;
    } shares[] = {{Money(), "0", 0}, {Money(), "0.5", 1000}, {*Money::parse("200"), "50", 25}, {std::nullopt, "50", 0}};
    for (const auto& c : shares)
        EXPECT_EQ((Budgets::Line{"01", "餐饮", c.budget, *Money::parse(c.spent)}.percent()), c.percent) << c.spent;

    // 复制上月 into April: March's own food and the default rent become April's own.
    EXPECT_EQ(Budgets::copyPreviousMonth(App::conn, "", 2026, 4), 2);
    EXPECT_EQ(rows("select 类型ID, 金额 from 预算 where 年月 = '2026-04' order by 类型ID"), QStringList({"01|1234.6778", "02|2500"}));
    // Stored again, the month holds only what was stored last.
    Budgets::store(App::conn, "", "2026-04", {{"02", *Money::parse("2400")}});
    EXPECT_EQ(rows("select 类型ID, 金额 from 预算 where 年月 = '2026-04'"), QStringList({"02|2400"}));
    // Into January: December of the year before.
    Budgets::store(App::conn, "", "2026-12", {{"03", *Money::parse("60")}});
    EXPECT_EQ(Budgets::copyPreviousMonth(App::conn, "", 2027, 1), 3);
    EXPECT_EQ(rows("select 类型ID, 金额 from 预算 where 年月 = '2027-01' order by 类型ID"), QStringList({"01|1000", "02|2500", "03|60"}));

    // The position: deposits less withdrawals, what is owed to others and by others.
    sql("insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b1','1','存入','活期',100,'2026-03-01'), ('b1','1','支出','活期',30.5,'2026-03-02');"
        "insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values ('2026-01-01','老王','欠人',500,'',300), ('2026-01-02','小李','人欠',200,'',150);");
    const Overview::Position p = Overview::position(App::conn);
    EXPECT_EQ(Overview::positionLine(p).section("，", 1), "银行余额 69.50，借入 300.00，借出 150.00，其它投资 0.00");
}

TEST_F(Plans, PostingOverABudgetIsNamedWithTheAmountOver)
{
    // A type's ID in records as in the budget, letter case aside.
    sql("insert into 支出类型 (ID, 类型, 备注) values ('A1','服装','')");
    Budgets::store(App::conn, "", Budgets::kDefault, {{"01", *Money::parse("100")}, {"02", *Money::parse("50")}, {"A1", *Money::parse("30")}});
    Budgets::store(App::conn, "2", "2026-03", {{"02", *Money::parse("10")}});
    sql("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1','01',60,'2026-03-02','',3);"
        "insert into 支出临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1','01',40.01,'2026-03-09','',3), ('2','02',20,'2026-03-09','',3), ('1','03',5,'2026-03-09','',3),"
        " ('1','a1',31,'2026-03-09','',3);");
    const auto touched = Budgets::touchedBy(App::conn, "支出临时");
    sql("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select 成员ID, 类型ID, 金额, 日期, 备注, 月份 from 支出临时");
    EXPECT_EQ(Budgets::overrunMessage(Budgets::overruns(App::conn, touched)),
              "以下支出超出了预算：\n2026-03 全家 餐饮：超出 0.01 元\n2026-03 李四 房租：超出 10.00 元\n2026-03 全家 服装：超出 1.00 元");
    QStringList clothes;
    for (const Budgets::Line& l : Budgets::execution(App::conn, "", 2026, 3).lines)
        if (l.typeId.compare("a1", Qt::CaseInsensitive) == 0)
            clothes << l.typeId + "|" + l.spent.toPlain() + "|" + (l.over() ? "over" : "");
    EXPECT_EQ(clothes, QStringList({"A1|31|over"}));
    EXPECT_EQ(Budgets::overrunMessage(Budgets::overruns(App::conn, {{"1", "03", "2026-03"}})), "");
}

}  // namespace
