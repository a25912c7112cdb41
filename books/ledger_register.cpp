#include "shell/modmain.h"

// The bank ledger and the debts and credits window.
void registerLedgerWindows()
{
}
