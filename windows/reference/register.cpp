#include "budgeteditor.h"
#include "listeditor.h"
#include "recurringeditor.h"
#include "app.h"

void registerReferenceWindows()
{
    for (const ListEditorKind& kind : kListEditors) {
        const ListEditorKind* k = &kind;
        App::registerWindow(QString::fromUtf8(kind.form),
                                [k](Store& store, QWidget* p) -> QDialog* { return new ListEditor(store, *k, p); });
    }
    App::registerWindow(QStringLiteral("frmBudget"), [](Store& store, QWidget* p) -> QDialog* { return new BudgetEditor(store, p); });
    App::registerWindow(QStringLiteral("frmRecurring"), [](Store& store, QWidget* p) -> QDialog* { return new RecurringEditor(store, p); });
}
