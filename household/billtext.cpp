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

namespace {

// The length in bytes of the blank (as QChar::isSpace has it) that UTF-8 text starts with at `p`,
// `n` bytes from its end; 0 for none.
int blankAt(const unsigned char* p, qsizetype n)
{
    const unsigned char c = p[0];
    if (c == ' ' || (c >= '\t' && c <= '\r'))
        return 1;
    if (c == 0xC2 && n >= 2 && (p[1] == 0x85 || p[1] == 0xA0))
        return 2;
    if (n >= 3 && ((c == 0xE1 && p[1] == 0x9A && p[2] == 0x80)
                   || (c == 0xE2 && p[1] == 0x80 && ((p[2] >= 0x80 && p[2] <= 0x8A) || p[2] == 0xA8 || p[2] == 0xA9 || p[2] == 0xAF))
                   || (c == 0xE2 && p[1] == 0x81 && p[2] == 0x9F) || (c == 0xE3 && p[1] == 0x80 && p[2] == 0x80)))
        return 3;
    return 0;
}

// The same for the blank UTF-8 text ends with at `end`, `n` bytes after its start.
int blankBefore(const unsigned char* end, qsizetype n)
{
    if (n >= 1 && (end[-1] == ' ' || (end[-1] >= '\t' && end[-1] <= '\r')))
        return 1;
    if (n >= 2 && end[-2] == 0xC2 && blankAt(end - 2, 2) == 2)
        return 2;
    if (n >= 3 && end[-3] >= 0xE1 && blankAt(end - 3, 3) == 3)
        return 3;
    return 0;
}

bool allAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

// The UTF-16 length of UTF-8 text.
qsizetype utf16Length(QByteArrayView utf8)
{
    qsizetype units = 0;
    for (const char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        units += (b & 0xC0) != 0x80 ? (b >= 0xF0 ? 2 : 1) : 0;
    }
    return units;
}

void ByteRecords::checkLength(const Span& cell, qsizetype rawFrom, qsizetype rawTo, int startLine)
{
    const qsizetype bytes = cell.size + (rawTo - rawFrom);
    if (bytes <= kMaxCellChars || bytes < nextCheck_)
        return;
    const QByteArrayView own(buffer_.constData() + cell.at, cell.own ? cell.size : 0), raw = text_.sliced(rawFrom, rawTo - rawFrom);
    qsizetype units = 0;
    if (utf8_) {
        units = utf16Length(own) + utf16Length(raw);
    } else {
        QStringDecoder gb("GB18030", QStringConverter::Flag::Stateless);
        units = QString(gb.decode(own)).size() + QString(gb.decode(raw)).size();
    }
    if (units > kMaxCellChars)
        throw CellTooLong(startLine, lineText(startLine) + QStringLiteral("这一行有一格超过了 1 MB（一百多万个字符），不是账单或流水里的内容。"
                                                                         "文件可能被别的程序改动过。"));
    // A byte adds one character at most: none can be over before so many more.
    nextCheck_ = bytes + (kMaxCellChars - units) + 1;
}

bool ByteRecords::blank(QByteArrayView bytes) const
{
    if (!utf8_ && !allAscii(bytes))
        return QString(QStringDecoder("GB18030", QStringConverter::Flag::Stateless).decode(bytes)).trimmed().isEmpty();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype at = 0; at < bytes.size();)
        if (const int n = blankAt(p + at, bytes.size() - at))
            at += n;
        else
            return false;
    return true;
}

ByteRecords::Span ByteRecords::finish(Span cell)
{
    const char* base = cell.own ? buffer_.constData() : text_.data();
    if (!utf8_ && !allAscii(QByteArrayView(base + cell.at, cell.size))) {
        QStringDecoder gb("GB18030", QStringConverter::Flag::Stateless);
        const QString decoded = gb.decode(QByteArrayView(base + cell.at, cell.size));
        const QByteArray utf8 = decoded.trimmed().toUtf8();
        const qsizetype at = buffer_.size();
        buffer_.append(utf8);
        return Span{at, utf8.size(), true};
    }
    const auto* p = reinterpret_cast<const unsigned char*>(base + cell.at);
    qsizetype from = 0, to = cell.size;
    while (from < to)
        if (const int blank = blankAt(p + from, to - from))
            from += blank;
        else
            break;
    while (to > from)
        if (const int blank = blankBefore(p + to, to - from))
            to -= blank;
        else
            break;
    return Span{cell.at + from, to - from, cell.own};
}

bool ByteRecords::next(qsizetype& pos, int& line)
{
    const qsizetype n = text_.size();
    if (pos >= n)
        return false;
    buffer_.clear();
    spans_.clear();
    nextCheck_ = 0;
    const int startLine = line;
    const char* d = text_.data();
    Span cell{pos, 0, false};  // the cell so far: the text from `run` on is not in it yet
    qsizetype run = pos;
    bool quoted = false, wasQuoted = false, ended = false;
    auto take = [&](qsizetype end) {
        if (cell.own)
            buffer_.append(d + run, end - run);
        cell.size += end - run;
        run = end + 1;
    };
    while (pos < n && !ended) {
        if (cell.size + (pos - run) > kMaxCellChars)
            checkLength(cell, run, pos, startLine);
        const char c = d[pos];
        if (quoted) {
            if (c == '"') {
                take(pos);
                if (pos + 1 < n && d[pos + 1] == '"') {
                    buffer_.append('"');
                    ++cell.size;
                    ++run;
                    ++pos;
                } else {
                    quoted = false;
                }
            } else if (c == '\n') {
                ++line;
            }
        } else if (c == '\n') {
            take(pos);
            ++line;
            ended = true;
        } else if (c == '"' && !wasQuoted && blank(text_.sliced(run, pos - run))) {
            // Only blanks before the quote (and nothing taken yet, as no quote came before it): the
            // cell is what the quotes hold, gathered in the buffer.
            cell = Span{buffer_.size(), 0, true};
            run = pos + 1;
            quoted = wasQuoted = true;
        } else if (c == separator_) {
            take(pos);
            spans_.push_back(finish(cell));
            cell = Span{run, 0, false};
            wasQuoted = false;
        }
        ++pos;
    }
    if (quoted)
        throw BillError(startLine, lineText(startLine) + QStringLiteral("这一格的引号没有配对，文件从这里到末尾都成了一格。"
                                                                         "文件可能被截断或改动过。"));
    if (!ended)
        take(n);
    spans_.push_back(finish(cell));
    cells_.clear();
    for (const Span& s : spans_)
        cells_.emplace_back((s.own ? buffer_.constData() : d) + s.at, s.size);
    return true;
}

bool ByteRecords::nextFilled(qsizetype& pos, int& line, int& start)
{
    do {
        start = line;
        if (!next(pos, line))
            return false;
    } while (std::all_of(cells_.cbegin(), cells_.cend(), [](QByteArrayView c) { return c.isEmpty(); }));
    return true;
}

bool isCleanUtf8(QByteArrayView cell)
{
    const auto* p = reinterpret_cast<const unsigned char*>(cell.data());
    const qsizetype n = cell.size();
    if (n == 0 || p[0] == ' ' || p[n - 1] == ' ' || cell == "/")
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c < ' ' || c == 0x7f || (c == ' ' && p[i + 1] == ' '))
                return false;
        } else if ((c == 0xC2 && i + 1 < n && p[i + 1] <= 0xA0) || ((c == 0xE1 || c == 0xE2 || c == 0xE3) && blankAt(p + i, n - i) > 0)) {
            return false;  // a control character of the second block, or a blank beyond ASCII
        }
    }
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
    const Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Kind kind = rows.kind(i);
        if (rows.skipped(i) || kind == Kind::Neither)
            continue;
        ++(kind == Kind::Income ? t.incomeCount : t.expenseCount);
        (kind == Kind::Income ? t.income : t.expense) += rows.amount(i);
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
