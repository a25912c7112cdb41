#include "shell/modmain.h"

// The asset statistics and the year-end summary.
void registerStatisticsWindows()
{
}
