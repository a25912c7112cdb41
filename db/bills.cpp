#include "bills.h"

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

// How many lines may come before the header: the exports write about two dozen lines of notes.
constexpr int kHeaderSearchLines = 200;
// A header row is short; longer lines are not looked at while searching for it.
constexpr qsizetype kHeaderMaxBytes = 4096;
// A header that shares fewer names than this with every layout is no header.
constexpr int kHeaderMinMatches = 4;

QString lineText(int line)
{
    return QStringLiteral("第 %1 行：").arg(line);
}

// One record of CSV text starting at `pos`: cells split at commas, quoted cells keep commas, line
// breaks and doubled quotes, blanks and tabs around a cell are dropped. `line` is advanced over the
// lines the record takes. False at the end of the text. Text between the marks is taken a run at a
// time: a bill of ten thousand rows holds two million characters.
bool nextRecord(const QString& text, qsizetype& pos, int& line, QStringList& cells)
{
    const qsizetype n = text.size();
    if (pos >= n)
        return false;
    cells.clear();
    const int startLine = line;
    const QChar* d = text.constData();
    QString cell;           // the cell so far, up to `run`
    qsizetype run = pos;    // where the characters not yet in `cell` start
    bool quoted = false, wasQuoted = false, ended = false;
    auto take = [&](qsizetype end) {
        cell.append(d + run, end - run);
        run = end + 1;
    };
    while (pos < n && !ended) {
        const QChar c = d[pos];
        if (quoted) {
            if (c == u'"') {
                take(pos);
                if (pos + 1 < n && d[pos + 1] == u'"') {
                    cell += u'"';
                    ++run;
                    ++pos;
                } else {
                    quoted = false;
                }
            } else if (c == u'\n') {
                ++line;
            }
        } else if (c == u'\n') {
            take(pos);
            ++line;
            ended = true;
        } else if (c == u'"' && !wasQuoted && QStringView(d + run, pos - run).trimmed().isEmpty()) {
            // Only blanks before the quote (and nothing taken yet, as no quote came before it).
            cell.clear();
            run = pos + 1;
            quoted = wasQuoted = true;
        } else if (c == u',') {
            take(pos);
            cells << cell.trimmed();
            cell.clear();
            wasQuoted = false;
        }
        ++pos;
    }
    if (quoted)
        throw BillError(startLine, lineText(startLine) + QStringLiteral("这一格的引号没有配对，文件从这里到末尾都成了一格。"
                                                                         "文件可能被截断或改动过。"));
    if (!ended)
        take(n);
    cells << cell.trimmed();
    return true;
}

// The next record that holds anything, starting on line `start`; false at the end of the text.
bool nextFilledRecord(const QString& text, qsizetype& pos, int& line, QStringList& cells, int& start)
{
    do {
        start = line;
        if (!nextRecord(text, pos, line, cells))
            return false;
    } while (std::all_of(cells.cbegin(), cells.cend(), [](const QString& c) { return c.isEmpty(); }));
    return true;
}

// A header name with its ASCII blanks removed (the remembered statements' keys are made of these).
QString normalName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name)
        if (c != u' ' && (c < u'\t' || c > u'\r'))
            out += c == u'（' ? QChar(u'(') : c == u'）' ? QChar(u')') : c;
    return out;
}

// The layout whose header this row is, with the index of each column it reads; nothing when the row
// shares too few names with every layout. Missing columns are told by the caller.
struct Header {
    const LayoutColumns* known = nullptr;
    std::array<int, static_cast<int>(Field::Count)> index{};
    QStringList missing;
};

bool recognise(const QStringList& cells, Header& header)
{
    QStringList names;
    for (const QString& c : cells)
        names << normalName(c);
    int best = 0;
    bool tie = false;
    for (const LayoutColumns& s : knownLayouts()) {
        int matches = 0;
        for (const Column& col : s.columns)
            matches += names.contains(QString::fromUtf8(col.name)) ? 1 : 0;
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

// Control characters (line breaks inside a quoted cell among them) become blanks.
QString cleanText(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    out = out.simplified();
    return out == QStringLiteral("/") ? QString() : out;
}

// A cell of the file as a message quotes it: on one line, and not the whole of a long one.
QString excerpt(const QString& cell)
{
    QString one = cell;
    for (QChar& c : one)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    const QString cut = firstCharacters(one, 30);
    return cut.size() < one.size() ? cut + QStringLiteral("…") : cut;
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

// Digits, and a point with one or two decimals after them.
bool plainAmount(QStringView s)
{
    qsizetype point = -1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'.' && point < 0 && i > 0)
            point = i;
        else if (s[i] < u'0' || s[i] > u'9')
            return false;
    }
    return !s.isEmpty() && (point < 0 || (s.size() - point >= 2 && s.size() - point <= 3));
}

enum class AmountRead { Ok, NotANumber, TooLarge, SubCent, Empty };

// An amount as the bills write it: "12.50", "¥12.50", "￥1,234.00". An empty cell is 0 where `mayBeEmpty`
// (a column of refunds), and no amount elsewhere; a yuan sign without digits is never an amount.
AmountRead parseAmount(const QString& text, Money& amount, bool mayBeEmpty)
{
    QString s = text;
    s.remove(u' ');
    const bool signed_ = s.contains(u'¥') || s.contains(u'￥');
    s.remove(u'¥');
    s.remove(u'￥');
    // Most amounts are digits with two decimals: read without the patterns below.
    if (plainAmount(s))
        if (const auto m = Money::parse(s)) {
            amount = *m;
            return *m > kMaxRecordAmount ? AmountRead::TooLarge : AmountRead::Ok;
        }
    static const QRegularExpression grouped(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d+)?$"));
    if (grouped.match(s).hasMatch())
        s.remove(u',');
    if (s.isEmpty()) {
        amount = Money();
        return mayBeEmpty && !signed_ ? AmountRead::Ok : AmountRead::Empty;
    }
    // The payment services and banks count in fen: a third decimal is a spoilt or foreign amount.
    static const QRegularExpression subCent(QStringLiteral("^[+-]?\\d*\\.\\d{2}\\d*[1-9]\\d*$"));
    if (subCent.match(s).hasMatch())
        return AmountRead::SubCent;
    if (const auto m = Money::parse(s)) {
        amount = *m;
        return *m > kMaxRecordAmount || *m < Money() - kMaxRecordAmount ? AmountRead::TooLarge : AmountRead::Ok;
    }
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    return number.match(s).hasMatch() ? AmountRead::TooLarge : AmountRead::NotANumber;
}

Money readAmount(const QString& text, const QString& column, int line, bool mayBeEmpty = false)
{
    Money m;
    switch (parseAmount(text, m, mayBeEmpty)) {
    case AmountRead::Ok:
        return m;
    case AmountRead::SubCent:
        throw BillError(line, lineText(line) + QStringLiteral("“%1”一列的“%2”有两位以上的小数，不是以分计的金额。")
                                                   .arg(column, excerpt(text)));
    case AmountRead::Empty:
        throw BillError(line, lineText(line) + QStringLiteral("“%1”一列的“%2”没有金额。").arg(column, excerpt(text)));
    case AmountRead::TooLarge:
        throw BillError(line, lineText(line) + QStringLiteral("“%1”%2 超过了一笔帐的上限 %3。")
                                                   .arg(column, excerpt(text), kMaxRecordAmount.toGrouped()));
    case AmountRead::NotANumber:
        break;
    }
    throw BillError(line, lineText(line) + QStringLiteral("“%1”一列的“%2”不是数字。").arg(column, excerpt(text)));
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
    for (Row& r : bill.rows) {
        const qsizetype cut = r.trade.indexOf(u'_');
        if (r.kind != Kind::Neither || cut <= 0 || !r.status.contains(QStringLiteral("退款")))
            continue;
        r.refundOf = r.trade.left(cut);
        r.tickAs = Kind::Neither;
        const auto at = rowOfTrade.constFind(r.refundOf);
        if (at == rowOfTrade.constEnd()) {
            r.skip = kNotInBooks;
            r.tickAs = Kind::Income;
            continue;
        }
        Row& payment = bill.rows[at.value()];
        if (!payment.skip.isEmpty() || payment.kind == Kind::Neither) {
            r.skip = QStringLiteral("原交易（第 %1 行）不导入").arg(payment.line);
            continue;
        }
        taken[at.value()] += r.amount;
        r.refundedFrom = payment.line;
        r.skip = QStringLiteral("已从第 %1 行扣除").arg(payment.line);
    }
    for (auto it = taken.cbegin(); it != taken.cend(); ++it) {
        Row& payment = bill.rows[it.key()];
        payment.refunded += it.value();
        if (it.value() >= payment.amount)
            payment.skip = QStringLiteral("已全额退款");
        else
            payment.amount -= it.value();
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

Totals countedTotals(const Bill& bill)
{
    Totals t;
    for (const Row& r : bill.rows) {
        if (!r.skip.isEmpty() || r.kind == Kind::Neither)
            continue;
        ++(r.kind == Kind::Income ? t.incomeCount : t.expenseCount);
        (r.kind == Kind::Income ? t.income : t.expense) += r.amount;
    }
    return t;
}

bool decodesCleanly(const char* encoding, const QByteArray& bytes)
{
    QStringDecoder d(encoding, QStringConverter::Flag::Stateless);
    const QString text = d.decode(bytes);
    return !d.hasError();
}

Bill readText(const QByteArray& bytes);

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
        Bill bill = readText(csv->toUtf8());
        bill.encoding = kWorkbook;
        return bill;
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        throw BillError(0, QStringLiteral("这个文件是 UTF-16 编码的文字。支付宝和微信支付的账单是 UTF-8 或 GB18030 编码的 CSV 文件"
                                          "或 Excel 工作簿：请重新下载账单，或把它另存为 UTF-8 编码的 CSV 文件后再导入。"));
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        throw BillError(0, QStringLiteral("这是旧版 Excel（.xls）或别的 Office 文件，读不了：请在 Excel 或 WPS 里把它另存为"
                                          " Excel 工作簿（.xlsx）或 CSV 文件后再导入。"));
    if (bytes.left(4096).contains('\0'))
        throw BillError(0, QStringLiteral("这个文件既不是文字（CSV）文件，也不是 Excel 工作簿（.xlsx），不是账单。"
                                          "请选择从支付宝或微信下载的账单文件。"));
    return readText(bytes);
}

namespace {

// The text of a file that holds no bill's header: UTF-8 when it reads as such, GB18030 otherwise.
QString decodeAny(const QByteArray& body, QString* encoding = nullptr)
{
    QStringDecoder utf8("UTF-8", QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(body);
    if (encoding)
        *encoding = utf8.hasError() ? QStringLiteral("GB18030") : QStringLiteral("UTF-8");
    return utf8.hasError() ? QStringDecoder("GB18030").decode(body) : text;
}

std::optional<QDate> dateIn(const QString& cell, const QString& form)
{
    static const QRegularExpression timeAfter(QStringLiteral("[ T]"));
    QString text = cell.trimmed();
    const qsizetype cut = text.indexOf(timeAfter);
    if (cut > 0)
        text.truncate(cut);
    const QDate d = QDate::fromString(text, form);
    if (!d.isValid() || d.year() < 1000)
        return std::nullopt;
    return d;
}

bool holdsDate(const QStringList& cells)
{
    for (const QString& c : cells)
        for (const QString& form : dateForms())
            if (dateIn(c, form))
                return true;
    return false;
}

// A header row: three or more named columns, none of them a date.
bool looksLikeHeader(const QStringList& cells)
{
    int named = 0;
    for (const QString& c : cells)
        named += c.isEmpty() ? 0 : 1;
    return named >= 3 && !holdsDate(cells);
}

// A table found in a text: where its rows start.
struct FoundTable {
    Table table;
    qsizetype rowsAt = 0;
    int rowsLine = 0;
};

// The first header-like row of the text's leading lines that a dated row follows.
std::optional<FoundTable> tableIn(const QString& text)
{
    qsizetype pos = 0, afterHeader = 0;
    int line = 1, candidateLine = 0, afterLine = 0;
    QStringList cells, candidate;
    std::optional<FoundTable> found;
    while (found ? found->table.firstRows.size() < 5 : line <= kHeaderSearchLines) {
        const int start = line;
        try {
            if (!nextRecord(text, pos, line, cells))
                break;
        } catch (const BillError&) {
            break;
        }
        if (cells.join(QString()).isEmpty())
            continue;
        if (!found && !candidate.isEmpty() && holdsDate(cells)) {
            while (!candidate.isEmpty() && candidate.last().isEmpty())
                candidate.removeLast();
            found = FoundTable{Table{candidateLine, candidate, {}}, afterHeader, afterLine};
        }
        if (found) {
            if (!holdsDate(cells))
                break;  // the totals after the rows
            found->table.firstRows << cells;
        } else if (looksLikeHeader(cells)) {
            candidate = cells;
            candidateLine = start;
            afterHeader = pos;
            afterLine = line;
        } else {
            candidate.clear();
        }
    }
    return found;
}

[[noreturn]] void refuseUnknown(const QByteArray& body)
{
    const QString text = QStringLiteral("没有认出这个文件：它不是支付宝或微信支付导出的账单。"
                                        "账单的前几十行里有一行表头（如微信支付账单的“交易时间,交易类型,交易对方,商品,收/支,金额(元),…”），"
                                        "这个文件的前 %1 行里没有。请选择从支付宝或微信下载的 CSV 账单文件；"
                                        "另存过的文件请用 UTF-8 或 GB18030（GBK）编码保存。")
                             .arg(kHeaderSearchLines);
    if (auto found = tableIn(decodeAny(body)))
        throw UnknownLayout(text, std::move(found->table));
    throw BillError(0, text);
}

// Where the header starts: the first of the leading lines that names the columns of one of the
// layouts, read in the encoding that makes it one (recorded in `bill` with its line); -1 for none.
qsizetype findHeader(const QByteArray& body, const QList<const char*>& encodings, Bill& bill, Header& header)
{
    qsizetype headerAt = -1;
    qsizetype at = 0;
    for (int line = 1; line <= kHeaderSearchLines && at < body.size() && headerAt < 0; ++line) {
        qsizetype end = body.indexOf('\n', at);
        if (end < 0)
            end = body.size();
        const QByteArray raw = body.mid(at, end - at);
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

Bill readText(const QByteArray& bytes)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArray body = bom ? bytes.mid(3) : bytes;
    QList<const char*> encodings = {"UTF-8"};
    if (!bom)
        encodings << "GB18030";

    Bill bill;
    Header header;
    const qsizetype headerAt = findHeader(body, encodings, bill, header);
    if (headerAt < 0)
        refuseUnknown(body);
    bill.layout = header.known->layout;
    if (!header.missing.isEmpty())
        throw BillError(bill.headerLine, lineText(bill.headerLine)
                                             + QStringLiteral("这是%1的表头，但缺少“%2”列，无法导入。请重新下载账单，不要删改它的列。")
                                                   .arg(layoutName(bill.layout), header.missing.join(QStringLiteral("”、“"))));

    // The rows, strictly in the header's encoding: a line that is not tells where the file was spoilt.
    const QByteArray rest = body.mid(headerAt);
    const char* enc = bill.encoding == QLatin1String("UTF-8") ? "UTF-8" : "GB18030";
    bill.stated = statedTotals(QStringDecoder(enc).decode(body.left(headerAt)));
    QStringDecoder strict(enc, QStringConverter::Flag::Stateless);
    const QString text = strict.decode(rest);
    if (strict.hasError()) {
        int line = bill.headerLine;
        for (const QByteArray& raw : rest.split('\n')) {
            if (!decodesCleanly(enc, raw))
                throw BillError(line, lineText(line) + QStringLiteral("这一行不是%1编码的文字，而账单的其余部分是。"
                                                                      "文件可能被别的程序改动过，请重新下载账单。")
                                                           .arg(bill.encoding));
            ++line;
        }
    }

    int needed = 0;
    for (int i : header.index)
        needed = std::max(needed, i + 1);
    qsizetype pos = 0;
    int line = bill.headerLine;
    QStringList cells;
    nextRecord(text, pos, line, cells);  // the header itself
    QHash<QString, int> seen;
    QHash<QString, int> rowOfTrade;  // the first row of each trade number, by its place in the bill
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

QStringList dateForms()
{
    static const QStringList forms = {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"),
                                      QStringLiteral("yyyy.M.d"),   QStringLiteral("yyyyMMdd"), QStringLiteral("yyyy年M月d日"),
                                      QStringLiteral("d/M/yyyy"),   QStringLiteral("M/d/yyyy"), QStringLiteral("d.M.yyyy")};
    return forms;
}

bool formReads(const Table& table, int column, const QString& form)
{
    bool all = !table.firstRows.isEmpty();
    for (const QStringList& row : table.firstRows)
        all = all && column >= 0 && column < row.size() && dateIn(row.at(column), form).has_value();
    return all;
}

QString guessDateForm(const Table& table, int column)
{
    for (const QString& form : dateForms())
        if (formReads(table, column, form))
            return form;
    return QString();
}

QString headerKey(const QStringList& header)
{
    QStringList names;
    for (const QString& h : header)
        names << normalName(h);
    while (!names.isEmpty() && names.last().isEmpty())
        names.removeLast();
    return names.join(u',');
}

QString Columns::toText() const
{
    return QStringLiteral("%1;%2;%3;%4;%5;%6;%7").arg(date).arg(amount).arg(debit).arg(credit).arg(counterparty).arg(note).arg(dateForm);
}

std::optional<Columns> Columns::fromText(const QString& text)
{
    const QStringList parts = text.split(u';');
    if (parts.size() != 7 || !dateForms().contains(parts.at(6)))
        return std::nullopt;
    int values[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        values[i] = parts.at(i).toInt(&ok);
        if (!ok || values[i] < -1 || values[i] > 16384)
            return std::nullopt;
    }
    Columns c{values[0], values[1], values[2], values[3], values[4], values[5], parts.at(6)};
    return c.complete() ? std::optional<Columns>(c) : std::nullopt;
}

namespace {

// One dated row of a statement: its amount signed (income above zero) from the amount column or from
// the debit and credit columns.
Row statementRow(const QStringList& cells, const QStringList& header, const Columns& c, int line, QDate date)
{
    auto name = [&header](int column) { return header.value(column, QStringLiteral("第 %1 列").arg(column + 1)); };
    Money signedAmount;
    if (c.amount >= 0) {
        signedAmount = readAmount(cells.at(c.amount), name(c.amount), line);
    } else {
        const Money debit = readAmount(cells.at(c.debit), name(c.debit), line, true);
        const Money credit = readAmount(cells.at(c.credit), name(c.credit), line, true);
        signedAmount = std::max(credit, Money() - credit) - std::max(debit, Money() - debit);
    }
    Row r;
    r.line = line;
    r.date = date;
    r.kind = signedAmount > Money() ? Kind::Income : signedAmount < Money() ? Kind::Expense : Kind::Neither;
    r.kindText = kindName(r.kind);
    r.amount = std::max(signedAmount, Money() - signedAmount);
    r.counterparty = c.counterparty >= 0 ? cleanText(cells.at(c.counterparty)) : QString();
    r.item = c.note >= 0 ? cleanText(cells.at(c.note)) : QString();
    r.status = signedAmount.toPlain();
    if (r.kind == Kind::Neither)
        r.skip = QStringLiteral("金额为零");
    return r;
}

}  // namespace

Bill readStatement(const QByteArray& bytes, const Columns& c)
{
    Bill bill;
    bill.layout = Layout::Statement;
    QString text;
    if (Workbook::looksLikeZip(bytes)) {
        QString error;
        const auto csv = Workbook::firstSheetAsCsv(bytes, &error);
        if (!csv)
            throw BillError(0, error);
        text = *csv;
        bill.encoding = kWorkbook;
    } else {
        text = decodeAny(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes, &bill.encoding);
    }
    const auto found = tableIn(text);
    if (!found || !c.complete())
        throw BillError(0, QStringLiteral("这个文件里没有找到流水的表头和带日期的行，无法按所选的列导入。"));
    bill.headerLine = found->table.headerLine;
    const int needed = 1 + std::max({c.date, c.amount, c.debit, c.credit, c.counterparty, c.note});
    qsizetype pos = found->rowsAt;
    int line = found->rowsLine, firstUndated = 0;
    QStringList cells;
    QHash<QString, int> equal;  // rows of the same day, amount, counterparty and note so far
    // A statement's rows share a few hundred days: each date cell is read once.
    QHash<QString, std::optional<QDate>> dates;
    QHash<qint64, QString> isoDates;  // by the day's number
    for (int start = 0; nextFilledRecord(text, pos, line, cells, start);) {
        std::optional<QDate> date;
        if (c.date < cells.size()) {
            auto known = dates.constFind(cells.at(c.date));
            if (known == dates.constEnd())
                known = dates.insert(cells.at(c.date), dateIn(cells.at(c.date), c.dateForm));
            date = *known;
        }
        if (!date) {
            firstUndated = firstUndated ? firstUndated : start;
            continue;
        }
        if (firstUndated)
            throw BillError(firstUndated, lineText(firstUndated) + QStringLiteral("这一行没有“%1”形式的日期，而它后面还有流水：文件可能被改动过。")
                                                                       .arg(c.dateForm));
        if (cells.size() < needed)
            throw BillError(start, lineText(start) + QStringLiteral("这一行只有 %1 列，流水的表头有 %2 列；这一行可能被截断或改动过。")
                                                         .arg(cells.size())
                                                         .arg(found->table.header.size()));
        Row r = statementRow(cells, found->table.header, c, start, *date);
        QString& iso = isoDates[r.date.toJulianDay()];
        if (iso.isEmpty())
            iso = r.date.toString(Qt::ISODate);
        const QString same = QStringList{iso, r.status, r.counterparty, r.item}.join(u'|');
        r.trade = same + QLatin1Char('|') + QString::number(++equal[same]);
        bill.rows.append(std::move(r));
    }
    bill.counted = countedTotals(bill);
    return bill;
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

QString note(const Row& row, int characters)
{
    QString text = row.counterparty;
    if (!row.item.isEmpty() && row.item != row.counterparty)
        text = text.isEmpty() ? row.item : text + QLatin1Char(' ') + row.item;
    return firstCharacters(text, characters);
}

}  // namespace Bills
