#include "billtext.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>

namespace Bills::Text {

QString lineText(int line)
{
    return QStringLiteral("第 %1 行：").arg(line);
}

// Text between the marks is taken a run at a time: a bill of ten thousand rows holds two million
// characters. No cell grows past kMaxCellChars: a file of one quoted cell of 60 MB is refused at its
// first megabyte instead of being held, copied and searched for dates whole.
bool nextRecord(const QString& text, qsizetype& pos, int& line, QStringList& cells, QChar separator)
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
        if (pos - run + cell.size() > kMaxCellChars)
            throw CellTooLong(startLine, lineText(startLine) + QStringLiteral("这一行有一格超过了 1 MB（一百多万个字符），不是账单或流水里的内容。"
                                                                             "文件可能被别的程序改动过。"));
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
        } else if (c == separator) {
            take(pos);
            cells << std::move(cell).trimmed();
            cell = QString();
            wasQuoted = false;
        }
        ++pos;
    }
    if (quoted)
        throw BillError(startLine, lineText(startLine) + QStringLiteral("这一格的引号没有配对，文件从这里到末尾都成了一格。"
                                                                         "文件可能被截断或改动过。"));
    if (!ended)
        take(n);
    cells << std::move(cell).trimmed();
    return true;
}

bool nextFilledRecord(const QString& text, qsizetype& pos, int& line, QStringList& cells, int& start, QChar separator)
{
    do {
        start = line;
        if (!nextRecord(text, pos, line, cells, separator))
            return false;
    } while (std::all_of(cells.cbegin(), cells.cend(), [](const QString& c) { return c.isEmpty(); }));
    return true;
}

QString normalName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name)
        if (c != u' ' && (c < u'\t' || c > u'\r'))
            out += c == u'（' ? QChar(u'(') : c == u'）' ? QChar(u')') : c;
    return out;
}

QString cleanText(const QString& text)
{
    // Most cells hold nothing to clean: kept as they are, without a copy.
    bool plain = !text.isEmpty() && text.front() != u' ' && text.back() != u' ' && text != QStringLiteral("/");
    for (qsizetype i = 0; plain && i < text.size(); ++i) {
        const QChar c = text[i];
        plain = c.unicode() > u' ' ? c.unicode() < 0x7f || (c.category() != QChar::Other_Control && !c.isSpace())
                                   : c == u' ' && i + 1 < text.size() && text[i + 1] != u' ';
    }
    if (plain || text.isEmpty())
        return text;
    QString out = text;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    out = out.simplified();
    return out == QStringLiteral("/") ? QString() : out;
}

QString excerpt(const QString& cell)
{
    QString one = cell;
    for (QChar& c : one)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    const QString cut = firstCharacters(one, 30);
    return cut.size() < one.size() ? cut + QStringLiteral("…") : cut;
}

namespace {

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

}  // namespace

AmountRead parseAmount(const QString& text, Money& amount, bool mayBeEmpty)
{
    if (plainAmount(text))
        if (const auto m = Money::parse(text)) {
            amount = *m;
            return *m > kMaxRecordAmount ? AmountRead::TooLarge : AmountRead::Ok;
        }
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

Money readAmount(const QString& text, const QString& column, int line, bool mayBeEmpty)
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

QString decodeAny(QByteArrayView body, QString* encoding)
{
    QStringDecoder utf8("UTF-8", QStringConverter::Flag::Stateless);
    QString text = utf8.decode(body);
    const bool gb18030 = utf8.hasError();
    if (encoding)
        *encoding = gb18030 ? QStringLiteral("GB18030") : QStringLiteral("UTF-8");
    if (!gb18030)
        return text;
    text = QString();  // let go of the first reading before making the second
    return QStringDecoder("GB18030").decode(body);
}

}  // namespace Bills::Text
