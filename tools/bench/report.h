#pragma once

// The benchmark's output: the machine it ran on, the tables of figures, and the comparison of a run
// with a table saved earlier (--check FILE).
#include "measure.h"

#include <QString>
#include <vector>

namespace Bench {

// Memory of a loaded income query (see the memory table's header).
struct Memory {
    int size;
    int rows;
    double kept;
    double peak;
    double cells;  // of the kept heap, the result's cells
};

// "CPU, cores, system, SQLite and Qt versions".
QString machine();
// The processor's caches and the kernel: "L1d 32 KiB, L1i 32 KiB, L2 512 KiB, L3 32 MiB; kernel Linux 6.1.0-18-amd64".
QString cachesAndKernel();

// Prints both tables and the warnings for ratios that spread over 20 %.
void printReport(const std::vector<Row>& table, const std::vector<Memory>& memory);

// Compares this run with the first table of figures in `file` (the format printReport writes, as
// docs/benchmark.md holds it; the Machine and Caches lines before it name its machine): prints every
// figure of both whose project / floor ratio (or, where there is no floor, the project's median
// time) moved by more than `tolerance` (0.15: 15 %). Ratios under 0.10 are not compared.
// Returns how many moved, or -1 when the file holds no table.
int checkAgainst(const QString& file, const std::vector<Row>& table, double tolerance);

}  // namespace Bench
