#include "bankledger.h"
#include "frmfz.h"
#include "shell/modmain.h"

// The bank ledger and the debts and credits window.
void registerLedgerWindows()
{
    Modmain::registerWindow(QStringLiteral("frmyhzhang"), [](QWidget* p) -> QDialog* { return new BankLedger(p); });
    Modmain::registerWindow(QStringLiteral("frmFz"), [](QWidget* p) -> QDialog* { return new DebtsWindow(p); });
}
