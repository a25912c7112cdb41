#pragma once

// The floors of the figures that the program adds up exactly (资产统计, 年终处理): every amount taken
// to four decimals (rounded half away from zero, as the program's money type takes it) and added up
// in 128 bits, with the SQLite C API alone. Each floor is the fastest of three ways, chosen on its
// first run by the median of five trial runs of each:
//   - "engine": the engine adds whole ten-thousandths, sum(CAST(round(x * 10000) AS INTEGER));
//   - "stepped": the amounts stepped with the C API and added up here;
//   - "aggregate": an aggregate function of this file's own (sqlite3_create_function), called by the
//     engine for every amount.
// Each run starts with none of the pages in the connection's page cache, as the program's does.
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace Bench {

class ExactFloor {
public:
    // 资产统计's seven totals: income, expenses, deposits, withdrawals, borrowed, lent, invested.
    static ExactFloor assets(sqlite3* db);
    // 年终处理's 36 totals of a year: income, expenses and investments of each month in turn.
    static ExactFloor year(sqlite3* db, int year);

    // One run; its time in milliseconds. The first run chooses the way.
    double operator()() const;
    // The totals of the last run in the plain form of the program's totals ("1234.5", "-0.01"; ""
    // for a total over no amount), in order.
    std::vector<std::string> totals() const;
    // The way chosen ("engine", "stepped" or "aggregate"); empty before the first run.
    std::string way() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace Bench
