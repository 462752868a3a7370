#include "insim/insim.h"

// InSim cannot be started yet, so there is nothing to close.
void InSimStop()
{
}

int InSimShotConnection = 8;
char InSimShotName[InSimShotNameLength];

// No guest can connect yet, so nobody is told.
void InSimNotifyScreenshot(int)
{
}

int InSimActive()
{
    return 0;
}

int IsInSimPrefixInUse(char)
{
    return 0;
}

void InSimSendMessageOut(int, int, int, int, const char *)
{
}
