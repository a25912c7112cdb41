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
    App::registerWindow(QStringLiteral("frmcurt"), [](Store&, QWidget* p) -> QDialog* { return new AssetsWindow(p); });
    App::registerWindow(QStringLiteral("frmYear"), [](Store&, QWidget* p) -> QDialog* { return new YearSummary(p); });
    App::registerWindow(QStringLiteral("frmRecycle"), [](Store& store, QWidget* p) -> QDialog* { return new RecycleBinWindow(store, p); });
    App::registerWindow(QStringLiteral("frmBudgetReport"), [](Store&, QWidget* p) -> QDialog* { return new BudgetReport(p); });
    App::registerWindow(QStringLiteral("frmOverview"), [](Store&, QWidget* p) -> QDialog* { return new OverviewWindow(p); });
    App::registerAfterLogin([](Store&, QWidget* main) { OverviewWindow::showAfterLogin(main); });
}
