#pragma once

#include "budgets.h"

class Store;

// After a posting: one message naming the budgets that the posted expenses took over, and by how
// much. Nothing is refused; when the budgets cannot be checked, the message says so and why.
void warnOverBudget(Store& store, const QList<Budgets::Touch>& touched);

// What the person is told when the budgets could not be checked after a posting: `done` (what was
// posted, "支出已保存"), that the check was not made, and why.
QString budgetCheckFailed(const QString& done, const std::exception& e);
