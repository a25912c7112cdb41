#include "entryform.h"
#include "shell/modmain.h"

// The income, expense and investment entry forms.
void registerEntryWindows()
{
    for (const EntryFormKind& kind : kEntryForms)
        Modmain::registerWindow(QLatin1String(kind.name),
                                [&kind](QWidget* p) -> QDialog* { return new EntryForm(kind, p); });
}
