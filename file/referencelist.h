#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class Connection;

// One of the household's reference lists (members, the income, expense and investment types, the
// banks): its table, the field that names a row (beside its ID) and the fields its editor shows.
class ReferenceList {
public:
    enum Kind { Members, IncomeTypes, ExpenseTypes, InvestmentTypes, Banks };

    constexpr ReferenceList(Kind kind) : kind_(kind) {}

    Kind kind() const { return kind_; }
    QString table() const;
    // 姓名 for the members, 开户行 for the banks, 类型 for the types.
    QString nameField() const;
    // ID and name first, then the rest, in the order the list's editor shows them.
    QStringList fields() const;

    static std::optional<ReferenceList> ofTable(const QString& table);

    // The name of the row whose ID is `id` (letter case aside); none when the list has no such row.
    std::optional<QString> nameOf(Connection& conn, const QString& id) const;

    friend bool operator==(ReferenceList a, ReferenceList b) = default;

private:
    Kind kind_;
};
