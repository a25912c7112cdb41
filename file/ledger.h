#pragma once

#include "referencelist.h"

#include <QString>
#include <QStringList>
#include <optional>

// One of the household's ledgers, and the tables that belong to it: the ledger's own table, the
// table its records wait in until the entry form posts them (the income and expense ledgers only),
// and the table its 类型ID points into (none for the bank ledger, whose 类型 is a text of its own
// such as 活期 or 定期, nor for the debts).
class Ledger {
public:
    enum Kind { Income, Expense, Investment, Bank, Debts };

    constexpr Ledger(Kind kind) : kind_(kind) {}

    Kind kind() const { return kind_; }
    QString table() const;
    // Empty when the ledger has none.
    QString stagingTable() const;
    QString typeTable() const;
    // The list its 类型ID points into; none for the bank ledger and the debts.
    std::optional<ReferenceList> typeList() const;
    // The columns a record of the ledger is written with (its staging table has the same).
    QStringList columns() const;

    // The ledger whose table this is; none for any other name.
    static std::optional<Ledger> ofTable(const QString& table);
    // The ledger whose staging table this is; none for any other name.
    static std::optional<Ledger> ofStagingTable(const QString& table);

    friend bool operator==(Ledger a, Ledger b) = default;

private:
    Kind kind_;
};
