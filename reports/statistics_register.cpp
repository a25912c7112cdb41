#include "frmcurt.h"
#include "frmyear.h"
#include "shell/modmain.h"

// The asset statistics and the year-end summary.
void registerStatisticsWindows()
{
    Modmain::registerWindow(QStringLiteral("frmcurt"), [](QWidget* p) -> QDialog* { return new frmcurt(p); });
    Modmain::registerWindow(QStringLiteral("frmYear"), [](QWidget* p) -> QDialog* { return new frmYear(p); });
}
