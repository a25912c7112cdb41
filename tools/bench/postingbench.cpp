// Posting from the entry form: 10,000 staged records posted by its 退出, beside the same posting
// stepped with the C API (in one transaction, and as two statements).
#include "driving.h"
#include "sizerun.h"

#include "connection.h"
#include "statement.h"
#include "syncrecorder.h"
#include "app.h"
#include "session.h"

#include <QDialog>
#include <cstdint>
#include <memory>
#include <sqlite3.h>

namespace Bench {

void benchPosting(const SizeRun& run)
{
    Row r{QStringLiteral("收入帐录入: post 10,000 staged"), run.size};
    // Staged as the entry form stages them: each with its key from this computer's range.
    const QString stage = QStringLiteral(
        "with recursive n(i) as (select 1 union all select i+1 from n where i < 10000) "
        "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份, 编号) select 'm1','i1',12.5,'%1-03-05','bench',3, ? + i from n").arg(run.year);
    auto staged = [&] {
        Transaction tx(App::conn);
        const std::int64_t first = App::conn.sync() ? *App::conn.sync()->nextKey(QStringLiteral("收入临时")) : (std::int64_t(1) << 44);
        for (int i = 1; i < 10000 && App::conn.sync(); ++i)
            App::conn.sync()->nextKey(QStringLiteral("收入临时"));
        Statement st(App::conn, stage);
        st.bindInt64(1, first - 1);
        st.step();
        tx.commit();
    };
    measure(
        r, run.repeat,
        [&] {
            staged();
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmsrzhang")));
            if (!w)
                return -1.0;
            const double t0 = nowMs();
            clickButton(w.get(), QStringLiteral("exit"));
            return nowMs() - t0;
        },
        [&] {
            staged();
            const double t0 = nowMs();
            sqlite3_exec(run.raw, "begin; insert into 收入帐 select * from 收入临时; delete from 收入临时; commit;", nullptr,
                         nullptr, nullptr);
            return nowMs() - t0;
        },
        [&] {
            staged();
            const double t0 = nowMs();
            sqlite3_exec(run.raw, "insert into 收入帐 select * from 收入临时", nullptr, nullptr, nullptr);
            sqlite3_exec(run.raw, "delete from 收入临时", nullptr, nullptr, nullptr);
            return nowMs() - t0;
        });
    run.add(r);
    sqlite3_exec(run.raw, "delete from 收入帐 where 备注='bench'", nullptr, nullptr, nullptr);
}

}  // namespace Bench
