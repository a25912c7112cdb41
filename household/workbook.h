#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Excel workbooks (.xlsx): a ZIP file of XML parts. Only what a bill needs is read: the first
// worksheet's cells as text, shared and inline strings as written, numbers as the sheet stores them
// (12.5, not 12.500000000000002), and numbers in a date format as "2026-03-01 10:00:00".
namespace Workbook {

// Whether the bytes start as a ZIP file does (a workbook or any other ZIP).
bool looksLikeZip(const QByteArray& bytes);

// The first worksheet as CSV text in UTF-8: line N is the sheet's row N (rows the sheet leaves out are empty
// lines), cells in their columns, each quoted where it holds a comma or a quote, line breaks inside
// a cell made blanks. Nothing, with `error` set to a message for the user, when the bytes are not a
// sound workbook or it is too large.
// Appends a cell to CSV text: line breaks made blanks, quoted where it holds a comma or a quote.
void appendCsvCell(QByteArray& out, QByteArrayView text);

std::optional<QByteArray> firstSheetAsCsv(const QByteArray& bytes, QString* error);

}  // namespace Workbook
