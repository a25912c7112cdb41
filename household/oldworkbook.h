#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Old Excel workbooks (.xls, BIFF5 and BIFF8 in an OLE compound file), as CCB, CITIC and SPDB export
// their statements, read through FreeXL. Only what a statement needs: the first worksheet's cells as
// text, numbers as the sheet stores them and dates as "2026-01-05" (with the time when there is one).
namespace OldWorkbook {

// Whether the bytes start as an OLE compound file does (an old Excel workbook or another Office file).
bool looksLikeOle(const QByteArray& bytes);

// The first worksheet as CSV text, in the form Workbook::firstSheetAsCsv gives (line N is row N,
// cells quoted where they hold a comma or a quote, line breaks inside a cell made blanks). Nothing,
// with `error` set to a message for the user, when the bytes are not a workbook FreeXL can read.
std::optional<QByteArray> firstSheetAsCsv(const QByteArray& bytes, QString* error);

}  // namespace OldWorkbook
