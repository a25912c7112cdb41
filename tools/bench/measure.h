#pragma once

// What every figure of the benchmark shares: the statements of the query windows and their floor,
// the C API stepping, the clock, and the runs of a figure.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct sqlite3;

namespace Bench {

// The income and bank queries as the windows build them and their floor (LEFT JOINs from the ledger
// through its indexes), without their ORDER BY.
extern const QString kIncomeHead, kIncomeFloor, kBankHead, kBankFloor;

// Milliseconds since the first call.
double nowMs();
// Steps statements on the raw C API, reading every column of every row. Returns rows read.
long long step(sqlite3* db, const QStringList& statements);
// A reference measured: the time to step the statements.
std::function<double()> stepping(sqlite3* db, const QStringList& statements);
// A statement with its texts ordered by their bytes, as a plain SQLite tool does.
QString binaryOrder(const QString& sql);

// Minimum, median and maximum of a figure over the runs.
struct Spread {
    std::vector<double> runs;
    bool empty() const { return runs.empty(); }
    double at(double q) const;
    double min() const { return at(0); }
    double median() const;
    double max() const { return at(1); }
};

struct Row {
    Row(const QString& w, int s) : work(w), size(s) {}
    QString work;
    int size;
    Spread project, written, floor;
    Spread ratio;  // project / floor of each run
    QString note;
};

// Measures only the figures whose work matches `pattern` (a regular expression; empty: all).
void measureOnly(const QString& pattern);

// Runs the project's work and the floor `repeat` times, in alternating order, then the statement as
// written once per run. A step that returns a negative time has nothing to measure.
void measure(Row& r, int repeat, const std::function<double()>& project, const std::function<double()>& floor,
             const std::function<double()>& written = {});

}  // namespace Bench
