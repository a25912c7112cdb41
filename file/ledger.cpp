#include "ledger.h"

#include <array>

namespace {

struct Tables {
    QString table;
    QString staging;
    QString types;
};

// By Ledger::Kind; made once, so that a ledger's tables cost no conversion where rows are written.
const std::array<Tables, 5>& tables()
{
    static const std::array<Tables, 5> all = {{
        {QStringLiteral("收入帐"), QStringLiteral("收入临时"), QStringLiteral("收入类型")},
        {QStringLiteral("支出帐"), QStringLiteral("支出临时"), QStringLiteral("支出类型")},
        {QStringLiteral("投资帐"), QString(), QStringLiteral("投资类型")},
        {QStringLiteral("银行帐"), QString(), QString()},
        {QStringLiteral("负债"), QString(), QString()},
    }};
    return all;
}

}  // namespace

QString Ledger::table() const
{
    return tables()[kind_].table;
}

QString Ledger::stagingTable() const
{
    return tables()[kind_].staging;
}

QString Ledger::typeTable() const
{
    return tables()[kind_].types;
}

std::optional<Ledger> Ledger::ofTable(const QString& table)
{
    for (int kind = Income; kind <= Debts; ++kind)
        if (table == tables()[kind].table)
            return Ledger(Kind(kind));
    return std::nullopt;
}

std::optional<Ledger> Ledger::ofStagingTable(const QString& table)
{
    if (table.isEmpty())
        return std::nullopt;  // the ledgers without a staging table
    for (int kind = Income; kind <= Debts; ++kind)
        if (table == tables()[kind].staging)
            return Ledger(Kind(kind));
    return std::nullopt;
}
