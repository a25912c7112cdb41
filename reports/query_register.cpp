#include "frmquery.h"
#include "shell/modmain.h"

// The income, expense and bank record queries.
void registerQueryWindows()
{
    for (const QueryKind& k : kQueryKinds)
        Modmain::registerWindow(QString::fromUtf8(k.name), [&k](QWidget* p) -> QDialog* { return new frmquery(k, p); });
}
