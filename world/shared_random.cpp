#include "world/shared_random.h"

uint32_t SharedRandom = 0;

uint32_t StepSharedRandom()
{
    SharedRandom = (SharedRandom * 5 + 1) & 65535u;
    return SharedRandom;
}
