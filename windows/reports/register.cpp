#include "assets.h"
#include "budgetreport.h"
#include "overview.h"
#include "ledgerquery.h"
#include "recyclebin.h"
#include "yearsummary.h"
#include "app.h"

// The income, expense and bank record queries, the asset statistics, the year-end summary and the
// recycle bin.
void registerReportsWindows()
{
    for (const QueryKind& k : kQueryKinds)
        App::registerWindow(QString::fromUtf8(k.name), [&k](Store& store, QWidget* p) -> QDialog* { return new LedgerQuery(store, k, p); });
    App::registerWindow(QStringLiteral("frmcurt"), [](Store& store, QWidget* p) -> QDialog* { return new AssetsWindow(store, p); });
    App::registerWindow(QStringLiteral("frmYear"), [](Store& store, QWidget* p) -> QDialog* { return new YearSummary(store, p); });
    App::registerWindow(QStringLiteral("frmRecycle"), [](Store& store, QWidget* p) -> QDialog* { return new RecycleBinWindow(store, p); });
    App::registerWindow(QStringLiteral("frmBudgetReport"), [](Store& store, QWidget* p) -> QDialog* { return new BudgetReport(store, p); });
    App::registerWindow(QStringLiteral("frmOverview"), [](Store& store, QWidget* p) -> QDialog* { return new OverviewWindow(store, p); });
    App::registerAfterLogin([](Store& store, QWidget* main) { OverviewWindow::showAfterLogin(store, main); });
}
