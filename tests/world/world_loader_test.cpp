#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/fixed_math.h"
#include "core/shell_globals.h"
#include "tests/world/world_file_fixture.h"
#include "world/light_scheme.h"
#include "world/lit_mesh_object.h"
#include "world/path.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

const std::string Track = "Kestrel Water";
const std::string Short = "KE";

std::vector<std::string> &Lines()
{
    static std::vector<std::string> lines;
    return lines;
}

// A fake millisecond clock: every read moves it on by `step`.
uint32_t FakeNow = 0;
uint32_t FakeStep = 1;
uint32_t FakeClock()
{
    const uint32_t now = FakeNow;
    FakeNow += FakeStep;
    return now;
}

bool HasLine(const char *text)
{
    for (const std::string &line : Lines()) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class WorldLoaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
    void SetUp() override
    {
        Lines().clear();
        SetWorldMessagePrinter([](const char *text, int) { Lines().push_back(text); });
        FakeNow = 0;
        FakeStep = 1;
        SetLoadClock(FakeClock);
        LoadSliceMs = DefaultLoadSliceMs;
        CurrentWorld = nullptr;
        world = WorldCreate();
    }
    void TearDown() override
    {
        WorldDestroy(world);
        CurrentWorld = nullptr;
        SetLoadClock(nullptr);
        SetWorldMessagePrinter(nullptr);
        LoadSliceMs = DefaultLoadSliceMs;
    }

    int Open(int config = 1, int reversed = 0, int scheme = 0)
    {
        return WorldOpen(world, Track.c_str(), Short.c_str(), 0, 0, config, reversed, scheme);
    }

    // Runs the load to its end; the progress texts after each step.
    std::vector<std::string> LoadToEnd(int limit = 100000)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < limit; ++i) {
            const bool ended = WorldLoadStep(world);
            texts.push_back(world->progressText);
            if (ended) {
                return texts;
            }
        }
        ADD_FAILURE() << "the load never ended";
        return texts;
    }

    void ExpectFailedEmpty()
    {
        EXPECT_TRUE(WorldLoadFailed(world));
        EXPECT_EQ(world->loadState, 0);
        EXPECT_EQ(world->configCount, 0);
        EXPECT_EQ(world->objectCount, 0);
        EXPECT_EQ(world->lightSchemeCount, 0);
        EXPECT_STRNE(world->progressText, "FINISHED");
        EXPECT_EQ(world->worldStream.file, nullptr);
        EXPECT_EQ(world->lightStream.file, nullptr);
    }

    World *world = nullptr;
};

// A road strip (panels 0 and 1, solid 2) across the path's start.
void WriteStrip(WorldWriter &out, int version)
{
    RoadStrip strip;
    strip.startX = 0;
    strip.startY = -5 * 65536;
    strip.endX = 0;
    strip.endY = 40 * 65536;
    strip.width = 20 * 65536;
    WriteRoadStrip(out, version, strip);
}

WorldFixture StripWorld()
{
    WorldFixture fixture;
    fixture.objectCount = 3;
    fixture.litObjects = 1;
    fixture.writeObjects = WriteStrip;
    return fixture;
}

TEST_F(WorldLoaderTest, OpenRefusesUnknownMissingAndWrongVersions)
{
    struct Case {
        const char *what;
        const char *track;
        int version;      // 0: no file written
        const char *line;
    };
    const Case cases[] = {
        {"not a site", "Nowhere Ring", 251, "Unknown track"},
        {"no world file", "Harrow Fields", 0, "Track not found"},
        {"version 252", "Kestrel Water", 252, "Track not found"},
        {"version 249", "Kestrel Water", 249, "Obsolete track"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Lines().clear();
        if (c.version) {
            WorldFixture fixture;
            fixture.version = c.version;
            fixture.Write(c.track, "XX");
        }
        EXPECT_EQ(WorldOpen(world, c.track, "XX", 0, 0, 1, 0, 0), 0);
        EXPECT_EQ(CurrentWorld, nullptr);
        EXPECT_EQ(world->loadState, 0);
        EXPECT_TRUE(HasLine(c.line));
        std::remove(("data/wld/" + std::string(c.track) + ".wld").c_str());
    }
}

TEST_F(WorldLoaderTest, SoundWorldLoadsThroughEveryStage)
{
    WorldFixture fixture = StripWorld();
    fixture.crowdDensity = 0.75f;
    fixture.worldFlags = 0;   // old colour flags
    fixture.Write(Track, Short);
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(CurrentWorld, world);
    EXPECT_STREQ(world->progressText, "Paths");
    EXPECT_EQ(world->loadState, 1);

    const std::vector<std::string> texts = LoadToEnd();
    const std::vector<std::string> expected = {
        "Colours", "Duplicators", "Light schemes", "Reading objects", "Lighting info", "Bump textures",
        "Initialising colours", "Check points", "Extra data", "Start objects", "Map squares",
        "Path initialisation", "Loading textures 0%", "Path adjustment", "FINISHED"};
    EXPECT_EQ(texts, expected);
    EXPECT_FALSE(WorldLoadFailed(world));
    EXPECT_EQ(world->loadState, 0);
    EXPECT_EQ(world->objectCount, 3);
    EXPECT_EQ(world->configCount, 1);
    EXPECT_EQ(world->currentPath, &world->configs[0].path);
    EXPECT_EQ(world->oldColourFlags, 1);
    EXPECT_EQ(world->worldFlags & WorldFlagNewColours, WorldFlagNewColours);
    EXPECT_FLOAT_EQ(world->crowdDensity, 0.75f);
    EXPECT_EQ(world->startLightState, 4);
    // The lamps' on colours come from the file, marked unlit.
    EXPECT_EQ(world->startLamps[3].onColour, ColourWord(30, 0, 0, 1));
    EXPECT_TRUE(Lines().empty()) << Lines().front();
}

// Each bad header byte, and a light file that is missing, fails stage 1:
// the next step empties the world and ends the load as failed.
TEST_F(WorldLoaderTest, StageOneFailuresEndWithAnEmptyFailedWorld)
{
    struct Case {
        const char *what;
        int count, flags, hasLight, fourth;
        bool missingLine;
    };
    const Case cases[] = {
        {"16 configurations", 16, 0, 0, 0, false},
        {"no configuration", 0, 0, 0, 0, false},
        {"flags bit 1", 1, 2, 0, 0, false},
        {"has-light-file 2", 1, 0, 2, 0, false},
        {"fourth byte 1", 1, 0, 0, 1, false},
        {"light file missing", 1, 0, 1, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Lines().clear();
        WorldFixture fixture;
        fixture.configCountByte = c.count;
        fixture.configFlags = c.flags;
        fixture.hasLightFile = c.hasLight;
        fixture.fourthByte = c.fourth;
        fixture.Write(Track, Short, false);
        ASSERT_EQ(Open(), 1);
        EXPECT_FALSE(WorldLoadStep(world));
        EXPECT_TRUE(WorldLoadStep(world));
        ExpectFailedEmpty();
        EXPECT_EQ(HasLine("WLD : MISSING FILE"), c.missingLine);
    }
}

// Limits and damaged records written with the writer: every one fails the
// load cleanly (the sanitizer run checks that nothing reads out of bounds).
TEST_F(WorldLoaderTest, CorruptWorldsFailCleanly)
{
    const auto objectOfType = [](int type) {
        return [type](WorldWriter &out, int version) { WriteObjectHeader(out, version, ObjectHeaderAt(type, 0, 0)); };
    };
    struct Case {
        const char *what;
        std::function<void(WorldFixture &)> damage;
    };
    const Case cases[] = {
        {"object count 16385", [](WorldFixture &f) { f.objectCount = 16385; }},
        {"more objects than bytes", [](WorldFixture &f) { f.objectCount = 4; }},
        {"type code 3", [&](WorldFixture &f) { f.objectCount = 1; f.litObjects = 0; f.writeObjects = objectOfType(3); }},
        {"type code 12", [&](WorldFixture &f) { f.objectCount = 1; f.litObjects = 0; f.writeObjects = objectOfType(12); }},
        {"type code 16", [&](WorldFixture &f) { f.objectCount = 1; f.litObjects = 0; f.writeObjects = objectOfType(16); }},
        {"257 camera points", [](WorldFixture &f) { f.cameraPoints.resize(257); }},
        {"triangle names a missing point",
         [](WorldFixture &f) {
             f.cameraPoints.resize(3);
             f.cameraTriangles.push_back({{0, 1, 3}, 0, 0.0f});
         }},
        {"solid names a non-panel",
         [](WorldFixture &f) {
             f.objectCount = 4;
             f.litObjects = 2;
             f.writeObjects = [](WorldWriter &out, int version) {
                 WriteStrip(out, version);
                 SolidFields solid;
                 solid.indexA = 2;   // the strip's solid
                 solid.indexB = 1;
                 solid.curves = {{2, 0, 0, 0}, {2, 0, 1, 1}};
                 solid.links = {{0, 1, 1, 0, 0, 1}};
                 WriteSolid(out, version, ObjectHeaderAt(ObjectSolid, 0, 0), solid);
             };
         }},
        {"lighting records missing", [](WorldFixture &f) { f.litObjects = 0; }},
        {"node count beyond the file",
         [](WorldFixture &f) { f.configs[0].path = StraightPath(70000, 0); }},
        {"light scheme count 65", [](WorldFixture &f) { f.schemes.resize(65); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Lines().clear();
        WorldFixture fixture = StripWorld();
        c.damage(fixture);
        fixture.Write(Track, Short);
        if (std::string(c.what) == "node count beyond the file") {
            // The writer keeps at most 65535 nodes; cut the file inside them.
            std::vector<uint8_t> bytes = ReadFileBytes("data/wld/" + Track + ".wld");
            bytes.resize(bytes.size() / 2);
            WriteFileBytes("data/wld/" + Track + ".wld", bytes);
        }
        ASSERT_EQ(Open(), 1);
        LoadToEnd();
        ExpectFailedEmpty();
        EXPECT_FALSE(Lines().empty());
        // The warning names the damaged file.
        EXPECT_TRUE(HasLine(("WLD : DAMAGED FILE data\\wld\\" + Track + ".wld").c_str()) ||
                    HasLine(("WLD : DAMAGED FILE data\\wld\\" + Short + ".lgh").c_str()))
            << (Lines().empty() ? "" : Lines().back());
    }
}

// The sound strip world cut at every length never crashes and loads only
// when whole; with its light file cut the same way too.
TEST_F(WorldLoaderTest, WorldCutAnywhereFailsUnlessWhole)
{
    for (const int hasLight : {0, 1}) {
        WorldFixture fixture = StripWorld();
        fixture.hasLightFile = hasLight;
        fixture.Write(Track, Short);
        const std::string cutPath = hasLight ? "data/wld/" + Short + ".lgh" : "data/wld/" + Track + ".wld";
        const std::vector<uint8_t> whole = ReadFileBytes(cutPath);
        for (size_t length = 8; length <= whole.size(); ++length) {
            SCOPED_TRACE(testing::Message() << "light file " << hasLight << ", length " << length);
            WriteFileBytes(cutPath, std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
            ASSERT_EQ(Open(), 1);
            LoadToEnd();
            EXPECT_EQ(WorldLoadFailed(world), length < whole.size());
            if (length < whole.size()) {
                ExpectFailedEmpty();
            }
        }
    }
}

TEST(WorldLightFraction, FromTheFileValues)
{
    struct Case {
        float a, b, fraction;
    };
    const Case cases[] = {
        {1.0f, 0.0f, 0.0f},  {2.0f, 1.0f, 0.5f},  {1.0f, 0.99f, 1.0f}, {1.0f, 0.75f, 0.75f},
        {0.0f, 1.0f, 1.0f},  {1.0f, 0.3f, 0.5f},  {1.0f, 0.985f, 1.0f}, {1.0f, 0.514f, 0.51f},
        {INFINITY, 1.0f, 1.0f}, {1e-30f, 1e30f, 1.0f},
    };
    for (const Case &c : cases) {
        EXPECT_FLOAT_EQ(LightFractionFromFile(c.a, c.b), c.fraction) << c.a << ", " << c.b;
    }
}

// The light fraction stands in for every scheme's light ratio.
TEST_F(WorldLoaderTest, LightFractionReplacesTheLightRatio)
{
    for (const float b : {0.0f, 0.75f}) {
        WorldFixture fixture;
        fixture.a = 1.0f;
        fixture.b = b;
        fixture.schemes[0].lightRatio = 0.3f;
        fixture.Write(Track, Short);
        ASSERT_EQ(Open(), 1);
        LoadToEnd();
        ASSERT_EQ(world->lightSchemeCount, 1);
        EXPECT_FLOAT_EQ(world->lightFraction, b);
        EXPECT_FLOAT_EQ(world->lightSchemes[0].lightRatio, b != 0.0f ? 0.75f : 0.3f);
    }
}

// 10000 objects take several 50 ms slices, all showing "Reading objects".
TEST_F(WorldLoaderTest, ObjectStageIsSlicedByTheClock)
{
    WorldFixture fixture;
    fixture.objectCount = 10000;
    fixture.writeObjects = [](WorldWriter &out, int version) {
        for (int i = 0; i < 10000; ++i) {
            WriteCamera(out, version, ObjectHeaderAt(ObjectCamera, i * 65536, 0), CameraFields{});
        }
    };
    fixture.Write(Track, Short);
    for (const int slice : {DefaultLoadSliceMs, IntroLoadSliceMs}) {
        SCOPED_TRACE(slice);
        LoadSliceMs = slice;
        FakeNow = 0xFFFFFF00u;   // the slice deadline wraps round
        ASSERT_EQ(Open(), 1);
        while (world->loadState != 5) {
            ASSERT_FALSE(WorldLoadStep(world));
        }
        int calls = 0;
        std::vector<int> read;
        while (world->loadState == 5) {
            ASSERT_FALSE(WorldLoadStep(world));
            ++calls;
            read.push_back(world->stepIndex);
            if (world->loadState == 5) {
                EXPECT_STREQ(world->progressText, "Reading objects");
            }
        }
        // The clock moves 1 ms a read and is read after every object.
        EXPECT_EQ(read[0], slice);
        EXPECT_EQ(calls, 10000 / slice);
        LoadToEnd();
        EXPECT_EQ(world->objectCount, 10000);
        EXPECT_FALSE(WorldLoadFailed(world));
    }
}

// The texture stage shows 0 % first, then rising values, never 100 %.
TEST_F(WorldLoaderTest, TextureStageShowsRisingPercentages)
{
    WorldFixture fixture;
    fixture.colourCount = 30;
    fixture.Write(Track, Short);
    LoadSliceMs = 7;   // 7 textures a call
    ASSERT_EQ(Open(), 1);
    std::vector<std::string> texts = LoadToEnd();
    std::vector<int> percents;
    for (const std::string &text : texts) {
        int percent = -1;
        if (std::sscanf(text.c_str(), "Loading textures %d%%", &percent) == 1) {
            percents.push_back(percent);
        }
    }
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents[0], 0);
    for (size_t i = 1; i < percents.size(); ++i) {
        EXPECT_GT(percents[i], percents[i - 1]);
        EXPECT_LT(percents[i], 100);
    }
    EXPECT_EQ(texts.back(), "FINISHED");
    EXPECT_EQ(texts[texts.size() - 2], "Path adjustment");
}

// Version 250: a path file gives the second node list of a configuration
// that has none; a missing one leaves it empty without a word. Light
// schemes with the old name blocks take the site row's time and weather.
TEST_F(WorldLoaderTest, OldWorldReadsPathFilesAndSiteSchemes)
{
    WorldFixture fixture;
    fixture.version = 250;
    fixture.configs = {{"One", StraightPath(4, 0, 0.0f, 3)}, {"Two", StraightPath(4, 0, 0.0f, 3)},
                       {"Three", StraightPath(4, 0, 0.0f, 3)}};
    fixture.configs[1].path.secondNodes = {PathNodeAt(0, 0, 0.0f, 4.0f)};
    fixture.schemes.assign(3, SchemeFixture{});
    fixture.schemes[0].extraNames = 1;
    fixture.schemes[2].extraNames = 1;
    fixture.schemes[1].timeOfDay = 6;
    fixture.schemes[1].weather = 2;
    fixture.Write(Track, Short);

    // Path files for configurations 1 and 2 (3 has none): 7 nodes each.
    PlatformMakeDirectory("data/pth");
    for (const int n : {1, 2}) {
        WorldWriter out;
        out.U32(0).U32(0).U16(7).U16(0);
        PathFields nodes;
        for (int i = 0; i < 7; ++i) {
            nodes.nodes.push_back(PathNodeAt(0, i * 65536, 0.0f, 3.0f));
        }
        WorldWriter path;
        WritePath(path, nodes);
        // The path record's nodes follow its 12-byte head.
        out.bytes.insert(out.bytes.end(), path.bytes.begin() + 12, path.bytes.end());
        WriteFileBytes("data/pth/" + Short + std::to_string(n) + ".pth",
                       WorldFixture::WithHeader(PathFileId, PathFileVersion, out.bytes));
    }
    ASSERT_EQ(Open(), 1);
    LoadToEnd();
    ASSERT_FALSE(WorldLoadFailed(world));
    EXPECT_EQ(world->configs[0].path.secondNodeCount, 7);
    EXPECT_EQ(world->configs[1].path.secondNodeCount, 1);   // its own list stays
    EXPECT_EQ(world->configs[2].path.secondNodeCount, 0);
    EXPECT_TRUE(Lines().empty());

    const TrackSite &row = SiteTable[FindTrackSiteByCode(Short.c_str())];
    EXPECT_EQ(world->lightSchemes[0].timeOfDay, row.weatherTimes[0]);
    EXPECT_EQ(world->lightSchemes[0].weather, row.weatherSkies[0]);
    EXPECT_EQ(world->lightSchemes[2].timeOfDay, row.weatherTimes[2]);
    EXPECT_EQ(world->lightSchemes[2].extraNames, 0);
    // Scheme 1 had no old name blocks: its own values; overcast puts the
    // sun overhead.
    EXPECT_EQ(world->lightSchemes[1].timeOfDay, 6);
    EXPECT_FLOAT_EQ(world->lightSchemes[1].sunHeading, 0.0f);
    EXPECT_NEAR(world->lightSchemes[1].sunElevation, 1.5707963f, 1e-6f);
}

// A world whose paths and lighting stand in its light file loads the same
// as the one that holds them itself.
TEST_F(WorldLoaderTest, LightFileGivesTheSameWorld)
{
    std::vector<int32_t> nodeCounts;
    std::vector<int32_t> lightingCounts;
    for (const int hasLight : {0, 1}) {
        WorldFixture fixture = StripWorld();
        fixture.hasLightFile = hasLight;
        fixture.configs = {{"A", StraightPath(9, 0x0D)}, {"B", StraightPath(5, 0)}};
        fixture.Write(Track, Short);
        ASSERT_EQ(Open(), 1);
        LoadToEnd();
        ASSERT_FALSE(WorldLoadFailed(world));
        nodeCounts.push_back(world->configs[0].path.nodeCount);
        nodeCounts.push_back(world->configs[1].path.nodeCount);
        lightingCounts.push_back(static_cast<LitMeshObject *>(world->objects[2])->lightingCount);
    }
    EXPECT_EQ(nodeCounts, (std::vector<int32_t>{9, 5, 9, 5}));
    EXPECT_EQ(lightingCounts, (std::vector<int32_t>{1, 1}));
}

// Stage 1 clamps the configuration and reverses only reversible paths.
TEST_F(WorldLoaderTest, AskedConfigurationIsClampedAndReversedWhenAllowed)
{
    WorldFixture fixture;
    fixture.configs = {{"A", StraightPath(4, 0)}, {"B", StraightPath(4, PathReversible, 3.0f)},
                       {"C", StraightPath(4, 0, 7.0f)}};
    fixture.Write(Track, Short);
    struct Case {
        int config, reversed;
        int loadedConfig, loadedReversed;
    };
    const Case cases[] = {{0, 0, 1, 0}, {9, 0, 3, 0}, {-4, 1, 1, 0}, {3, 1, 3, 0}, {2, 1, 2, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.config << " reversed " << c.reversed);
        ASSERT_EQ(Open(c.config, c.reversed), 1);
        LoadToEnd();
        EXPECT_EQ(world->config, c.loadedConfig);
        EXPECT_EQ(world->reversed, c.loadedReversed);
        const PathNode &first = world->configs[world->config - 1].path.nodes[0];
        // Reversed, the path starts at its far end.
        EXPECT_EQ(first.position[1], c.loadedReversed ? 15 * 65536 : 0);
    }
}

} // namespace

namespace {

// With build graphics the load runs the (for now empty) graphics phase
// before it finishes; a program that draws nothing never does.
TEST_F(WorldLoaderTest, GraphicsPhaseOnlyWhenTheProgramDraws)
{
    WorldFixture fixture;
    fixture.Write(Track, Short);
    const int drew = GraphicsEnabled;
    for (const int draws : {1, 0}) {
        SCOPED_TRACE(draws);
        GraphicsEnabled = draws;
        ASSERT_EQ(WorldOpen(world, Track.c_str(), Short.c_str(), 1, 0, 1, 0, 0), 1);
        EXPECT_EQ(world->buildGraphics, static_cast<uint32_t>(draws));
        const std::vector<std::string> texts = LoadToEnd();
        ASSERT_GE(texts.size(), 3u);
        EXPECT_EQ(texts[texts.size() - 2], draws ? "Rebuilding" : "Path adjustment");
        EXPECT_EQ(texts.back(), "FINISHED");
    }
    GraphicsEnabled = drew;
}

} // namespace

#include "tools/default_track.h"

namespace {

// The default site: the same paths and lighting with and without its light
// file, and cut anywhere it fails without harm.
class DefaultSiteLoadTest : public WorldLoaderTest {
protected:
    void WriteSite(int withLightFile, size_t cut = 0)
    {
        DefaultTrackFiles files;
        BuildDefaultTrack(withLightFile, files);
        const TrackSite &row = SiteTable[DefaultTrackSite];
        PlatformMakeDirectory("data");
        PlatformMakeDirectory("data/wld");
        std::vector<uint8_t> worldFile = WorldFixture::WithHeader(WorldFileId, WorldFileVersion, files.world);
        if (cut) {
            worldFile.resize(cut);
        }
        WriteFileBytes(std::string("data/wld/") + row.name + ".wld", worldFile);
        const std::string light = std::string("data/wld/") + row.code + ".lgh";
        std::remove(light.c_str());
        if (withLightFile) {
            WriteFileBytes(light, WorldFixture::WithHeader(LightFileId, LightFileVersion, files.light));
        }
    }
    int OpenSite()
    {
        const TrackSite &row = SiteTable[DefaultTrackSite];
        return WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0);
    }
};

TEST_F(DefaultSiteLoadTest, LightFileChangesNothingLoaded)
{
    std::vector<std::vector<int32_t>> seen;
    for (const int withLight : {0, 1}) {
        WriteSite(withLight);
        ASSERT_EQ(OpenSite(), 1);
        LoadToEnd();
        ASSERT_FALSE(WorldLoadFailed(world));
        std::vector<int32_t> values;
        for (int c = 0; c < world->configCount; ++c) {
            const Path &path = world->configs[c].path;
            values.push_back(path.nodeCount);
            values.push_back(path.secondNodeCount);
            values.push_back(path.lightMapCount);
            for (int i = 0; i < path.nodeCount; ++i) {
                values.insert(values.end(), path.nodes[i].position, path.nodes[i].position + 3);
            }
        }
        for (int i = 0; i < world->objectCount; ++i) {
            if (world->objects[i]->HasLitMesh()) {
                values.push_back(static_cast<LitMeshObject *>(world->objects[i])->lightingCount);
            }
        }
        seen.push_back(values);
    }
    EXPECT_EQ(seen[0], seen[1]);
}

TEST_F(DefaultSiteLoadTest, CutAnywhereFailsCleanly)
{
    DefaultTrackFiles files;
    BuildDefaultTrack(0, files);
    const size_t whole = files.world.size() + 8;
    for (int i = 1; i < 64; ++i) {
        const size_t cut = 8 + (whole - 8) * static_cast<size_t>(i) / 64 + static_cast<size_t>(i % 7);
        SCOPED_TRACE(cut);
        WriteSite(0, cut);
        ASSERT_EQ(OpenSite(), 1);
        LoadToEnd();
        ExpectFailedEmpty();
    }
}

} // namespace

#include "core/settings.h"

namespace {

// The program's path: the race settings' track loads through
// LoadRaceTrack; a finished load hands the chosen values back, a failed one
// leaves no world at all.
TEST_F(WorldLoaderTest, RaceTrackLoadKeepsOnlyAFinishedWorld)
{
    WorldFixture fixture;
    fixture.configs = {{"A", StraightPath(4, 0)}, {"B", StraightPath(4, 0)}};
    fixture.schemes.assign(2, SchemeFixture{});
    fixture.Write(Track, Short);
    WorldFixture broken;
    broken.hasLightFile = 1;
    broken.Write("Harrow Fields", "HA", false);

    struct Case {
        const char *track;
        int config, scheme;
        bool loaded;
    };
    const Case cases[] = {{"kestrel water", 7, 5, true}, {"Harrow Fields", 1, 0, false}, {"Nowhere", 1, 0, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.track);
        std::snprintf(MapName, sizeof MapName, "%s", c.track);
        TrackConfig = c.config;
        TrackFlip = 1;
        TrackLighting = c.scheme;
        const int armed = LoadRaceTrack();
        EXPECT_EQ(armed, c.track[0] != 'N');
        int steps = 0;
        while (!StepRaceTrackLoad() && ++steps < 1000) {
        }
        EXPECT_EQ(CurrentWorld != nullptr, c.loaded);
        if (c.loaded) {
            EXPECT_STREQ(CurrentWorld->shortName, "KE");
            EXPECT_STREQ(CurrentWorld->progressText, "FINISHED");
            EXPECT_EQ(TrackConfig, 2);
            EXPECT_EQ(TrackFlip, 0);
            EXPECT_EQ(TrackLighting, 1);
        }
        UnloadRaceTrack();
        EXPECT_EQ(CurrentWorld, nullptr);
    }
}

} // namespace
