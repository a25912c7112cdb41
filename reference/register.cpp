#include "reference/listeditor.h"
#include "shell/app.h"

void registerReferenceWindows()
{
    for (const ListEditorKind& kind : kListEditors) {
        const ListEditorKind* k = &kind;
        App::registerWindow(QString::fromUtf8(kind.form),
                                [k](QWidget* p) -> QDialog* { return new ListEditor(*k, p); });
    }
}
