#include "posting.h"

#include "connection.h"

void postStaged(Connection& conn, const QString& staging, const QString& ledger)
{
    Transaction tx(conn);
    conn.execute(QStringLiteral("insert into ") + ledger + QStringLiteral(" select * from ") + staging);
    conn.execute(QStringLiteral("delete from ") + staging);
    tx.commit();
}
