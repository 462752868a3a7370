#include "race/ai_driver.h"

AiDriver::AiDriver(CarObject *driven, int level) : car(driven), skillLevel(level) {}

void AiDriver::Step(float, int) {}

void AiDriver::Reset(int) {}

int AiKnowledge::Load(const char *)
{
    return 0;
}

int AiKnowledge::CopySettings(const char *, void *)
{
    return 0;
}

int EstimateLapFuel(const char *, int)
{
    return 100;
}
