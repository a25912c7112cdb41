#pragma once

#include <QString>

// One load in a fresh process, for profilers (perf stat, perf record, callgrind, heaptrack):
//   kinbook_bench --once WHAT FILE
// WHAT is income or bank (the query window's full load, as a user opens it) or income-floor or
// bank-floor (the floor's statement stepped with the C API), or assets or year (资产统计's 统计 clicked
// 20 times, 年终处理's 汇总 100 times, on one window). FILE is a ledger that tools/gendb
// wrote; it is opened in place and not changed. Returns the exit status.
int runOnce(const QString& what, const QString& file);
