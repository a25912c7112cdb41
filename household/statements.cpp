// Bank statements: a table of any layout, its columns named by the user (bills.h).
#include "billtext.h"
#include "oldworkbook.h"
#include "workbook.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace Bills {

using namespace Text;

namespace {

// A date cell is short: longer cells are never looked at as dates.
constexpr qsizetype kMaxDateChars = 40;

// The date of a cell in `form`, a time after it allowed. A form without a year takes the year that
// puts the date on or before `periodEnd` and within the year before it; without a period the year
// 2000 stands in (to tell whether a cell is a date at all).
std::optional<QDate> dateIn(const QString& cell, const QString& form, const QDate& periodEnd = {})
{
    if (cell.size() > kMaxDateChars)
        return std::nullopt;
    static const QRegularExpression timeAfter(QStringLiteral("[ T]"));
    static const QRegularExpression timeAtEnd(QStringLiteral("[ T]+\\d{1,2}:\\d{2}(?::\\d{2})?(?:\\.\\d+)?$"));
    QString text = cell.trimmed();
    if (form.contains(u' ')) {
        text.remove(timeAtEnd);
    } else {
        const qsizetype cut = text.indexOf(timeAfter);
        if (cut > 0)
            text.truncate(cut);
    }
    if (formHasYear(form)) {
        const QDate d = QDate::fromString(text, form);
        if (!d.isValid() || d.year() < 1000)
            return std::nullopt;
        return d;
    }
    // Read beside a leap year, so that 29 February is a date.
    const QDate shape = QDate::fromString(text + QStringLiteral("|2000"), form + QStringLiteral("|yyyy"));
    if (!shape.isValid() || !periodEnd.isValid())
        return shape.isValid() ? std::optional<QDate>(shape) : std::nullopt;
    for (const int year : {periodEnd.year(), periodEnd.year() - 1}) {
        const QDate d(year, shape.month(), shape.day());
        if (d.isValid() && d <= periodEnd)
            return d;
    }
    return std::nullopt;
}

bool holdsDate(const QStringList& cells)
{
    for (const QString& c : cells)
        for (const QString& form : dateForms())
            if (dateIn(c, form))
                return true;
    return false;
}

int namedCells(const QStringList& cells)
{
    return static_cast<int>(std::count_if(cells.cbegin(), cells.cend(), [](const QString& c) { return !c.isEmpty(); }));
}

// A header row: three or more named columns, none of them a date.
bool looksLikeHeader(const QStringList& cells)
{
    return namedCells(cells) >= 3 && !holdsDate(cells);
}

// An amount as a statement writes it, with a currency code or sign before or after it ("CNY 123.18",
// "CNY13.50", "123.18 HKD", "-USD 5.00", "HK$30", "12.50元"): the amount, and in `currency` the code or
// sign (empty when there is none). Raises BillError as readAmount does.
Money statementAmount(const QString& cell, const QString& column, int line, bool mayBeEmpty, QString& currency)
{
    static const QRegularExpression coded(QStringLiteral("^([+-]?)\\s*(?:([A-Za-z]{3})|(HK\\$|US\\$|[$€£¥￥]))?\\s*"
                                                         "([+-]?(?:[0-9][0-9,]*(?:\\.[0-9]*)?|\\.[0-9]+))\\s*([A-Za-z]{3}|元)?$"));
    // Most cells are digits, signs and points alone: read without the pattern.
    const bool plain = std::all_of(cell.cbegin(), cell.cend(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u'.' || c == u',' || c == u'-' || c == u'+' || c == u' ';
    });
    if (plain)
        return readAmount(cell, column, line, mayBeEmpty);
    const QRegularExpressionMatch m = coded.match(cell.trimmed());
    if (m.hasMatch() && (m.capturedLength(2) > 0 || m.capturedLength(3) > 0 || m.capturedLength(5) > 0)) {
        currency = (m.captured(2) + m.captured(3) + m.captured(5)).toUpper();
        return readAmount(m.captured(1) + m.captured(4), column, line, mayBeEmpty);
    }
    return readAmount(cell, column, line, mayBeEmpty);
}

bool isAmountCell(const QString& cell)
{
    if (cell.trimmed().isEmpty())
        return true;
    try {
        QString currency;
        statementAmount(cell, QString(), 0, false, currency);
        return true;
    } catch (const BillError&) {
        return false;
    }
}

// The card or account number that the lines above a table give ("卡号/账号：6217 0000 1234",
// "Account No: 012-345678-001"), without its blanks and dashes; empty when they give none.
QString accountIn(const QString& lines)
{
    static const QRegularExpression number(
        QStringLiteral("(?:卡号|账号|帐号|Account\\s*(?:No\\.?|Number)|Card\\s*(?:No\\.?|Number))[^0-9*\\n]{0,12}?([0-9][0-9*xX \\-]*[0-9*xX])"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = number.match(lines);
    QString out = m.captured(1);
    out.remove(u' ');
    out.remove(u'-');
    return out.size() >= 4 ? out : QString();
}

// A table found in a text: where its rows start and where the lines above it end.
struct FoundTable {
    Table table;
    qsizetype rowsAt = 0;
    int rowsLine = 0;
};

// The first header-like row of the text's leading lines that a dated row follows, its cells split at
// `separator`; or, when no such row comes first, the first dated row of three cells or more (a
// table without a header). `ranOut`: the text ended (or a quote was never closed) before the search
// was over, so a longer piece of the file may hold more.
std::optional<FoundTable> tableWith(const QString& text, QChar separator, bool& ranOut)
{
    qsizetype pos = 0, afterHeader = 0, candidateAt = 0, tableAt = 0;
    int line = 1, candidateLine = 0, afterLine = 0;
    QStringList cells, candidate;
    std::optional<FoundTable> found;
    ranOut = false;
    while (found ? found->table.firstRows.size() < 5 : line <= kHeaderSearchLines) {
        const int start = line;
        const qsizetype at = pos;
        try {
            if (!nextRecord(text, pos, line, cells, separator)) {
                ranOut = true;
                break;
            }
        } catch (const CellTooLong&) {
            throw;
        } catch (const BillError&) {
            ranOut = true;  // a quote never closed: the rest of the text is one cell
            break;
        }
        if (cells.join(QString()).isEmpty())
            continue;
        if (!found && holdsDate(cells)) {
            if (!candidate.isEmpty()) {
                while (!candidate.isEmpty() && candidate.last().isEmpty())
                    candidate.removeLast();
                found = FoundTable{Table(), afterHeader, afterLine};
                found->table.headerLine = candidateLine;
                found->table.header = candidate;
                tableAt = candidateAt;
            } else if (namedCells(cells) >= 3) {
                QStringList names;
                for (int c = 0; c < cells.size(); ++c)
                    names << QStringLiteral("第 %1 列").arg(c + 1);
                found = FoundTable{Table(), at, start};
                found->table.header = names;
                tableAt = at;
            }
        }
        if (found) {
            if (!holdsDate(cells))
                break;  // the totals after the rows
            found->table.firstRows << cells;
        } else if (looksLikeHeader(cells)) {
            candidate = cells;
            candidateLine = start;
            candidateAt = at;
            afterHeader = pos;
            afterLine = line;
        } else {
            candidate.clear();
        }
    }
    if (found) {
        Table& t = found->table;
        t.separator = separator;
        const QString above = text.left(tableAt);
        t.account = accountIn(above);
        t.periodEnd = periodEndIn(above);
        static const QRegularExpression creditCard(QStringLiteral("信用卡|credit\\s*card"), QRegularExpression::CaseInsensitiveOption);
        t.creditCard = above.contains(creditCard) || t.header.join(u' ').contains(creditCard);
    }
    return found;
}

// The table of a text, its cells split at commas or else at tabs (a text file a bank names .xls).
// `whole`: the text is the whole file; when it is not and more of it may hold the table, `needMore`.
std::optional<FoundTable> tableIn(const QString& text, bool whole, bool& needMore)
{
    needMore = false;
    for (const QChar separator : {QChar(u','), QChar(u'\t')}) {
        bool ranOut = false;
        auto found = tableWith(text, separator, ranOut);
        if (ranOut && !whole) {
            needMore = true;
            return std::nullopt;
        }
        if (found)
            return found;
    }
    return std::nullopt;
}

// A statement's text as the file holds it (or a workbook's first sheet as CSV, in UTF-8) and whether
// it is UTF-8 (else GB18030), with `encoding` named for the user. `sheet`: the sheet as read() made it.
struct StatementBytes {
    QByteArray sheet;  // a workbook's sheet, when it is one
    QByteArrayView body;
    bool utf8 = true;
};

StatementBytes statementBytes(const QByteArray& bytes, const QByteArray& sheet, QString& encoding)
{
    StatementBytes out;
    if (Workbook::looksLikeZip(bytes) || OldWorkbook::looksLikeOle(bytes)) {
        const bool old = OldWorkbook::looksLikeOle(bytes);
        encoding = old ? kOldWorkbook : kWorkbook;
        if (!sheet.isEmpty()) {
            out.sheet = sheet;
        } else {
            QString error;
            auto csv = old ? OldWorkbook::firstSheetAsCsv(bytes, &error) : Workbook::firstSheetAsCsv(bytes, &error);
            if (!csv)
                throw BillError(0, error);
            out.sheet = std::move(*csv);
        }
        out.body = out.sheet;
        return out;
    }
    out.body = bytes.startsWith("\xEF\xBB\xBF") ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
    // As decodeAny has it: UTF-8 when the whole text reads as such, GB18030 otherwise.
    out.utf8 = out.body.isValidUtf8();
    encoding = out.utf8 ? QStringLiteral("UTF-8") : QStringLiteral("GB18030");
    return out;
}

// The table of a statement's text, found in as much of its first lines as it takes (tableIn): the
// text is not made a QString whole.
std::optional<FoundTable> tableOf(QByteArrayView body, bool utf8)
{
    for (qsizetype piece = 256 * 1024;; piece *= 4) {
        const bool whole = piece >= body.size();
        QByteArrayView part = body;
        if (!whole) {
            const qsizetype cut = body.first(piece).lastIndexOf('\n');
            part = body.first(cut > 0 ? cut + 1 : piece);
        }
        const QString text = utf8 ? QString::fromUtf8(part) : QString(QStringDecoder("GB18030").decode(part));
        bool needMore = false;
        auto found = tableIn(text, whole, needMore);
        if (!needMore)
            return found;
    }
}

// Where line `line` (from 1) of a text starts.
qsizetype lineStart(QByteArrayView body, int line)
{
    qsizetype at = 0;
    for (int l = 1; l < line; ++l) {
        const qsizetype end = body.indexOf('\n', at);
        if (end < 0)
            return body.size();
        at = end + 1;
    }
    return at;
}

Kind otherKind(Kind kind)
{
    return kind == Kind::Income ? Kind::Expense : kind == Kind::Expense ? Kind::Income : Kind::Neither;
}

Kind kindBySign(Money amount, Kind positive)
{
    return amount > Money() ? positive : amount < Money() ? otherKind(positive) : Kind::Neither;
}

// An amount written with digits alone (an optional sign, digits, a point and one or two decimals)
// within what a record takes, read at once; nothing for any other cell, which statementAmount reads
// (and refuses where it is no amount). An empty cell is 0 where it may be empty.
std::optional<Money> plainAmountOf(QByteArrayView cell, bool mayBeEmpty)
{
    const qsizetype n = cell.size();
    if (n == 0)
        return mayBeEmpty ? std::optional<Money>(Money()) : std::nullopt;
    qsizetype i = 0;
    const bool negative = cell[0] == '-';
    if (cell[0] == '-' || cell[0] == '+')
        ++i;
    const qsizetype digitsFrom = i;
    std::int64_t whole = 0;
    for (; i < n && cell[i] >= '0' && cell[i] <= '9'; ++i) {
        if (i - digitsFrom >= 15)
            return std::nullopt;
        whole = whole * 10 + (cell[i] - '0');
    }
    if (i == digitsFrom)
        return std::nullopt;
    std::int64_t units = whole * 10000;
    if (i < n) {
        const qsizetype decimals = n - i - 1;
        if (cell[i] != '.' || decimals < 1 || decimals > 2)
            return std::nullopt;
        std::int64_t fraction = 0;
        for (++i; i < n; ++i) {
            if (cell[i] < '0' || cell[i] > '9')
                return std::nullopt;
            fraction = fraction * 10 + (cell[i] - '0');
        }
        units += fraction * (decimals == 1 ? 1000 : 100);
    }
    if (units > kMaxRecordAmount.units())
        return std::nullopt;
    return Money::fromUnits(negative ? -units : units);
}

// Money::toPlain() as UTF-8, written into `out` (32 bytes are enough); its length.
qsizetype writePlain(Money m, char* out)
{
    std::uint64_t units = m.units() < 0 ? 0 - static_cast<std::uint64_t>(m.units()) : static_cast<std::uint64_t>(m.units());
    char digits[24];
    int n = 0;
    std::uint64_t whole = units / 10000;
    do {
        digits[n++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    qsizetype at = 0;
    if (m.units() < 0)
        out[at++] = '-';
    while (n > 0)
        out[at++] = digits[--n];
    unsigned fraction = static_cast<unsigned>(units % 10000);
    if (fraction != 0) {
        out[at++] = '.';
        for (unsigned place = 1000; fraction != 0; place /= 10) {
            out[at++] = static_cast<char>('0' + fraction / place);
            fraction %= place;
        }
    }
    return at;
}

// The dates of the date cells read so far, by the cell's text: a statement's rows share a few
// hundred days. A table of its own, found by a quick hash of the few bytes of a date.
class DateCells {
public:
    DateCells() : entries_(1024) {}

    // The date of `cell`, read with `read` the first time the cell is met.
    template <typename Read>
    const std::optional<QDate>& dateOf(QByteArrayView cell, Read read)
    {
        std::uint32_t h = 2166136261u;
        for (const char c : cell)
            h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        const std::size_t mask = entries_.size() - 1;
        std::size_t at = h & mask;
        for (; entries_[at].used; at = (at + 1) & mask)
            if (entries_[at].cell == cell)
                return entries_[at].date;
        if (2 * (count_ + 1) > entries_.size()) {
            grow();
            return dateOf(cell, read);
        }
        ++count_;
        entries_[at] = Entry{cell.toByteArray(), read(), true};
        return entries_[at].date;
    }

private:
    struct Entry {
        QByteArray cell;
        std::optional<QDate> date;
        bool used = false;
    };
    void grow()
    {
        std::vector<Entry> old(entries_.size() * 2);
        old.swap(entries_);
        const std::size_t mask = entries_.size() - 1;
        for (Entry& e : old) {
            if (!e.used)
                continue;
            std::uint32_t h = 2166136261u;
            for (const char c : e.cell)
                h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
            std::size_t at = h & mask;
            while (entries_[at].used)
                at = (at + 1) & mask;
            entries_[at] = std::move(e);
        }
    }
    std::vector<Entry> entries_;
    std::size_t count_ = 0;
};

// Reads the dated rows of a statement's table into compact rows, a row at a time from the file's
// bytes: the cells of the columns named are read where they lie, and made QStrings only where a cell
// needs more than plain digits and clean text (an amount with a currency, a word of the 收支 column, a
// text to clean).
class StatementReader {
public:
    StatementReader(const Columns& c, const Table& table, Bill& bill) : c_(c), table_(table), bill_(bill)
    {
        const QString account = !table.account.isEmpty() ? table.account : c.bank.isEmpty() ? QString() : QStringLiteral("银行 ") + c.bank;
        defaultAccount_ = account.toUtf8();
    }

    // The row of `cells` (starting on line `start`), dated `date`.
    void read(const std::vector<QByteArrayView>& cells, int start, QDate date)
    {
        Movement m = movementOf(cells, start);
        const Money amount = std::max(m.signedAmount, Money() - m.signedAmount);
        Rows::StatementRow r;
        r.line = start;
        r.date = date;
        r.amount = amount;
        r.kind = amount == Money() ? Kind::Neither : m.kind;
        QString word, skip;  // the 收支 word shown instead of the kind, and why the row is greyed
        if (amount == Money()) {
            skip = QStringLiteral("金额为零");
        } else if (!m.wordKnown) {
            word = m.word;
            skip = QStringLiteral("收支不明（%1）").arg(m.word);
            if (!unknown_.contains(m.word)) {
                unknown_.insert(m.word);
                bill_.unknownWords << m.word;
            }
        } else if (r.kind == Kind::Neither) {
            // A word the user named 不计收支: posted only when ticked, as an expense (as a bill's transfers).
            word = m.word;
            skip = QStringLiteral("不计收支");
            r.tickAs = Kind::Expense;
        } else if (!isYuan(m.currency)) {
            skip = QStringLiteral("外币（%1）").arg(m.currency);
            r.tickAs = r.kind;
        }
        const QByteArray wordBytes = word.toUtf8(), skipBytes = skip.toUtf8();
        r.kindText = word.isEmpty() ? kindNames_[static_cast<int>(r.kind)] : QByteArrayView(wordBytes);
        r.skip = skipBytes;
        r.counterparty = c_.counterparty >= 0 ? clean(cells.at(c_.counterparty), counterparty_) : QByteArrayView();
        r.item = c_.note >= 0 ? clean(cells.at(c_.note), item_) : QByteArrayView();
        char status[32];
        r.status = QByteArrayView(status, writePlain(m.signedAmount, status));
        // The movement's identity: the account it is on (a column's, else the statement's, else the
        // bank chosen), its day, money, currency and texts as written, and the balance after it.
        QByteArray account;
        if (c_.account >= 0) {
            QString a = cleanText(QString::fromUtf8(cells.at(c_.account)));
            a.remove(u' ');
            a.remove(u'-');
            account = a.toUtf8();
        }
        said_.clear();
        const QByteArray currency = isYuan(m.currency) ? QByteArray() : m.currency.toUtf8();
        for (const QByteArrayView part : {account.isEmpty() ? QByteArrayView(defaultAccount_) : QByteArrayView(account), isoDay(date), r.status,
                                          QByteArrayView(currency), r.counterparty, r.item, balanceOf(cells)}) {
            said_.append(part.data(), static_cast<std::size_t>(part.size()));
            said_ += '\x1f';
        }
        identity_.reset();
        identity_.addData(QByteArrayView(said_.data(), static_cast<qsizetype>(said_.size())));
        r.digest = identity_.resultView().data();
        bill_.rows.appendStatement(r);
    }

private:
    // The money of one row and which way it went.
    struct Movement {
        Money signedAmount;  // as the file writes it: the amount column's, or credit less debit
        Kind kind = Kind::Neither;
        QString word;        // of the 收支 column, when it decided
        bool wordKnown = true;
        QString currency;
    };

    QString columnName(int column) const
    {
        return column < table_.header.size() ? table_.header.at(column) : QStringLiteral("第 %1 列").arg(column + 1);
    }

    Money amountOf(QByteArrayView cell, int column, int line, bool mayBeEmpty, QString& currency) const
    {
        if (const auto plain = plainAmountOf(cell, mayBeEmpty))
            return *plain;
        return statementAmount(QString::fromUtf8(cell), columnName(column), line, mayBeEmpty, currency);
    }

    Movement movementOf(const std::vector<QByteArrayView>& cells, int line) const
    {
        Movement m;
        QString code;
        if (c_.amount >= 0) {
            m.signedAmount = amountOf(cells.at(c_.amount), c_.amount, line, false, code);
            m.kind = kindBySign(m.signedAmount, c_.positive);
        } else {
            QString creditCode;
            const Money debit = amountOf(cells.at(c_.debit), c_.debit, line, true, code);
            const Money credit = amountOf(cells.at(c_.credit), c_.credit, line, true, creditCode);
            m.signedAmount = std::max(credit, Money() - credit) - std::max(debit, Money() - debit);
            m.kind = kindBySign(m.signedAmount, Kind::Income);
            if (code.isEmpty())
                code = creditCode;
        }
        m.currency = c_.currency >= 0 ? cleanText(QString::fromUtf8(cells.at(c_.currency))) : QString();
        if (m.currency.isEmpty())
            m.currency = code;
        if (c_.amount >= 0 && c_.direction >= 0) {
            const QString word = cleanText(QString::fromUtf8(cells.at(c_.direction)));
            if (!word.isEmpty()) {
                m.word = word;
                const auto named = c_.words.constFind(m.word);
                const std::optional<Kind> said = named != c_.words.constEnd() ? std::optional<Kind>(*named) : commonDirection(m.word);
                m.wordKnown = said.has_value();
                m.kind = said.value_or(Kind::Neither);
            }
        }
        return m;
    }

    // A cell as cleanText leaves it, in UTF-8: the cell itself when there is nothing to clean, else
    // the cleaned text in `buffer`.
    static QByteArrayView clean(QByteArrayView cell, QByteArray& buffer)
    {
        if (cell.isEmpty() || isCleanUtf8(cell))
            return cell;
        buffer = cleanText(QString::fromUtf8(cell)).toUtf8();
        return buffer;
    }

    // The part of a row's identity beyond its account, date and texts: its balance, as a number where
    // it is one (so that "7,912.00" and "7912" are one balance).
    QByteArrayView balanceOf(const std::vector<QByteArrayView>& cells)
    {
        if (c_.balance < 0)
            return {};
        const QByteArrayView cell = clean(cells.at(c_.balance), balance_);
        Money m;
        if (const auto plain = plainAmountOf(cell, false)) {
            m = *plain;
        } else {
            QString currency;
            try {
                m = statementAmount(QString::fromUtf8(cell), QString(), 0, false, currency);
            } catch (const BillError&) {
                return cell;
            }
        }
        char plain[32];
        balancePlain_ = QByteArray(plain, writePlain(m, plain));
        return balancePlain_;
    }

    // "2026-01-05": a statement's rows share a few hundred days, each written once.
    QByteArrayView isoDay(const QDate& date)
    {
        QByteArray& iso = isoDays_[date.toJulianDay()];
        if (iso.isEmpty())
            iso = date.toString(Qt::ISODate).toUtf8();
        return iso;
    }

    const Columns& c_;
    const Table& table_;
    Bill& bill_;
    QByteArray defaultAccount_;
    QSet<QString> unknown_;
    QHash<qint64, QByteArray> isoDays_;
    QByteArray counterparty_, item_, balance_, balancePlain_;
    std::string said_;
    const QByteArray kindNames_[3] = {kindName(Kind::Neither).toUtf8(), kindName(Kind::Income).toUtf8(), kindName(Kind::Expense).toUtf8()};
    QCryptographicHash identity_{QCryptographicHash::Sha1};
};

QString percent(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString unpercent(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toLatin1());
}

QChar kindLetter(Kind kind)
{
    return kind == Kind::Income ? u'I' : kind == Kind::Expense ? u'E' : u'N';
}

std::optional<Kind> kindOfLetter(QStringView letter)
{
    if (letter == u"I")
        return Kind::Income;
    if (letter == u"E")
        return Kind::Expense;
    if (letter == u"N")
        return Kind::Neither;
    return std::nullopt;
}

}  // namespace

namespace Text {

[[noreturn]] void refuseUnknown(QByteArrayView body)
{
    // The table is in the first lines: a piece of the file is read at a time, a larger one when the
    // table may go on past it, so that a large file is not held twice (as bytes and as text) to be
    // refused.
    for (qsizetype piece = 256 * 1024;; piece *= 4) {
        const bool whole = piece >= body.size();
        QByteArrayView part = body;
        if (!whole) {
            const qsizetype cut = body.first(piece).lastIndexOf('\n');
            part = body.first(cut > 0 ? cut + 1 : piece);
        }
        bool needMore = false;
        auto found = tableIn(decodeAny(part), whole, needMore);
        if (needMore)
            continue;
        if (!found)
            throw BillError(0, QStringLiteral("没有认出这个文件：它不是支付宝或微信支付导出的账单（前 %1 行里没有它们的表头），"
                                              "也没有银行流水那样的表格：没有找到一行带日期的流水（如 2026-01-05、20260105 或 01/05），"
                                              "也没有下面跟着这样的行的表头。请选择从支付宝、微信或银行下载的账单文件；"
                                              "另存过的文件请用 UTF-8 或 GB18030（GBK）编码保存。")
                                   .arg(kHeaderSearchLines));
        const Table& t = found->table;
        bool amounts = false;
        for (int c = 0; c < t.header.size() && !amounts; ++c) {
            bool all = true, any = false;
            for (const QStringList& row : t.firstRows) {
                const QString cell = row.value(c);
                all = all && isAmountCell(cell) && !dateIn(cell, QStringLiteral("yyyyMMdd"));
                any = any || !cell.trimmed().isEmpty();
            }
            amounts = all && any;
        }
        const QString where = t.headerLine > 0 ? QStringLiteral("第 %1 行的表头和它下面带日期的行").arg(t.headerLine)
                                               : QStringLiteral("带日期的行（没有表头）");
        if (!amounts)
            throw BillError(t.headerLine, QStringLiteral("这个文件不是支付宝或微信支付的账单。找到了%1，但没有一列是金额"
                                                         "（如 -88.00、1,200.50 或 CNY 12.00），不能当作银行流水导入。")
                                              .arg(where));
        throw UnknownLayout(QStringLiteral("没有认出这个文件：它不是支付宝或微信支付导出的账单。找到了%1，请说明各列是什么。").arg(where),
                            std::move(found->table));
    }
}

}  // namespace Text

QStringList dateForms()
{
    static const QStringList forms = {QStringLiteral("yyyy-MM-dd"),  QStringLiteral("yyyy-M-d"),   QStringLiteral("yyyy/M/d"),
                                      QStringLiteral("yyyy.M.d"),    QStringLiteral("yyyyMMdd"),   QStringLiteral("yyyy年M月d日"),
                                      QStringLiteral("d/M/yyyy"),    QStringLiteral("M/d/yyyy"),   QStringLiteral("d.M.yyyy"),
                                      QStringLiteral("d MMM yyyy"),  QStringLiteral("d-MMM-yyyy"), QStringLiteral("M/d"),
                                      QStringLiteral("M-d"),         QStringLiteral("M月d日")};
    return forms;
}

bool formHasYear(const QString& form)
{
    return form.contains(QStringLiteral("yyyy"));
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

std::optional<Kind> commonDirection(const QString& word)
{
    static const QHash<QString, Kind> words = [] {
        QHash<QString, Kind> out;
        for (const char* w : {"收", "收入", "存", "存入", "贷", "贷方", "贷cr", "cr", "c", "credit", "转入", "入账", "入", "来账", "进账", "收款"})
            out.insert(QString::fromUtf8(w), Kind::Income);
        for (const char* w : {"支", "支出", "取", "支取", "取出", "借", "借方", "借dr", "dr", "d", "debit", "转出", "出账", "出", "往账", "付款"})
            out.insert(QString::fromUtf8(w), Kind::Expense);
        return out;
    }();
    QString key;
    for (const QChar c : word)
        if (!c.isSpace())
            key += c.toLower();
    const auto it = words.constFind(key);
    return it == words.constEnd() ? std::nullopt : std::optional<Kind>(*it);
}

bool isYuan(const QString& currency)
{
    if (currency.isEmpty())
        return true;
    QString key = currency;
    key.remove(u' ');
    key = key.toUpper();
    static const QStringList yuan = {QString(), QStringLiteral("CNY"), QStringLiteral("RMB"), QStringLiteral("CNH"),
                                     QStringLiteral("人民币"), QStringLiteral("人民币元"), QStringLiteral("元"),
                                     QStringLiteral("¥"), QStringLiteral("￥"), QStringLiteral("156")};
    return yuan.contains(key);
}

QDate periodEndIn(const QString& lines)
{
    // Whole dates (2026-01-31, 2026/1/31, 20260131, 2026年1月31日) and months (2024年01月, 2024-01) that
    // stand alone; the latest of them, a month taken to its last day.
    static const QRegularExpression day(QStringLiteral("(?<![0-9])(\\d{4})(?:[-/.](\\d{1,2})[-/.](\\d{1,2})|(\\d{2})(\\d{2})|"
                                                       "\\s*年\\s*(\\d{1,2})\\s*月\\s*(\\d{1,2})\\s*日)(?![0-9])"));
    static const QRegularExpression month(QStringLiteral("(?<![0-9])(\\d{4})(?:\\s*年\\s*(\\d{1,2})\\s*月(?!\\s*\\d)|[-/](\\d{1,2})(?![0-9/.\\-]))"));
    QDate latest;
    auto consider = [&latest](const QDate& d) {
        if (d.isValid() && d.year() >= 1990 && d.year() <= 2100 && (!latest.isValid() || d > latest))
            latest = d;
    };
    for (auto it = day.globalMatch(lines); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const int y = m.captured(1).toInt();
        for (const int at : {2, 4, 6})
            if (m.capturedLength(at) > 0)
                consider(QDate(y, m.captured(at).toInt(), m.captured(at + 1).toInt()));
    }
    for (auto it = month.globalMatch(lines); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QDate first(m.captured(1).toInt(), (m.captured(2) + m.captured(3)).toInt(), 1);
        consider(first.isValid() ? first.addMonths(1).addDays(-1) : QDate());
    }
    return latest;
}

int Columns::widest() const
{
    return std::max({date, amount, debit, credit, counterparty, note, direction, balance, currency, account});
}

QString Columns::toText() const
{
    QStringList named;
    for (auto it = words.cbegin(); it != words.cend(); ++it)
        named << percent(it.key()) + u'=' + kindLetter(it.value());
    return QStringLiteral("%1;%2;%3;%4;%5;%6;%7").arg(date).arg(amount).arg(debit).arg(credit).arg(counterparty).arg(note).arg(dateForm)
           + QStringLiteral(";%1;%2;%3;%4;%5;%6;%7;%8")
                 .arg(kindLetter(positive))
                 .arg(direction)
                 .arg(balance)
                 .arg(currency)
                 .arg(account)
                 .arg(alsoBank ? 1 : 0)
                 .arg(percent(bank), named.join(u'&'));
}

std::optional<Columns> Columns::fromText(const QString& text)
{
    const QStringList parts = text.split(u';');
    if ((parts.size() != 7 && parts.size() != 15) || !dateForms().contains(parts.at(6)))
        return std::nullopt;
    auto column = [&parts](int at, int& out) {
        bool ok = false;
        out = parts.at(at).toInt(&ok);
        return ok && out >= -1 && out <= 16384;
    };
    Columns c;
    c.dateForm = parts.at(6);
    bool ok = column(0, c.date) && column(1, c.amount) && column(2, c.debit) && column(3, c.credit) && column(4, c.counterparty)
              && column(5, c.note);
    if (ok && parts.size() == 15) {
        // Written with the additions: 金额为正数时, 收支列, 余额, 币种, 卡号, 同时记入银行帐, the bank, the words named.
        const auto positive = kindOfLetter(parts.at(7));
        ok = positive && *positive != Kind::Neither && column(8, c.direction) && column(9, c.balance) && column(10, c.currency)
             && column(11, c.account) && (parts.at(12) == u"0" || parts.at(12) == u"1");
        if (ok) {
            c.positive = *positive;
            c.alsoBank = parts.at(12) == u"1";
            c.bank = unpercent(parts.at(13));
        }
        for (const QString& pair : parts.at(14).split(u'&', Qt::SkipEmptyParts)) {
            const qsizetype eq = pair.lastIndexOf(u'=');
            const auto kind = eq > 0 ? kindOfLetter(QStringView(pair).mid(eq + 1)) : std::nullopt;
            ok = ok && kind.has_value();
            if (ok)
                c.words.insert(unpercent(pair.left(eq)), *kind);
        }
    }
    return ok && c.complete() ? std::optional<Columns>(c) : std::nullopt;
}

Bill readStatement(const QByteArray& bytes, const Columns& c, const QByteArray& sheet)
{
    Bill bill;
    bill.layout = Layout::Statement;
    const StatementBytes text = statementBytes(bytes, sheet, bill.encoding);
    const auto found = tableOf(text.body, text.utf8);
    if (!found || !c.complete())
        throw BillError(0, QStringLiteral("这个文件里没有找到流水的表头和带日期的行，无法按所选的列导入。"));
    const Table& table = found->table;
    const QDate periodEnd = c.periodEnd.isValid() ? c.periodEnd : table.periodEnd;
    if (!formHasYear(c.dateForm) && !periodEnd.isValid())
        throw BillError(0, QStringLiteral("流水的日期没有年份（“%1”），表格上面的几行里也没有账单期（如“2024年01月”），"
                                          "无法知道是哪一年：请在“流水的各列”里填写账单月份。")
                               .arg(c.dateForm));
    bill.headerLine = table.headerLine;
    const int needed = 1 + c.widest();
    const bool workbook = bill.encoding == kWorkbook || bill.encoding == kOldWorkbook;
    qsizetype pos = lineStart(text.body, found->rowsLine);
    int line = found->rowsLine, firstUndated = 0;
    ByteRecords records(text.body, text.utf8, static_cast<char>(table.separator.unicode()));
    StatementReader reader(c, table, bill);
    // A statement's rows share a few hundred days: each date cell is read once (a time after the day
    // aside, where the form has no blank of its own).
    DateCells dates;
    const bool cutTime = !c.dateForm.contains(u' ');
    std::vector<QByteArrayView> cells;
    bill.rows.reserve(text.body.count('\n') - found->rowsLine + 2);
    for (int start = 0; records.nextFilled(pos, line, start);) {
        cells = records.cells();
        std::optional<QDate> date;
        if (c.date < static_cast<int>(cells.size())) {
            QByteArrayView key = cells[static_cast<std::size_t>(c.date)];
            // dateIn reads only the day of an ASCII cell of up to 40 characters that has a time after it.
            if (cutTime && key.size() <= 40 && std::all_of(key.begin(), key.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; })) {
                const auto time = std::find_if(key.begin(), key.end(), [](char b) { return b == ' ' || b == 'T'; });
                if (time != key.begin() && time != key.end())
                    key.truncate(time - key.begin());
            }
            date = dates.dateOf(key, [&] { return dateIn(QString::fromUtf8(key), c.dateForm, periodEnd); });
        }
        if (!date) {
            firstUndated = firstUndated ? firstUndated : start;
            continue;
        }
        if (firstUndated)
            throw BillError(firstUndated, lineText(firstUndated) + QStringLiteral("这一行没有“%1”形式的日期，而它后面还有流水：文件可能被改动过。")
                                                                       .arg(c.dateForm));
        // A workbook's row ends at its last cell that holds anything; a text's row cut short is spoilt.
        if (workbook)
            cells.resize(std::max(cells.size(), static_cast<std::size_t>(needed)));
        if (static_cast<int>(cells.size()) < needed)
            throw BillError(start, lineText(start) + QStringLiteral("这一行只有 %1 列，流水的表头有 %2 列；这一行可能被截断或改动过。")
                                                         .arg(cells.size())
                                                         .arg(table.header.size()));
        reader.read(cells, start, *date);
    }
    bill.rows.numberEqualRows();
    bill.counted = countedTotals(bill);
    return bill;
}

QStringList formerStatementKeys(const Bill& bill)
{
    QStringList out;
    out.reserve(bill.rows.size());
    QHash<QString, int> equal;
    const Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString same = QStringList{rows.date(i).toString(Qt::ISODate), rows.status(i), rows.counterparty(i), rows.item(i)}.join(u'|');
        out << same + QLatin1Char('|') + QString::number(++equal[same]);
    }
    return out;
}

}  // namespace Bills
