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
    App::registerWindow(QStringLiteral("frmBudget"), [](Store&, QWidget* p) -> QDialog* { return new BudgetEditor(p); });
    App::registerWindow(QStringLiteral("frmRecurring"), [](Store&, QWidget* p) -> QDialog* { return new RecurringEditor(p); });
}
