#include "shell/modmain.h"

void registerEntryWindows();
void registerLedgerWindows();

void registerBooksWindows()
{
    registerEntryWindows();
    registerLedgerWindows();
}
