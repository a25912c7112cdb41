#include "shell/modmain.h"

// The income, expense and investment entry forms.
void registerEntryWindows()
{
}
