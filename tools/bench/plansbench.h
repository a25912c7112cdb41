#pragma once

#include <QString>
#include <functional>

struct sqlite3;

// The budgets, the month's overview and the due check at login, on the file open in App::conn,
// each beside the fastest plain SQL for the same figures, stepped on a second connection to `raw`'s
// file with the program's safety settings; the cost of those settings alone is measured on `raw`.
// Adds a budget for every expense type and twenty recurring templates to the file first.
using MeasureCase = std::function<void(const QString& work, const std::function<double()>& project,
                                       const std::function<double()>& floor)>;
void benchPlans(sqlite3* raw, const MeasureCase& measure);
