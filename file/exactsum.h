#pragma once

#include "money.h"

#include <QVariant>
#include <optional>

class Connection;
class Statement;
struct sqlite3;

// Exact totals of amounts, as the program shows them: each amount taken to four decimals as Money
// takes it, added up in 128 bits (MoneyTotal), never rounded by the engine's sum of real numbers.
namespace ExactSum {

// The aggregate EXACT_SUM(x) on a connection: the total of the amounts of x, skipping nulls, as a
// whole number of ten-thousandths (or, beyond 64 bits, the total's plain text); null when no row
// held an amount. A value that is no amount (not finite, beyond an amount's range, a text that
// reads as none, a blob) makes the statement fail. Only the program's own statements can call it,
// never the file's schema.
bool registerOn(sqlite3* db);

// The total of a one-column, one-row statement such as "SELECT EXACT_SUM(金额) FROM 收入帐";
// nothing when no row held an amount. Raises DbError (kind BadValue for an amount that is none).
std::optional<MoneyTotal> total(Connection& conn, const QString& sql, const QVariantList& values = {});

// One cell as an amount, as a loaded result reads it: nothing for null. Raises DbError (kind
// BadValue) for a value that is no amount.
std::optional<Money> amountAt(const Statement& st, int col);

}  // namespace ExactSum
