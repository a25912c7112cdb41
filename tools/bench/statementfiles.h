#pragma once

// The files that the benchmark imports: a WeChat Pay bill, and the same records as a bank's
// statement in a layout the program does not know, as CSV, as .xlsx and as .xls.
#include <QString>
#include <QStringList>
#include <vector>

namespace Bench {

struct BillRecord {
    bool income;
    QString counterparty, item, date;
    double amount;
};

// A bill of `rows` rows of `year` (a fifth of them income) from 50 counterparties, as the bench
// posts it, and the same rows as the C API inserts them.
std::vector<BillRecord> billRecords(int rows, int year);
void writeBill(const QString& path, const std::vector<BillRecord>& records);
// The records as a bank's statement: debit and credit columns, a balance, the totals after the rows.
void writeStatement(const QString& path, const std::vector<BillRecord>& records);
// The statement at `csvPath` as an Excel workbook (.xlsx): texts as shared strings, amounts as numbers.
void writeStatementWorkbook(const QString& csvPath, const QString& path);
// The same as an old Excel workbook (.xls, BIFF8), written by a Debian-packaged Perl module
// (tools/bench/statement-xls.pl); false when it is not installed.
bool writeStatementOldWorkbook(const QString& csvPath, const QString& path);
// The keys the import keeps for statement rows, of their length and form, made before the floor's
// clock starts.
QStringList statementKeys(const std::vector<BillRecord>& records);

}  // namespace Bench
