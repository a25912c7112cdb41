// Reading banks' statements as they come: the direction of the money by its sign or by a column,
// old Excel and workbooks without shared strings, amounts with a currency, dates without a year,
// tables without a header, the identity of a movement, and what a refusal says.
#include "bills.h"
#include "billtext.h"
#include "support/billfiles.h"
#include "support/statementfiles.h"

#include <QFile>
#include <QSet>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Bills::Kind;

namespace {

Money yuan(double amount)
{
    return Money::fromDouble(amount);
}

// The table read() offers for a statement (a failure when it reads the file otherwise).
Bills::Table tableOf(const QByteArray& bytes)
{
    try {
        Bills::read(bytes);
        ADD_FAILURE() << "read as a bill";
    } catch (const Bills::UnknownLayout& e) {
        return e.table();
    } catch (const Bills::BillError& e) {
        ADD_FAILURE() << "refused: " << e.text().toStdString();
    }
    return {};
}

// What a file's reading or a statement's refusal says, as "line: text" ("none" when it reads).
template <typename Read>
QString refusalOf(Read read)
{
    try {
        read();
    } catch (const Bills::UnknownLayout&) {
        return u"table"_s;
    } catch (const Bills::BillError& e) {
        return QString::number(e.line()) + u": "_s + e.text();
    }
    return u"none"_s;
}

// Each row: date, 收/支 as shown, amount, and the reason it is greyed (with how a tick posts it).
QStringList shown(const Bills::Bill& bill)
{
    QStringList out;
    for (const Bills::Row& r : bill.rows)
        out << QStringList{r.date.toString(Qt::ISODate), r.kindText, r.amount.toPlain(), r.skip,
                           r.tickAs == Kind::Neither ? QString() : Bills::kindName(r.tickAs)}
                   .join(u'|');
    return out;
}

Bills::Columns columns(int date, const QString& form, int amount, int counterparty, int note)
{
    Bills::Columns c;
    c.date = date;
    c.dateForm = form;
    c.amount = amount;
    c.counterparty = counterparty;
    c.note = note;
    return c;
}

const QList<BankMovement> kCard = movements({{QDate(2026, 1, 5), yuan(-120), u"超市"_s, u"购物"_s},
                                             {QDate(2026, 1, 8), yuan(30), u"超市"_s, u"退货"_s},
                                             {QDate(2026, 1, 20), yuan(500), u"还款"_s, u"还款"_s}});

// A credit card lists purchases above zero: with 金额为正数时 是支出 they are expenses and its refunds
// and repayments income; read as a debit card they would all be the other way. A column of its own
// says the direction where a bank writes one: the common words, and any other named by the user.
TEST(Statements, TheMoneyGoesTheWayTheSignOrTheDirectionColumnSays)
{
    Bills::Columns card = columns(0, u"yyyy/M/d"_s, 3, 2, -1);
    card.positive = Kind::Expense;
    const QByteArray cgb = cgbCredit(kCard).bytes();
    EXPECT_TRUE(tableOf(cgb).creditCard);
    EXPECT_EQ(shown(Bills::readStatement(cgb, card)),
              QStringList({u"2026-01-05|支出|120||"_s, u"2026-01-08|收入|30||"_s, u"2026-01-20|收入|500||"_s}));
    card.positive = Kind::Income;
    EXPECT_EQ(shown(Bills::readStatement(cgb, card)),
              QStringList({u"2026-01-05|收入|120||"_s, u"2026-01-08|支出|30||"_s, u"2026-01-20|支出|500||"_s}));

    // 交通银行: 借 Dr and 贷 Cr beside unsigned amounts, whatever 金额为正数时 says.
    Bills::Columns bocom = columns(0, u"yyyy-MM-dd"_s, 4, 6, 7);
    bocom.direction = 3;
    bocom.positive = Kind::Expense;
    const QByteArray debit = bocomDebit(kCard).bytes();
    EXPECT_FALSE(tableOf(debit).creditCard);
    EXPECT_EQ(shown(Bills::readStatement(debit, bocom)),
              QStringList({u"2026-01-05|支出|120||"_s, u"2026-01-08|收入|30||"_s, u"2026-01-20|收入|500||"_s}));

    // The words banks use, one row each; 冲正 is none of them until the user names it.
    const QStringList words = {u"收入"_s, u"支出"_s, u"存入"_s, u"支取"_s, u"收"_s, u"支"_s, u"贷"_s, u"借 Dr"_s, u"CR"_s, u"D"_s, u"冲正"_s, u"冲正"_s};
    StatementFile file;
    file.header = {u"日期"_s, u"收支"_s, u"金额"_s, u"摘要"_s};
    for (const QString& w : words)
        file.rows << QStringList{u"2026-02-01"_s, w, u"-10.00"_s, w};
    Bills::Columns worded = columns(0, u"yyyy-MM-dd"_s, 2, -1, 3);
    worded.direction = 1;
    Bills::Bill bill = Bills::readStatement(file.bytes(), worded);
    QStringList kinds;
    for (const Bills::Row& r : bill.rows)
        kinds << r.kindText + u":"_s + (r.skip.isEmpty() ? Bills::kindName(r.kind) : r.skip);
    EXPECT_EQ(kinds, QStringList({u"收入:收入"_s, u"支出:支出"_s, u"收入:收入"_s, u"支出:支出"_s, u"收入:收入"_s, u"支出:支出"_s,
                                  u"收入:收入"_s, u"支出:支出"_s, u"收入:收入"_s, u"支出:支出"_s, u"冲正:收支不明（冲正）"_s,
                                  u"冲正:收支不明（冲正）"_s}));
    EXPECT_EQ(bill.unknownWords, QStringList({u"冲正"_s}));
    EXPECT_EQ(bill.rows.first().amount, yuan(10));  // the amount without its sign
    worded.words.insert(u"冲正"_s, Kind::Income);
    bill = Bills::readStatement(file.bytes(), worded);
    EXPECT_TRUE(bill.unknownWords.isEmpty());
    EXPECT_EQ(shown(bill).last(), u"2026-02-01|收入|10||"_s);
    // A word named 不计收支 is greyed; a tick posts it the way its sign says.
    worded.words.insert(u"冲正"_s, Kind::Neither);
    EXPECT_EQ(shown(Bills::readStatement(file.bytes(), worded)).last(), u"2026-02-01|冲正|10|不计收支|支出"_s);
    // The direction in the first column.
    StatementFile directionFirst;
    directionFirst.header = {u"收支"_s, u"日期"_s, u"金额"_s};
    directionFirst.rows = {{u"收"_s, u"2026-02-01"_s, u"-10.00"_s}};
    Bills::Columns first = columns(1, u"yyyy-MM-dd"_s, 2, -1, -1);
    first.direction = 0;
    EXPECT_EQ(shown(Bills::readStatement(directionFirst.bytes(), first)), QStringList({u"2026-02-01|收入|10||"_s}));
}

// .xls (BIFF8, made by LibreOffice for the test) reads as its sheet shows it: texts, numbers and dates
// cells; the file that a bank calls .xls but is tab-separated GB18030 text reads as text.
TEST(Statements, OldExcelAndTextCalledXlsRead)
{
    QFile xls(ccbWorkbookPath());
    ASSERT_TRUE(xls.open(QIODevice::ReadOnly)) << ccbWorkbookPath().toStdString();
    const QByteArray book = xls.readAll();
    const Bills::Table table = tableOf(book);
    EXPECT_EQ(table.headerLine, 5);
    EXPECT_EQ(table.header.mid(4, 3), QStringList({u"交易日期"_s, u"交易金额"_s, u"账户余额"_s}));
    ASSERT_FALSE(table.firstRows.isEmpty());
    EXPECT_EQ(table.firstRows.first(), QStringList({u"1"_s, u"代发工资"_s, u"人民币"_s, u"钞"_s, u"2026-01-05"_s, u"8000"_s, u"8000"_s,
                                                    u"一月工资"_s, u"6217000099990000/某某公司"_s}));
    EXPECT_EQ(table.account, u"6217000010001234567"_s);
    EXPECT_EQ(table.periodEnd, QDate(2026, 1, 31));
    Bills::Columns c = columns(4, u"yyyy-MM-dd"_s, 5, 8, 1);
    c.balance = 6;
    c.currency = 2;
    const Bills::Bill bill = Bills::readStatement(book, c);
    EXPECT_EQ(bill.encoding, Bills::kOldWorkbook);
    EXPECT_EQ(shown(bill), QStringList({u"2026-01-05|收入|8000||"_s, u"2026-01-10|支出|88||"_s, u"2026-01-10|支出|88||"_s,
                                        u"2026-01-12|支出|1200.5||"_s, u"2026-01-21|收入|0.35|外币（美元）|收入"_s}));
    EXPECT_EQ(bill.counted, (Bills::Totals{1, 3, yuan(8000), yuan(1376.5)}));

    const QList<BankMovement> list = movements({{QDate(2026, 1, 5), yuan(8000), u"公司"_s, u"工资"_s},
                                                {QDate(2026, 1, 9), yuan(-1234.5), u"房东"_s, u"房租"_s}});
    const QByteArray text = spdbTabText(list).bytes();
    const Bills::Table tabs = tableOf(text);
    EXPECT_EQ(tabs.separator, u'\t');
    EXPECT_EQ(tabs.header.size(), 7);
    EXPECT_EQ(tabs.account, u"6225880000009999"_s);
    Bills::Columns s = columns(0, u"yyyyMMdd"_s, 4, 6, 2);
    s.direction = 3;
    EXPECT_EQ(shown(Bills::readStatement(text, s)), QStringList({u"2026-01-05|收入|8000||"_s, u"2026-01-09|支出|1234.5||"_s}));
}

// Workbooks written with inline strings and without sharedStrings.xml and styles.xml read, a bill's
// and a statement's alike.
TEST(Statements, WorkbooksWithoutSharedStringsOrStylesRead)
{
    QList<QStringList> lines = {{u"微信支付账单明细"_s}};
    for (int i = 2; i < 17; ++i)
        lines << QStringList{u"说明 %1"_s.arg(i)};
    lines << QStringList{u"交易时间"_s, u"交易类型"_s, u"交易对方"_s, u"商品"_s, u"收/支"_s, u"金额(元)"_s, u"支付方式"_s,
                         u"当前状态"_s, u"交易单号"_s, u"商户单号"_s, u"备注"_s}
          << QStringList{u"2026-02-28 12:30:00"_s, u"商户消费"_s, u"美团外卖"_s, u"午餐"_s, u"支出"_s, u"¥12.50"_s, u"零钱"_s,
                         u"支付成功"_s, u"W1"_s, QString(), u"/"_s};
    const Bills::Bill bill = Bills::read(inlineWorkbook(lines));
    EXPECT_EQ(bill.layout, Bills::Layout::WeChat);
    ASSERT_EQ(bill.rows.size(), 1);
    EXPECT_EQ(bill.rows.first().amount, yuan(12.5));

    const QByteArray statement = inlineWorkbook({{u"交易日期"_s, u"摘要"_s, u"金额"_s, u"余额"_s},
                                                 {u"2026-03-01"_s, u"工资"_s, u"5000.5"_s, u"5000.5"_s},
                                                 {u"2026-03-02"_s, u"午饭"_s, u"-25"_s, u"4975.5"_s}});
    EXPECT_EQ(tableOf(statement).header.size(), 4);
    EXPECT_EQ(shown(Bills::readStatement(statement, columns(0, u"yyyy-MM-dd"_s, 2, -1, 1))),
              QStringList({u"2026-03-01|收入|5000.5||"_s, u"2026-03-02|支出|25||"_s}));
}

// Amounts with a currency code or sign before or after them; rows in another currency than the yuan
// greyed "外币（…）" and posted only when ticked; dates without a year take it from the statement's
// period, December rows of a January statement the year before.
TEST(Statements, CurrencyCodesAndDatesWithoutAYear)
{
    const QList<BankMovement> list = movements({{QDate(2026, 1, 5), yuan(-123.18), u"商场"_s, QString()},
                                                {QDate(2026, 1, 6), yuan(-13.5), u"便利店"_s, QString()},
                                                {QDate(2026, 1, 7), yuan(50), u"退款"_s, QString()},
                                                {QDate(2026, 1, 8), yuan(-20), u"Amazon"_s, QString(), u"USD"_s}});
    Bills::Columns bocom = columns(0, u"yyyy-MM-dd"_s, 3, 2, -1);
    bocom.positive = Kind::Expense;
    const QByteArray credit = bocomCredit(list).bytes();
    EXPECT_TRUE(credit.contains("CNY 13.50") && credit.contains("CNY123.18")) << credit.constData();
    EXPECT_EQ(shown(Bills::readStatement(credit, bocom)), QStringList({u"2026-01-05|支出|123.18||"_s, u"2026-01-06|支出|13.5||"_s,
                                                                       u"2026-01-07|收入|50||"_s, u"2026-01-08|支出|20|外币（USD）|支出"_s}));
    // Codes and signs as banks place them, the sign before or after the code.
    StatementFile amounts;
    amounts.header = {u"日期"_s, u"金额"_s, u"摘要"_s};
    for (const char* cell : {"CNY 1.00", "CNY2.00", "-CNY 3.00", "CNY -4.00", "5.00 CNY", "¥6.00", "7.00元", "RMB8", "HKD 9.00", "US$10.00", "JPY 1100"})
        amounts.rows << QStringList{u"2026-01-01"_s, QString::fromUtf8(cell), QString::fromUtf8(cell)};
    QStringList read;
    for (const Bills::Row& r : Bills::readStatement(amounts.bytes(), columns(0, u"yyyy-MM-dd"_s, 1, -1, 2)).rows)
        read << r.status + (r.skip.isEmpty() ? QString() : u" "_s + r.skip);
    EXPECT_EQ(read, QStringList({u"1"_s, u"2"_s, u"-3"_s, u"-4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s, u"9 外币（HKD）"_s, u"10 外币（US$）"_s,
                                 u"1100 外币（JPY）"_s}));

    // 招商银行's credit card: 12/29 and 01/02 under "（2024年01月）".
    const QList<BankMovement> yearEnd = movements({{QDate(2023, 12, 29), yuan(-99), u"书店"_s, u"买书"_s},
                                                   {QDate(2024, 1, 2), yuan(-18), u"咖啡"_s, u"拿铁"_s},
                                                   {QDate(2024, 1, 10), yuan(117), u"还款"_s, u"谢谢"_s},
                                                   {QDate(2024, 1, 31), yuan(-6), u"面包店"_s, u"早餐"_s}});
    const QByteArray cmb = cmbCredit(yearEnd, u"2024年01月"_s).bytes();
    const Bills::Table table = tableOf(cmb);
    EXPECT_EQ(Bills::guessDateForm(table, 0), u"M/d"_s);
    EXPECT_EQ(table.periodEnd, QDate(2024, 1, 31));
    EXPECT_TRUE(table.creditCard);
    Bills::Columns cmbColumns = columns(0, u"M/d"_s, 3, -1, 2);
    cmbColumns.positive = Kind::Expense;
    EXPECT_EQ(shown(Bills::readStatement(cmb, cmbColumns)),
              QStringList({u"2023-12-29|支出|99||"_s, u"2024-01-02|支出|18||"_s, u"2024-01-10|收入|117||"_s,
                           u"2024-01-31|支出|6||"_s}));
    // Without a period above the table the user gives one; without either the statement is refused.
    QByteArray untitled = cmb;
    QStringEncoder gb("GB18030");
    untitled.replace(QByteArray(gb.encode(u"（2024年01月）"_s)), QByteArray());
    EXPECT_TRUE(refusalOf([&] { Bills::readStatement(untitled, cmbColumns); }).contains(u"请在“流水的各列”里填写账单月份"_s));
    cmbColumns.periodEnd = QDate(2024, 2, 29);
    EXPECT_EQ(Bills::readStatement(untitled, cmbColumns).rows.first().date, QDate(2023, 12, 29));

    const struct {
        const char* lines;
        QDate end;
    } periods[] = {
        {"招商银行信用卡对账单（…2024年01月）", QDate(2024, 1, 31)},
        {"起始日期：20260101 结束日期：20260131", QDate(2026, 1, 31)},
        {"账单周期：2026/01/01-2026/01/31", QDate(2026, 1, 31)},
        {"账单月份：2026/02", QDate(2026, 2, 28)},
        {"账单日 2024年01月05日", QDate(2024, 1, 5)},
        {"2023年12月\n打印时间 2024-02-01 10:00", QDate(2024, 2, 1)},
        {"卡号 6217000010001234567", QDate()},
        {"2024-13 2024年2月30日", QDate()},
    };
    for (const auto& p : periods)
        EXPECT_EQ(Bills::periodEndIn(QString::fromUtf8(p.lines)), p.end) << p.lines;
}

// A movement is known by its account (the card number above the table or in a column, else the bank
// chosen), its texts as written and its balance: the same rows on two cards, or differing in letter
// case, are two movements; two equal payments of a day are told apart by the balance after each, so
// that a statement holding only the second knows it as the second.
TEST(Statements, AMovementIsKnownByItsAccountTextsAndBalance)
{
    auto trades = [](const QByteArray& bytes, const Bills::Columns& c) {
        QStringList out;
        for (const Bills::Row& r : Bills::readStatement(bytes, c).rows)
            out << r.trade;
        return out;
    };
    Bills::Columns bocom = columns(0, u"yyyy-MM-dd"_s, 4, 6, 7);
    bocom.direction = 3;
    bocom.balance = 5;
    StatementFile one = bocomDebit(kCard), other = one;
    other.above[1] = u"账号：6222 6000 3333 4444"_s;
    EXPECT_EQ(trades(one.bytes(), bocom), trades(one.bytes(), bocom));
    const QStringList first = trades(one.bytes(), bocom), second = trades(other.bytes(), bocom);
    EXPECT_TRUE(QSet<QString>(first.cbegin(), first.cend()).intersect(QSet<QString>(second.cbegin(), second.cend())).isEmpty());

    // Without a number above the table, the bank chosen stands for the account.
    one.above.removeLast();
    Bills::Columns atBank = bocom;
    atBank.bank = u"b1"_s;
    EXPECT_NE(trades(one.bytes(), bocom).first(), trades(one.bytes(), atBank).first());

    StatementFile cased;
    cased.header = {u"日期"_s, u"金额"_s, u"对方"_s};
    cased.rows = {{u"2026-01-05"_s, u"-9.90"_s, u"ABC Shop"_s}, {u"2026-01-05"_s, u"-9.90"_s, u"abc shop"_s},
                  {u"2026-01-06"_s, u"-9.90"_s, u"ABC Shop"_s}};
    const QStringList casedTrades = trades(cased.bytes(), columns(0, u"yyyy-MM-dd"_s, 1, 2, -1));
    EXPECT_TRUE(casedTrades[0].endsWith(u"-1"_s) && casedTrades[1].endsWith(u"-1"_s));
    EXPECT_NE(casedTrades[0].toCaseFolded(), casedTrades[1].toCaseFolded());
    // The same payment on another day is another movement.
    EXPECT_TRUE(casedTrades[2].endsWith(u"-1"_s));
    EXPECT_NE(casedTrades[2], casedTrades[0]);

    // Two payments of 88 on one day: the later statement holds both, the earlier only the second.
    const QList<BankMovement> day = movements({{QDate(2026, 1, 10), yuan(-88), u"超市"_s, u"消费"_s},
                                               {QDate(2026, 1, 10), yuan(-88), u"超市"_s, u"消费"_s}},
                                              yuan(1000));
    StatementFile both = bocomDebit(day), secondOnly = both;
    secondOnly.rows.removeFirst();
    const QStringList all = trades(both.bytes(), bocom);
    EXPECT_EQ(trades(secondOnly.bytes(), bocom), all.mid(1));
    EXPECT_NE(all[0], all[1]);
}

// A table without a header row gets columns named 第 1 列…; a file that cannot be a statement says what
// it lacks; 京东 and 美团 bills, whose headers share names with Alipay's and WeChat Pay's, are tables
// whose columns the user names, not broken bills.
TEST(Statements, TablesWithoutAHeaderAndWhatARefusalSays)
{
    StatementFile bare;
    bare.rows = {{u"2026-01-05"_s, u"工资"_s, u"8000.00"_s}, {u"2026-01-06"_s, u"午饭"_s, u"-25.00"_s}};
    const Bills::Table table = tableOf(bare.bytes());
    EXPECT_EQ(table.headerLine, 0);
    EXPECT_EQ(table.header, QStringList({u"第 1 列"_s, u"第 2 列"_s, u"第 3 列"_s}));
    EXPECT_EQ(table.firstRows.size(), 2);
    EXPECT_EQ(shown(Bills::readStatement(bare.bytes(), columns(0, u"yyyy-MM-dd"_s, 2, -1, 1))),
              QStringList({u"2026-01-05|收入|8000||"_s, u"2026-01-06|支出|25||"_s}));

    StatementFile noDates;
    noDates.header = {u"序号"_s, u"摘要"_s, u"金额"_s};
    noDates.rows = {{u"1"_s, u"工资"_s, u"8000"_s}};
    StatementFile noAmounts;
    noAmounts.header = {u"日期"_s, u"摘要"_s, u"对方"_s};
    noAmounts.rows = {{u"2026-01-05"_s, u"工资"_s, u"公司"_s}};
    EXPECT_TRUE(refusalOf([&] { Bills::read(noDates.bytes()); }).contains(u"没有找到一行带日期的流水"_s));
    EXPECT_TRUE(refusalOf([&] { Bills::read(noAmounts.bytes()); }).startsWith(u"1: "_s));
    EXPECT_TRUE(refusalOf([&] { Bills::read(noAmounts.bytes()); }).contains(u"第 1 行的表头和它下面带日期的行，但没有一列是金额"_s));
    StatementFile bareNoAmounts;
    bareNoAmounts.rows = {{u"2026-01-05"_s, u"工资"_s, u"公司"_s}, {u"2026-01-06"_s, u"午饭"_s, u"食堂"_s}};
    EXPECT_TRUE(refusalOf([&] { Bills::read(bareNoAmounts.bytes()); }).contains(u"找到了带日期的行（没有表头），但没有一列是金额"_s));

    const QList<BankMovement> list = movements({{QDate(2026, 1, 5), yuan(-59), u"京东自营"_s, u"鼠标"_s},
                                                {QDate(2026, 1, 9), yuan(-100), u"白条"_s, u"还款"_s}});
    for (const StatementFile& bill : {jdBill(list), meituanBill(list)})
        EXPECT_EQ(refusalOf([&] { Bills::read(bill.bytes()); }), u"table"_s) << bill.header.join(u',').toStdString();
    Bills::Columns jd = columns(0, u"yyyy-MM-dd"_s, 3, 1, 2);
    jd.direction = 6;
    const Bills::Bill bill = Bills::readStatement(jdBill(list).bytes(), jd);
    EXPECT_EQ(shown(bill), QStringList({u"2026-01-05|支出|59||"_s, u"2026-01-09|不计收支|100|收支不明（不计收支）|"_s}));
    EXPECT_EQ(bill.unknownWords, QStringList({u"不计收支"_s}));
}

// A cell of more than a megabyte (a quoted cell full of commas and line breaks) is refused at once,
// naming the line its row starts on, in the first rows and further down alike; a megabyte reads.
TEST(Statements, ACellOverOneMegabyteIsRefusedNamingItsLine)
{
    auto full = [](qsizetype chars) {
        QString cell;
        while (cell.size() < chars)
            cell += u"a,b\n"_s;
        cell.truncate(chars);
        return cell;
    };
    StatementFile file;
    file.header = {u"日期"_s, u"金额"_s, u"摘要"_s};
    for (int i = 0; i < 10; ++i)
        file.rows << QStringList{u"2026-01-%1"_s.arg(i + 1, 2, 10, QChar(u'0')), u"-1.00"_s, u"午饭"_s};
    StatementFile early = file, late = file, fits = file;
    early.rows[1][2] = full(1024 * 1024 + 1);
    late.rows[8][2] = full(1024 * 1024 + 1);
    fits.rows[1][2] = full(1024 * 1024);
    const QString early1 = refusalOf([&] { Bills::read(early.bytes()); });
    EXPECT_TRUE(early1.startsWith(u"3: 第 3 行：这一行有一格超过了 1 MB"_s)) << early1.toStdString();
    const Bills::Columns c = columns(0, u"yyyy-MM-dd"_s, 1, -1, 2);
    EXPECT_EQ(refusalOf([&] { Bills::read(late.bytes()); }), u"table"_s);
    const QString late1 = refusalOf([&] { Bills::readStatement(late.bytes(), c); });
    // Rows 1 to 8 take one line each, the ninth's quoted cell starts on line 10.
    EXPECT_TRUE(late1.startsWith(u"10: 第 10 行：这一行有一格超过了 1 MB"_s)) << late1.left(80).toStdString();
    EXPECT_EQ(Bills::readStatement(fits.bytes(), c).rows.size(), 10);
    StatementFile fitsWide = file;
    fitsWide.rows[1][2] = full(1024 * 1024 - 1) + u"午"_s;  // a megabyte of characters, more of bytes
    EXPECT_EQ(Bills::readStatement(fitsWide.bytes(), c).rows.size(), 10);
    // A bill's cell too.
    const QString bill = refusalOf([&] {
        Bills::read(weChatBill({{u"W1"_s, u"2026-02-28 12:30:00"_s, u"支出"_s, u"美团"_s, full(1024 * 1024 + 1), u"1.00"_s, u"支付成功"_s}}, true));
    });
    EXPECT_TRUE(bill.contains(u"第 %1 行：这一行有一格超过了 1 MB"_s.arg(firstRowLine(Bills::Layout::WeChat)))) << bill.left(80).toStdString();
}

// The columns named for a header are remembered as one line with everything the dialog asks, and a
// line written before the additions reads with their defaults.
TEST(Statements, ColumnsAreRememberedWithEverythingAsked)
{
    Bills::Columns c = columns(0, u"M/d"_s, 3, 2, 1);
    c.positive = Kind::Expense;
    c.direction = 4;
    c.balance = 5;
    c.currency = 6;
    c.account = 7;
    c.bank = u"b;1=&2"_s;
    c.alsoBank = true;
    c.words = {{u"冲正"_s, Kind::Income}, {u"a;b=c&d"_s, Kind::Neither}, {u"扣款"_s, Kind::Expense}};
    c.periodEnd = QDate(2024, 1, 31);
    const auto back = Bills::Columns::fromText(c.toText());
    ASSERT_TRUE(back.has_value()) << c.toText().toStdString();
    EXPECT_EQ(back->toText(), c.toText());
    EXPECT_EQ(back->words, c.words);
    EXPECT_EQ(back->bank, c.bank);
    EXPECT_TRUE(back->alsoBank);
    EXPECT_FALSE(back->periodEnd.isValid());  // each statement has its own

    const auto before = Bills::Columns::fromText(u"0;-1;4;5;3;2;yyyy-MM-dd"_s);
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(before->positive, Kind::Income);
    EXPECT_EQ(before->direction, -1);
    EXPECT_EQ(before->balance, -1);
    EXPECT_TRUE(before->bank.isEmpty());
    QString spoilt = c.toText();
    for (const QString& bad : {spoilt.replace(u";E;"_s, u";N;"_s), c.toText().replace(u";1;b"_s, u";2;b"_s), c.toText() + u";"_s})
        EXPECT_FALSE(Bills::Columns::fromText(bad).has_value()) << bad.toStdString();
}

}  // namespace

// A statement is read from the file's bytes, not from its text made a QString: each record gives the
// cells (in UTF-8) that the text's own reading gives, in UTF-8 and GB18030 alike, with commas or
// tabs: blanks of every kind around a cell taken off, quotes opened only after blanks, doubled quotes,
// quoted line breaks counted, a quote never closed refused on its line.
TEST(Statements, StatementBytesReadCellForCellAsTheirText)
{
    const QStringList records = {
        u"  a , b ,c"_s,
        u"\"x,y\",\"he said \"\"hi\"\"\",z"_s,
        u"  \"q\"  ,\"a\"b,c\"d\"e"_s,
        u"\u00A0NBSP\u00A0,\u3000全角\u3000,\u2003em\u2003,\u0085nel\u2028,\u1680x\u205F"_s,
        u"\"multi\nline\",x\n,,\n"_s,
        u"\u3000\"after an ideographic blank\",商户,\"含，逗号\",中文😀"_s,
        u"\t\tx\t, \"\u202F\" ,\u200Bzero width\u200B"_s,
        u"last without a line end"_s,
    };
    for (const char separator : {',', '\t'}) {
        const QChar sep = QChar::fromLatin1(separator);
        QString text = records.join(u'\n');
        if (separator == '\t')
            text.replace(u',', u'\t');
        for (const bool utf8 : {true, false}) {
            const QByteArray bytes = utf8 ? text.toUtf8() : QByteArray(QStringEncoder("GB18030").encode(text));
            Bills::Text::ByteRecords byteRecords(bytes, utf8, separator);
            qsizetype at = 0, pos = 0;
            int byteLine = 1, line = 1, count = 0;
            QStringList cells;
            while (Bills::Text::nextRecord(text, pos, line, cells, sep)) {
                ASSERT_TRUE(byteRecords.next(at, byteLine)) << count;
                QStringList fromBytes;
                for (const QByteArrayView cell : byteRecords.cells())
                    fromBytes << QString::fromUtf8(cell);
                EXPECT_EQ(fromBytes, cells) << "record " << count << (utf8 ? " UTF-8" : " GB18030") << " separator " << int(separator);
                EXPECT_EQ(byteLine, line);
                ++count;
            }
            EXPECT_FALSE(byteRecords.next(at, byteLine));
            EXPECT_EQ(count, 10);
        }
    }
    // A quote never closed: the record's first line is named.
    const QByteArray open = "a,b\n\"never closed,c\nd\n";
    Bills::Text::ByteRecords unclosed(open, true, ',');
    qsizetype at = 0;
    int line = 1;
    ASSERT_TRUE(unclosed.next(at, line));
    EXPECT_EQ(refusalOf([&] { unclosed.next(at, line); }).left(5), u"2: 第 "_s);

    // Whether a cell is left as it is by cleanText, told from its bytes.
    const QStringList cleanOrNot = {u"abc"_s, u" a"_s, u"a "_s, u"a  b"_s, u"a b"_s, u"/"_s, u"a/b"_s, u"\u00A0x"_s, u"x\u0085"_s,
                                    u"x\u0080y"_s, u"x\u009Fy"_s, u"\u3000"_s, u"x\u2028y"_s, u"x\u2029y"_s, u"x\u202Fy"_s,
                                    u"x\u205Fy"_s, u"x\u1680y"_s, u"x\u200By"_s, u"中文"_s, u"😀👨‍👩‍👧"_s, u"a\u007Fb"_s, u"a\tb"_s,
                                    u"“引号”—…"_s, u"x\u2000y"_s, u"x\u200Ay"_s, u"x\u00A9y"_s, u"x\u3001y"_s, u"x\u1681y"_s};
    for (const QString& cell : cleanOrNot)
        EXPECT_EQ(Bills::Text::isCleanUtf8(cell.toUtf8()), Bills::Text::cleanText(cell) == cell) << cell.toStdString();
}

// The rows of a bill are held compactly: each row reads back as it was put in, field by field and as
// a whole, also after one is replaced or a field changed; texts that rows share read back for each.
TEST(Statements, RowsReadBackAsTheyWerePutIn)
{
    Bills::Row full;
    full.line = 12;
    full.trade = u"2026010522001"_s;
    full.date = QDate(2026, 1, 5);
    full.kind = Kind::Expense;
    full.kindText = u"支出"_s;
    full.counterparty = u"老王, \"小店\" 😀"_s;
    full.item = u"第一行 第二行"_s;
    full.amount = yuan(12.5);
    full.refunded = yuan(2.25);
    full.status = u"交易成功"_s;
    full.skip = u"已全额退款"_s;
    full.tickAs = Kind::Income;
    full.ticked = true;
    full.refundOf = u"P9"_s;
    full.refundedFrom = 7;
    full.earlierLedger = u"支出帐"_s;
    full.earlierRecord = 1234567890123;
    auto fields = [](const Bills::Row& r) {
        return QStringList{QString::number(r.line), r.trade, r.date.toString(Qt::ISODate), Bills::kindName(r.kind), r.kindText,
                           r.counterparty, r.item, r.amount.toPlain(), r.refunded.toPlain(), r.status, r.skip,
                           Bills::kindName(r.tickAs), r.ticked ? u"ticked"_s : QString(), r.refundOf, QString::number(r.refundedFrom),
                           r.earlierLedger, QString::number(r.earlierRecord)};
    };
    Bills::Rows rows;
    rows << Bills::Row() << full << full;
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(fields(rows[0]), fields(Bills::Row()));
    EXPECT_EQ(fields(rows[1]), fields(full));
    EXPECT_EQ(fields(rows.last()), fields(full));
    EXPECT_EQ(rows.counterpartyKey(1), rows.counterpartyKey(2));
    EXPECT_EQ(rows.counterparty(2), full.counterparty);
    EXPECT_TRUE(rows.skipped(1) && rows.isRefund(1) && !rows.skipped(0));
    EXPECT_EQ(rows.posts(1), Bills::posts(full));
    EXPECT_EQ(rows.postedKind(1), Kind::Income);

    rows.setTicked(1, false);
    rows.setSkip(1, QString());
    rows.setAmount(1, yuan(10));
    rows.setEarlier(1, u"收入帐"_s, 5);
    Bills::Row changed = full;
    changed.ticked = false;
    changed.skip.clear();
    changed.amount = yuan(10);
    changed.earlierLedger = u"收入帐"_s;
    changed.earlierRecord = 5;
    EXPECT_EQ(fields(rows[1]), fields(changed));
    EXPECT_TRUE(rows.lowersEarlier(1));
    EXPECT_EQ(fields(rows[2]), fields(full));  // its twin keeps its own

    Bills::Row other = full;
    other.counterparty = u"新的对方"_s;
    other.trade = u"X1"_s;
    rows.replace(2, other);
    EXPECT_EQ(fields(rows[2]), fields(other));
    int seen = 0;
    for (const Bills::Row& r : rows)
        seen += r.line;
    EXPECT_EQ(seen, 24);

    // More counterparties than are kept once: each still reads back as it was, and rows of one
    // number of a counterparty have that counterparty.
    Bills::Rows many;
    for (int i = 0; i < 150000; ++i) {
        Bills::Row r;
        r.counterparty = i % 2 == 0 ? u"对方 %1"_s.arg(i / 2) : u"常客"_s;
        many << r;
    }
    int wrong = 0;
    for (qsizetype i = 0; i < many.size(); ++i)
        wrong += many.counterparty(i) != (i % 2 == 0 ? u"对方 %1"_s.arg(i / 2) : u"常客"_s);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(many.counterpartyKey(1), many.counterpartyKey(149999));
    EXPECT_NE(many.counterpartyKey(0), many.counterpartyKey(2));
}

// Amounts of plain digits, read at once, are read as amounts written any other way are: signs,
// leading zeros and one or two decimals; more decimals, more than a record takes and an empty cell
// refused as before, naming the column and the line.
TEST(Statements, PlainAmountsReadAsAnyOther)
{
    StatementFile file;
    file.header = {u"日期"_s, u"金额"_s, u"余额"_s};
    const QStringList cells = {u"007.10"_s, u"+12"_s, u"-0.50"_s, u"12.3"_s, u"1,234.50"_s, u"-99999999999.99"_s, u" 8.00 "_s};
    for (const QString& cell : cells)
        file.rows << QStringList{u"2026-01-05 10:00:00"_s, cell, cell};
    QStringList read;
    const Bills::Bill bill = Bills::readStatement(file.bytes(), columns(0, u"yyyy-MM-dd"_s, 1, -1, -1));
    for (const Bills::Row& r : bill.rows)
        read << r.date.toString(Qt::ISODate) + u" "_s + r.status + u" "_s + Bills::kindName(r.kind);
    EXPECT_EQ(read, QStringList({u"2026-01-05 7.1 收入"_s, u"2026-01-05 12 收入"_s, u"2026-01-05 -0.5 支出"_s, u"2026-01-05 12.3 收入"_s,
                                 u"2026-01-05 1234.5 收入"_s, u"2026-01-05 -99999999999.99 支出"_s, u"2026-01-05 8 收入"_s}));
    // The balance as a number: "1,234.50" and "1234.5" are one balance, so one identity.
    Bills::Columns withBalance = columns(0, u"yyyy-MM-dd"_s, 1, -1, -1);
    withBalance.balance = 2;
    StatementFile same;
    same.header = file.header;
    same.rows = {{u"2026-01-05"_s, u"-1.00"_s, u"1,234.50"_s}, {u"2026-01-05"_s, u"-1.00"_s, u"1234.5"_s}};
    const Bills::Bill twins = Bills::readStatement(same.bytes(), withBalance);
    EXPECT_EQ(twins.rows[0].trade.chopped(2), twins.rows[1].trade.chopped(2));
    EXPECT_TRUE(twins.rows[1].trade.endsWith(u"-2"_s));

    const struct {
        const char* cell;
        const char* says;
    } refused[] = {
        {"12.345", "有两位以上的小数"}, {"100000000000.00", "超过了一笔帐的上限"}, {"", "没有金额"}, {"12,34", "不是数字"}, {"--1", "不是数字"},
    };
    for (const auto& r : refused) {
        StatementFile bad;
        bad.header = file.header;
        bad.rows = {{u"2026-01-05"_s, u"1.00"_s, QString()}, {u"2026-01-06"_s, QString::fromUtf8(r.cell), QString()}};
        const QString says = refusalOf([&] { Bills::readStatement(bad.bytes(), columns(0, u"yyyy-MM-dd"_s, 1, -1, -1)); });
        EXPECT_TRUE(says.startsWith(u"3: 第 3 行：“金额”"_s) && says.contains(QString::fromUtf8(r.says))) << r.cell << ": " << says.toStdString();
    }
    // A date cell longer than a date and its time is no date, however it starts.
    StatementFile longDate;
    longDate.header = file.header;
    longDate.rows = {{u"2026-01-05"_s, u"1.00"_s, QString()}, {u"2026-01-06 10:00:00 and a great deal more text"_s, u"2.00"_s, QString()}};
    EXPECT_EQ(Bills::readStatement(longDate.bytes(), columns(0, u"yyyy-MM-dd"_s, 1, -1, -1)).rows.size(), 1);
}

// A workbook's sheet reads as Excel shows it: shared strings of several runs without their phonetic
// guides, inline strings with CDATA and character references, numbers as stored (no float noise, no
// zeros Excel would not show), numbers in a date format as dates, rows and cells the sheet leaves out
// as empty ones, commas and quotes quoted and line breaks made blanks.
TEST(Statements, WorkbookSheetsReadAsExcelShowsThem)
{
    const QByteArray strings = R"(<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<si><t>日期</t></si><si><t>金额</t></si><si><r><t>对</t></r><r><rPr><b/></rPr><t xml:space="preserve">方 </t></r><rPh sb="0" eb="1"><t>ドウ</t></rPh></si>
<si><t>摘要</t></si><si><t>老王, "小店"</t></si></sst>)";
    const QByteArray styles = R"(<?xml version="1.0"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/></numFmts>
<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/></cellXfs></styleSheet>)";
    const QByteArray sheet = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="2"><c r="A2" t="s"><v>0</v></c><c r="B2" t="s"><v>1</v></c><c r="C2" t="s"><v> 2 </v></c><c r="D2" t="s"><v>3</v></c>
 <c r="E2" t="inlineStr"><is><t>数</t></is></c></row>
<row r="3"><c r="A3" s="1"><v>46023</v></c><c r="B3"><v>-0.30000000000000004</v></c><c r="C3" t="s"><v>4</v></c>
 <c r="D3" t="inlineStr"><is><t><![CDATA[第一行
第二行]]></t></is></c><c r="E3"><v>1e-05</v></c></row>
<row r="5"><c r="A5" s="2"><v>46024.5</v></c><c r="B5"><v>12.50</v></c><c r="D5" t="inlineStr"><is><r><t>&#x4E2D;&amp;</t></r><r><t>&lt;b&gt;</t></r></is></c>
 <c r="E5"><v>123456789012345678</v></c></row>
<row><c s="1"><v>46025</v></c><c><v>007</v></c><c t="str"><v>007</v></c><c t="b"><v>1</v></c><c><v>-0</v></c></row>
<row><c s="1"><v>46026</v></c><c><v>100.0</v></c><c/><c/><c><v>1234.56</v></c><c/></row>
</sheetData></worksheet>)";
    const QByteArray book = zipOf({{u"[Content_Types].xml"_s, "<Types/>"}, {u"xl/sharedStrings.xml"_s, strings},
                                   {u"xl/styles.xml"_s, styles}, {u"xl/worksheets/sheet1.xml"_s, sheet}});
    const Bills::Table table = tableOf(book);
    EXPECT_EQ(QString::fromUtf8(table.sheet),
              u"\n日期,金额,对方 ,摘要,数\n"
              "2026-01-01 00:00:00,-0.3,\"老王, \"\"小店\"\"\",第一行 第二行,1e-05\n\n"
              "2026-01-02 12:00:00,12.5,,中&<b>,1.23456789012346e+17\n"
              "2026-01-03 00:00:00,7,007,1,0\n"
              "2026-01-04 00:00:00,100,,,1234.56,"_s);
    EXPECT_EQ(table.header, QStringList({u"日期"_s, u"金额"_s, u"对方"_s, u"摘要"_s, u"数"_s}));
    const Bills::Bill bill = Bills::readStatement(book, columns(0, u"yyyy-MM-dd"_s, 1, 2, 3), table.sheet);
    ASSERT_EQ(bill.rows.size(), 4);
    EXPECT_EQ(bill.rows[0].counterparty, u"老王, \"小店\""_s);
    EXPECT_EQ(bill.rows[0].item, u"第一行 第二行"_s);
    EXPECT_EQ(bill.rows[1].line, 5);
    // Read again from the workbook itself, the same.
    EXPECT_EQ(Bills::readStatement(book, columns(0, u"yyyy-MM-dd"_s, 1, 2, 3)).rows.last().trade, bill.rows.last().trade);
}
