#include "once.h"

#include "app.h"
#include "datagrid.h"
#include "dberror.h"
#include "recordset.h"
#include "measure.h"
#include "session.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <memory>
#include <sqlite3.h>

namespace {

// A report's button clicked `times` times on one window: 资产统计's 统计 or 年终处理's 汇总 (in
// December, so that no question is asked), long enough for a profiler to see where the time goes.
int clickReport(const QString& what, const QString& file, int times)
{
    try {
        App::conn.open(file);
    } catch (const DbError&) {
        return 1;
    }
    const bool assets = what == QLatin1String("assets");
    App::setToday(QDate(App::today().year(), 12, 1));
    std::unique_ptr<QDialog> w(App::createWindow(assets ? QStringLiteral("frmcurt") : QStringLiteral("frmYear"), App::store(), nullptr));
    auto* button = w ? w->findChild<QAbstractButton*>(QStringLiteral("Command1")) : nullptr;
    if (!button)
        return 1;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < times; ++i) {
        button->setEnabled(true);  // 汇总 is disabled once the summary shows
        button->click();
    }
    std::printf("%s: %d times in %.1f ms\n", qPrintable(what), times, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    return 0;
}

}  // namespace

int runOnce(const QString& what, const QString& file)
{
    if (what == QLatin1String("assets") || what == QLatin1String("year"))
        return clickReport(what, file, what == QLatin1String("assets") ? 20 : 100);
    const bool floor = what.endsWith(QLatin1String("-floor"));
    const bool bank = what.startsWith(QLatin1String("bank"));
    if (!bank && !what.startsWith(QLatin1String("income"))) {
        std::fprintf(stderr, "bench: --once takes income, bank, income-floor, bank-floor, assets or year\n");
        return 2;
    }
    QElapsedTimer clock;
    long long rows = 0;
    if (floor) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            return 1;
        clock.start();
        rows = Bench::step(db, {bank ? Bench::kBankFloor + QStringLiteral(" order by 银行.开户行")
                                     : Bench::kIncomeFloor + QStringLiteral(" order by 成员.姓名")});
        sqlite3_close(db);
    } else {
        try {
            App::conn.open(file);  // the connection alone: no start check or backup
        } catch (const DbError&) {
            return 1;
        }
        clock.start();
        std::unique_ptr<QDialog> w(App::createWindow(bank ? QStringLiteral("frmquery_yh") : QStringLiteral("frmquery_sr"), App::store(), nullptr));
        auto* grid = w ? w->findChild<DataGrid*>(QStringLiteral("DG")) : nullptr;
        Recordset* rs = grid ? grid->recordset() : nullptr;
        while (rs && rs->isLoading())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        rows = rs ? rs->rowCount() : 0;
    }
    std::printf("%s: %lld rows in %.1f ms\n", qPrintable(what), rows, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    return rows > 0 ? 0 : 1;
}
