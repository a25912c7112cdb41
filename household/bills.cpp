#include "bills.h"

#include "billtext.h"
#include "oldworkbook.h"
#include "workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace Bills {

using namespace Text;

namespace {

// What the program reads from a column; None for the columns it only uses to recognise a layout.
enum class Field { None, Trade, Time, PaidTime, Counterparty, Item, Amount, Kind, Status, Refund, Count };

struct Column {
    const char* name;  // as the header writes it, blanks removed and full-width brackets made plain
    Field field;
};

struct LayoutColumns {
    Layout layout;
    std::vector<Column> columns;
};

const std::array<LayoutColumns, 3>& knownLayouts()
{
    static const std::array<LayoutColumns, 3> list = {{
        {Layout::AlipayClassic,
         {{"交易号", Field::Trade}, {"商家订单号", Field::None}, {"交易创建时间", Field::Time},
          {"付款时间", Field::PaidTime}, {"最近修改时间", Field::None}, {"交易来源地", Field::None},
          {"类型", Field::None}, {"交易对方", Field::Counterparty}, {"商品名称", Field::Item},
          {"金额(元)", Field::Amount}, {"收/支", Field::Kind}, {"交易状态", Field::Status},
          {"服务费(元)", Field::None}, {"成功退款(元)", Field::Refund}, {"备注", Field::None},
          {"资金状态", Field::None}}},
        {Layout::Alipay,
         {{"交易时间", Field::Time}, {"交易分类", Field::None}, {"交易对方", Field::Counterparty},
          {"对方账号", Field::None}, {"商品说明", Field::Item}, {"收/支", Field::Kind}, {"金额", Field::Amount},
          {"收/付款方式", Field::None}, {"交易状态", Field::Status}, {"交易订单号", Field::Trade},
          {"商家订单号", Field::None}, {"备注", Field::None}}},
        {Layout::WeChat,
         {{"交易时间", Field::Time}, {"交易类型", Field::None}, {"交易对方", Field::Counterparty},
          {"商品", Field::Item}, {"收/支", Field::Kind}, {"金额(元)", Field::Amount}, {"支付方式", Field::None},
          {"当前状态", Field::Status}, {"交易单号", Field::Trade}, {"商户单号", Field::None}, {"备注", Field::None}}},
    }};
    return list;
}

// A header row is short; longer lines are not looked at while searching for it.
constexpr qsizetype kHeaderMaxBytes = 4096;
// A header that shares fewer names than this with every layout is no header.
constexpr int kHeaderMinMatches = 4;

// The layout whose header this row is, with the index of each column it reads; nothing when the row
// shares too few names with every layout. Missing columns are told by the caller.
struct Header {
    const LayoutColumns* known = nullptr;
    std::array<int, static_cast<int>(Field::Count)> index{};
    QStringList missing;
    int foreign = 0;  // names the layout does not have
};

// The names of each known layout's columns, as QStrings (made once: the leading lines of every file
// are each looked at as a header).
const std::array<QStringList, 3>& layoutNames()
{
    static const std::array<QStringList, 3> names = [] {
        std::array<QStringList, 3> out;
        for (std::size_t i = 0; i < knownLayouts().size(); ++i)
            for (const Column& col : knownLayouts()[i].columns)
                out[i] << QString::fromUtf8(col.name);
        return out;
    }();
    return names;
}

bool recognise(const QStringList& cells, Header& header)
{
    QStringList names;
    for (const QString& c : cells)
        names << normalName(c);
    int best = 0;
    bool tie = false;
    for (std::size_t l = 0; l < knownLayouts().size(); ++l) {
        const LayoutColumns& s = knownLayouts()[l];
        int matches = 0;
        for (const QString& name : layoutNames()[l])
            matches += names.contains(name) ? 1 : 0;
        if (matches > best) {
            best = matches;
            tie = false;
            header.known = &s;
        } else if (matches == best) {
            tie = true;
        }
    }
    if (best < kHeaderMinMatches || tie) {
        header.known = nullptr;
        return false;
    }
    header.index.fill(-1);
    header.missing.clear();
    header.foreign = 0;
    for (const QString& name : names) {
        const bool known = std::any_of(header.known->columns.cbegin(), header.known->columns.cend(),
                                       [&name](const Column& col) { return name == QString::fromUtf8(col.name); });
        header.foreign += known || name.isEmpty() ? 0 : 1;
    }
    for (const Column& col : header.known->columns) {
        if (col.field == Field::None)
            continue;
        const int at = static_cast<int>(names.indexOf(QString::fromUtf8(col.name)));
        header.index[static_cast<int>(col.field)] = at;
        if (at < 0)
            header.missing << QString::fromUtf8(col.name);
    }
    return true;
}

std::optional<QDate> parseDate(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T]+\\d{1,2}:\\d{2}(?::\\d{2})?)?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid() || d.year() < 1000)
        return std::nullopt;
    return d;
}

// WeChat writes a partial refund into the status: "已退款(￥5.00)".
Money refundInStatus(const QString& status, int line)
{
    static const QRegularExpression refund(QStringLiteral("[¥￥]\\s*([-+]?[0-9][0-9,]*(?:\\.[0-9]+)?)"));
    const QRegularExpressionMatch m = refund.match(status);
    return m.hasMatch() ? readAmount(m.captured(1), QStringLiteral("当前状态"), line) : Money();
}

const QString kTransfer = QStringLiteral("不计收支");
const QString kNotInBooks = QStringLiteral("原交易不在账本中");
const QString kAwaitingReceipt = QStringLiteral("等待确认收货");

// Why a row is not posted, from what the file says of it; empty when it is posted (a partial refund
// is then to be taken off its amount).
QString skipReason(const Row& row)
{
    if (row.kind == Kind::Neither)
        return kTransfer;
    const QString& s = row.status;
    if (s.contains(QStringLiteral("关闭")))
        return QStringLiteral("交易关闭");
    if (s.contains(QStringLiteral("失败")) || s.contains(QStringLiteral("撤销")))
        return QStringLiteral("交易失败");
    if (s.contains(QStringLiteral("等待确认收货")))
        return kAwaitingReceipt;
    if (s.contains(QStringLiteral("等待")) || s.contains(QStringLiteral("未付款")))
        return QStringLiteral("交易未完成");
    if (s.contains(QStringLiteral("全额退款")) || (row.refunded > Money() && row.refunded >= row.amount))
        return QStringLiteral("已全额退款");
    if (row.refunded > Money())
        return QString();
    if (s.contains(QStringLiteral("退款")))
        return QStringLiteral("已退款");
    if (row.amount == Money())
        return QStringLiteral("金额为零");
    if (row.amount < Money())
        return QStringLiteral("金额为负数");
    return QString();
}

const char* columnName(const Header& h, Field f)
{
    for (const Column& c : h.known->columns)
        if (c.field == f)
            return c.name;
    return "";
}

// The newer Alipay layout writes a refund as a row of its own: 不计收支, 退款成功, and the trade number
// of the payment followed by "_" and more. Each is taken off its payment when the bill holds it (the
// payment greyed when nothing is left); otherwise the row waits for billposting to find the payment
// among earlier imports, and can be ticked to post it as income.
void netRefunds(Bill& bill, const QHash<QString, int>& rowOfTrade)
{
    QHash<int, Money> taken;  // by the payment's place in the bill
    Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows.kind(i) != Kind::Neither)
            continue;
        const QString trade = rows.trade(i);
        const qsizetype cut = trade.indexOf(u'_');
        if (cut <= 0 || !rows.status(i).contains(QStringLiteral("退款")))
            continue;
        const QString refundOf = trade.left(cut);
        rows.setRefundOf(i, refundOf);
        rows.setTickAs(i, Kind::Neither);
        const auto at = rowOfTrade.constFind(refundOf);
        if (at == rowOfTrade.constEnd()) {
            rows.setSkip(i, kNotInBooks);
            rows.setTickAs(i, Kind::Income);
            continue;
        }
        const int payment = at.value();
        if (rows.skipped(payment) || rows.kind(payment) == Kind::Neither) {
            rows.setSkip(i, QStringLiteral("原交易（第 %1 行）不导入").arg(rows.line(payment)));
            continue;
        }
        taken[payment] += rows.amount(i);
        rows.setRefundedFrom(i, rows.line(payment));
        rows.setSkip(i, QStringLiteral("已从第 %1 行扣除").arg(rows.line(payment)));
    }
    for (auto it = taken.cbegin(); it != taken.cend(); ++it) {
        const int payment = it.key();
        rows.setRefunded(payment, rows.refunded(payment) + it.value());
        if (it.value() >= rows.amount(payment))
            rows.setSkip(payment, QStringLiteral("已全额退款"));
        else
            rows.setAmount(payment, rows.amount(payment) - it.value());
    }
}

// "支出：60笔 10849.88元" and "收入：1笔 3000.00元" in the lines before the header; after the rows of
// the older Alipay layout, "已支出:47笔,2345.67元" (its "待支出" and "待收入" are trades not settled,
// which no row posts).
std::optional<Totals> statedTotals(const QString& notes, bool settledOnly = false)
{
    static const QString total =
        QStringLiteral("(收入|支出)\\s*[：:]\\s*(\\d+)\\s*笔\\s*[,，]?\\s*[¥￥]?\\s*([0-9][0-9,]*(?:\\.\\d+)?)\\s*元");
    static const QRegularExpression anyTotal(total);
    static const QRegularExpression settledTotal(QStringLiteral("(?:^|\\n)\\s*已") + total);
    std::optional<Totals> out;
    for (auto it = (settledOnly ? settledTotal : anyTotal).globalMatch(notes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        Money amount;
        if (parseAmount(m.captured(3), amount, false) != AmountRead::Ok)
            continue;
        if (!out)
            out = Totals();
        const bool income = m.captured(1) == QStringLiteral("收入");
        (income ? out->incomeCount : out->expenseCount) = m.captured(2).toInt();
        (income ? out->income : out->expense) = amount;
    }
    return out;
}

bool decodesCleanly(const char* encoding, QByteArrayView bytes)
{
    QStringDecoder d(encoding, QStringConverter::Flag::Stateless);
    const QString text = d.decode(bytes);
    return !d.hasError();
}

Bill readText(QByteArrayView bytes);

// A workbook's sheet, as CSV text in UTF-8: a bill, or a statement's table that keeps the sheet's text.
Bill readSheet(const QByteArray& csv, const QString& encoding)
{
    try {
        Bill bill = readText(csv);
        bill.encoding = encoding;
        return bill;
    } catch (const UnknownLayout& unknown) {
        Table table = unknown.table();
        table.sheet = csv;
        throw UnknownLayout(unknown.text(), std::move(table));
    }
}

}  // namespace

BillError::BillError(int line, const QString& text) : std::runtime_error(text.toStdString()), line_(line), text_(text) {}

Bill read(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        throw BillError(0, QStringLiteral("文件是空的，里面没有账单。"));
    if (Workbook::looksLikeZip(bytes)) {
        QString error;
        const auto csv = Workbook::firstSheetAsCsv(bytes, &error);
        if (!csv)
            throw BillError(0, error);
        return readSheet(*csv, kWorkbook);
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        throw BillError(0, QStringLiteral("这个文件是 UTF-16 编码的文字。支付宝和微信支付的账单是 UTF-8 或 GB18030 编码的 CSV 文件"
                                          "或 Excel 工作簿：请重新下载账单，或把它另存为 UTF-8 编码的 CSV 文件后再导入。"));
    if (OldWorkbook::looksLikeOle(bytes)) {
        QString error;
        const auto csv = OldWorkbook::firstSheetAsCsv(bytes, &error);
        if (!csv)
            throw BillError(0, error);
        return readSheet(*csv, kOldWorkbook);
    }
    if (bytes.left(4096).contains('\0'))
        throw BillError(0, QStringLiteral("这个文件既不是文字（CSV）文件，也不是 Excel 工作簿（.xlsx 或 .xls），不是账单或流水。"
                                          "请选择从支付宝、微信或银行下载的账单文件。"));
    return readText(bytes);
}

namespace {

// Where the header starts: the first of the leading lines that names the columns of one of the
// layouts, read in the encoding that makes it one (recorded in `bill` with its line); -1 for none.
qsizetype findHeader(QByteArrayView body, const QList<const char*>& encodings, Bill& bill, Header& header)
{
    qsizetype headerAt = -1;
    qsizetype at = 0;
    for (int line = 1; line <= kHeaderSearchLines && at < body.size() && headerAt < 0; ++line) {
        qsizetype end = body.indexOf('\n', at);
        if (end < 0)
            end = body.size();
        const QByteArrayView raw = body.sliced(at, end - at);
        for (const char* enc : encodings) {
            if (raw.size() > kHeaderMaxBytes)
                break;
            QStringDecoder d(enc);
            const QString text = d.decode(raw);
            qsizetype pos = 0;
            int l = line;
            QStringList cells;
            try {
                nextRecord(text, pos, l, cells);
            } catch (const BillError&) {
                continue;
            }
            if (recognise(cells, header)) {
                bill.encoding = QString::fromLatin1(enc);
                bill.headerLine = line;
                headerAt = at;
                break;
            }
        }
        at = end + 1;
    }
    return headerAt;
}

// One row of the bill from its cells (`start`: its line), the reason it is greyed, if any, and how
// it is posted when ticked anyway.
Row readRow(const QStringList& cells, const Header& header, int start)
{
    auto column = [&header](Field f) { return header.index[static_cast<int>(f)]; };
    Row r;
    r.line = start;
    r.trade = cells[column(Field::Trade)];
    if (r.trade.isEmpty())
        throw BillError(start, lineText(start) + QStringLiteral("“%1”是空的，无法知道这笔交易是否已经导入过。")
                                                     .arg(QString::fromUtf8(columnName(header, Field::Trade))));
    Field timeField = Field::Time;
    if (column(Field::PaidTime) >= 0 && !cells[column(Field::PaidTime)].isEmpty())
        timeField = Field::PaidTime;
    const QString when = cells[column(timeField)];
    const auto date = parseDate(when);
    if (!date)
        throw BillError(start, lineText(start) + QStringLiteral("“%1”一列的“%2”不是日期。")
                                                     .arg(QString::fromUtf8(columnName(header, timeField)), excerpt(when)));
    r.date = *date;
    r.kindText = cells[column(Field::Kind)];
    r.kind = r.kindText == QStringLiteral("收入")   ? Kind::Income
             : r.kindText == QStringLiteral("支出") ? Kind::Expense
                                                    : Kind::Neither;
    r.counterparty = cleanText(cells[column(Field::Counterparty)]);
    r.item = cleanText(cells[column(Field::Item)]);
    r.amount = readAmount(cells[column(Field::Amount)], QString::fromUtf8(columnName(header, Field::Amount)), start);
    r.status = cleanText(cells[column(Field::Status)]);
    if (column(Field::Refund) >= 0)
        r.refunded = readAmount(cells[column(Field::Refund)], QString::fromUtf8(columnName(header, Field::Refund)), start, true);
    else if (r.status.contains(QStringLiteral("退款")))
        r.refunded = refundInStatus(r.status, start);
    r.skip = skipReason(r);
    if (r.skip == kTransfer)
        r.tickAs = Kind::Expense;
    else if (r.skip == kAwaitingReceipt)
        r.tickAs = r.kind;
    return r;
}

// The rows after the header, strictly in the header's encoding: a line that is not tells where the file
// was spoilt (BillError naming it).
QString decodeRows(QByteArrayView rest, const char* enc, const Bill& bill)
{
    QStringDecoder strict(enc, QStringConverter::Flag::Stateless);
    const QString text = strict.decode(rest);
    if (!strict.hasError())
        return text;
    int line = bill.headerLine;
    for (qsizetype at = 0; at <= rest.size(); ++line) {
        qsizetype end = rest.indexOf('\n', at);
        if (end < 0)
            end = rest.size();
        if (!decodesCleanly(enc, rest.sliced(at, end - at)))
            throw BillError(line, lineText(line) + QStringLiteral("这一行不是%1编码的文字，而账单的其余部分是。"
                                                                  "文件可能被别的程序改动过，请重新下载账单。")
                                                       .arg(bill.encoding));
        at = end + 1;
    }
    return text;
}

Bill readText(QByteArrayView bytes)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = bom ? bytes.sliced(3) : bytes;
    QList<const char*> encodings = {"UTF-8"};
    if (!bom)
        encodings << "GB18030";

    Bill bill;
    Header header;
    const qsizetype headerAt = findHeader(body, encodings, bill, header);
    if (headerAt < 0)
        refuseUnknown(body);
    bill.layout = header.known->layout;
    // Another service's bill (京东, 美团) shares a few names with these layouts, but has names of its
    // own where theirs are missing: a table whose columns the user names, not a broken bill.
    if (!header.missing.isEmpty() && header.foreign >= 2)
        refuseUnknown(body);
    if (!header.missing.isEmpty())
        throw BillError(bill.headerLine, lineText(bill.headerLine)
                                             + QStringLiteral("这是%1的表头，但缺少“%2”列，无法导入。请重新下载账单，不要删改它的列。")
                                                   .arg(layoutName(bill.layout), header.missing.join(QStringLiteral("”、“"))));

    // The rows, strictly in the header's encoding: a line that is not tells where the file was spoilt.
    const QByteArrayView rest = body.sliced(headerAt);
    const char* enc = bill.encoding == QLatin1String("UTF-8") ? "UTF-8" : "GB18030";
    bill.stated = statedTotals(QStringDecoder(enc).decode(body.first(headerAt)));
    const QString text = decodeRows(rest, enc, bill);

    int needed = 0;
    for (int i : header.index)
        needed = std::max(needed, i + 1);
    qsizetype pos = 0;
    int line = bill.headerLine;
    QStringList cells;
    nextRecord(text, pos, line, cells);  // the header itself
    QHash<QString, int> seen;
    QHash<QString, int> rowOfTrade;  // the first row of each trade number, by its place in the bill
    bill.rows.reserve(text.count(u'\n'));
    for (int start = 0; nextFilledRecord(text, pos, line, cells, start);) {
        // The older Alipay export ends its rows with a line of dashes and the totals after it.
        if (cells.first().startsWith(QLatin1String("-----"))) {
            if (const auto after = statedTotals(text.mid(pos), true)) {
                bill.stated = after;
                bill.statedAfterRows = true;
            }
            break;
        }
        if (cells.size() < needed)
            throw BillError(start, lineText(start) + QStringLiteral("这一行只有 %1 列，账单的表头有 %2 列；这一行可能被截断或改动过。")
                                                         .arg(cells.size())
                                                         .arg(header.known->columns.size()));
        Row r = readRow(cells, header, start);
        if (!rowOfTrade.contains(r.trade))
            rowOfTrade.insert(r.trade, static_cast<int>(bill.rows.size()));
        if (r.skip.isEmpty()) {
            r.amount -= r.refunded;
            const auto first = seen.constFind(r.trade);
            if (first != seen.constEnd())
                r.skip = QStringLiteral("与第 %1 行是同一笔交易").arg(first.value());
            else
                seen.insert(r.trade, start);
        }
        bill.rows.append(std::move(r));
    }
    if (bill.layout == Layout::Alipay)
        netRefunds(bill, rowOfTrade);
    bill.counted = countedTotals(bill);
    return bill;
}

}  // namespace

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    const QFileInfo info(path);
    if (info.exists() && info.size() > kMaxFileBytes)
        throw BillError(0, QStringLiteral("文件有 %1 MB，太大了，不是一份账单（一万笔交易的账单只有约 2 MB）。")
                               .arg(static_cast<double>(info.size()) / (1024.0 * 1024.0), 0, 'f', 1));
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        throw BillError(0, QStringLiteral("无法读取文件 %1。请检查文件是否存在、是否有权限读取它。").arg(path));
    return f.readAll();
}

QString layoutName(Layout layout)
{
    switch (layout) {
    case Layout::AlipayClassic:
        return QStringLiteral("支付宝账单（旧版）");
    case Layout::Alipay:
        return QStringLiteral("支付宝账单");
    case Layout::Statement:
        return QStringLiteral("银行流水");
    case Layout::WeChat:
        break;
    }
    return QStringLiteral("微信支付账单");
}

QString source(Layout layout)
{
    switch (layout) {
    case Layout::WeChat:
        return QStringLiteral("微信支付");
    case Layout::Statement:
        return QStringLiteral("银行");
    default:
        return QStringLiteral("支付宝");
    }
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Income:
        return QStringLiteral("收入");
    case Kind::Expense:
        return QStringLiteral("支出");
    case Kind::Neither:
        break;
    }
    return QString();
}

QString firstCharacters(const QString& text, int count)
{
    // A character takes one UTF-16 unit at least: a text of no more units is short enough.
    if (text.size() <= count)
        return text;
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, text);
    for (int n = 0; n < count; ++n)
        if (f.toNextBoundary() < 0)
            return text;
    return text.left(f.position());
}

QString note(const QString& counterparty, const QString& item, int characters)
{
    QString text = counterparty;
    if (!item.isEmpty() && item != counterparty)
        text = text.isEmpty() ? item : text + QLatin1Char(' ') + item;
    return firstCharacters(text, characters);
}

QString note(const Row& row, int characters)
{
    return note(row.counterparty, row.item, characters);
}

}  // namespace Bills
