#include "insim/insim.h"

// InSim cannot be started yet, so there is nothing to close.
void InSimStop()
{
}
