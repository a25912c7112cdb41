#include "ledger.h"

#include <array>

namespace {

struct Tables {
    QString table;
    QString staging;
    QString types;
    QStringList columns;
};

// Income, expenses and investments: a member's record of a type.
QStringList recordColumns()
{
    return {QStringLiteral("成员ID"), QStringLiteral("类型ID"), QStringLiteral("金额"), QStringLiteral("日期"),
            QStringLiteral("备注"), QStringLiteral("月份")};
}

// By Ledger::Kind; made once, so that a ledger's tables cost no conversion where rows are written.
const std::array<Tables, 5>& tables()
{
    static const std::array<Tables, 5> all = {{
        {QStringLiteral("收入帐"), QStringLiteral("收入临时"), QStringLiteral("收入类型"), recordColumns()},
        {QStringLiteral("支出帐"), QStringLiteral("支出临时"), QStringLiteral("支出类型"), recordColumns()},
        {QStringLiteral("投资帐"), QString(), QStringLiteral("投资类型"), recordColumns()},
        {QStringLiteral("银行帐"), QString(), QString(),
         {QStringLiteral("银行ID"), QStringLiteral("成员ID"), QStringLiteral("存或取"), QStringLiteral("类型"),
          QStringLiteral("金额"), QStringLiteral("日期")}},
        {QStringLiteral("负债"), QString(), QString(),
         {QStringLiteral("借款日期"), QStringLiteral("债权人"), QStringLiteral("类型"), QStringLiteral("金额"),
          QStringLiteral("还款记录"), QStringLiteral("余额")}},
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

std::optional<ReferenceList> Ledger::typeList() const
{
    switch (kind_) {
    case Income:
        return ReferenceList::IncomeTypes;
    case Expense:
        return ReferenceList::ExpenseTypes;
    case Investment:
        return ReferenceList::InvestmentTypes;
    case Bank:
    case Debts:
        break;
    }
    return std::nullopt;
}

QStringList Ledger::columns() const
{
    return tables()[kind_].columns;
}
