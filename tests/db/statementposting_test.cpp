// A statement's rows against the books: records entered by hand, movements of other cards and of
// statements imported before, and the bank's own ledger written beside the income and expenses.
#include "billposting.h"
#include "bills.h"
#include "dberror.h"
#include "support/statementfiles.h"
#include "support/testsupport.h"
#include "session.h"

using namespace Qt::StringLiterals;
using Bills::Kind;

namespace {

class StatementPosting : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values('01','张三','',''); insert into 收入类型 (ID, 类型, 备注) values('g','工资',''); insert into 支出类型 (ID, 类型, 备注) values('f','伙食','');"
            "insert into 银行 (ID, 开户行, 帐号) values('b1','工行','6222');");
        openConn();
    }
    // 交通银行's layout: 借贷 beside unsigned amounts, the balance and the card number above the table.
    static Bills::Columns bocom()
    {
        Bills::Columns c;
        c.date = 0;
        c.dateForm = u"yyyy-MM-dd"_s;
        c.amount = 4;
        c.direction = 3;
        c.balance = 5;
        c.counterparty = 6;
        c.note = 7;
        return c;
    }
    // The statement as the window has it after reading: imported before, entered by hand.
    static Bills::Bill previewed(const StatementFile& file, const Bills::Columns& c = bocom())
    {
        Bills::Bill bill = Bills::readStatement(file.bytes(), c);
        BillPosting::markImported(App::conn, bill);
        BillPosting::markEnteredByHand(App::conn, bill);
        return bill;
    }
    static BillPosting::Posted post(const Bills::Bill& bill, const QString& bank = {})
    {
        BillPosting::Choices choices;
        choices.member = u"01"_s;
        choices.bank = bank;
        for (const Bills::Row& r : bill.rows)
            choices.types.insert(BillPosting::Choices::key(Bills::postedKind(r), r.counterparty),
                                 Bills::postedKind(r) == Kind::Income ? u"g"_s : u"f"_s);
        return BillPosting::post(App::conn, bill, choices);
    }
    static QStringList skips(const Bills::Bill& bill)
    {
        QStringList out;
        for (const Bills::Row& r : bill.rows)
            out << r.skip;
        return out;
    }
};

Money yuan(double amount)
{
    return Money::fromDouble(amount);
}

// A record entered by hand greys the statement's row of the same direction and amount within three
// days (the nearest), once; records an import posted, other amounts and the other direction do not;
// a greyed row posts when ticked.
TEST_F(StatementPosting, RecordsEnteredByHandGreyTheirRowOnce)
{
    sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',8000,'2026-01-04','一月工资',1);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','f',88,'2026-01-13','',1), ('01','f',88,'2026-01-10','',1), ('01','f',35,'2026-01-20','买书',1);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','f',66,'2026-01-20','',1);"
        "insert into 导入交易 values('微信支付','W1','支出帐',(select max(rowid) from 支出帐));");
    const QList<BankMovement> list = movements({{QDate(2026, 1, 5), yuan(8000), u"公司"_s, u"工资"_s},
                                                {QDate(2026, 1, 9), yuan(8000), u"公司"_s, u"奖金"_s},
                                                {QDate(2026, 1, 11), yuan(-88), u"超市"_s, QString()},
                                                {QDate(2026, 1, 11), yuan(-88), u"超市"_s, QString()},
                                                {QDate(2026, 1, 11), yuan(-88), u"超市"_s, QString()},
                                                {QDate(2026, 1, 20), yuan(35), u"书店"_s, u"退货"_s},
                                                {QDate(2026, 1, 20), yuan(-66), u"网店"_s, QString()}});
    Bills::Bill bill = previewed(bocomDebit(list));
    EXPECT_EQ(skips(bill), QStringList({u"可能已录入（2026-01-04 8,000.00 一月工资）"_s, QString(), u"可能已录入（2026-01-10 88.00）"_s,
                                        u"可能已录入（2026-01-13 88.00）"_s, QString(), QString(), QString()}));
    EXPECT_EQ(bill.rows[0].tickAs, Kind::Income);
    bill.rows.setTicked(0, true);
    const BillPosting::Posted posted = post(bill);
    EXPECT_EQ(posted.income, 3);
    EXPECT_EQ(posted.expense, 2);
    EXPECT_EQ(rows(u"select count(*), sum(金额) from 收入帐 where 日期 between '2026-01-05' and '2026-01-20'"_s), QStringList({u"3|16035"_s}));
}

// With a bank chosen each movement posted also writes 存入 or 支出 (活期) into 银行帐, in the same
// transaction: a ledger that refuses its row leaves everything as it was; a bank that is gone is refused.
TEST_F(StatementPosting, TheBankLedgerIsWrittenInTheSameTransaction)
{
    const QList<BankMovement> list = movements({{QDate(2026, 1, 5), yuan(8000), u"公司"_s, u"工资"_s},
                                                {QDate(2026, 1, 10), yuan(-88.5), u"超市"_s, u"消费"_s}});
    const Bills::Bill bill = previewed(bocomDebit(list));
    sql("create trigger stop before insert on 银行帐 when new.金额 = 88.5 begin select raise(abort, 'no'); end;");
    EXPECT_THROW(post(bill, u"b1"_s), DbError);
    EXPECT_EQ(scalar("select (select count(*) from 收入帐) + (select count(*) from 支出帐) + (select count(*) from 银行帐) + "
                     "(select count(*) from 导入交易)"),
              u"0"_s);
    sql("drop trigger stop;");
    EXPECT_THROW(post(bill, u"b9"_s), DbError);
    const BillPosting::Posted posted = post(bill, u"b1"_s);
    EXPECT_EQ(posted.bank, 2);
    EXPECT_EQ(rows(u"select 银行ID, 成员ID, 存或取, 类型, 金额, 日期 from 银行帐 order by rowid"_s),
              QStringList({u"b1|01|存入|活期|8000|2026-01-05"_s, u"b1|01|支出|活期|88.5|2026-01-10"_s}));
    EXPECT_EQ(post(previewed(bocomDebit(list))).income, 0);  // imported: nothing twice, in neither ledger
    EXPECT_EQ(scalar("select count(*) from 银行帐"), u"2"_s);
}

// After a statement is posted: the same rows on another card, or differing in letter case, are new
// movements; an overlapping statement of the same card posts only what it adds, the equal payments of
// a day told apart by their balance; a statement imported before the account was part of a movement's
// number is still known by the numbers of then.
TEST_F(StatementPosting, OnlyTheSameMovementOfTheSameAccountIsImportedBefore)
{
    const QList<BankMovement> history = movements({{QDate(2026, 1, 9), yuan(-12), u"ABC Shop"_s, u"咖啡"_s},
                                                   {QDate(2026, 1, 10), yuan(-88), u"超市"_s, u"消费"_s},
                                                   {QDate(2026, 1, 10), yuan(-88), u"超市"_s, u"消费"_s}},
                                                  yuan(1000));
    StatementFile first = bocomDebit({history[0], history[2]});  // the second payment of 88 only
    EXPECT_EQ(post(previewed(first)).expense, 2);
    StatementFile later = bocomDebit(history);
    EXPECT_EQ(skips(previewed(later)), QStringList({u"已导入过"_s, QString(), u"已导入过"_s}));
    StatementFile otherCard = later;
    otherCard.above[1] = u"账号：6222 6000 3333 4444"_s;
    EXPECT_EQ(skips(previewed(otherCard)), QStringList(3, QString()));

    // Texts compare exactly (no balance column here to tell them apart).
    Bills::Columns noBalance = bocom();
    noBalance.balance = -1;
    const QList<BankMovement> shops = movements({{QDate(2026, 2, 1), yuan(-9.9), u"ABC Shop"_s, QString()},
                                                 {QDate(2026, 2, 1), yuan(-9.9), u"abc shop"_s, QString()}});
    EXPECT_EQ(post(previewed(bocomDebit(shops.mid(0, 1)), noBalance)).expense, 1);
    EXPECT_EQ(skips(previewed(bocomDebit(shops), noBalance)), QStringList({u"已导入过"_s, QString()}));

    // Numbers of the earlier form: date, amount as written, counterparty, note, place among such rows.
    sql("delete from 支出帐; delete from 导入交易; insert into 导入交易 values('银行','2026-01-10|88|超市|消费|1','支出帐',null);");
    EXPECT_EQ(skips(previewed(later)), QStringList({QString(), u"已导入过"_s, QString()}));
}

}  // namespace

// Each record's note is the counterparty and the item as Bills::note makes them, short or cut to 20
// characters as the user sees them (an emoji and a family of them one each), the item left out where
// it is the counterparty; the amount as written, whole or with its cents; the number kept beside it.
TEST_F(StatementPosting, NotesAndAmountsPostAsTheRowsSay)
{
    const QList<BankMovement> list = movements({{QDate(2026, 1, 5), yuan(-12), u"超市"_s, u"购物"_s},
                                                {QDate(2026, 1, 5), yuan(-12.5), u"超市"_s, u"超市"_s},
                                                {QDate(2026, 1, 6), yuan(-1), QString(), u"手续费"_s},
                                                {QDate(2026, 1, 6), yuan(-2), u"一二三四五六七八九十"_s, u"一二三四五六七八九"_s},
                                                {QDate(2026, 1, 7), yuan(-3), u"一二三四五六七八九十"_s, u"一二三四五六七八九十"_s + u"甲"_s},
                                                {QDate(2026, 1, 7), yuan(-4), u"😀👨‍👩‍👧abcdefghijklmnopq"_s, u"更多"_s},
                                                {QDate(2026, 1, 8), yuan(99999999999.99), u"ABC Ltd."_s, u"x"_s}});
    const Bills::Bill bill = previewed(bocomDebit(list));
    ASSERT_EQ(bill.rows.size(), list.size());
    QStringList expected;
    for (const Bills::Row& r : bill.rows)
        expected << Bills::note(r) + u"|"_s + r.amount.toPlain() + u"|"_s + r.trade;
    post(bill);
    EXPECT_EQ(rows(u"select 备注 || '|' || 金额 || '|' || (select 交易号 from 导入交易 where 行号 = t.rowid and 帐 = t.帐) from "
                   "(select rowid, '支出帐' as 帐, * from 支出帐 union all select rowid, '收入帐', * from 收入帐) t order by 日期, 金额"_s),
              expected);
    EXPECT_EQ(expected[1].section(u'|', 0, 0), u"超市"_s);
    EXPECT_EQ(expected[4].section(u'|', 0, 0), u"一二三四五六七八九十 一二三四五六七八九"_s);
    EXPECT_EQ(expected[5].section(u'|', 0, 0), u"😀👨‍👩‍👧abcdefghijklmnopq "_s);  // twenty: the blank is the last
}
