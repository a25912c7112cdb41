#include "shell/modmain.h"

void registerQueryWindows();
void registerStatisticsWindows();

void registerReportsWindows()
{
    registerQueryWindows();
    registerStatisticsWindows();
}
