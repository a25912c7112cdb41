#include "billfiles.h"

#include <QBuffer>
#include <QDateTime>
#include <QStringEncoder>
#include <QXmlStreamWriter>
#include <quazip.h>
#include <quazipfile.h>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr int kClassicNotes = 4, kAlipayNotes = 24, kWeChatNotes = 16;

QByteArray gb18030(const QString& text)
{
    QStringEncoder e("GB18030");
    return e.encode(text);
}

}  // namespace

QString csvCell(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    return u'"' + QString(text).replace(u"\""_s, u"\"\""_s) + u'"';
}

QByteArray alipayClassicBill(const QList<BillLine>& rows, const QStringList& totals)
{
    QString t = u"支付宝交易记录明细查询\r\n账号:[test@example.com]\r\n起始日期:[2026-01-01 00:00:00]    终止日期:[2026-03-01 00:00:00]\r\n"
                u"---------------------------------交易记录明细列表------------------------------------\r\n"_s;
    const QStringList head = {u"交易号"_s, u"商家订单号"_s, u"交易创建时间"_s, u"付款时间"_s, u"最近修改时间"_s, u"交易来源地"_s,
                              u"类型"_s, u"交易对方"_s, u"商品名称"_s, u"金额（元）"_s, u"收/支"_s, u"交易状态"_s,
                              u"服务费（元）"_s, u"成功退款（元）"_s, u"备注"_s, u"资金状态"_s};
    auto padded = [](const QStringList& cells) {
        QStringList out;
        for (const QString& c : cells)
            out << csvCell(c) + u"    \t"_s;
        return out.join(u',') + u",\r\n"_s;
    };
    t += padded(head);
    for (const BillLine& r : rows)
        t += padded({r.trade, u"T"_s + r.trade, r.time, r.time, r.time, u"其他（包括阿里巴巴和外部商家）"_s, u"即时到账交易"_s,
                     r.counterparty, r.item, r.amount, r.kind, r.status, u"0.00"_s, r.refund.isEmpty() ? u"0.00"_s : r.refund,
                     QString(), r.kind == u"支出"_s ? u"已支出"_s : u"已收入"_s});
    t += u"------------------------------------------------------------------------------------\r\n共%1笔记录\r\n"_s.arg(rows.size());
    for (const QString& line : totals)
        t += line + u"\r\n"_s;
    t += u"导出时间:[2026-03-01 10:00:00]    用户:测试\r\n"_s;
    return gb18030(t);
}

QByteArray alipayBill(const QList<BillLine>& rows, const QStringList& totals)
{
    QString t;
    for (int i = 1; i < kAlipayNotes; ++i)
        t += i == 1                   ? u"------------------------------------------------------------------------------------\n"_s
             : i - 2 < totals.size() ? totals.at(i - 2) + u"\n"_s
                                      : u"说明第%1行：导出信息,仅供参考\n"_s.arg(i);
    t += u"------------------------支付宝（中国）网络技术有限公司  电子客户回单------------------------\n"_s;
    t += u"交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,商家订单号,备注,\n"_s;
    for (const BillLine& r : rows)
        t += QStringList{r.time, u"餐饮美食"_s, csvCell(r.counterparty), u"a***@example.com"_s, csvCell(r.item), r.kind,
                         csvCell(r.amount), u"余额宝"_s, r.status, r.trade + u"\t"_s, QString(), QString()}
                 .join(u',')
             + u",\n"_s;
    return gb18030(t);
}

QByteArray weChatBill(const QList<BillLine>& rows, bool byteOrderMark)
{
    QString t;
    for (int i = 1; i < kWeChatNotes; ++i)
        t += i == 1 ? u"微信支付账单明细,,,,,,,,\n"_s : u"说明%1,共,若干笔,,,,,,\n"_s.arg(i);
    t += u"----------------------微信支付账单明细列表--------------------\n"_s;
    t += u"交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n"_s;
    for (const BillLine& r : rows)
        t += QStringList{r.time, u"商户消费"_s, csvCell(r.counterparty), csvCell(r.item), r.kind, csvCell(u"¥"_s + r.amount),
                         u"零钱"_s, r.status, r.trade + u"\t"_s, u"\t"_s, u"/"_s}
                 .join(u',')
             + u"\n"_s;
    return (byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + t.toUtf8();
}

QByteArray zipOf(const QList<QPair<QString, QByteArray>>& parts)
{
    QByteArray out;
    QBuffer buffer(&out);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    for (const auto& [name, bytes] : parts) {
        QuaZipFile file(&zip);
        file.open(QIODevice::WriteOnly, QuaZipNewInfo(name));
        file.write(bytes);
        file.close();
    }
    zip.close();
    return out;
}

namespace {

// A worksheet written cell by cell, its shared strings gathered as they come.
class SheetWriter {
public:
    SheetWriter() : xml_(&sheet_)
    {
        xml_.writeStartDocument();
        xml_.writeStartElement(u"worksheet"_s);
        xml_.writeDefaultNamespace(u"http://schemas.openxmlformats.org/spreadsheetml/2006/main"_s);
        xml_.writeStartElement(u"sheetData"_s);
    }
    void row(int r)
    {
        if (r > 1)
            xml_.writeEndElement();
        xml_.writeStartElement(u"row"_s);
        xml_.writeAttribute(u"r"_s, QString::number(r));
        row_ = r;
        column_ = 0;
    }
    void shared(const QString& text)
    {
        qsizetype at = strings_.indexOf(text);
        if (at < 0) {
            at = strings_.size();
            strings_ << text;
        }
        cell(u"s"_s, -1);
        xml_.writeTextElement(u"v"_s, QString::number(at));
        xml_.writeEndElement();
    }
    void inlineText(const QString& text)
    {
        cell(u"inlineStr"_s, -1);
        xml_.writeStartElement(u"is"_s);
        xml_.writeTextElement(u"t"_s, text);
        xml_.writeEndElement();
        xml_.writeEndElement();
    }
    void number(double value, int style)
    {
        cell(QString(), style);
        xml_.writeTextElement(u"v"_s, QString::number(value, 'g', 17));
        xml_.writeEndElement();
    }
    void skip() { ++column_; }
    QByteArray sheet()
    {
        xml_.writeEndDocument();
        return sheet_;
    }
    QByteArray sharedStrings() const
    {
        QByteArray out;
        QXmlStreamWriter x(&out);
        x.writeStartDocument();
        x.writeStartElement(u"sst"_s);
        x.writeDefaultNamespace(u"http://schemas.openxmlformats.org/spreadsheetml/2006/main"_s);
        for (const QString& s : strings_) {
            x.writeStartElement(u"si"_s);
            x.writeTextElement(u"t"_s, s);
            x.writeEndElement();
        }
        x.writeEndDocument();
        return out;
    }

private:
    void cell(const QString& type, int style)
    {
        xml_.writeStartElement(u"c"_s);
        xml_.writeAttribute(u"r"_s, QString(QChar(u'A' + column_++)) + QString::number(row_));
        if (!type.isEmpty())
            xml_.writeAttribute(u"t"_s, type);
        if (style >= 0)
            xml_.writeAttribute(u"s"_s, QString::number(style));
    }
    QByteArray sheet_;
    QXmlStreamWriter xml_;
    QStringList strings_;
    int row_ = 0, column_ = 0;
};

}  // namespace

QByteArray weChatWorkbook(const QList<BillLine>& rows, int headerRow, const QStringList& totals)
{
    SheetWriter w;
    for (int r = 1; r < headerRow; ++r) {
        w.row(r);
        w.shared(r - 2 >= 0 && r - 2 < totals.size() ? totals.at(r - 2) : u"微信支付账单明细 说明%1"_s.arg(r));
    }
    w.row(headerRow);
    for (const char* name : {"交易时间", "交易类型", "交易对方", "商品", "收/支", "金额(元)", "支付方式", "当前状态", "交易单号", "商户单号", "备注"})
        w.shared(QString::fromUtf8(name));
    const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
    for (int i = 0; i < rows.size(); ++i) {
        const BillLine& l = rows.at(i);
        const bool even = i % 2 == 0;
        w.row(headerRow + 1 + i);
        const QDateTime at = QDateTime::fromString(l.time, u"yyyy-MM-dd HH:mm:ss"_s);
        if (even && at.isValid())
            w.number(static_cast<double>(base.msecsTo(at)) / 86400000.0, i % 4 == 0 ? 1 : 2);
        else
            w.shared(l.time);
        w.shared(u"商户消费"_s);
        even ? w.inlineText(l.counterparty) : w.shared(l.counterparty);
        even ? w.shared(l.item) : w.inlineText(l.item);
        w.shared(l.kind);
        bool number = false;
        const double amount = l.amount.toDouble(&number);
        if (even && number)
            w.number(amount, 0);
        else
            w.shared(u"¥"_s + l.amount);
        w.shared(u"零钱"_s);
        w.shared(l.status);
        w.inlineText(l.trade);
        w.skip();
        w.shared(u"/"_s);
    }
    const QByteArray styles = R"(<?xml version="1.0"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd hh:mm:ss"/></numFmts>
<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="22"/><xf numFmtId="164"/></cellXfs></styleSheet>)";
    const QByteArray book = R"(<?xml version="1.0"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="微信支付账单" sheetId="1" r:id="rId7"/></sheets></workbook>)";
    const QByteArray rels = R"(<?xml version="1.0"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/bill.xml"/>
</Relationships>)";
    const QByteArray sheet = w.sheet();
    return zipOf({{u"[Content_Types].xml"_s, "<Types/>"}, {u"xl/workbook.xml"_s, book}, {u"xl/_rels/workbook.xml.rels"_s, rels},
                  {u"xl/styles.xml"_s, styles}, {u"xl/sharedStrings.xml"_s, w.sharedStrings()}, {u"xl/worksheets/bill.xml"_s, sheet}});
}

QByteArray debitCreditStatement(const QList<Movement>& rows, Money opening)
{
    QString t = u"招商银行交易流水\n账号: 6222 ****\n交易日期,交易时间,摘要,对方户名,支出金额,存入金额,余额\n"_s;
    Money balance = opening, paid, received;
    for (const Movement& m : rows) {
        const Money amount = Money::parse(m.amount).value();
        const bool in = amount > Money();
        (in ? received : paid) += in ? amount : Money() - amount;
        balance += amount;
        t += QStringList{m.date.toString(Qt::ISODate), u"12:00:00"_s, csvCell(m.note), csvCell(m.counterparty),
                         in ? QString() : csvCell((Money() - amount).toGrouped()), in ? csvCell(amount.toGrouped()) : QString(),
                         balance.toPlain()}
                 .join(u',')
             + u"\n"_s;
    }
    t += u"合计,,,,%1,%2,\n"_s.arg(csvCell(paid.toGrouped()), csvCell(received.toGrouped()));
    return "\xEF\xBB\xBF" + t.toUtf8();
}

QByteArray signedStatement(const QList<Movement>& rows)
{
    QString t = u"记账日期,交易金额,对方名称,用途,余额\n"_s;
    Money balance;
    for (const Movement& m : rows) {
        balance += Money::parse(m.amount).value();
        t += QStringList{m.date.toString(u"yyyyMMdd"_s), m.amount, csvCell(m.counterparty), csvCell(m.note), balance.toPlain()}.join(u',')
             + u"\n"_s;
    }
    return gb18030(t);
}

QByteArray billOf(Bills::Layout layout, const QList<BillLine>& rows)
{
    switch (layout) {
    case Bills::Layout::AlipayClassic:
        return alipayClassicBill(rows);
    case Bills::Layout::Alipay:
        return alipayBill(rows);
    case Bills::Layout::WeChat:
    case Bills::Layout::Statement:
        break;
    }
    return weChatBill(rows, true);
}

int firstRowLine(Bills::Layout layout)
{
    switch (layout) {
    case Bills::Layout::AlipayClassic:
        return kClassicNotes + 2;
    case Bills::Layout::Alipay:
        return kAlipayNotes + 2;
    case Bills::Layout::WeChat:
    case Bills::Layout::Statement:
        break;
    }
    return kWeChatNotes + 2;
}
