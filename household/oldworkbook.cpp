#include "oldworkbook.h"

#include "workbook.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <freexl.h>

namespace OldWorkbook {

namespace {

// The most text the sheet may give: a statement of 10,000 rows is a few MB.
constexpr qsizetype kMaxSheetBytes = 64LL * 1024 * 1024;

// Appends a cell, as the sheet shows it near enough, to a row of CSV text: numbers as stored (12.5,
// not 12.500000000000002), dates and times as FreeXL writes them ("2026-01-05", "2026-01-05 10:00:00"),
// line breaks made blanks, quoted where it holds a comma or a quote.
void appendCell(QByteArray& out, const FreeXL_CellValue& v)
{
    QByteArray made;
    QByteArrayView text;
    switch (v.type) {
    case FREEXL_CELL_INT:
        made = QByteArray::number(v.value.int_value);
        text = made;
        break;
    case FREEXL_CELL_DOUBLE:
        made = QByteArray::number(v.value.double_value, 'g', 15);
        text = made;
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        text = v.value.text_value ? QByteArrayView(v.value.text_value) : QByteArrayView();
        if (!text.isValidUtf8()) {
            made = QString::fromUtf8(text).toUtf8();  // what is no UTF-8 made U+FFFD, as QString has it
            text = made;
        }
        break;
    default:
        break;
    }
    Workbook::appendCsvCell(out, text);
}

// Closes the workbook however the reading ends.
struct Handle {
    const void* xls = nullptr;
    ~Handle()
    {
        if (xls)
            freexl_close(xls);
    }
};

}  // namespace

bool looksLikeOle(const QByteArray& bytes)
{
    return bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

std::optional<QByteArray> firstSheetAsCsv(const QByteArray& bytes, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return std::nullopt;
    };
    // FreeXL reads a file by its name: the bytes already read go to a private temporary copy, so
    // that what is read is what was checked.
    QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/kinbook-XXXXXX.xls"));
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return fail(QStringLiteral("无法把这个旧版 Excel 文件复制到临时文件夹（%1）。").arg(copy.errorString()));
    Handle book;
    const int opened = freexl_open(QFile::encodeName(copy.fileName()).constData(), &book.xls);
    if (opened != FREEXL_OK) {
        book.xls = nullptr;  // FreeXL has let go of what it had opened
        return fail(opened == FREEXL_INSUFFICIENT_MEMORY
                        ? QStringLiteral("这个旧版 Excel 文件太大，读不了。")
                        : QStringLiteral("这是一个 Office 文件，但不是能读的旧版 Excel 工作簿（.xls），文件可能已损坏。"));
    }
    unsigned int info = 0;
    if (freexl_get_info(book.xls, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info != FREEXL_BIFF_PLAIN)
        return fail(QStringLiteral("这个旧版 Excel 工作簿有密码保护，读不了：请在 Excel 或 WPS 里去掉密码，或另存为 .xlsx 后再导入。"));
    unsigned int sheets = 0;
    if (freexl_get_info(book.xls, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0
        || freexl_select_active_worksheet(book.xls, 0) != FREEXL_OK)
        return fail(QStringLiteral("这个旧版 Excel 工作簿里没有工作表。"));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(book.xls, &rows, &columns) != FREEXL_OK)
        return fail(QStringLiteral("这个旧版 Excel 工作簿的工作表读不出来，文件可能已损坏。"));
    QByteArray out;
    for (unsigned int r = 0; r < rows; ++r) {
        if (r > 0)
            out += '\n';
        // The row up to its last cell that holds anything.
        qsizetype filled = out.size();
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(book.xls, r, c, &value) != FREEXL_OK)
                return fail(QStringLiteral("旧版 Excel 工作表第 %1 行第 %2 列读不出来，文件可能已损坏。").arg(r + 1).arg(c + 1));
            if (c > 0)
                out += ',';
            const qsizetype before = out.size();
            appendCell(out, value);
            if (out.size() > before)
                filled = out.size();
        }
        out.truncate(filled);
        if (out.size() > kMaxSheetBytes)
            return fail(QStringLiteral("工作表太大，不是一份账单。"));
    }
    return out;
}

}  // namespace OldWorkbook
