#pragma once

#include "budgets.h"

// After a posting: one message naming the budgets that the posted expenses took over, and by how
// much. Nothing is refused, and a budget that cannot be read is passed over in silence.
void warnOverBudget(const QList<Budgets::Touch>& touched);
