#include "statementfiles.h"

#include "billfiles.h"

#include <QStringEncoder>
#include <QXmlStreamWriter>

using namespace Qt::StringLiterals;

namespace {

Money negated(Money m)
{
    return Money() - m;
}

Money absolute(Money m)
{
    return m < Money() ? negated(m) : m;
}

// A card's purchases above zero, its repayments and refunds below: the household's sign turned.
QString creditSign(Money m)
{
    return negated(m).toPlain();
}

QString twoDecimals(Money m)
{
    const QString plain = absolute(m).toPlain();
    const qsizetype point = plain.indexOf(u'.');
    const QString fixed = point < 0 ? plain + u".00"_s : plain.size() - point == 2 ? plain + u"0"_s : plain;
    return (m < Money() ? u"-"_s : QString()) + fixed;
}

QString yuanName(const QString& code)
{
    if (code == u"USD"_s)
        return u"美元"_s;
    if (code == u"HKD"_s)
        return u"港币"_s;
    if (code == u"JPY"_s)
        return u"日元"_s;
    return code.isEmpty() ? u"人民币"_s : code;
}

}  // namespace

QList<BankMovement> movements(std::initializer_list<BankMovement> list, Money opening)
{
    QList<BankMovement> out;
    Money balance = opening;
    for (BankMovement m : list) {
        if (m.currency.isEmpty())
            balance += m.amount;
        m.balance = balance;
        out << m;
    }
    return out;
}

QByteArray StatementFile::bytes() const
{
    QString t;
    for (const QString& line : above)
        t += line + u"\n"_s;
    auto cells = [this](const QStringList& row) {
        QStringList out;
        for (const QString& c : row)
            out << (separator == u',' ? csvCell(c) : c);
        return out.join(separator) + u"\n"_s;
    };
    if (!header.isEmpty())
        t += cells(header);
    for (const QStringList& r : rows)
        t += cells(r);
    for (const QString& line : below)
        t += line + u"\n"_s;
    switch (encoding) {
    case Encoding::Utf8WithMark:
        return "\xEF\xBB\xBF" + t.toUtf8();
    case Encoding::Utf8:
        return t.toUtf8();
    case Encoding::Gb18030:
        break;
    }
    QStringEncoder gb("GB18030");
    return gb.encode(t);
}

StatementFile icbcDebit(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"中国工商银行借记卡账户历史明细清单"_s, u"卡号: 6222 0212 3456 7890"_s, u"起止日期: 2026-01-01 — 2026-01-31"_s};
    f.header = {u"交易日期"_s, u"摘要"_s, u"交易详情"_s, u"交易场所"_s, u"交易国家或地区简称"_s, u"钞/汇"_s, u"交易金额(收入)"_s,
                u"交易金额(支出)"_s, u"交易币种"_s, u"记账金额(收入)"_s, u"记账金额(支出)"_s, u"记账币种"_s, u"余额"_s, u"对方户名"_s, u"对方账户"_s};
    for (const BankMovement& m : list) {
        const bool in = m.amount > Money();
        const QString amount = absolute(m.amount).toGrouped();
        f.rows << QStringList{m.date.toString(Qt::ISODate), m.note, m.note, u"网上银行"_s, u"CHN"_s, u"钞"_s, in ? amount : QString(),
                              in ? QString() : amount, u"人民币"_s, in ? amount : QString(), in ? QString() : amount,
                              u"人民币"_s, m.balance.toGrouped(), m.party, u"6222****0001"_s};
    }
    f.below = {u"人民币合计,,,,,,,,,,,,,,"_s};
    return f;
}

StatementFile cmbCredit(const QList<BankMovement>& list, const QString& period)
{
    StatementFile f;
    f.above = {u"招商银行信用卡对账单（%1）"_s.arg(period), u"持卡人：张三"_s};
    f.header = {u"交易日"_s, u"记账日"_s, u"交易摘要"_s, u"人民币金额"_s, u"卡号末四位"_s, u"交易地金额"_s};
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(u"MM/dd"_s), m.date.addDays(1).toString(u"MM/dd"_s), m.party + u" "_s + m.note,
                              creditSign(m.amount), u"8888"_s, creditSign(m.amount)};
    f.encoding = StatementFile::Encoding::Gb18030;
    return f;
}

StatementFile cgbCredit(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"广发银行信用卡账单明细"_s, u"账单周期：2026/01/01-2026/01/31"_s};
    f.header = {u"交易日期"_s, u"记账日期"_s, u"交易摘要"_s, u"交易金额"_s, u"交易币种"_s};
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(u"yyyy/MM/dd"_s), m.date.toString(u"yyyy/MM/dd"_s), m.party, creditSign(m.amount), u"人民币"_s};
    return f;
}

StatementFile citicCredit(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"中信银行信用卡 交易明细"_s};
    f.header = {u"交易日期"_s, u"入账日期"_s, u"交易描述"_s, u"卡号后四位"_s, u"交易币种"_s, u"结算币种"_s, u"交易金额"_s, u"结算金额"_s};
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(u"yyyyMMdd"_s), m.date.toString(u"yyyyMMdd"_s), m.party, u"1234"_s, u"CNY"_s, u"CNY"_s,
                              creditSign(m.amount), creditSign(m.amount)};
    return f;
}

StatementFile bmoCredit(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"Following data is valid as of 20260131 10:00:00 (Eastern Time)"_s, QString()};
    f.header = {u"Item #"_s, u"Card #"_s, u"Transaction Date"_s, u"Posting Date"_s, u"Transaction Amount"_s, u"Description"_s};
    int item = 0;
    for (const BankMovement& m : list)
        f.rows << QStringList{QString::number(++item), u"'5191230000001234'"_s, m.date.toString(u"yyyyMMdd"_s),
                              m.date.toString(u"yyyyMMdd"_s), creditSign(m.amount), m.party};
    f.encoding = StatementFile::Encoding::Utf8;
    return f;
}

StatementFile bocomDebit(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"交通银行 账户交易明细"_s, u"账号：6222 6000 1111 2222"_s};
    f.header = {u"交易日期"_s, u"交易时间"_s, u"交易地点"_s, u"借贷"_s, u"交易金额"_s, u"余额"_s, u"对方户名"_s, u"摘要"_s};
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(Qt::ISODate), u"10:00:00"_s, u"上海"_s, m.amount > Money() ? u"贷 Cr"_s : u"借 Dr"_s,
                              absolute(m.amount).toGrouped(), m.balance.toGrouped(), m.party, m.note};
    return f;
}

StatementFile bocomCredit(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"交通银行信用卡电子账单"_s, u"卡号：6222 53** **** 4321"_s};
    f.header = {u"交易日期"_s, u"记账日期"_s, u"交易说明"_s, u"交易金额"_s, u"入账金额"_s};
    int i = 0;
    for (const BankMovement& m : list) {
        const QString code = m.currency.isEmpty() ? u"CNY"_s : m.currency;
        // Both ways the bank writes them: with a blank after the code and without.
        const QString amount = code + (i++ % 2 ? u" "_s : QString()) + twoDecimals(negated(m.amount));
        f.rows << QStringList{m.date.toString(Qt::ISODate), m.date.toString(Qt::ISODate), m.party, amount, amount};
    }
    return f;
}

StatementFile bocDebit(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"中国银行交易流水明细清单"_s, u"借记卡号：6217 8500 0000 1234"_s};
    f.header = {u"记账日期"_s, u"记账时间"_s, u"币别"_s, u"金额"_s, u"余额"_s, u"交易名称"_s, u"渠道"_s, u"网点名称"_s, u"附言"_s,
                u"对方账户名"_s, u"对方卡号/账号"_s};
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(Qt::ISODate), u"10:00:00"_s, yuanName(m.currency), twoDecimals(m.amount), m.balance.toPlain(),
                              m.note, u"网上银行"_s, QString(), m.note, m.party, u"6217****0002"_s};
    f.encoding = StatementFile::Encoding::Gb18030;
    return f;
}

StatementFile hsbcHongKong(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"HSBC Premier Account Statement"_s, u"Account Number: 012-345678-833"_s};
    f.header = {u"Date"_s, u"Description"_s, u"Debit"_s, u"Credit"_s, u"Balance"_s};
    for (const BankMovement& m : list) {
        const QString code = m.currency.isEmpty() ? u"CNY"_s : m.currency;
        const QString amount = code + u" "_s + twoDecimals(absolute(m.amount));
        f.rows << QStringList{m.date.toString(u"d MMM yyyy"_s), m.party, m.amount < Money() ? amount : QString(),
                              m.amount > Money() ? amount : QString(), m.balance.toPlain()};
    }
    f.encoding = StatementFile::Encoding::Utf8;
    return f;
}

StatementFile spdbTabText(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"上海浦东发展银行 账户明细"_s, u"账号\t6225 8800 0000 9999"_s};
    f.header = {u"交易日期"_s, u"交易时间"_s, u"摘要"_s, u"收/支"_s, u"交易金额"_s, u"余额"_s, u"对方户名"_s};
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(u"yyyyMMdd"_s), u"101010"_s, m.note, m.amount > Money() ? u"收"_s : u"支"_s,
                              absolute(m.amount).toGrouped(), m.balance.toGrouped(), m.party};
    f.separator = u'\t';
    f.encoding = StatementFile::Encoding::Gb18030;
    return f;
}

StatementFile jdBill(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"导出信息：京东账号 jd_user"_s, u"日期区间：2026-01-01 至 2026-01-31"_s, QString()};
    f.header = {u"交易时间"_s, u"商户名称"_s, u"交易说明"_s, u"金额"_s, u"收/付款方式"_s, u"交易状态"_s, u"收/支"_s, u"交易分类"_s,
                u"交易订单号"_s, u"商家订单号"_s, u"备注"_s};
    int i = 0;
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(Qt::ISODate) + u" 10:00:00"_s, m.party, m.note, absolute(m.amount).toPlain(),
                              u"京东白条"_s, u"交易成功"_s, m.amount > Money() ? u"收入"_s : m.note == u"还款"_s ? u"不计收支"_s : u"支出"_s,
                              u"网购"_s, u"JD%1\t"_s.arg(++i), QString(), QString()};
    return f;
}

StatementFile meituanBill(const QList<BankMovement>& list)
{
    StatementFile f;
    f.above = {u"美团账单"_s, u"起始时间：2026-01-01 终止时间：2026-01-31"_s};
    f.header = {u"交易创建时间"_s, u"交易成功时间"_s, u"交易类型"_s, u"订单标题"_s, u"收/支"_s, u"支付方式"_s, u"订单金额"_s,
                u"实付金额"_s, u"备注"_s};
    for (const BankMovement& m : list)
        f.rows << QStringList{m.date.toString(Qt::ISODate) + u" 12:00:00"_s, m.date.toString(Qt::ISODate) + u" 12:00:01"_s, u"外卖"_s,
                              m.party + u" "_s + m.note, m.amount > Money() ? u"收入"_s : u"支出"_s, u"美团月付"_s,
                              absolute(m.amount).toPlain(), absolute(m.amount).toPlain(), QString()};
    return f;
}

QByteArray inlineWorkbook(const QList<QStringList>& lines)
{
    QByteArray sheet;
    QXmlStreamWriter x(&sheet);
    x.writeStartDocument();
    x.writeStartElement(u"worksheet"_s);
    x.writeDefaultNamespace(u"http://schemas.openxmlformats.org/spreadsheetml/2006/main"_s);
    x.writeStartElement(u"sheetData"_s);
    for (int r = 0; r < lines.size(); ++r) {
        x.writeStartElement(u"row"_s);
        x.writeAttribute(u"r"_s, QString::number(r + 1));
        for (int c = 0; c < lines.at(r).size(); ++c) {
            const QString& text = lines.at(r).at(c);
            if (text.isEmpty())
                continue;
            x.writeStartElement(u"c"_s);
            x.writeAttribute(u"r"_s, QString(QChar(u'A' + c)) + QString::number(r + 1));
            bool number = false;
            text.toDouble(&number);
            if (number) {
                x.writeTextElement(u"v"_s, text);
            } else {
                x.writeAttribute(u"t"_s, u"inlineStr"_s);
                x.writeStartElement(u"is"_s);
                x.writeTextElement(u"t"_s, text);
                x.writeEndElement();
            }
            x.writeEndElement();
        }
        x.writeEndElement();
    }
    x.writeEndDocument();
    return zipOf({{u"[Content_Types].xml"_s, "<Types/>"}, {u"xl/worksheets/sheet1.xml"_s, sheet}});
}

QString ccbWorkbookPath()
{
    return QStringLiteral(KINBOOK_TEST_DIR "/data/ccb-statement.xls");
}

QList<BankMovement> ccbWorkbookMovements()
{
    return movements({{QDate(2026, 1, 5), Money::fromUnits(80'000'000), u"6217000099990000/某某公司"_s, u"一月工资"_s},
                      {QDate(2026, 1, 10), Money::fromUnits(-880'000), QString(), u"超市"_s},
                      {QDate(2026, 1, 10), Money::fromUnits(-880'000), QString(), u"超市"_s},
                      {QDate(2026, 1, 12), Money::fromUnits(-12'005'000), u"6228480000000000/老王"_s, u"转账"_s},
                      {QDate(2026, 1, 21), Money::fromUnits(3'500), QString(), u"结息"_s, u"USD"_s}});
}
