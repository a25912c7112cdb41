#include "referencelist.h"

#include "sqltext.h"
#include "statement.h"

#include <array>

namespace {

struct List {
    QString table;
    QStringList fields;  // ID, the name, the rest
};

const std::array<List, 5>& lists()
{
    static const std::array<List, 5> all = {{
        {QStringLiteral("成员"), {QStringLiteral("ID"), QStringLiteral("姓名"), QStringLiteral("关系"), QStringLiteral("密码")}},
        {QStringLiteral("收入类型"), {QStringLiteral("ID"), QStringLiteral("类型"), QStringLiteral("备注")}},
        {QStringLiteral("支出类型"), {QStringLiteral("ID"), QStringLiteral("类型"), QStringLiteral("备注")}},
        {QStringLiteral("投资类型"), {QStringLiteral("ID"), QStringLiteral("类型"), QStringLiteral("备注")}},
        {QStringLiteral("银行"), {QStringLiteral("ID"), QStringLiteral("开户行"), QStringLiteral("帐号")}},
    }};
    return all;
}

}  // namespace

QString ReferenceList::table() const
{
    return lists()[kind_].table;
}

QString ReferenceList::nameField() const
{
    return lists()[kind_].fields[1];
}

QStringList ReferenceList::fields() const
{
    return lists()[kind_].fields;
}

std::optional<ReferenceList> ReferenceList::ofTable(const QString& table)
{
    for (int kind = Members; kind <= Banks; ++kind)
        if (table.compare(lists()[kind].table, Qt::CaseInsensitive) == 0)
            return ReferenceList(Kind(kind));
    return std::nullopt;
}

std::optional<QString> ReferenceList::nameOf(Connection& conn, const QString& id) const
{
    Statement st(conn, QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(sqlName(nameField()), sqlName(table())));
    st.bind(1, id);
    if (!st.step())
        return std::nullopt;
    return st.text(0);
}
