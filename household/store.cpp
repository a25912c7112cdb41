#include "store.h"

#include "connection.h"
#include "dberror.h"
#include "sqltext.h"
#include "statement.h"

QString Store::filePath() const
{
    return conn_.path();
}

void Store::setCommitListener(std::function<void(const QStringList& tables)> listener)
{
    conn_.setCommitListener(std::move(listener));
}

QList<Store::Named> Store::names(ReferenceList list, ListOrder order)
{
    Statement st(conn_, QStringLiteral("SELECT ID, %1 FROM %2 WHERE ID IS NOT NULL ORDER BY %3")
                            .arg(sqlName(list.nameField()), sqlName(list.table()),
                                 order == ListOrder::ById ? QStringLiteral("ID") : QStringLiteral("rowid")));
    QList<Named> rows;
    while (st.step())
        rows.append(Named{st.text(0), st.text(1)});
    return rows;
}

QString Store::nameOf(ReferenceList list, const QString& id)
{
    if (id.isEmpty())
        return QString();
    return list.nameOf(conn_, id).value_or(QString());
}
