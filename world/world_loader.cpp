#include "world/world_loader.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/translation_table.h"
#include "core/data_stream.h"
#include "core/shell_globals.h"
#include "platform/timer.h"
#include "world/lit_mesh_object.h"
#include "world/light_scheme.h"
#include "world/object_holder.h"
#include "world/panel_object.h"
#include "world/path.h"
#include "world/solid_object.h"
#include "world/track_knowledge.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_file.h"
#include "world/world_messages.h"
#include "world/world_object.h"

int LoadSliceMs = DefaultLoadSliceMs;

namespace {

constexpr float HalfPi = 1.57079633f;
constexpr int StartLampCount = 4;
constexpr uint32_t LampUnlitFlag = 1;

LoadClock Clock = nullptr;

uint32_t ReadClock()
{
    return Clock ? Clock() : PlatformTimeMs();
}

constexpr TextId TextPaths = Text_3a_prgpaths;
constexpr TextId TextColours = Text_3a_prgcolrs;
constexpr TextId TextDuplicators = Text_3a_prgdupli;
constexpr TextId TextLightSchemes = Text_3a_prglgtsc;
constexpr TextId TextReadingObjects = Text_3a_prgrdobs;
constexpr TextId TextLightingInfo = Text_3a_prglgtin;
constexpr TextId TextBumpTextures = Text_3a_prgbmptx;
constexpr TextId TextInitialisingColours = Text_3a_prginicl;
constexpr TextId TextCheckPoints = Text_3a_prgchpts;
constexpr TextId TextExtraData = Text_3a_prgextra;
constexpr TextId TextStartObjects = Text_3a_prgstobs;
constexpr TextId TextMapSquares = Text_3a_prgmapsq;
constexpr TextId TextPathInitialisation = Text_3a_prgpthin;
constexpr TextId TextLoadingTextures = Text_3a_prgldtex;
constexpr TextId TextPathAdjustment = Text_3a_prgpthad;
constexpr TextId TextRebuilding = Text_3a_prgrebld;
constexpr TextId TextFinished = Text_3a_fnshload;
constexpr TextId TextUnknownTrack = Text_3a_trckunkn;
constexpr TextId TextTrackNotFound = Text_3a_trcknofn;
constexpr TextId TextObsoleteTrack = Text_3a_trckobso;


bool ProgramDraws()
{
    return GraphicsEnabled && DedicatedMode == DedicatedNone;
}

void WorldFileName(const World *world, char *path, int size)
{
    std::snprintf(path, static_cast<size_t>(size), WorldFilePattern, world->trackName);
}

void LightFileName(const World *world, char *path, int size)
{
    std::snprintf(path, static_cast<size_t>(size), LightFilePattern, world->shortName);
}

void CloseStreams(World *world)
{
    world->worldStream.Close();
    world->lightStream.Close();
}

bool LightFileOpen(const World *world)
{
    return world->lightStream.file != nullptr;
}

DataStream *RecordStream(World *world)
{
    return LightFileOpen(world) ? &world->lightStream : &world->worldStream;
}

// A file that breaks its own counts or ends early: the load fails with a
// warning line naming the file, and both files close.
bool FailDamaged(World *world, bool inLightFile)
{
    char path[64];
    if (inLightFile) {
        LightFileName(world, path, sizeof path);
    } else {
        WorldFileName(world, path, sizeof path);
    }
    char line[96];
    std::snprintf(line, sizeof line, "WLD : DAMAGED FILE %s", path);
    WorldPrintMessage(line, ColourSalmon);
    world->failed = 1;
    std::snprintf(world->problemText, sizeof world->problemText, "%s", line);
    CloseStreams(world);
    return false;
}

// Fails the load when either stream has read past its end.
bool StreamsOverrun(World *world)
{
    if (world->worldStream.overrun) {
        FailDamaged(world, false);
        return true;
    }
    if (world->lightStream.overrun) {
        FailDamaged(world, true);
        return true;
    }
    return false;
}

bool NextStage(World *world, TextId text, int state)
{
    world->SetProgressText(Tx(text));
    world->loadState = state;
    return false;
}

// True while the slice that ends at deadline has time left (wrap-safe).
bool TimeLeft(uint32_t deadline)
{
    return static_cast<int32_t>(ReadClock() - deadline) < 0;
}

// The second node list of configuration n from its path file (old worlds).
// A missing, too old or damaged file leaves the list empty, without a word.
void ReadPathFile(World *world, int n, Path &path)
{
    char name[64];
    std::snprintf(name, sizeof name, PathFilePattern, world->shortName, n);
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, name, PathFileId, &version, PathFileVersion, 0)) {
        return;
    }
    if (version >= OldestPathFileVersion) {
        const uint32_t flags = stream.ReadU32();
        stream.ReadU32();
        const int count = stream.ReadU16() & 0xFFFF;
        stream.ReadU16();
        const int withBand = (flags & PathHasBandData) ? 1 : 0;
        if (count > 0 && !stream.overrun && count <= stream.Remaining()) {
            path.secondNodes = new PathNode[count];
            path.secondNodeCount = count;
            for (int i = 0; i < count; ++i) {
                if (path.secondNodes[i].Read(&stream, version, withBand) != 0 || stream.overrun) {
                    path.FreeSecondNodes();
                    break;
                }
            }
        }
    }
    stream.Close();
}

bool StageConfigurations(World *world)
{
    DataStream &in = world->worldStream;
    for (int i = 0; i < WorldHeaderSpareWords; ++i) {
        in.ReadU32();
    }
    const int count = in.ReadU8();
    const int flags = in.ReadU8();
    const int hasLightFile = in.ReadU8();
    const int fourth = in.ReadU8();
    // A world without configurations would select configuration 0's path.
    if (in.overrun || count < 1 || count > MaxWorldConfigs || (flags & ~WorldLongConfigNames) || hasLightFile > 1 ||
        fourth != 0) {
        world->failed = 1;
        std::snprintf(world->problemText, sizeof world->problemText, "WLD : DAMAGED FILE");
        CloseStreams(world);
        return false;
    }
    if (hasLightFile == 1) {
        char path[64];
        LightFileName(world, path, sizeof path);
        int version = 0;
        if (world->lightStream.OpenRead(nullptr, path, LightFileId, &version, LightFileVersion, 0)) {
            world->failed = 1;
            std::snprintf(world->problemText, sizeof world->problemText, "WLD : MISSING FILE");
            CloseStreams(world);
            WorldPrintMessage("WLD : MISSING FILE", ColourSalmon);
            return false;
        }
    }
    world->configCount = count;
    world->configs = new WorldConfig[count];
    const int nameLength = (flags & WorldLongConfigNames) ? LongConfigNameLength : ShortConfigNameLength;
    for (int i = 0; i < count; ++i) {
        WorldConfig &config = world->configs[i];
        in.ReadBytes(config.name, nameLength);
        config.name[sizeof config.name - 1] = 0;
        if (config.path.Read(RecordStream(world), world->fileVersion) != 0) {
            return FailDamaged(world, LightFileOpen(world));
        }
        config.lightMapFactor1 = in.ReadU16() & 0xFFFF;
        config.lightMapFactor2 = in.ReadU16() & 0xFFFF;
        if (StreamsOverrun(world)) {
            return false;
        }
        if (world->fileVersion == OldestWorldFileVersion && config.path.secondNodeCount == 0) {
            ReadPathFile(world, i + 1, config.path);
        }
    }

    if (world->config < 1) {
        world->config = 1;
    }
    if (world->config > count) {
        world->config = count;
    }
    const Path &path = world->configs[world->config - 1].path;
    const int reversedAsked = world->reversed;
    world->reversed = 0;
    if (reversedAsked && (path.flags & PathReversible)) {
        ReverseConfig(world);
    }
    if (path.nodeCount > 0 && (path.flags & PathUsesKnowledge) && (path.flags & PathClosedLoop)) {
        world->closedKnowledgePath = &world->configs[world->config - 1].path;
        ReadTrackKnowledge(world);
    }
    return NextStage(world, TextColours, 2);
}

bool StageColours(World *world)
{
    DataStream &in = world->worldStream;
    world->worldFlags = in.ReadU32();
    if (!(world->worldFlags & WorldFlagNewColours)) {
        world->oldColourFlags = 1;
        world->worldFlags |= WorldFlagNewColours;
    }
    if (world->colours.Read(&in, world->fileVersion, world->shortName) != 0 || StreamsOverrun(world)) {
        return world->failed ? false : FailDamaged(world, false);
    }
    return NextStage(world, TextDuplicators, 3);
}

bool StageDuplicators(World *world)
{
    DataStream &in = world->worldStream;
    const float a = in.ReadFloat();
    const float b = in.ReadFloat();
    world->lightFraction = LightFractionFromFile(a, b);
    const uint32_t count = in.ReadU32();
    if (in.overrun || count > static_cast<uint32_t>(MaxWorldDuplicators) ||
        static_cast<int64_t>(count) > in.Remaining()) {
        return FailDamaged(world, false);
    }
    if (count > 0) {
        world->duplicators = new ObjectHolder[count];
        world->duplicatorCount = static_cast<int32_t>(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (world->duplicators[i].Read(&in, world->fileVersion) != HolderReadOk) {
                return FailDamaged(world, false);
            }
        }
    }
    if (StreamsOverrun(world)) {
        return false;
    }
    return NextStage(world, TextLightSchemes, 4);
}

// Old worlds stored no time of day and weather: the site row knows them.
void FixOldLightSchemes(World *world)
{
    const int site = FindTrackSiteByCode(world->shortName);
    for (int i = 0; i < world->lightSchemeCount; ++i) {
        LightScheme &scheme = world->lightSchemes[i];
        if (!scheme.extraNames) {
            continue;
        }
        scheme.extraNames = 0;
        scheme.timeOfDay = 3;
        scheme.weather = 0;
        scheme.fourthByte = 0;
        if (site >= 0 && i < MaxSiteWeathers) {
            scheme.timeOfDay = SiteTable[site].weatherTimes[i];
            scheme.weather = SiteTable[site].weatherSkies[i];
        }
    }
}

bool StageLightSchemes(World *world)
{
    DataStream &in = world->worldStream;
    in.ReadU32();
    const uint32_t count = in.ReadU32();
    if (in.overrun || count > static_cast<uint32_t>(MaxWorldLightSchemes) ||
        static_cast<int64_t>(count) > in.Remaining()) {
        return FailDamaged(world, false);
    }
    if (count > 0) {
        world->lightSchemes = new LightScheme[count];
        world->lightSchemeCount = static_cast<int32_t>(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (ReadLightScheme(&world->lightSchemes[i], &in, world->fileVersion, world->lightFraction) != 0) {
                return FailDamaged(world, false);
            }
        }
    }
    if (world->fileVersion == OldestWorldFileVersion) {
        FixOldLightSchemes(world);
    }
    for (int i = 0; i < world->lightSchemeCount; ++i) {
        if (world->lightSchemes[i].weather == WeatherOverhead) {
            world->lightSchemes[i].sunHeading = 0.0f;
            world->lightSchemes[i].sunElevation = HalfPi;
        }
    }
    if (world->lightSchemeCount == 0) {
        world->lightSchemeIndex = world->lightSchemeIndex >= 0 ? -1 : world->lightSchemeIndex;
    } else if (world->lightSchemeIndex < 0) {
        world->lightSchemeIndex = 0;
    } else if (world->lightSchemeIndex > world->lightSchemeCount - 1) {
        world->lightSchemeIndex = world->lightSchemeCount - 1;
    }
    const uint32_t objects = in.ReadU32();
    if (in.overrun || objects > static_cast<uint32_t>(MaxWorldObjects) ||
        static_cast<int64_t>(objects) > in.Remaining()) {
        return FailDamaged(world, false);
    }
    world->objectCount = static_cast<int32_t>(objects);
    world->stepIndex = 0;
    return NextStage(world, TextReadingObjects, 5);
}

bool StageObjects(World *world, uint32_t deadline)
{
    DataStream &in = world->worldStream;
    LoadingWorldObjects = 1;
    // At least one object a call, then on while the slice lasts.
    for (bool more = world->stepIndex < world->objectCount; more;
         more = world->stepIndex < world->objectCount && TimeLeft(deadline)) {
        const WorldObjectResult result = CreateWorldObject(&in, world->fileVersion);
        if (result.error != WorldObjectOk || !result.object) {
            LoadingWorldObjects = 0;
            char line[64];
            std::snprintf(line, sizeof line, "WLD : object %d of type %d refused", world->stepIndex, result.type);
            WorldPrintMessage(line, ColourSalmon);
            return FailDamaged(world, false);
        }
        world->objects[world->stepIndex] = result.object;
        ++world->stepIndex;
    }
    LoadingWorldObjects = 0;
    if (world->stepIndex < world->objectCount) {
        return false;
    }
    if (world->ReadCameraGeometry(&in) != 0) {
        return FailDamaged(world, false);
    }
    for (int i = 0; i < StartLampCount; ++i) {
        Colour colour;
        ReadColour(&colour, &in);
        world->startLamps[i].onColour =
            ColourWord(colour.red, colour.green, colour.blue, static_cast<uint32_t>(colour.flags) | LampUnlitFlag);
    }
    in.ReadU32();
    in.ReadU32();
    const float density = in.ReadFloat();
    world->crowdDensity = std::isfinite(density) ? density : 0.0f;
    if (StreamsOverrun(world)) {
        return false;
    }
    return NextStage(world, TextLightingInfo, 6);
}

bool StageLighting(World *world)
{
    for (int i = 0; i < world->objectCount; ++i) {
        if (world->objects[i]->HasLitMesh()) {
            static_cast<LitMeshObject *>(world->objects[i])->AllocateLighting(world->lightSchemeCount);
        }
    }
    DataStream *in = RecordStream(world);
    for (int scheme = 0; scheme < world->lightSchemeCount; ++scheme) {
        for (int i = 0; i < world->objectCount; ++i) {
            if (!world->objects[i]->HasLitMesh()) {
                continue;
            }
            auto *object = static_cast<LitMeshObject *>(world->objects[i]);
            if (object->ReadLighting(in, world->fileVersion, scheme) != 0) {
                return FailDamaged(world, LightFileOpen(world));
            }
        }
    }
    if (StreamsOverrun(world)) {
        return false;
    }
    CloseStreams(world);
    for (int i = 0; i < world->objectCount; ++i) {
        if (world->objects[i]->GetType() == ObjectPanel &&
            static_cast<PanelObject *>(world->objects[i])->ResolveSources(world->objects, world->objectCount) != 0) {
            return FailDamaged(world, false);
        }
    }
    for (int i = 0; i < world->objectCount; ++i) {
        if (world->objects[i]->GetType() == ObjectSolid) {
            auto *solid = static_cast<SolidObject *>(world->objects[i]);
            if (solid->ResolvePanels(world->objects, world->objectCount, world->colours.count) != SolidResolveOk) {
                return FailDamaged(world, false);
            }
        }
    }
    world->stepIndex = 0;
    return NextStage(world, TextBumpTextures, 7);
}

bool StageTextures(World *world, uint32_t deadline)
{
    const int count = world->colours.count;
    for (bool more = world->stepIndex < count; more; more = world->stepIndex < count && TimeLeft(deadline)) {
        world->colours.records[world->stepIndex].LoadTexture();
        ++world->stepIndex;
    }
    if (world->stepIndex < count) {
        // The last texture moves straight on, so 100 % is never shown.
        int percent = static_cast<int>(std::lround(world->stepIndex * 100.0 / count));
        if (percent > 99) {
            percent = 99;
        }
        world->SetProgressPercent(Tx(TextLoadingTextures), percent);
        return false;
    }
    world->stepIndex = 0;
    return NextStage(world, TextPathAdjustment, 15);
}

// The graphics phase (meshes, sky and environment textures) belongs to the
// render core; until it exists the phase has nothing to build.
void StartGraphicsLoad(World *world)
{
    world->SetProgressText(Tx(TextRebuilding));
    world->graphicsState = 0;
    world->loadState = LoadStateGraphics;
}

bool Finish(World *world)
{
    world->SetProgressText(Tx(TextFinished));
    world->loadState = 0;
    return true;
}

} // namespace

void SetLoadClock(LoadClock clock)
{
    Clock = clock;
}

float LightFractionFromFile(float a, float b)
{
    if (b == 0.0f) {
        return 0.0f;
    }
    const float ratio = b * 100.0f / a;
    int percent = 100;
    if (a != 0.0f && std::isfinite(a) && std::isfinite(ratio)) {
        const float rounded = std::round(ratio);
        percent = rounded <= 50.0f ? 50 : rounded >= 99.0f ? 100 : static_cast<int>(rounded);
    }
    return static_cast<float>(percent) / 100.0f;
}

int WorldOpen(World *world, const char *trackName, const char *shortName, int buildGraphics,
              int makeEnvironmentTexture, int config, int reversed, int lightScheme)
{
    if (!world || !trackName) {
        return 0;
    }
    // The names may be the world's own members.
    char track[sizeof world->trackName];
    char code[sizeof world->shortName];
    std::snprintf(track, sizeof track, "%s", trackName);
    std::snprintf(code, sizeof code, "%.2s", shortName ? shortName : "");
    std::memcpy(world->trackName, track, sizeof track);
    std::memcpy(world->shortName, code, sizeof code);
    if (FindTrackSite(world->trackName, nullptr) < 0) {
        WorldPrintMessage(Tx(TextUnknownTrack), ColourSalmon);
        return 0;
    }
    char path[64];
    WorldFileName(world, path, sizeof path);
    CloseStreams(world);
    int version = 0;
    if (world->worldStream.OpenRead(nullptr, path, WorldFileId, &version, WorldFileVersion, 0)) {
        WorldPrintMessage(Tx(TextTrackNotFound), ColourSalmon);
        return 0;
    }
    if (version < OldestWorldFileVersion) {
        world->worldStream.Close();
        WorldPrintMessage(Tx(TextObsoleteTrack), ColourSalmon);
        return 0;
    }
    // Emptied first: emptying forgets the light scheme index.
    world->Close();
    world->fileVersion = version;
    world->failed = 0;
    world->problemText[0] = 0;
    world->oldColourFlags = 0;
    world->lightFraction = 0.0f;
    world->buildGraphics = ProgramDraws() ? static_cast<uint32_t>(buildGraphics) : 0;
    world->makeEnvironmentTexture = static_cast<uint32_t>(makeEnvironmentTexture);
    world->reversed = reversed ? 1 : 0;
    world->config = config;
    world->lightSchemeIndex = lightScheme;
    CurrentWorld = world;
    world->SetProgressText(Tx(TextPaths));
    world->loadState = 1;
    return 1;
}

bool WorldLoadFailed(const World *world)
{
    return world && world->failed;
}

bool WorldLoadStep(World *world)
{
    if (!world) {
        return true;
    }
    if (world->failed) {
        LoadingWorldObjects = 0;
        CloseStreams(world);
        world->Close();
        return true;
    }
    const uint32_t deadline = ReadClock() + static_cast<uint32_t>(LoadSliceMs);
    switch (world->loadState) {
    case 1:
        return StageConfigurations(world);
    case 2:
        return StageColours(world);
    case 3:
        return StageDuplicators(world);
    case 4:
        return StageLightSchemes(world);
    case 5:
        return StageObjects(world, deadline);
    case 6:
        return StageLighting(world);
    case 7:
        world->BuildBumpMap();
        return NextStage(world, TextInitialisingColours, 8);
    case 8:
        world->ResetLampsAndColours();
        return NextStage(world, TextCheckPoints, 9);
    case 9:
        world->CountCheckpoints();
        return NextStage(world, TextExtraData, 10);
    case 10:
        world->PrepareObjects(1);
        return NextStage(world, TextStartObjects, 11);
    case 11:
        world->SetUpStartObjects();
        return NextStage(world, TextMapSquares, 12);
    case 12:
        world->BuildMapSquares();
        return NextStage(world, TextPathInitialisation, 13);
    case 13:
        world->ResetStartLightsAndWind(nullptr);
        // The sky textures load with the render core.
        world->SetProgressPercent(Tx(TextLoadingTextures), 0);
        world->stepIndex = 0;
        world->loadState = 14;
        return false;
    case 14:
        return StageTextures(world, deadline);
    case 15:
        if (world->currentPath) {
            SetUpLapTiming(world->currentPath);
        }
        if (world->buildGraphics) {
            StartGraphicsLoad(world);
            return false;
        }
        return Finish(world);
    case LoadStateGraphics:
        if (world->graphicsState != 0) {
            return false;
        }
        return Finish(world);
    default:
        return Finish(world);
    }
}
