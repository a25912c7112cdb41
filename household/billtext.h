#pragma once

#include "bills.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <vector>

// What the readers of bills (bills.cpp) and of bank statements (statements.cpp) share: the CSV
// records of a file's text, its cells cleaned for the books, its amounts and the lines messages name.
// Not for the windows: they see bills.h.
namespace Bills::Text {

// How many lines may come before a header: the exports write about two dozen lines of notes.
inline constexpr int kHeaderSearchLines = 200;
// The most characters one cell of a file may hold (a note of a thousand lines is far less): a
// longer one is refused, naming its line, before it costs memory.
inline constexpr qsizetype kMaxCellChars = 1024 * 1024;

// A cell longer than kMaxCellChars (a BillError naming its line).
class CellTooLong : public BillError {
public:
    using BillError::BillError;
};

// "第 12 行：", the start of a message about line 12.
QString lineText(int line);

// One record of CSV text starting at `pos`: cells split at `separator`, quoted cells keep
// separators, line breaks and doubled quotes, blanks and tabs around a cell are dropped. `line` is
// advanced over the lines the record takes. False at the end of the text. Raises BillError for a
// quote never closed and CellTooLong for a cell over kMaxCellChars, naming the line the record
// starts on.
bool nextRecord(const QString& text, qsizetype& pos, int& line, QStringList& cells, QChar separator = u',');
// The next record that holds anything, starting on line `start`; false at the end of the text.
bool nextFilledRecord(const QString& text, qsizetype& pos, int& line, QStringList& cells, int& start, QChar separator = u',');

// The records of a text as the file holds it, read without making the whole text a QString: UTF-8 or
// GB18030, whose separators, quotes and line ends are the same ASCII bytes and never part of another
// character. Each record is read as nextRecord reads it; its cells are given as UTF-8, views of the
// text where they can be and of the reader's own buffer where a cell had quotes to take out or was
// in GB18030. A cell is over kMaxCellChars when it has more characters (UTF-16 units) than that.
class ByteRecords {
public:
    ByteRecords(QByteArrayView text, bool utf8, char separator) : text_(text), utf8_(utf8), separator_(separator) {}
    // The record starting at `pos`, as nextRecord; its cells are valid until the next call.
    bool next(qsizetype& pos, int& line);
    // The next record that holds anything, starting on line `start`, as nextFilledRecord.
    bool nextFilled(qsizetype& pos, int& line, int& start);
    const std::vector<QByteArrayView>& cells() const { return cells_; }

private:
    struct Span {
        qsizetype at = 0, size = 0;
        bool own = false;  // in buffer_, not in the text
    };
    // The cell's UTF-16 length, over kMaxCellChars or not, once it has more bytes than that.
    void checkLength(const Span& cell, qsizetype rawFrom, qsizetype rawTo, int startLine);
    Span finish(Span cell);
    // Whether the bytes are blanks only (or nothing).
    bool blank(QByteArrayView bytes) const;

    QByteArrayView text_;
    bool utf8_;
    char separator_;
    QByteArray buffer_;
    std::vector<Span> spans_;
    std::vector<QByteArrayView> cells_;
    qsizetype nextCheck_ = 0;
};

// The UTF-16 length of UTF-8 text (what a QString of it would count).
qsizetype utf16Length(QByteArrayView utf8);

// Whether the UTF-8 text `cell` is as cleanText leaves it (nothing to clean).
bool isCleanUtf8(QByteArrayView cell);

// A header name with its ASCII blanks removed and full-width brackets made plain.
QString normalName(const QString& name);
// Control characters (line breaks inside a quoted cell among them) become blanks; "/" is nothing.
QString cleanText(const QString& text);
// A cell of the file as a message quotes it: on one line, and not the whole of a long one.
QString excerpt(const QString& cell);

enum class AmountRead { Ok, NotANumber, TooLarge, SubCent, Empty };
// An amount as the bills write it: "12.50", "¥12.50", "￥1,234.00". An empty cell is 0 where
// `mayBeEmpty` (a column of refunds), and no amount elsewhere; a yuan sign without digits is never
// an amount.
AmountRead parseAmount(const QString& text, Money& amount, bool mayBeEmpty);
// The same, raising BillError that names the column and the line for what is no amount.
Money readAmount(const QString& text, const QString& column, int line, bool mayBeEmpty = false);

// What the bill's own rows come to, before anything is ticked or found imported.
Totals countedTotals(const Bill& bill);

// The text of a file that holds no bill's header: UTF-8 when it reads as such, GB18030 otherwise.
QString decodeAny(QByteArrayView body, QString* encoding = nullptr);

// Reads the table of a file whose header is none of the bills': the column dialog's table, or a
// BillError saying what the file lacks (no header and dated rows, no column of amounts).
[[noreturn]] void refuseUnknown(QByteArrayView body);

}  // namespace Bills::Text
