#include "shell/modmain.h"

// The income, expense and bank record queries.
void registerQueryWindows()
{
}
