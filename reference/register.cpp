#include "shell/modmain.h"

void registerReferenceWindows()
{
}
