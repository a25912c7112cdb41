#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <cstdint>
#include <vector>

class Recordset;

// A result's rows as text for spreadsheets (Excel, WPS): CSV files and the clipboard.
//
// One line per row, CRLF at its end. Amounts as plain numbers with two decimals (1234.50, -3.00),
// dates as the file holds them (YYYY-MM-DD), whole numbers as they are, texts as UTF-8. A cell that
// holds the separator, a double quote or a line break is quoted, its quotes doubled (RFC 4180). A text
// that a spreadsheet would run as a formula (it begins with =, +, -, @, a tab or a carriage return)
// is written after an apostrophe, so that it shows as the text it is.
namespace CsvWriter {

struct Column {
    int field = 0;        // of the recordset
    QString header;
    bool amount = false;  // a plain number with two decimals
};

// The rows (of the recordset's saved rows, in the order given), after a line of headers when asked.
QByteArray lines(const Recordset& rs, const std::vector<Column>& columns, const std::vector<int>& rows,
                 char separator, bool headers);

// The rows as a CSV file with its headers, in UTF-8 after a byte-order mark (so that Excel and WPS
// read Chinese as Chinese). Written under a temporary name beside `path` and put in its place once
// every byte is written and on the disk, its folder flushed (DiskWrites): a failure leaves no half
// file, and an earlier file at `path` as it was; a file written stays written.
// NoError, or what went wrong.
QFileDevice::FileError writeFile(const QString& path, const Recordset& rs, const std::vector<Column>& columns,
                                 const std::vector<int>& rows);

// One cell as the lines above write it, for rows that are no recordset's (a grid over another
// model): a text, and an amount in ten-thousandths of a yuan.
QString textCell(const QString& text, char separator);
QString amountCell(std::int64_t units);

}  // namespace CsvWriter
