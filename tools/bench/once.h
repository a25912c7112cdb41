#pragma once

#include <QString>

// One load in a fresh process, for profilers (perf stat, perf record, callgrind, heaptrack):
//   kinbook_bench --once WHAT FILE
// WHAT is income or bank (the query window's full load, as a user opens it) or income-floor or
// bank-floor (the floor's statement stepped with the C API), or assets or year (资产统计's 统计 clicked
// 20 times, 年终处理's 汇总 100 times, on one window). FILE is a ledger that tools/gendb
// wrote; it is opened in place and not changed. Returns the exit status.
int runOnce(const QString& what, const QString& file);

// 导入账单 of one statement or bill in a fresh process, for /usr/bin/time and heaptrack
// (kinbook_bench --once import FILE): an empty household file in a folder of its own (one member,
// one income and one expense type), the file chosen, its columns confirmed as the window offers
// them, the member and each counterparty's type picked, 导入 pressed. Prints the time, the rows
// posted and how far the peak resident size rose. Returns the exit status.
int importOnce(const QString& file);
