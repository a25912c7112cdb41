// Reading the bills of Alipay and WeChat Pay: each layout in its encoding, texts as text, and every
// kind of broken file refused with the line it is on.
#include "bills.h"
#include "support/billfiles.h"

#include <QRandomGenerator>
#include <QSet>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Bills::Layout;

namespace {

QString summary(const Bills::Row& r)
{
    return QStringList{r.trade, r.date.toString(Qt::ISODate), Bills::kindName(r.kind), r.amount.toPlain(), r.counterparty, r.skip}.join(u'|');
}

// The error a broken file raises, as "line: text" ("none" when it reads).
QString refusal(const QByteArray& bytes)
{
    try {
        Bills::read(bytes);
    } catch (const Bills::BillError& e) {
        return QString::number(e.line()) + u": "_s + e.text();
    }
    return u"none"_s;
}

TEST(Bills, EachLayoutIsRecognisedInItsEncodingAndReadRowByRow)
{
    struct Case {
        const char* name;
        Layout layout;
        QByteArray (*write)(const QList<BillLine>&);
        const char* encoding;
        QString neither, success, closed, refunded, partly, refundColumn;
        QString refundedSkip, partlyPosted;
    };
    const Case cases[] = {
        {"older Alipay", Layout::AlipayClassic, [](const QList<BillLine>& r) { return alipayClassicBill(r); }, "GB18030", u""_s, u"交易成功"_s, u"交易关闭"_s, u"交易成功"_s,
         u"交易成功"_s, u"yes"_s, u"已全额退款"_s, u"8"_s},
        {"newer Alipay", Layout::Alipay, [](const QList<BillLine>& r) { return alipayBill(r); }, "GB18030", u"不计收支"_s, u"交易成功"_s, u"交易关闭"_s, u"退款成功"_s,
         u"交易成功"_s, u""_s, u"已退款"_s, u"10"_s},
        {"WeChat with BOM", Layout::WeChat, [](const QList<BillLine>& r) { return weChatBill(r, true); }, "UTF-8", u"/"_s,
         u"支付成功"_s, u"已关闭"_s, u"已全额退款"_s, u"已退款(￥2.00)"_s, u""_s, u"已全额退款"_s, u"8"_s},
        {"WeChat without BOM", Layout::WeChat, [](const QList<BillLine>& r) { return weChatBill(r, false); }, "UTF-8", u"/"_s,
         u"支付成功"_s, u"已关闭"_s, u"已全额退款"_s, u"已退款(￥2.00)"_s, u""_s, u"已全额退款"_s, u"8"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool column = !c.refundColumn.isEmpty();
        const QList<BillLine> lines = {
            {u"T1"_s, u"2026-02-28 12:30:00"_s, u"支出"_s, u"美团外卖"_s, u"午餐"_s, u"12.50"_s, c.success},
            {u"T2"_s, u"2026/1/31 9:00"_s, u"收入"_s, u"公司"_s, u"一月工资"_s, u"3,000.00"_s, c.success},
            {u"T3"_s, u"2026-02-01 10:00:00"_s, c.neither, u"余额宝"_s, u"转入"_s, u"500.00"_s, c.success},
            {u"T4"_s, u"2026-02-02 10:00:00"_s, u"支出"_s, u"超市"_s, u"订单"_s, u"88.00"_s, c.closed},
            {u"T5"_s, u"2026-02-03 10:00:00"_s, u"支出"_s, u"商城"_s, u"退货"_s, u"50.00"_s, c.refunded, column ? u"50.00"_s : QString()},
            // Zeros after the cents are still cents.
            {u"T6"_s, u"2026-02-04 10:00:00"_s, u"支出"_s, u"商城"_s, u"部分退货"_s, u"10.000"_s, c.partly, column ? u"2.00"_s : QString()},
            {u"T1"_s, u"2026-02-28 12:30:00"_s, u"支出"_s, u"美团外卖"_s, u"午餐"_s, u"12.50"_s, c.success},
        };
        const Bills::Bill bill = Bills::read(c.write(lines));
        EXPECT_EQ(bill.layout, c.layout);
        EXPECT_EQ(bill.encoding, QString::fromLatin1(c.encoding));
        EXPECT_EQ(bill.headerLine, firstRowLine(c.layout) - 1);
        QStringList got;
        for (const Bills::Row& r : bill.rows) {
            got << summary(r);
            EXPECT_EQ(r.line, firstRowLine(c.layout) + got.size() - 1);
        }
        const int first = firstRowLine(c.layout);
        EXPECT_EQ(got, QStringList({u"T1|2026-02-28|支出|12.5|美团外卖|"_s, u"T2|2026-01-31|收入|3000|公司|"_s,
                                    u"T3|2026-02-01||500|余额宝|不计收支"_s, u"T4|2026-02-02|支出|88|超市|交易关闭"_s,
                                    u"T5|2026-02-03|支出|50|商城|"_s + c.refundedSkip,
                                    u"T6|2026-02-04|支出|%1|商城|"_s.arg(c.partlyPosted),
                                    u"T1|2026-02-28|支出|12.5|美团外卖|与第 %1 行是同一笔交易"_s.arg(first)}));
    }
}

// The newer Alipay layout writes refunds as rows of their own: each is taken off its payment in the
// bill (which is greyed when nothing is left), a refund of a payment the bill does not hold waits to be
// ticked as income, and so do transfers and goods not yet received (as expenses). The header's totals
// are read and match the rows once refunds are taken off.
TEST(Bills, AlipayRefundsAreTakenOffTheirPayments)
{
    const QList<BillLine> lines = {
        {u"P1"_s, u"2026-03-01 10:00:00"_s, u"支出"_s, u"商城"_s, u"外套"_s, u"100.00"_s, u"交易成功"_s},
        {u"P2"_s, u"2026-03-02 10:00:00"_s, u"支出"_s, u"书店"_s, u"书"_s, u"41.21"_s, u"交易成功"_s},
        {u"P1_20260303x1"_s, u"2026-03-03 10:00:00"_s, u"不计收支"_s, u"商城"_s, u"退款-外套"_s, u"20.00"_s, u"退款成功"_s},
        {u"P2_20260303y"_s, u"2026-03-03 11:00:00"_s, u"不计收支"_s, u"书店"_s, u"退款-书"_s, u"41.21"_s, u"退款成功"_s},
        {u"P1_20260304x2"_s, u"2026-03-04 10:00:00"_s, u"不计收支"_s, u"商城"_s, u"退款-外套"_s, u"10.50"_s, u"退款成功"_s},
        {u"P9_20260305z"_s, u"2026-03-05 10:00:00"_s, u"不计收支"_s, u"花店"_s, u"退款-花"_s, u"5.00"_s, u"退款成功"_s},
        {u"T1"_s, u"2026-03-05 11:00:00"_s, u"不计收支"_s, u"余额宝"_s, u"转入"_s, u"500.00"_s, u"交易成功"_s},
        {u"W1"_s, u"2026-03-05 12:00:00"_s, u"支出"_s, u"网店"_s, u"鞋"_s, u"30.00"_s, u"等待确认收货"_s},
        {u"I1"_s, u"2026-03-05 13:00:00"_s, u"收入"_s, u"公司"_s, u"工资"_s, u"3000.00"_s, u"交易成功"_s},
    };
    const Bills::Bill bill = Bills::read(alipayBill(lines, {u"共9笔记录"_s, u"收入：1笔 3000.00元"_s, u"支出：1笔 69.50元"_s}));
    const int first = firstRowLine(Layout::Alipay);
    QStringList got;
    for (const Bills::Row& r : bill.rows)
        got << summary(r) + u"|"_s + Bills::kindName(r.tickAs) + u"|"_s + r.refunded.toPlain();
    EXPECT_EQ(got, QStringList({u"P1|2026-03-01|支出|69.5|商城|||30.5"_s,
                                u"P2|2026-03-02|支出|41.21|书店|已全额退款||41.21"_s,
                                u"P1_20260303x1|2026-03-03||20|商城|已从第 %1 行扣除||0"_s.arg(first),
                                u"P2_20260303y|2026-03-03||41.21|书店|已从第 %1 行扣除||0"_s.arg(first + 1),
                                u"P1_20260304x2|2026-03-04||10.5|商城|已从第 %1 行扣除||0"_s.arg(first),
                                u"P9_20260305z|2026-03-05||5|花店|原交易不在账本中|收入|0"_s,
                                u"T1|2026-03-05||500|余额宝|不计收支|支出|0"_s,
                                u"W1|2026-03-05|支出|30|网店|等待确认收货|支出|0"_s,
                                u"I1|2026-03-05|收入|3000|公司|||0"_s}));
    EXPECT_EQ(bill.rows[5].refundOf, u"P9"_s);
    ASSERT_TRUE(bill.stated.has_value());
    EXPECT_EQ(*bill.stated, (Bills::Totals{1, 1, Money::fromUnits(30'000'000), Money::fromUnits(695'000)}));
    EXPECT_EQ(bill.counted, *bill.stated);
    EXPECT_FALSE(Bills::read(alipayBill(lines)).stated.has_value());
}

// The older Alipay layout states its totals after the rows: what was settled is read ("待收入" and
// "待支出" are trades no row posts), and set beside what the rows come to, also when the two differ.
TEST(Bills, OlderAlipayTotalsAfterTheRowsAreRead)
{
    const QList<BillLine> lines = {
        {u"C1"_s, u"2026-02-01 10:00:00"_s, u"支出"_s, u"超市"_s, u"订单"_s, u"88.00"_s, u"交易成功"_s},
        {u"C2"_s, u"2026-02-02 10:00:00"_s, u"支出"_s, u"商城"_s, u"部分退货"_s, u"10.00"_s, u"交易成功"_s, u"2.00"_s},
        {u"C3"_s, u"2026-02-03 10:00:00"_s, u"收入"_s, u"公司"_s, u"工资"_s, u"3000.00"_s, u"交易成功"_s},
        {u"C4"_s, u"2026-02-04 10:00:00"_s, u"支出"_s, u"网店"_s, u"鞋"_s, u"60.00"_s, u"等待确认收货"_s},
    };
    const Bills::Totals rows{1, 2, Money::fromUnits(30'000'000), Money::fromUnits(960'000)};
    const struct {
        const char* name;
        QStringList after;
        std::optional<Bills::Totals> stated;
    } cases[] = {
        {"settled and pending", {u"已收入:1笔,3000.00元"_s, u"待收入:1笔,5.00元"_s, u"已支出:2笔,96.00元"_s, u"待支出:1笔,60.00元"_s}, rows},
        {"full-width colon, grouped", {u"已支出：2笔，1,096.00元"_s, u"已收入：1笔，3,000.00元"_s},
         Bills::Totals{1, 2, Money::fromUnits(30'000'000), Money::fromUnits(10'960'000)}},
        {"pending only", {u"待收入:1笔,5.00元"_s, u"待支出:1笔,60.00元"_s}, std::nullopt},
        {"none", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bills::Bill bill = Bills::read(alipayClassicBill(lines, c.after));
        EXPECT_EQ(bill.counted, rows);
        EXPECT_EQ(bill.rows.size(), lines.size());
        EXPECT_EQ(bill.stated, c.stated);
        EXPECT_EQ(bill.statedAfterRows, c.stated.has_value());
    }
}

// WeChat Pay's Excel bill reads as its CSV does, its header in row 17 or 18: shared and inline strings
// as written (commas, quotes and markup among them), amounts stored as numbers or as "¥" text, times
// stored as text or as date-formatted numbers, the header's totals from the notes above it.
TEST(Bills, WeChatWorkbookReadsAsItsCsvDoes)
{
    const QList<BillLine> lines = {
        {u"X1"_s, u"2026-02-28 12:30:00"_s, u"支出"_s, u"老王, \"小店\" <b>&</b>"_s, u"午餐"_s, u"12.50"_s, u"支付成功"_s},
        {u"X2"_s, u"2026-01-31 09:00:05"_s, u"收入"_s, u"公司"_s, u"一月, 工资"_s, u"3000.00"_s, u"已存入零钱"_s},
        {u"X3"_s, u"2026-02-01 23:59:59"_s, u"/"_s, u"零钱"_s, u"提现"_s, u"500.10"_s, u"提现已到账"_s},
        {u"X4"_s, u"2026-02-04 10:00:00"_s, u"支出"_s, u"商城"_s, u"部分退货"_s, u"10.00"_s, u"已退款(￥2.00)"_s},
        {u"X5"_s, u"2026-02-05 00:00:00"_s, u"支出"_s, u"商城"_s, u"零头"_s, u"0.07"_s, u"支付成功"_s},
    };
    const Bills::Bill csv = Bills::read(weChatBill(lines, true));
    for (int headerRow : {17, 18}) {
        SCOPED_TRACE(headerRow);
        const Bills::Bill book = Bills::read(weChatWorkbook(lines, headerRow, {u"收入：1笔 3000.00元"_s, u"支出：3笔 20.57元"_s}));
        EXPECT_EQ(book.layout, Layout::WeChat);
        EXPECT_EQ(book.encoding, Bills::kWorkbook);
        EXPECT_EQ(book.headerLine, headerRow);
        ASSERT_EQ(book.rows.size(), csv.rows.size());
        for (qsizetype i = 0; i < csv.rows.size(); ++i) {
            EXPECT_EQ(summary(book.rows[i]), summary(csv.rows[i]));
            EXPECT_EQ(book.rows[i].item, csv.rows[i].item);
            EXPECT_EQ(book.rows[i].line, headerRow + 1 + i);
        }
        ASSERT_TRUE(book.stated.has_value());
        EXPECT_EQ(*book.stated, book.counted);
    }
    EXPECT_EQ(summary(csv.rows[0]), u"X1|2026-02-28|支出|12.5|老王, \"小店\" <b>&</b>|"_s);
}

// A statement of a layout the program does not know is refused as such with its table; read with its
// columns named, its rows have trade numbers of their date, amount, counterparty, note and place among
// equal rows, the totals after the rows are left out, and a row without a date among dated ones, or
// cut short, is refused with its line.
TEST(Bills, StatementsAreReadWithTheColumnsNamed)
{
    const QByteArray statement = u"日期,金额,对方,摘要\n2026/1/5,-12.50,超市,消费\n2026/1/5,-12.50,超市,消费\n"
                                 u"2026/1/6,100,公司,工资\n2026/1/7,0.00,银行,结息\n合计,75.00,,\n"_s.toUtf8();
    Bills::Table table;
    try {
        Bills::read(statement);
        ADD_FAILURE() << "read as a bill";
    } catch (const Bills::UnknownLayout& e) {
        table = e.table();
        EXPECT_TRUE(e.text().startsWith(u"没有认出这个文件"_s));
    }
    EXPECT_EQ(table.headerLine, 1);
    EXPECT_EQ(table.header, QStringList({u"日期"_s, u"金额"_s, u"对方"_s, u"摘要"_s}));
    EXPECT_EQ(table.firstRows.size(), 4);
    EXPECT_EQ(Bills::guessDateForm(table, 0), u"yyyy/M/d"_s);
    EXPECT_EQ(Bills::guessDateForm(table, 1), QString());
    // The key the columns are remembered by: blanks, brackets' widths and empty trailing names do not
    // count, a full-width blank does (keys made before stay the same).
    EXPECT_EQ(Bills::headerKey({u" 交易\t日期 "_s, u"金额（元）"_s, u"\u3000余额"_s, QString()}), u"交易日期,金额(元),\u3000余额"_s);

    const Bills::Columns columns = *Bills::Columns::fromText(u"0;1;-1;-1;2;3;yyyy/M/d"_s);
    EXPECT_EQ(Bills::Columns::fromText(columns.toText())->toText(), columns.toText());
    EXPECT_FALSE(Bills::Columns::fromText(u"0;-1;-1;-1;2;3;yyyy/M/d"_s).has_value());  // no amount
    const Bills::Bill bill = Bills::readStatement(statement, columns);
    EXPECT_EQ(bill.layout, Layout::Statement);
    EXPECT_EQ(bill.headerLine, 1);
    QStringList got, trades;
    for (const Bills::Row& r : bill.rows) {
        got << QString::number(r.line) + u"|"_s + summary(r).section(u'|', 1);
        trades << r.trade;
    }
    EXPECT_EQ(got, QStringList({u"2|2026-01-05|支出|12.5|超市|"_s, u"3|2026-01-05|支出|12.5|超市|"_s, u"4|2026-01-06|收入|100|公司|"_s,
                                u"5|2026-01-07||0|银行|金额为零"_s}));
    // Equal rows of a day are told apart by their place; the numbers start with the day.
    EXPECT_EQ(trades[0].chopped(2), trades[1].chopped(2));
    EXPECT_TRUE(trades[0].startsWith(u"#20260105"_s) && trades[0].endsWith(u"-1"_s) && trades[1].endsWith(u"-2"_s)) << trades[0].toStdString();
    EXPECT_EQ(QSet<QString>(trades.cbegin(), trades.cend()).size(), 4);
    EXPECT_EQ(bill.counted, (Bills::Totals{1, 2, Money::fromUnits(1'000'000), Money::fromUnits(250'000)}));

    // Debit and credit columns, the counterparty first: a debit written with a minus sign is paid out
    // all the same. The same statement as an Excel workbook reads alike.
    const QStringList twoColumns = {u"对方,日期,支出,收入"_s, u"超市,2026-01-05,-88.00,"_s, u"超市,2026-01-06,88.00,"_s, u"公司,2026-01-07,,100.00"_s};
    QByteArray sheet = "<worksheet><sheetData>";
    for (const QString& line : twoColumns) {
        sheet += "<row>";
        for (const QString& cell : line.split(u','))
            sheet += "<c t=\"inlineStr\"><is><t>" + cell.toUtf8() + "</t></is></c>";
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    Bills::Columns debitAndCredit;
    debitAndCredit.date = 1;
    debitAndCredit.debit = 2;
    debitAndCredit.credit = 3;
    debitAndCredit.counterparty = 0;
    debitAndCredit.dateForm = u"yyyy-MM-dd"_s;
    for (const QByteArray& bytes : {(twoColumns.join(u'\n') + u'\n').toUtf8(), zipOf({{u"xl/worksheets/sheet1.xml"_s, sheet}})}) {
        QStringList kinds;
        for (const Bills::Row& r : Bills::readStatement(bytes, debitAndCredit).rows)
            kinds << Bills::kindName(r.kind) + r.amount.toPlain() + r.counterparty;
        EXPECT_EQ(kinds, QStringList({u"支出88超市"_s, u"支出88超市"_s, u"收入100公司"_s}));
    }

    QByteArray undated = statement;
    undated.replace("2026/1/6", "6 Jan");
    QByteArray cut = statement;
    cut.replace(",公司,工资", "");
    const struct {
        QByteArray bytes;
        QString says;
        int line;
    } refused[] = {{undated, u"第 4 行：这一行没有“yyyy/M/d”形式的日期"_s, 4},
                   {cut, u"第 4 行：这一行只有 2 列"_s, 4},
                   {"no table here\n", u"这个文件里没有找到流水的表头"_s, 0},
                   {zipOf({{u"xl/worksheets/sheet1.xml"_s, "<worksheet><sheetData><row>"}}), u"不是完好的 XML"_s, 0}};
    for (const auto& c : refused) {
        try {
            Bills::readStatement(c.bytes, columns);
            ADD_FAILURE() << "read";
        } catch (const Bills::BillError& e) {
            EXPECT_TRUE(e.text().contains(c.says)) << e.text().toStdString();
            EXPECT_EQ(e.line(), c.line);
        }
    }
}

// Quotes, commas, line breaks inside a quoted cell, emoji and what looks like SQL or markup are text:
// the counterparty as written, the line break a blank, and the note 20 characters as the user sees
// them, an emoji family one of them and never cut.
TEST(Bills, QuotedCellsAreTextWhateverTheyHold)
{
    const QString party = u"老王, \"小店\""_s;
    const QString item = u"第一行\n第二行😀👨‍👩‍👧<b>粗</b>'); DROP TABLE 支出帐;--"_s;
    const Bills::Bill bill = Bills::read(weChatBill({{u"W1"_s, u"2026-03-01 08:00:00"_s, u"支出"_s, party, item, u"9.90"_s, u"支付成功"_s},
                                                     {u"W2"_s, u"2026-03-01 09:00:00"_s, u"支出"_s, u"早餐"_s, u"/"_s, u"5"_s, u"支付成功"_s}},
                                                    false));
    ASSERT_EQ(bill.rows.size(), 2);
    EXPECT_EQ(bill.rows[0].counterparty, party);
    EXPECT_EQ(bill.rows[0].item, u"第一行 第二行😀👨‍👩‍👧<b>粗</b>'); DROP TABLE 支出帐;--"_s);
    EXPECT_EQ(Bills::note(bill.rows[0]), u"老王, \"小店\" 第一行 第二行😀👨‍👩‍👧<b"_s);
    EXPECT_EQ(bill.rows[1].line, firstRowLine(Layout::WeChat) + 2);  // the quoted line break counts
    EXPECT_EQ(Bills::note(bill.rows[1]), u"早餐"_s);
}

TEST(Bills, BrokenFilesAreRefusedNamingTheLine)
{
    const BillLine good{u"G1"_s, u"2026-02-28 12:30:00"_s, u"支出"_s, u"美团外卖"_s, u"午餐"_s, u"12.50"_s, u"支付成功"_s};
    auto with = [&good](auto change) {
        BillLine bad = good;
        bad.trade = u"B1"_s;
        change(bad);
        return weChatBill({good, bad}, true);
    };
    const int second = firstRowLine(Layout::WeChat) + 1;
    QByteArray missingColumn = weChatBill({good}, false);
    missingColumn.replace("收/支,金额(元),", "收/支,");
    QByteArray shortRow = weChatBill({good, good}, false);
    shortRow.chop(shortRow.size() - shortRow.lastIndexOf(",零钱"));
    QByteArray mixed = weChatBill({good, good}, false);
    const QByteArray utf8Party = u"美团外卖"_s.toUtf8();
    QStringEncoder gb18030("GB18030");
    const QByteArray gbParty = gb18030.encode(u"美团外卖"_s);
    mixed.replace(mixed.lastIndexOf(utf8Party), utf8Party.size(), gbParty);
    QByteArray unclosed = weChatBill({good, good}, false);
    unclosed.replace(unclosed.lastIndexOf(utf8Party), utf8Party.size(), "\"" + utf8Party);
    QStringEncoder big5("Big5");
    QByteArray noise(10 * 1024 * 1024, '\0');
    QRandomGenerator random(20);
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    QByteArray textNoise;
    for (int i = 0; i < 400000; ++i)
        textNoise += ",\"\n abc交易时间"[random.bounded(15)];

    const QByteArray workbook = weChatWorkbook({good, good}, 16);
    BillLine badAmount = good;
    badAmount.amount = u"12.5元"_s;
    const QByteArray brokenBook = weChatWorkbook({good, badAmount}, 15);

    struct Case {
        const char* name;
        QByteArray bytes;
        int line;
        QString says;
    };
    const Case cases[] = {
        {"amount that is no number", with([](BillLine& b) { b.amount = u"12.5元"_s; }), second, u"12.5元”不是数字"_s},
        {"a long cell quoted in part", with([](BillLine& b) { b.amount = QString(5000, u'x'); }), second, u"xxx…”不是数字"_s},
        {"a third decimal", with([](BillLine& b) { b.amount = u"0.001"_s; }), second, u"“金额(元)”一列的“¥0.001”有两位以上的小数"_s},
        {"a yuan sign alone", with([](BillLine& b) { b.amount.clear(); }), second, u"“金额(元)”一列的“¥”没有金额"_s},
        {"amount beyond a record's", with([](BillLine& b) { b.amount = u"100000000000"_s; }), second, u"上限"_s},
        {"grouped amount beyond a record's", with([](BillLine& b) { b.amount = u"100,000,000,000.00"_s; }), second, u"上限"_s},
        {"date that is no date", with([](BillLine& b) { b.time = u"2026-02-30 10:00:00"_s; }), second, u"不是日期"_s},
        {"no trade number", with([](BillLine& b) { b.trade.clear(); }), second, u"“交易单号”是空的"_s},
        {"header without a column", missingColumn, second - 2, u"缺少“金额(元)”列"_s},
        {"a header that two layouts share as much of is neither's", QByteArray("交易时间,交易对方,收/支,备注\n2026-03-01 10:00:00,超市,支出,\n"), 1,
         u"不是支付宝或微信支付的账单"_s},
        {"row cut short", shortRow, second, u"只有 6 列"_s},
        {"a row in another encoding", mixed, second, u"不是UTF-8编码"_s},
        {"a quote never closed", unclosed, second, u"引号没有配对"_s},
        {"UTF-16", QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(u"交易时间,交易类型"), 18), 0, u"UTF-16"_s},
        {"Big5", big5.isValid() ? big5.encode(u"交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n"_s)
                                : QByteArray("x"),
         0, u"没有认出"_s},
        {"10 MB of noise", noise, 0, u"既不是文字（CSV）文件，也不是 Excel 工作簿"_s},
        {"an older Excel file that is broken", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + noise.left(4096), 0,
         u"不是能读的旧版 Excel 工作簿"_s},
        {"a ZIP that is no workbook", zipOf({{u"readme.txt"_s, "hello"}}), 0, u"不是 Excel 工作簿"_s},
        {"a workbook cut short", workbook.left(workbook.size() / 2), 0, u"不完整或已损坏"_s},
        {"a workbook whose sheet is no XML", zipOf({{u"xl/worksheets/sheet1.xml"_s, "<worksheet><sheetData><row>"}}), 0,
         u"不是完好的 XML"_s},
        {"a broken workbook row", brokenBook, 17, u"“金额(元)”一列的“¥12.5元”不是数字"_s},
        {"text noise", textNoise, 0, u"没有认出"_s},
        {"empty", QByteArray(), 0, u"空的"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString got = refusal(c.bytes);
        EXPECT_TRUE(got.startsWith(QString::number(c.line) + u": "_s)) << got.toStdString();
        if (c.line > 0) {
            EXPECT_TRUE(got.contains(u"第 %1 行"_s.arg(c.line))) << got.toStdString();
        }
        EXPECT_TRUE(got.contains(c.says)) << got.toStdString();
    }
}

}  // namespace
