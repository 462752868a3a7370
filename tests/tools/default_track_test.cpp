#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "tests/tools/default_site_fixture.h"
#include "tests/world/world_load_steps.h"
#include "audio/car_sound_mixer.h"
#include "core/fixed_math.h"
#include "core/settings.h"
#include "tools/default_track.h"
#include "vehicle/surface_table.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/solid_object.h"
#include "world/start_lamp.h"
#include "world/track_colours.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"
#include "world/world_object.h"

namespace {

std::vector<std::string> &Warnings()
{
    static std::vector<std::string> lines;
    return lines;
}

void KeepWarning(const char *text, int /*colour*/)
{
    Warnings().push_back(text);
}

constexpr int32_t Metre = 65536;

// The solid surface under (x, y) between 1 m above z and 2 m below it.
bool GroundBelow(int32_t x, int32_t y, int32_t z, ContactProbe &probe)
{
    probe.Clear();
    const FixVector end = {x, y, z - 2 * Metre};
    const FixVector ray = {0, 0, -3 * Metre};
    return SolidContactQuery(end, ray, probe) != 0;
}

bool OnRoad(const ContactProbe &probe)
{
    return probe.surface && probe.surface->surfaceKind < SurfaceKindCount &&
           SurfaceTable[probe.surface->surfaceKind].onRoad != 0;
}

// The point lies inside the solid's footprint: at least 1 m inside both of
// its end lines (which are unbounded sideways) and within its bounds.
bool Holds(WorldObject *solid, int32_t x, int32_t y)
{
    return solid->IsPointInside(x, y, -Metre) && x > solid->minX && x < solid->maxX && y > solid->minY &&
           y < solid->maxY;
}

class DefaultTrackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        LoadDefaultSite(world, KeepWarning);
        loadWarnings = Warnings();
    }
    static void TearDownTestSuite() { UnloadDefaultSite(world); }

    static World *world;
    static std::vector<std::string> loadWarnings;
};

World *DefaultTrackTest::world = nullptr;
std::vector<std::string> DefaultTrackTest::loadWarnings;

struct Drive {
    int config;
    int reversed;
};
constexpr int Sprint = 3;
constexpr Drive Drives[] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}};

TEST(DefaultTrackFiles, SameBytesEveryRunWithOrWithoutLightFile)
{
    DefaultTrackFiles a, b, inline_;
    BuildDefaultTrack(1, a);
    BuildDefaultTrack(1, b);
    BuildDefaultTrack(0, inline_);
    EXPECT_EQ(a.world, b.world);
    EXPECT_EQ(a.light, b.light);
    EXPECT_FALSE(a.light.empty());
    EXPECT_TRUE(inline_.light.empty());
    // The light file's bytes move into the world file unchanged.
    EXPECT_EQ(inline_.world.size(), a.world.size() + a.light.size());

    const TrackSite &row = SiteTable[DefaultTrackSite];
    const std::string world = std::string("data/wld/") + row.name + ".wld";
    const std::string light = std::string("data/wld/") + row.code + ".lgh";
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    const std::vector<uint8_t> firstWorld = ReadFileBytes(world), firstLight = ReadFileBytes(light);
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    EXPECT_EQ(ReadFileBytes(world), firstWorld);
    EXPECT_EQ(ReadFileBytes(light), firstLight);
    EXPECT_EQ(firstWorld.size(), a.world.size() + 8);
}

TEST_F(DefaultTrackTest, LoadsWithTheSiteRowsConfigurationsAndSchemes)
{
    ASSERT_FALSE(WorldLoadFailed(world));
    EXPECT_STREQ(world->progressText, "FINISHED");
    EXPECT_TRUE(loadWarnings.empty()) << loadWarnings.front();
    const TrackSite &row = SiteTable[DefaultTrackSite];
    EXPECT_EQ(world->configCount, row.configCount);
    EXPECT_EQ(world->lightSchemeCount, row.weatherCount);
    EXPECT_EQ(world->crowdDensity, 0.5f);
    EXPECT_EQ(world->lampObjectCount, 1);
    for (const StartLamp &lamp : world->startLamps) {
        EXPECT_NE(lamp.boundColours[0], nullptr);
    }
    float lengths[3] = {};
    for (int c = 0; c < world->configCount; ++c) {
        const Path &path = world->configs[c].path;
        EXPECT_EQ(path.lightMapCount, world->lightSchemeCount);
        const int spans = (path.flags & PathClosedLoop) ? path.nodeCount : path.nodeCount - 1;
        for (int i = 0; i < spans; ++i) {
            const PathNode &a = path.nodes[i], &b = path.nodes[(i + 1) % path.nodeCount];
            const double dx = double(b.position[0] - a.position[0]) / Metre;
            const double dy = double(b.position[1] - a.position[1]) / Metre;
            const double step = std::hypot(dx, dy);
            EXPECT_GT(step, 3.0) << "config " << c + 1 << " node " << i;
            EXPECT_LT(step, 7.0) << "config " << c + 1 << " node " << i;
            lengths[c] += static_cast<float>(step);
        }
    }
    // A real circuit, a shorter club loop and an open sprint with timing.
    EXPECT_GT(lengths[0], 2500.0f);
    EXPECT_LT(lengths[1], lengths[0] - 500.0f);
    EXPECT_EQ(world->configs[0].path.flags & 0x0F, PathClosedLoop | PathUsesKnowledge | PathReversible);
    EXPECT_EQ(world->configs[1].path.flags & 0x0F, PathClosedLoop | PathUsesKnowledge | PathReversible);
    EXPECT_EQ(world->configs[2].path.flags & 0x0F, PathUsesKnowledge);
}

// Every configuration in every direction it allows: timing lines found,
// ground under every node, a road track, full grid and pit, the pit limit.
TEST_F(DefaultTrackTest, EveryConfigurationAndDirectionIsComplete)
{
    for (const Drive &drive : Drives) {
        SCOPED_TRACE(testing::Message() << "config " << drive.config << " reversed " << drive.reversed);
        Warnings().clear();
        SelectConfig(world, drive.config, drive.reversed);
        ASSERT_EQ(world->config, drive.config);
        ASSERT_EQ(world->reversed, drive.reversed);
        EXPECT_TRUE(Warnings().empty()) << Warnings().front();
        const Path *path = world->currentPath;
        ASSERT_NE(path, nullptr);
        ASSERT_GT(path->nodeCount, 100);
        EXPECT_EQ(world->GetCheckpointCount(), 3);
        EXPECT_GE(path->finishNode, 0);
        for (int split = 0; split < 2; ++split) {
            EXPECT_GE(path->splitNodes[split], 0) << "split " << split + 1;
        }
        EXPECT_EQ(world->IsConfigValueLow(), 0);
        EXPECT_EQ(NumStartPositions(world), 32);
        EXPECT_EQ(world->pitPositionCount, 32);
        EXPECT_EQ(world->pitPlaceCount, 32);
        EXPECT_EQ(world->GetLowestSpeedLimit(), 80);

        for (int list = 0; list < 2; ++list) {
            const PathNode *nodes = list == 0 ? path->nodes : path->secondNodes;
            const int count = list == 0 ? path->nodeCount : path->secondNodeCount;
            for (int i = 0; i < count; ++i) {
                const int32_t *p = nodes[i].position;
                ContactProbe probe;
                ASSERT_TRUE(GroundBelow(p[0], p[1], p[2] + Metre, probe)) << "list " << list << " node " << i;
                EXPECT_LE(std::abs(probe.hitPoint.z - p[2]), Metre / 16) << "node " << i;
                EXPECT_LT(std::abs(p[0]), 2000 * Metre);
                EXPECT_LT(std::abs(p[1]), 2000 * Metre);
            }
        }

        // The grid faces the way the path runs; on the circuits its first
        // slot stands just behind the finish.
        {
            int32_t position[3];
            float heading;
            GetStartPosition(world, position, heading, 0, 0, 0, nullptr);
            int nearest = 0;
            double best = 1e30;
            for (int i = 0; i < path->nodeCount; ++i) {
                const double dx = double(path->nodes[i].position[0] - position[0]);
                const double dy = double(path->nodes[i].position[1] - position[1]);
                if (dx * dx + dy * dy < best) {
                    best = dx * dx + dy * dy;
                    nearest = i;
                }
            }
            const float *d = path->nodes[nearest].direction;
            EXPECT_NEAR(-std::sin(heading), d[0], 0.05);
            EXPECT_NEAR(std::cos(heading), d[1], 0.05);
            if (drive.config != Sprint) {
                const int ahead = (path->finishNode - nearest + path->nodeCount) % path->nodeCount;
                EXPECT_GE(ahead, 1);
                EXPECT_LE(ahead, 6);
            } else {
                EXPECT_LT(nearest, path->splitNodes[0]);
            }
        }

        // Grid slots and pit boxes stand on road.
        for (int slot = 0; slot < 32; ++slot) {
            int32_t position[3];
            float heading;
            GetStartPosition(world, position, heading, slot, 0, 0, nullptr);
            ContactProbe probe;
            ASSERT_TRUE(GroundBelow(position[0], position[1], position[2] + Metre, probe)) << "slot " << slot;
            EXPECT_TRUE(OnRoad(probe)) << "slot " << slot;
            GetPitStartPosition(world, position, heading, slot, nullptr, 1, nullptr);
            ASSERT_TRUE(GroundBelow(position[0], position[1], Metre, probe)) << "pit " << slot;
            EXPECT_TRUE(OnRoad(probe)) << "pit " << slot;
        }
    }
    SelectConfig(world, 1, 0);
}

// Lap timing reads the solid under a node: each timing solid must hold a
// node of every configuration it times well inside its footprint.
TEST_F(DefaultTrackTest, EveryTimingSolidHoldsANodeOfItsConfigurations)
{
    int timingSolids = 0;
    for (const Drive &drive : Drives) {
        SelectConfig(world, drive.config, drive.reversed);
        const uint32_t bit = 1u << (drive.config + (drive.reversed ? 16 : 0));
        const Path *path = world->currentPath;
        for (int i = 0; i < world->objectCount; ++i) {
            WorldObject *object = world->objects[i];
            if (object->GetType() != ObjectSolid) {
                continue;
            }
            const SolidObject *solid = static_cast<const SolidObject *>(object);
            if (solid->checkpoint == 0 || !(solid->checkpointMask & bit)) {
                continue;
            }
            ++timingSolids;
            bool held = false;
            for (int n = 0; n < path->nodeCount && !held; ++n) {
                held = Holds(object, path->nodes[n].position[0], path->nodes[n].position[1]);
            }
            EXPECT_TRUE(held) << "solid " << i << " checkpoint " << int(solid->checkpoint) << " config "
                              << drive.config << " reversed " << drive.reversed;
        }
    }
    EXPECT_EQ(timingSolids, 15);
    SelectConfig(world, 1, 0);
}

// Across the circuit: road between kerbs, grass verges and gravel traps.
TEST_F(DefaultTrackTest, CircuitHasRoadKerbsGrassAndGravel)
{
    SelectConfig(world, 1, 0);
    const Path *path = world->currentPath;
    int found[SurfaceKindCount] = {};
    for (int i = 0; i < path->nodeCount; ++i) {
        const PathNode &node = path->nodes[i];
        for (const float lateral : {0.0f, node.leftEdge - 0.5f, node.rightEdge + 0.5f, node.outerLeft * 0.8f,
                                    node.outerRight * 0.8f}) {
            const int32_t x = node.position[0] + static_cast<int32_t>(lateral * node.direction[1] * Metre);
            const int32_t y = node.position[1] - static_cast<int32_t>(lateral * node.direction[0] * Metre);
            ContactProbe probe;
            if (GroundBelow(x, y, node.position[2] + Metre, probe) && probe.surface &&
                probe.surface->surfaceKind < SurfaceKindCount) {
                ++found[probe.surface->surfaceKind];
            }
        }
    }
    const struct {
        int kind;
        int atLeast;
    } expected[] = {{0, 572}, {6, 2 * 500}, {2, 2 * 400}, {8, 30}};
    for (const auto &e : expected) {
        EXPECT_GE(found[e.kind], e.atLeast) << "surface kind " << e.kind;
    }
}

// Barriers stop a car running off the road and let one that is outside
// them come back: a horizontal probe from the road into either wall hits the
// wall's surface, one from outside passes through.
TEST_F(DefaultTrackTest, WallsFaceTheRoad)
{
    SelectConfig(world, 1, 0);
    const Path *path = world->currentPath;
    // The back straight is the westernmost run of nodes, walled both sides.
    int32_t west = INT32_MAX;
    for (int i = 0; i < path->nodeCount; ++i) {
        west = std::min(west, path->nodes[i].position[0]);
    }
    std::vector<int> straight;
    for (int i = 0; i < path->nodeCount; ++i) {
        if (path->nodes[i].position[0] - west < Metre / 100) {
            straight.push_back(i);
        }
    }
    ASSERT_GT(straight.size(), 50u);
    const PathNode &node = path->nodes[straight[straight.size() / 2]];
    WorldObject *solid = nullptr;
    for (int i = 0; i < world->objectCount; ++i) {
        if (world->objects[i]->GetType() == ObjectSolid &&
            Holds(world->objects[i], node.position[0], node.position[1])) {
            ASSERT_EQ(solid, nullptr) << "two solids under one node";
            solid = world->objects[i];
        }
    }
    ASSERT_NE(solid, nullptr);

    for (const float limit : {node.outerLeft, node.outerRight}) {
        SCOPED_TRACE(limit);
        // Lateral offsets run along (dir.y, -dir.x).
        const auto at = [&](float lateral) {
            return FixVector{node.position[0] + static_cast<int32_t>(lateral * node.direction[1] * Metre),
                             node.position[1] - static_cast<int32_t>(lateral * node.direction[0] * Metre),
                             node.position[2] + Metre / 2};
        };
        const float beyond = limit + (limit < 0.0f ? -0.5f : 0.5f);
        const FixVector inside = at(limit * 0.5f), outside = at(beyond);
        ContactProbe probe;
        probe.Clear();
        const FixVector outward = {outside.x - inside.x, outside.y - inside.y, 0};
        ASSERT_NE(solid->Contact(outside, outward, probe, nullptr, nullptr, nullptr), 0);
        ASSERT_NE(probe.surface, nullptr);
        EXPECT_EQ(probe.surface->surfaceKind, 10);
        probe.Clear();
        const FixVector nearWall = at(limit * 0.9f);
        const FixVector inward = {nearWall.x - outside.x, nearWall.y - outside.y, 0};
        solid->Contact(nearWall, inward, probe, nullptr, nullptr, nullptr);
        EXPECT_TRUE(probe.surface == nullptr || probe.surface->surfaceKind != 10);
    }
}

// The paths carry echo levels: on the pit straight the pit wall and the
// garages on the right ring louder than the open left, in both directions,
// and with "ECHO_B " at its default every line's gain stays within 0.05..0.3
// there; an open stretch is quiet.
TEST_F(DefaultTrackTest, PathsCarryTrackSideEchoLevels)
{
    const float savedBalance = EchoBalance;
    EchoBalance = 0.5f;
    const SoundListener savedListener = Listener;
    Listener.orientation = {{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}};
    struct Probe {
        int config;
        int reversed;
    };
    for (const Probe &drive : {Probe{1, 0}, Probe{1, 1}, Probe{2, 0}}) {
        SCOPED_TRACE(testing::Message() << "config " << drive.config << " reversed " << drive.reversed);
        SelectConfig(world, drive.config, drive.reversed);
        const Path *path = world->currentPath;
        ASSERT_NE(path, nullptr);
        EXPECT_NE(path->flags & PathHasBandData, 0u);
        // The node nearest the finish line on the pit straight (0, 300).
        int best = 0;
        int64_t bestD = INT64_MAX;
        for (int i = 0; i < path->nodeCount; ++i) {
            const int64_t dx = path->nodes[i].position[0];
            const int64_t dy = path->nodes[i].position[1] - 300 * Metre;
            if (dx * dx + dy * dy < bestD) {
                bestD = dx * dx + dy * dy;
                best = i;
            }
        }
        SetEchoTargets(&path->nodes[best], 0.0f);
        float left = 0.0f;
        float right = 0.0f;
        for (const EchoLine &line : EchoLines) {
            const float l = line.leftGain + line.leftStep * CarSoundMixFrames;
            const float r = line.rightGain + line.rightStep * CarSoundMixFrames;
            left = std::max(left, l);
            right = std::max(right, r);
            EXPECT_LE(r, 0.3f);
            EXPECT_LE(l, 0.3f);
        }
        EXPECT_GE(right, 0.05f);
        EXPECT_GT(right, 2.0f * left);
    }
    EchoBalance = savedBalance;
    Listener = savedListener;
    for (EchoLine &line : EchoLines) {
        line.leftGain = line.rightGain = line.leftStep = line.rightStep = 0.0f;
    }
}

} // namespace
