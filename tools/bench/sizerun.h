#pragma once

// One ledger size measured: the files and connections that every area of the benchmark works on,
// and the areas, in the order their rows are printed.
#include "measure.h"
#include "report.h"
#include "session.h"

#include <QString>
#include <vector>

struct sqlite3;

namespace Bench {

struct SizeRun {
    int size;    // records in the ledger
    int year;    // this year
    int repeat;  // runs of each figure
    QString data;    // the folder of the generated ledgers and the files made from them
    QString folder;  // this size's scratch folder, main.mdb in it
    QString dbFile;  // main.mdb, open in App::conn
    sqlite3* raw = nullptr;      // a plain connection to main.mdb, pinyin order registered
    sqlite3* checked = nullptr;  // a read-only connection with the program's page checks
    std::vector<Row>* table = nullptr;
    std::vector<Memory>* memory = nullptr;

    void add(const Row& r) const { table->push_back(r); }
};

// The ledger query windows (ledgerbench.cpp): the memory of a loaded income query, its load and
// queries, a correction and a deletion from it; the bank query's load.
void benchIncomeMemory(const SizeRun& run);
void benchIncomeLoad(const SizeRun& run);
void benchIncomeQueries(const SizeRun& run);
void benchIncomeCorrections(const SizeRun& run);
void benchBankLoad(const SizeRun& run);
// The grid of a loaded query (gridbench.cpp): scrolling, header sorts, the CSV export.
void benchGridScroll(const SizeRun& run);
void benchGridSortAndExport(const SizeRun& run);
// The reports (reportsbench.cpp): 资产统计, 年终处理 and its chart, a PDF.
void benchReports(const SizeRun& run);
// Posting from the entry form (postingbench.cpp).
void benchPosting(const SizeRun& run);
// 导入账单 of bills and statements (importbench.cpp).
void benchImports(const SizeRun& run);
// A login, and the safekeeping of the file at start and on restore (startbench.cpp); the latter
// after `raw` and `checked` are closed.
void benchLogin(const SizeRun& run);
void benchSafekeeping(const SizeRun& run);

}  // namespace Bench
