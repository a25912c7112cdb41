#include "bankledger.h"
#include "billimport.h"
#include "debts.h"
#include "duewindow.h"
#include "entryform.h"
#include "app.h"

// The income, expense and investment entry forms, the bank ledger, the debts window and the import
// of bills.
void registerBooksWindows()
{
    for (const EntryFormKind& kind : kEntryForms)
        App::registerWindow(QLatin1String(kind.name),
                            [&kind](Store& store, QWidget* p) -> QDialog* { return new EntryForm(store, kind, p); });
    App::registerWindow(QStringLiteral("frmyhzhang"), [](Store& store, QWidget* p) -> QDialog* { return new BankLedger(store, p); });
    App::registerWindow(QStringLiteral("frmFz"), [](Store& store, QWidget* p) -> QDialog* { return new DebtsWindow(store, p); });
    // The import asks for its file first: no window when the user gives up or the file is refused.
    App::registerWindow(QStringLiteral("frmImport"), [](Store& store, QWidget* p) -> QDialog* { return BillImportWindow::chooseAndRead(store, p); });
    // The recurring records due: listed after a login when there are any.
    App::registerAfterLogin([](Store& store, QWidget* main) { DueWindow::showIfDue(store, main); });
}
