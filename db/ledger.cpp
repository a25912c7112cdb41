#include "ledger.h"

namespace {

struct Tables {
    const char* table;
    const char* staging;
    const char* types;
};

// By Ledger::Kind.
constexpr Tables kTables[] = {
    {"收入帐", "收入临时", "收入类型"},
    {"支出帐", "支出临时", "支出类型"},
    {"投资帐", "", "投资类型"},
    {"银行帐", "", ""},
    {"负债", "", ""},
};

}  // namespace

QString Ledger::table() const
{
    return QString::fromUtf8(kTables[kind_].table);
}

QString Ledger::stagingTable() const
{
    return QString::fromUtf8(kTables[kind_].staging);
}

QString Ledger::typeTable() const
{
    return QString::fromUtf8(kTables[kind_].types);
}

std::optional<Ledger> Ledger::ofTable(const QString& table)
{
    for (int kind = Income; kind <= Debts; ++kind)
        if (table == QString::fromUtf8(kTables[kind].table))
            return Ledger(Kind(kind));
    return std::nullopt;
}
