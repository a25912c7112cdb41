#include "posting.h"

#include "connection.h"
#include "sqltext.h"
#include "statement.h"
#include "syncrecorder.h"

#include <vector>

namespace {

// Staged rows carry the keys they take into the ledger, given from this computer's range when they
// were staged. A row that another tool staged got the engine's next key, which the ledger may hold
// already: it gets one of this computer's first.
void giveOwnKeys(Connection& conn, const QString& staging)
{
    SyncRecorder* sync = conn.sync();
    if (!sync)
        return;
    std::vector<std::int64_t> foreign;
    {
        Statement st(conn, QStringLiteral("SELECT 编号 FROM %1 WHERE 编号 NOT BETWEEN ? AND ?").arg(sqlName(staging)));
        st.bindInt64(1, sync->firstKey());
        st.bindInt64(2, sync->lastKey());
        while (st.step())
            foreign.push_back(st.int64(0));
    }
    if (foreign.empty())
        return;
    Statement move(conn, QStringLiteral("UPDATE %1 SET 编号 = ? WHERE 编号 = ?").arg(sqlName(staging)));
    for (const std::int64_t key : foreign) {
        move.reset();
        move.bindInt64(1, *sync->nextKey(staging));
        move.bindInt64(2, key);
        move.step();
    }
}

}  // namespace

void postStaged(Connection& conn, const QString& staging, const QString& ledger)
{
    Transaction tx(conn);
    giveOwnKeys(conn, staging);
    conn.execute(QStringLiteral("insert into ") + ledger + QStringLiteral(" select * from ") + staging);
    conn.execute(QStringLiteral("delete from ") + staging);
    tx.commit();
}
