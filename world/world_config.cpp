#include "world/world_config.h"

#include <cstring>

#include "core/translation_table.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/solid_object.h"
#include "world/track_knowledge.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_object.h"

namespace {

// The race code's four timing lines: a larger checkpoint number is ignored.
constexpr int MaxCheckpointNumber = 4;

OpenTimedPathHook OpenTimedPath = nullptr;

bool HasConfigs(const World *world)
{
    return world && world->configCount > 0 && world->configs;
}

} // namespace

void SetOpenTimedPathHook(OpenTimedPathHook hook)
{
    OpenTimedPath = hook;
}

void OpenTimedPathSelected()
{
    if (OpenTimedPath) {
        OpenTimedPath();
    }
}

void ReverseConfig(World *world)
{
    if (!world) {
        return;
    }
    if (world->config == 0 || !HasConfigs(world) || world->config > world->configCount) {
        world->reversed = 0;
        return;
    }
    WorldConfig &config = world->configs[world->config - 1];
    if (!(config.path.flags & PathReversible)) {
        return;
    }
    config.path.Reverse(config.lightMapFactor1 * config.lightMapFactor2);
    world->reversed = !world->reversed;
}

void SelectConfig(World *world, int config, int reversed)
{
    if (!HasConfigs(world)) {
        return;
    }
    if (config < 1) {
        config = 1;
    }
    if (config > world->configCount) {
        config = world->configCount;
    }
    reversed = reversed ? 1 : 0;
    if (config == world->config && reversed == world->reversed) {
        return;
    }
    if (world->reversed) {
        ReverseConfig(world);
    }
    world->AllLampsOff();
    world->ClearLampBindings();
    world->config = config;
    if (reversed && (world->configs[config - 1].path.flags & PathReversible)) {
        ReverseConfig(world);
    }
    // Lit objects keep what the load prepared; the configuration changes
    // only which objects take part.
    world->RebuildConfigData(0);
    world->BuildMapSquares();
    if (world->closedKnowledgePath) {
        ReadTrackKnowledge(world);
    }
    SetUpLapTiming(world->currentPath);
}

void World::RebuildConfigData(int all)
{
    ResetLampsAndColours();
    CountCheckpoints();
    PrepareObjects(all);
    SetUpStartObjects();
}

void World::ResetLampsAndColours()
{
    AllLampsOff();
    ClearLampBindings();
    colours.Initialise(oldColourFlags);
}

void World::CountCheckpoints()
{
    timingLineCount = 0;
    for (int i = 0; i < objectCount; ++i) {
        const WorldObject *object = objects[i];
        if (!object || object->GetType() != ObjectSolid || !ConfigMaskHas(object->configMask, config, 0)) {
            continue;
        }
        const int number = static_cast<const SolidObject *>(object)->checkpoint;
        if (number <= MaxCheckpointNumber && number > timingLineCount) {
            timingLineCount = number;
        }
    }
}

void World::PrepareObjects(int all)
{
    for (int i = 0; i < objectCount; ++i) {
        if (objects[i] && (all || !objects[i]->HasLitMesh())) {
            objects[i]->Prepare();
        }
    }
}

const char *World::GetConfigName() const
{
    const int site = FindTrackSite(trackName, nullptr);
    if (site >= 0 && config >= 1 && config <= SiteTable[site].configCount && config <= MaxSiteConfigs &&
        SiteTable[site].configNames[config - 1]) {
        return SiteTable[site].configNames[config - 1];
    }
    return GetFileConfigName();
}

const char *World::GetFileConfigName() const
{
    if (config >= 1 && config <= configCount && configs) {
        return configs[config - 1].name;
    }
    return Tx(Text_3a_unkntype);
}
