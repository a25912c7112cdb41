#include "exactsum.h"

#include "connection.h"
#include "dberror.h"
#include "statement.h"

#include <cstdint>
#include <new>
#include <sqlite3.h>

namespace ExactSum {

namespace {

const char kBadAmount[] = "not an amount";

// A value as an amount: the same reading as a loaded result's (a whole number is yuan, a real is
// taken to four decimals, a text must read as an amount); nothing for a value that is none.
std::optional<MoneyTotal> amountOf(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return MoneyTotal::fromYuan(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return MoneyTotal::fromNumber(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return MoneyTotal::parse(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v)));
    default:
        return std::nullopt;
    }
}

struct Sum {
    MoneyTotal total;
    bool any = false;
    bool bad = false;
};

// The sum, in the memory the engine keeps for the aggregate: zeroed at the first row and aligned for
// 8 bytes only, so the sum is made at its own alignment within it, once (its last byte says so).
// Null when `make` is false and no row came.
Sum* sumIn(sqlite3_context* context, bool make)
{
    constexpr int kBytes = int(sizeof(Sum) + alignof(Sum) + 1);
    auto* memory = static_cast<unsigned char*>(sqlite3_aggregate_context(context, make ? kBytes : 0));
    if (!memory)
        return nullptr;
    const auto address = reinterpret_cast<std::uintptr_t>(memory);
    void* place = reinterpret_cast<void*>((address + alignof(Sum) - 1) & ~std::uintptr_t(alignof(Sum) - 1));
    if (!memory[kBytes - 1]) {
        memory[kBytes - 1] = 1;
        return new (place) Sum;
    }
    return std::launder(static_cast<Sum*>(place));
}

void step(sqlite3_context* context, int, sqlite3_value** args)
{
    auto* sum = sumIn(context, true);
    if (!sum) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (sum->bad || sqlite3_value_type(args[0]) == SQLITE_NULL)
        return;
    // The common case first: a real number within an amount's range.
    if (sqlite3_value_type(args[0]) == SQLITE_FLOAT) {
        if (const auto m = Money::fromNumber(sqlite3_value_double(args[0]))) {
            sum->total += *m;
            sum->any = true;
            return;
        }
        sum->bad = true;
        return;
    }
    const auto amount = amountOf(args[0]);
    if (!amount || !amount->toMoney()) {
        sum->bad = true;
        return;
    }
    sum->total += *amount;
    sum->any = true;
}

void final(sqlite3_context* context)
{
    // None: no row at all.
    const Sum* sum = sumIn(context, false);
    if (sum && sum->bad) {
        sqlite3_result_error(context, kBadAmount, -1);
        return;
    }
    if (!sum || !sum->any) {
        sqlite3_result_null(context);
        return;
    }
    if (const auto m = sum->total.toMoney()) {
        sqlite3_result_int64(context, m->units());
        return;
    }
    sqlite3_result_text(context, sum->total.toPlain().toUtf8().constData(), -1, SQLITE_TRANSIENT);
}

}  // namespace

bool registerOn(sqlite3* db)
{
    return sqlite3_create_function_v2(db, "EXACT_SUM", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                                      nullptr, step, final, nullptr)
        == SQLITE_OK;
}

std::optional<MoneyTotal> total(Connection& conn, const QString& sql, const QVariantList& values)
{
    Statement st(conn, sql);
    st.bindAll(values);
    try {
        if (!st.step())
            return std::nullopt;
    } catch (const DbError& e) {
        if (e.message().contains(QLatin1String(kBadAmount)))
            throw DbError(DbError::BadValue, e.code(), e.message(), sql);
        throw;
    }
    switch (st.columnType(0)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
        return MoneyTotal(Money::fromUnits(st.int64(0)));
    default:
        if (const auto t = MoneyTotal::parse(st.text(0)))
            return t;
        throw DbError(DbError::BadValue, 0, QStringLiteral("not a total: ") + st.text(0), sql);
    }
}

std::optional<Money> amountAt(const Statement& st, int col)
{
    if (st.columnType(col) == SQLITE_FLOAT)  // the common case
        if (const auto m = Money::fromNumber(st.real(col)))
            return m;
    if (st.isNull(col))
        return std::nullopt;
    if (const auto t = amountOf(const_cast<sqlite3_value*>(st.cell(col))))
        if (const auto m = t->toMoney())
            return m;
    throw DbError(DbError::BadValue, 0, QStringLiteral("not an amount: ") + st.text(col), st.sql());
}

}  // namespace ExactSum
