#pragma once

#include "money.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <cstdint>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <vector>

// The bills that Alipay and WeChat Pay let a user download: CSV files (or Excel workbooks) of every
// transaction, in one of three layouts. A bill is recognised by its header row, whatever its encoding
// (UTF-8 with or without a byte-order mark, or GB18030), and read into rows. Reading only reads: what the ledgers
// already hold is told by billposting.h.
namespace Bills {

enum class Layout {
    AlipayClassic,  // the older Alipay export: 16 columns from 交易号 to 资金状态, totals at the end
    Alipay,         // the newer Alipay export: 交易时间 ... 交易订单号, 商家订单号, 备注
    WeChat,         // WeChat Pay: 交易时间 ... 交易单号, 商户单号, 备注; amounts as "¥12.50"
    Statement,      // a bank's statement, its columns named by the user
};

enum class Kind { Neither, Income, Expense };

struct Row {
    int line = 0;          // the line of the file the row starts on, from 1
    QString trade;         // the trade number the payment service gives it
    QDate date;
    Kind kind = Kind::Neither;
    QString kindText;      // 收/支 as the file writes it
    QString counterparty;  // line breaks and other control characters made blanks
    QString item;
    Money amount;          // what was paid or received: a partial refund is taken off
    Money refunded;        // the partial refund taken off
    QString status;
    QString skip;          // why the row is not posted, as far as the file tells; empty: it is posted
    // A row greyed for a reason a family may not share can be ticked to post it anyway, as this kind
    // (Neither: it cannot be ticked).
    Kind tickAs = Kind::Neither;
    bool ticked = false;
    // A refund of the newer Alipay layout: the trade number of the payment it gives back, and the row
    // of the bill it was taken off (0: the payment is not in the bill).
    QString refundOf;
    int refundedFrom = 0;
    // A refund of a payment imported by an earlier bill: the record that payment became, to be lowered
    // by the refund (told by billposting.h; 0: none).
    QString earlierLedger;
    qint64 earlierRecord = 0;
};

// Whether the row becomes a record, and as what.
inline bool posts(const Row& row) { return (row.skip.isEmpty() && row.earlierRecord == 0) || row.ticked; }
inline Kind postedKind(const Row& row) { return row.ticked ? row.tickAs : row.kind; }
inline bool lowersEarlier(const Row& row) { return row.skip.isEmpty() && row.earlierRecord != 0; }

// The rows of a bill, held compactly: a statement may have a million rows, all of them held while it
// is previewed and posted. Each row's numbers are kept as they are, its texts in one buffer of UTF-8
// for all rows (a counterparty, a reason or a word that many rows share kept once), and a statement
// row's number as the digest it is made of. A row is made whole (a Row) only where one is read as a
// whole; what the import reads of every row is read a field at a time.
class Rows {
public:
    Rows();

    qsizetype size() const { return static_cast<qsizetype>(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    void reserve(qsizetype rows);
    void append(const Row& row);
    Rows& operator<<(const Row& row)
    {
        append(row);
        return *this;
    }
    Row at(qsizetype i) const;
    Row operator[](qsizetype i) const { return at(i); }
    Row first() const { return at(0); }
    Row last() const { return at(size() - 1); }
    // Row i becomes `row`.
    void replace(qsizetype i, const Row& row);

    // The rows one after the other, each made whole as it is reached.
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Row;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Row;
        const_iterator(const Rows* rows, qsizetype at) : rows_(rows), at_(at) {}
        Row operator*() const { return rows_->at(at_); }
        const_iterator& operator++()
        {
            ++at_;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator was = *this;
            ++at_;
            return was;
        }
        bool operator==(const const_iterator& other) const { return at_ == other.at_; }

    private:
        const Rows* rows_;
        qsizetype at_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // One field of row i (as Row has it).
    int line(qsizetype i) const { return rows_[static_cast<std::size_t>(i)].line; }
    QDate date(qsizetype i) const;
    Kind kind(qsizetype i) const { return static_cast<Kind>(rows_[static_cast<std::size_t>(i)].kind); }
    Kind tickAs(qsizetype i) const { return static_cast<Kind>(rows_[static_cast<std::size_t>(i)].tickAs); }
    bool ticked(qsizetype i) const { return rows_[static_cast<std::size_t>(i)].ticked; }
    Money amount(qsizetype i) const { return Money::fromUnits(rows_[static_cast<std::size_t>(i)].amount); }
    Money refunded(qsizetype i) const { return Money::fromUnits(rows_[static_cast<std::size_t>(i)].refunded); }
    int refundedFrom(qsizetype i) const { return rows_[static_cast<std::size_t>(i)].refundedFrom; }
    qint64 earlierRecord(qsizetype i) const { return rows_[static_cast<std::size_t>(i)].earlierRecord; }
    QString trade(qsizetype i) const;
    QString kindText(qsizetype i) const { return text(rows_[static_cast<std::size_t>(i)].texts[KindText]); }
    QString counterparty(qsizetype i) const { return text(rows_[static_cast<std::size_t>(i)].texts[Counterparty]); }
    QString item(qsizetype i) const { return text(rows_[static_cast<std::size_t>(i)].texts[Item]); }
    QString status(qsizetype i) const { return text(rows_[static_cast<std::size_t>(i)].texts[Status]); }
    QString skip(qsizetype i) const { return text(rows_[static_cast<std::size_t>(i)].texts[Skip]); }
    QString refundOf(qsizetype i) const { return text(rows_[static_cast<std::size_t>(i)].texts[RefundOf]); }
    QString earlierLedger(qsizetype i) const { return text(rows_[static_cast<std::size_t>(i)].texts[EarlierLedger]); }
    // The counterparty and the item of row i as they are kept, in UTF-8.
    QByteArrayView counterpartyUtf8(qsizetype i) const { return textView(rows_[static_cast<std::size_t>(i)].texts[Counterparty]); }
    QByteArrayView itemUtf8(qsizetype i) const { return textView(rows_[static_cast<std::size_t>(i)].texts[Item]); }
    // The trade number of row i in UTF-8: in `buffer` (or where it is kept).
    QByteArrayView tradeUtf8(qsizetype i, char (&buffer)[64]) const;
    // Whether row i has a reason not to be posted (Row::skip not empty), or is a refund of a trade.
    bool skipped(qsizetype i) const { return rows_[static_cast<std::size_t>(i)].texts[Skip] != 0; }
    bool isRefund(qsizetype i) const { return rows_[static_cast<std::size_t>(i)].texts[RefundOf] != 0; }
    // Where the counterparty is kept (0: empty): rows of one number have the same counterparty (rows
    // of two numbers may too), while the rows are not changed.
    quint32 counterpartyKey(qsizetype i) const { return rows_[static_cast<std::size_t>(i)].texts[Counterparty]; }
    // posts(), postedKind() and lowersEarlier() of row i.
    bool posts(qsizetype i) const
    {
        const Stored& r = rows_[static_cast<std::size_t>(i)];
        return (r.texts[Skip] == 0 && r.earlierRecord == 0) || r.ticked;
    }
    Kind postedKind(qsizetype i) const { return static_cast<Kind>(ticked(i) ? rows_[static_cast<std::size_t>(i)].tickAs : rows_[static_cast<std::size_t>(i)].kind); }
    bool lowersEarlier(qsizetype i) const { return !skipped(i) && earlierRecord(i) != 0; }

    // Changes of one field of row i.
    void setTicked(qsizetype i, bool ticked) { rows_[static_cast<std::size_t>(i)].ticked = ticked; }
    void setTickAs(qsizetype i, Kind kind) { rows_[static_cast<std::size_t>(i)].tickAs = static_cast<quint8>(kind); }
    void setSkip(qsizetype i, const QString& skip) { rows_[static_cast<std::size_t>(i)].texts[Skip] = keep(skip.toUtf8(), true); }
    void setAmount(qsizetype i, Money amount) { rows_[static_cast<std::size_t>(i)].amount = amount.units(); }
    void setRefunded(qsizetype i, Money refunded) { rows_[static_cast<std::size_t>(i)].refunded = refunded.units(); }
    void setRefundOf(qsizetype i, const QString& trade) { rows_[static_cast<std::size_t>(i)].texts[RefundOf] = keep(trade.toUtf8(), false); }
    void setRefundedFrom(qsizetype i, int line) { rows_[static_cast<std::size_t>(i)].refundedFrom = line; }
    void setEarlier(qsizetype i, const QString& ledger, qint64 record);

    // A statement's row as its reader makes it: the texts in UTF-8 and clean, the number made of the
    // row's day, the first 12 bytes of the digest of its identity and, once every row is in
    // (numberEqualRows), its place among the rows of the same digest.
    struct StatementRow {
        int line = 0;
        QDate date;
        Kind kind = Kind::Neither, tickAs = Kind::Neither;
        Money amount;
        QByteArrayView kindText, counterparty, item, status, skip;
        const char* digest = nullptr;  // 12 bytes
    };
    void appendStatement(const StatementRow& row);
    // Gives each statement row its place among the rows of the same digest, in the order they come.
    void numberEqualRows();

private:
    enum Text { Trade, KindText, Counterparty, Item, Status, Skip, RefundOf, EarlierLedger, TextCount };
    struct Stored {
        std::int64_t amount = 0, refunded = 0, earlierRecord = 0;
        std::int32_t line = 0, day = 0, refundedFrom = 0;
        std::uint32_t texts[TextCount] = {};  // where each text is in texts_ (0: empty)
        std::uint32_t place = 0;              // of a statement's row among equal ones (0: its trade is a text)
        char digest[12] = {};
        std::uint8_t kind = 0, tickAs = 0;
        bool ticked = false;
    };
    // A text kept in texts_: where it is. Texts that many rows may share (`shared`) are kept once.
    std::uint32_t keep(QByteArrayView utf8, bool shared);
    QString text(std::uint32_t at) const;
    QByteArrayView textView(std::uint32_t at) const;
    void store(Stored& stored, const Row& row);

    std::vector<Stored> rows_;
    QByteArray texts_;                   // each text's length (7 bits a byte, low first), then the text
    std::vector<std::uint32_t> shared_;  // where the texts kept once are, by their hash (0: none)
    std::size_t sharedCount_ = 0;
};

// Income and expense: how many rows and how much.
struct Totals {
    int incomeCount = 0, expenseCount = 0;
    Money income, expense;
    bool operator==(const Totals&) const = default;
};

struct Bill {
    Layout layout = Layout::WeChat;
    QString encoding;      // "UTF-8", "GB18030", or kWorkbook or kOldWorkbook for an Excel workbook
    int headerLine = 0;
    Rows rows;
    // What the lines before the header say the bill holds ("支出：60笔 10849.88元"), when they say it;
    // the older Alipay layout says it after its rows ("已支出:47笔,2345.67元").
    std::optional<Totals> stated;
    bool statedAfterRows = false;
    // What the bill's own rows come to, refunds taken off, before anything is ticked or found imported.
    Totals counted;
    // A statement's words in its 收支 column that say neither way as far as the program knows and were
    // not named yet (their rows are greyed until the user says what each means).
    QStringList unknownWords;
};

inline const QString kWorkbook = QStringLiteral("Excel 工作簿");
inline const QString kOldWorkbook = QStringLiteral("旧版 Excel 工作簿");

// A file that is not a bill of the three layouts, or a bill with a fault: what is wrong, for the
// user, starting with the line it is on ("第 12 行：...") when there is one.
class BillError : public std::runtime_error {
public:
    BillError(int line, const QString& text);
    int line() const { return line_; }
    const QString& text() const { return text_; }

private:
    int line_;
    QString text_;
};

// A table in a layout the program does not know (a bank's statement): its header and first rows, for
// the user to say which column holds what, and what the lines above it say of the statement.
struct Table {
    int headerLine = 0;  // 0: the table has no header row; its columns are named 第 1 列, 第 2 列, ...
    QStringList header;
    QList<QStringList> firstRows;  // up to five, each with a date
    QChar separator = u',';        // of its cells: a comma, or a tab
    QString account;               // the card or account number the lines above the table give
    QDate periodEnd;               // the last day of the statement's period they give (invalid: none)
    bool creditCard = false;       // they or the header say 信用卡
    // A workbook's first sheet as CSV text in UTF-8, as read() made it: readStatement takes it
    // instead of reading the workbook a second time.
    QByteArray sheet;
};

// Which column of a statement holds what (from 0; -1: none): the date, and either the signed amount or
// the debit (支出) and credit (收入) columns; the counterparty and the note may be left out. With them,
// what tells the direction of a movement, the columns that tell movements apart (balance, account)
// and the currency, and the bank whose ledger the movements also go into.
struct Columns {
    int date = -1, amount = -1, debit = -1, credit = -1, counterparty = -1, note = -1;
    QString dateForm;  // one of dateForms()
    // 金额为正数时: what a positive amount in the amount column is (a credit card lists purchases above
    // zero); a negative one is the other.
    Kind positive = Kind::Income;
    // 收支列: a column whose words say which way the money went (借/贷, 收/支, 存入/支取, ...): the amount
    // is then taken without its sign. Its words beyond the common ones, as the user named them
    // (Neither: 不计收支).
    int direction = -1;
    QMap<QString, Kind> words;
    int balance = -1, currency = -1, account = -1;
    QString bank;           // the file's bank (银行.ID): the account when the file names none
    bool alsoBank = false;  // 同时记入银行帐: each posted movement also into 银行帐 of that bank
    // For dates without a year: the last day of the statement's period, as the user gave it. Not
    // remembered: each statement has its own.
    QDate periodEnd;

    bool complete() const { return date >= 0 && !dateForm.isEmpty() && (amount >= 0 || (debit >= 0 && credit >= 0)); }
    // The largest column named.
    int widest() const;
    // As one line of text, and back (nothing for a line that is no such text). Lines written before
    // the direction and the other additions were there read with their defaults.
    QString toText() const;
    static std::optional<Columns> fromText(const QString& text);
};

// Raised for a file that is text (or a workbook) and holds a table, but whose header is none of the
// bills': its table, for the user to name the columns.
class UnknownLayout : public BillError {
public:
    UnknownLayout(const QString& text, Table table) : BillError(0, text), table_(std::move(table)) {}
    const Table& table() const { return table_; }

private:
    Table table_;
};

// The date forms a statement may write ("yyyy-MM-dd", "yyyyMMdd", "M/d", ...), a time after the date
// allowed. Some have no year: the year comes from the statement's period.
QStringList dateForms();
bool formHasYear(const QString& form);
// Whether `form` reads every date of `column` in the table's first rows.
bool formReads(const Table& table, int column, const QString& form);
// The first form that reads them; empty when none does.
QString guessDateForm(const Table& table, int column);
// The header as a key: the same for every statement of one layout.
QString headerKey(const QStringList& header);
// The direction a word of a statement's 收支 column says, when it is one of the common ones (借 Dr,
// 贷 Cr, 收, 支出, 存入, 支取, ...; letter case and blanks aside).
std::optional<Kind> commonDirection(const QString& word);
// Whether a currency (a column's value or a code beside an amount) is the yuan: 人民币, CNY, RMB, ...
bool isYuan(const QString& currency);
// The last day of a statement's period as the lines above its table tell it ("2024年01月",
// "起始日期：20260101 结束日期：20260131", ...); invalid when they tell none.
QDate periodEndIn(const QString& lines);

// The largest file taken for a bill; a bill of 10,000 rows is about 2 MB.
inline constexpr qint64 kMaxFileBytes = 64LL * 1024 * 1024;

// Reads a bill; raises BillError for anything that is not a sound bill: nothing of such a file is
// to be posted (UnknownLayout for a table of a layout it does not know).
Bill read(const QByteArray& bytes);
// The bytes of a file, refused (BillError) when it cannot be read or is too large for a bill.
QByteArray fileBytes(const QString& path);
// Reads a statement whose table read() gave, with its columns named. Rows have no trade numbers: each
// gets one made of its account (the card or account number of the lines above the table or of its
// column, else the bank chosen), date, amount, counterparty, note, balance and its place among the
// rows equal in all of these, so that overlapping statements post each movement once and the same
// movement on two cards twice; texts compare exactly. Rows after the last dated one are the
// statement's totals and are left out. Rows in another currency than the yuan are greyed "外币（HKD）"
// and can be ticked; rows whose 收支 word is not known yet are greyed and their words listed in
// Bill::unknownWords.
Bill readStatement(const QByteArray& bytes, const Columns& columns, const QByteArray& sheet = {});
// The numbers the program gave a statement's rows before they named the account (date, amount,
// counterparty, note, place among such rows of the file): statements imported then are known by them.
QStringList formerStatementKeys(const Bill& bill);

// "支付宝账单（旧版）", "支付宝账单", "微信支付账单", "银行流水".
QString layoutName(Layout layout);
// "支付宝", "微信支付" or "银行": trade numbers are unique within one payment service.
QString source(Layout layout);
// "收入", "支出" (empty for neither).
QString kindName(Kind kind);

// The note a posted row gets: counterparty and item, at most `characters` characters as the user
// sees them (an emoji counts one and is never cut in half).
QString note(const Row& row, int characters = 20);
QString note(const QString& counterparty, const QString& item, int characters = 20);
// The first `count` characters of `text` as the user sees them.
QString firstCharacters(const QString& text, int count);

}  // namespace Bills
