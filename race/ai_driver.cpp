#include "race/ai_driver.h"

#include "world/path.h"
#include "world/world.h"

AiDriver::AiDriver(CarObject *driven, int level) : car(driven), skillLevel(level) {}

AiDriver::~AiDriver()
{
    line.Clear();
    pitLine.Clear();
}

void AiDriver::Step(float, int) {}

void AiDriver::Reset(int) {}

namespace {

// The car's knowledge file on the current configuration, read into k.
int LoadCarFile(AiKnowledge &knowledge, const char *carName)
{
    const World *world = CurrentWorld;
    if (!world || !world->currentPath) {
        return 0;
    }
    char fileName[64];
    char code[4];
    if (!MakeKnowledgeFileNameForCar(fileName, sizeof fileName, code, carName)) {
        return 0;
    }
    return knowledge.Load(fileName, world->currentPath->nodeCount);
}

}  // namespace

int LoadAiKnowledgeForCar(const char *carName)
{
    AiKnowledge knowledge;
    const int loaded = LoadCarFile(knowledge, carName);
    knowledge.Clear();
    return loaded;
}

int CopyAiSettingsForCar(const char *carName, CarSetup *setup)
{
    AiKnowledge knowledge;
    const int loaded = LoadCarFile(knowledge, carName);
    if (loaded) {
        knowledge.CopySettings(setup);
    }
    knowledge.Clear();
    return loaded;
}

int EstimateLapFuel(const char *, int)
{
    return 100;
}
