#include "ledgerlisting.h"

#include "sqltext.h"

namespace {

// The names' table and the ledger's column that names a row of it.
struct Joined {
    QString table;
    QString nameField;
    QString ledgerKey;
};

}  // namespace

ReferenceList LedgerListing::otherList() const
{
    if (const std::optional<ReferenceList> types = ledger_.typeList())
        return *types;
    return ReferenceList::Banks;
}

Select LedgerListing::head() const
{
    const QString l = ledger_.table();
    const ReferenceList other = otherList();
    const QString o = other.table();
    const QString otherKey = ledger_ == Ledger::Bank ? QStringLiteral("银行ID") : QStringLiteral("类型ID");
    QString columns = QStringLiteral("成员.姓名, %1.%2, %3.金额, %3.日期, ").arg(o, other.nameField(), l);
    columns += ledger_ == Ledger::Bank ? QStringLiteral("%1.存或取,%1.类型").arg(l) : QStringLiteral("%1.备注").arg(l);
    return Select{columns, QStringLiteral("FROM %1 LEFT JOIN %2 ON %2.ID = %1.%3 LEFT JOIN 成员 ON 成员.ID = %1.成员ID")
                               .arg(l, o, otherKey)};
}

LedgerListing::Query LedgerListing::query(const Filter& f) const
{
    const QString l = ledger_.table();
    // Listed by the member's name, the bank ledger by the bank's.
    const bool byBank = ledger_ == Ledger::Bank;
    const QString orderTable = byBank ? QStringLiteral("银行") : QStringLiteral("成员");
    const QString orderColumn = orderTable + (byBank ? QStringLiteral(".开户行") : QStringLiteral(".姓名"));

    QStringList where;
    QVariantList values;
    const bool chosen = !f.member.isEmpty() || !f.other.isEmpty();
    if (!f.member.isEmpty()) {
        where << QStringLiteral("成员.ID=?");
        values << f.member;
    }
    if (!f.other.isEmpty()) {
        where << otherList().table() + QStringLiteral(".ID=?");
        values << f.other;
    }
    if (chosen && ledger_ == Ledger::Bank) {
        where << QStringLiteral("存或取=?");
        values << f.direction;
    }
    if (!f.note.isEmpty()) {
        QString pattern = f.note;
        pattern.replace(u'\\', QLatin1String("\\\\")).replace(u'%', QLatin1String("\\%")).replace(u'_', QLatin1String("\\_"));
        where << l + QStringLiteral(".备注 like ? escape '\\'");
        values << QStringLiteral("%") + pattern + QStringLiteral("%");
    }
    if (f.amountFrom) {
        where << l + QStringLiteral(".金额 >= ?");
        values << f.amountFrom->toDouble() - 0.00005;
    }
    if (f.amountTo) {
        where << l + QStringLiteral(".金额 < ?");
        values << f.amountTo->toDouble() + 0.00005;
    }
    if (chosen) {
        // The dates are bound after the criteria's values, as the ledgers store dates.
        where << l + QStringLiteral(".日期 between ? and ?");
        values << f.from.toString(QStringLiteral("yyyy-MM-dd")) << f.to.toString(QStringLiteral("yyyy-MM-dd"));
    }

    Query q;
    q.datesApply = chosen;
    if (where.isEmpty()) {
        // The whole ledger in the order of its name column, read through the table that holds the
        // names and the ledger's own code column for it.
        q.select = head();
        q.order = ByLookup{l, orderTable + QStringLiteral("ID"), orderTable, QStringLiteral("ID"),
                           orderColumn.section(u'.', 1), QString::fromLatin1(kPinyinCollation)};
        return q;
    }
    q.select = head().followedBy(QStringLiteral(" where ") + where.join(QStringLiteral(" and ")) + QStringLiteral(" order by ")
                                 + inChineseOrder(orderColumn));
    q.values = values;
    return q;
}
