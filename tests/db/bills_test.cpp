// Reading the bills of Alipay and WeChat Pay: each layout in its encoding, texts as text, and every
// kind of broken file refused with the line it is on.
#include "bills.h"
#include "support/billfiles.h"

#include <QRandomGenerator>
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
        {"older Alipay", Layout::AlipayClassic, alipayClassicBill, "GB18030", u""_s, u"交易成功"_s, u"交易关闭"_s, u"交易成功"_s,
         u"交易成功"_s, u"yes"_s, u"已全额退款"_s, u"8"_s},
        {"newer Alipay", Layout::Alipay, alipayBill, "GB18030", u"不计收支"_s, u"交易成功"_s, u"交易关闭"_s, u"退款成功"_s,
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
            {u"T6"_s, u"2026-02-04 10:00:00"_s, u"支出"_s, u"商城"_s, u"部分退货"_s, u"10.00"_s, c.partly, column ? u"2.00"_s : QString()},
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

    struct Case {
        const char* name;
        QByteArray bytes;
        int line;
        QString says;
    };
    const Case cases[] = {
        {"amount that is no number", with([](BillLine& b) { b.amount = u"12.5元"_s; }), second, u"12.5元”不是数字"_s},
        {"a long cell quoted in part", with([](BillLine& b) { b.amount = QString(5000, u'x'); }), second, u"xxx…”不是数字"_s},
        {"amount beyond a record's", with([](BillLine& b) { b.amount = u"100000000000"_s; }), second, u"上限"_s},
        {"date that is no date", with([](BillLine& b) { b.time = u"2026-02-30 10:00:00"_s; }), second, u"不是日期"_s},
        {"no trade number", with([](BillLine& b) { b.trade.clear(); }), second, u"“交易单号”是空的"_s},
        {"header without a column", missingColumn, second - 2, u"缺少“金额(元)”列"_s},
        {"row cut short", shortRow, second, u"只有 6 列"_s},
        {"a row in another encoding", mixed, second, u"不是UTF-8编码"_s},
        {"a quote never closed", unclosed, second, u"引号没有配对"_s},
        {"UTF-16", QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(u"交易时间,交易类型"), 18), 0, u"UTF-16"_s},
        {"Big5", big5.isValid() ? big5.encode(u"交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n"_s)
                                : QByteArray("x"),
         0, u"没有认出"_s},
        {"10 MB of noise", noise, 0, u"不是文字文件"_s},
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
