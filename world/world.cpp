#include "world/world.h"

#include <cstdio>
#include <cstring>

#include "world/layout.h"
#include "world/light_scheme.h"
#include "world/object_holder.h"
#include "world/path.h"
#include "world/world_object.h"

World *CurrentWorld = nullptr;

namespace {

constexpr float StandardGravity = -9.81f;
constexpr float DefaultCrowdDensity = 0.5f;
constexpr int StartLightsIdle = 4;
constexpr uint32_t RedLampColour = ColourWord(255, 30, 30, 1);
constexpr uint32_t GreenLampColour = ColourWord(30, 255, 30, 1);
constexpr uint32_t DefaultBumpSeed = 30168;
constexpr int DefaultBumpCount = 32;
constexpr int DefaultBumpRadius = 48;

} // namespace

World *WorldCreate()
{
    World *world = new World();
    world->startLightState = StartLightsIdle;
    world->gravity = StandardGravity;
    world->config = 1;
    world->crowdDensity = DefaultCrowdDensity;
    for (int i = 0; i < 3; ++i) {
        world->startLamps[i].onColour = RedLampColour;
    }
    world->startLamps[3].onColour = GreenLampColour;
    world->startOrientation[0] = 1.0f;
    world->startOrientation[4] = 1.0f;
    world->startOrientation[8] = 1.0f;
    world->bumpSeed = DefaultBumpSeed;
    world->bumpCount = DefaultBumpCount;
    world->bumpRadius = DefaultBumpRadius;
    RegisterWorldQuery();
    return world;
}

void WorldDestroy(World *world)
{
    if (!world) {
        return;
    }
    // The bodies of the movable objects go before the objects that own them.
    world->FreeObjectGrid();
    world->Close();
    // A world destroyed in the middle of its load still holds its files.
    world->worldStream.Close();
    world->lightStream.Close();
    delete[] world->mapSquareLists;
    world->mapSquareLists = nullptr;
    if (CurrentWorld == world) {
        CurrentWorld = nullptr;
        UnregisterWorldQuery();
    }
    delete world;
}

bool WorldIsLoading(const World *world)
{
    return world && world->loadState >= 1 && world->loadState < LoadStateGraphics;
}

void World::Close()
{
    // The world meshes belong to the render layer; none are built yet.
    worldMeshCount = 0;
    loadState = 0;
    if (lightSchemeCount > 0 || lightSchemes) {
        delete[] lightSchemes;
        lightSchemes = nullptr;
        lightSchemeCount = 0;
        lightSchemeIndex = 0;
    }
    delete[] configs;
    configs = nullptr;
    configCount = 0;
    for (int i = 0; i < duplicatorCount; ++i) {
        duplicators[i].Free();
    }
    delete[] duplicators;
    duplicators = nullptr;
    duplicatorCount = 0;
    for (int i = 0; i < objectCount; ++i) {
        if (objects[i]) {
            objects[i]->Release();
            delete objects[i];
            objects[i] = nullptr;
        }
    }
    objectCount = 0;
    preloadNameCount = 0;
    delete[] preloadNames;
    preloadNames = nullptr;
    currentPath = nullptr;
    pathWithNodes = nullptr;
    closedKnowledgePath = nullptr;
    knowledgePath = nullptr;
    lampObjectCount = 0;
    // The lamps' bound colour words lie in the holders' models freed above.
    ClearLampBindings();
    startGrid = nullptr;
    startPositionCount = 0;
    pitPositionCount = 0;
    lampDuplicator = -1;
}

void World::SetProgressText(const char *text)
{
    snprintf(progressText, sizeof progressText, "%s", text);
}

void World::SetProgressPercent(const char *text, int percent)
{
    snprintf(progressText, sizeof progressText, "%s %d%%", text, percent);
}

int World::GetCheckpointCount() const
{
    // A layout with its own timing lines replaces the track's.
    return LayoutRouteLines.timingLineCount != 0 ? LayoutRouteLines.timingLineCount : timingLineCount;
}

int World::IsConfigValueLow() const
{
    // Only a knowledge path can mark a configuration as rallycross.
    return knowledgePath && knowledgePath->onRoadShare < 0.7f ? 1 : 0;
}
