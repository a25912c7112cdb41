// Fuzz target for reading bills, as a file of their own and as the worksheet of an Excel workbook:
// whatever bytes a file holds, reading either refuses it with a line that lies in the file, or gives
// rows (a bill's, or a statement's with its date and amount columns named as the dialog guesses them)
// of which every row to be posted is one a record takes: an
// income or expense with a trade number, a real date, an amount above zero and within a record's
// bound, and texts without control characters whose note keeps to 20 characters as the user sees them.
#include "bills.h"
#include "check.h"
#include "workbook.h"

#include <QBuffer>
#include <QTextBoundaryFinder>
#include <quazip.h>
#include <quazipfile.h>

namespace {

int characters(const QString& text)
{
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (f.toNextBoundary() != -1)
        ++n;
    return n;
}

bool hasControl(const QString& text)
{
    for (QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

// The bytes as the worksheet of a workbook, so that the workbook reader meets them without the ZIP
// around them having to come out right first.
QByteArray asWorkbook(const QByteArray& sheet)
{
    QByteArray out;
    QBuffer buffer(&out);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    QuaZipFile file(&zip);
    file.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("xl/worksheets/sheet1.xml")));
    file.write(sheet);
    file.close();
    zip.close();
    return out;
}

// Checks the rows of a bill or statement whose rows lie on lines 1 to `lines`.
void checkRows(const Bills::Bill& bill, qsizetype lines)
{
    CHECK(bill.headerLine >= 0 && bill.headerLine <= lines);
    int last = bill.headerLine;
    for (const Bills::Row& r : bill.rows) {
        CHECK(r.line > last && r.line <= lines);
        last = r.line;
        CHECK(!hasControl(r.counterparty) && !hasControl(r.item));
        const QString note = Bills::note(r);
        CHECK(characters(note) <= 20 && !hasControl(note));
        if (!r.skip.isEmpty())
            continue;
        CHECK(r.kind != Bills::Kind::Neither);
        CHECK(!r.trade.isEmpty());
        CHECK(r.date.isValid());
        CHECK(r.amount > Money() && r.amount <= kMaxRecordAmount);
    }
}

// A statement read with the first column whose first rows are dates as its date and each other
// column in turn as its signed amount.
void checkStatement(const QByteArray& bytes, const Bills::Table& table, qsizetype lines)
{
    CHECK(table.headerLine >= 0 && table.headerLine <= lines && !table.header.isEmpty());
    Bills::Columns c;
    for (int column = 0; column < table.header.size() && c.date < 0; ++column)
        if (const QString form = Bills::guessDateForm(table, column); !form.isEmpty()) {
            c.date = column;
            c.dateForm = form;
        }
    if (c.date < 0)
        return;
    c.periodEnd = QDate(2026, 1, 31);
    c.direction = table.header.size() > 2 ? 2 : -1;
    for (int amount = 0; amount < table.header.size() && amount < 4; ++amount) {
        if (amount == c.date)
            continue;
        c.amount = amount;
        c.counterparty = table.header.size() - 1;
        try {
            checkRows(Bills::readStatement(bytes, c), lines);
        } catch (const Bills::BillError& e) {
            CHECK(e.line() >= 0 && e.line() <= lines);
            CHECK(!e.text().isEmpty());
        }
    }
}

// Reads the bytes as a bill whose rows lie on lines 1 to `lines`, and checks what comes out.
void check(const QByteArray& bytes, qsizetype lines)
{
    try {
        const Bills::Bill bill = Bills::read(bytes);
        CHECK(bill.headerLine >= 1);
        checkRows(bill, lines);
    } catch (const Bills::UnknownLayout& e) {
        checkStatement(bytes, e.table(), lines);
    } catch (const Bills::BillError& e) {
        CHECK(e.line() >= 0 && e.line() <= lines);
        CHECK(!e.text().isEmpty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool workbook = Workbook::looksLikeZip(bytes) || bytes.startsWith("\xD0\xCF\x11\xE0");
    check(bytes, workbook ? 1048576 : bytes.count('\n') + 1);
    // A workbook's rows are the sheet's, up to Excel's last row.
    check(asWorkbook(bytes), 1048576);
    return 0;
}
