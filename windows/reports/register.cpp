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
        App::registerWindow(QString::fromUtf8(k.name), [&k](QWidget* p) -> QDialog* { return new LedgerQuery(k, p); });
    App::registerWindow(QStringLiteral("frmcurt"), [](QWidget* p) -> QDialog* { return new AssetsWindow(p); });
    App::registerWindow(QStringLiteral("frmYear"), [](QWidget* p) -> QDialog* { return new YearSummary(p); });
    App::registerWindow(QStringLiteral("frmRecycle"), [](QWidget* p) -> QDialog* { return new RecycleBinWindow(p); });
    App::registerWindow(QStringLiteral("frmBudgetReport"), [](QWidget* p) -> QDialog* { return new BudgetReport(p); });
    App::registerWindow(QStringLiteral("frmOverview"), [](QWidget* p) -> QDialog* { return new OverviewWindow(p); });
    App::registerAfterLogin([](QWidget* main) { OverviewWindow::showAfterLogin(main); });
}
