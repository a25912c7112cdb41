// Fuzz target for reading bills: whatever bytes a file holds, reading either refuses it with a line
// that lies in the file, or gives rows of which every row to be posted is one a record takes: an
// income or expense with a trade number, a real date, an amount above zero and within a record's
// bound, and texts without control characters whose note keeps to 20 characters as the user sees them.
#include "bills.h"
#include "check.h"

#include <QTextBoundaryFinder>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype lines = bytes.count('\n') + 1;
    try {
        const Bills::Bill bill = Bills::read(bytes);
        CHECK(bill.headerLine >= 1 && bill.headerLine <= lines);
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
    } catch (const Bills::BillError& e) {
        CHECK(e.line() >= 0 && e.line() <= lines);
        CHECK(!e.text().isEmpty());
    }
    return 0;
}
