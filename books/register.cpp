#include "bankledger.h"
#include "debts.h"
#include "entryform.h"
#include "shell/app.h"

// The income, expense and investment entry forms, the bank ledger and the debts window.
void registerBooksWindows()
{
    for (const EntryFormKind& kind : kEntryForms)
        App::registerWindow(QLatin1String(kind.name),
                            [&kind](QWidget* p) -> QDialog* { return new EntryForm(kind, p); });
    App::registerWindow(QStringLiteral("frmyhzhang"), [](QWidget* p) -> QDialog* { return new BankLedger(p); });
    App::registerWindow(QStringLiteral("frmFz"), [](QWidget* p) -> QDialog* { return new DebtsWindow(p); });
}
