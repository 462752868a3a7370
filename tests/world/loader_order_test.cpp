#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/fixed_math.h"
#include "tests/tools/fixture_world.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/solid_object.h"
#include "world/start_grid_object.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"
#include "world/world_object.h"
#include "world/zone_object.h"

// The fixture track written by the writers and taken through the whole
// loader: prepare, start objects, map squares and lap timing run in the
// loader's order on what the file held.
namespace {

namespace fw = fixture_world;
using fw::Metre;

std::vector<std::string> &Lines()
{
    static std::vector<std::string> lines;
    return lines;
}

class LoaderOrder : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildTrigTables();
        Lines().clear();
        SetWorldMessagePrinter([](const char *text, int) { Lines().push_back(text); });
        world = WorldCreate();
        texts = fw::WriteAndLoad(world);
        loadLines = Lines();
    }
    static void TearDownTestSuite()
    {
        WorldDestroy(world);
        world = nullptr;
        SetWorldMessagePrinter(nullptr);
    }
    void SetUp() override
    {
        ASSERT_FALSE(texts.empty()) << "the fixture did not open";
        ASSERT_FALSE(WorldLoadFailed(world)) << (loadLines.empty() ? "" : loadLines.front());
        ASSERT_EQ(CurrentWorld, world);
    }

    static World *world;
    static std::vector<std::string> texts;
    static std::vector<std::string> loadLines;
};

World *LoaderOrder::world = nullptr;
std::vector<std::string> LoaderOrder::texts;
std::vector<std::string> LoaderOrder::loadLines;

// The map square holding the point, or null outside the grid.
const MapSquare *SquareAt(const World &world, int32_t x, int32_t y)
{
    if (x < world.gridOrigin[0] || x >= world.gridEnd[0] || y < world.gridOrigin[1] || y >= world.gridEnd[1]) {
        return nullptr;
    }
    const int i = static_cast<int>((static_cast<int64_t>(x) - world.gridOrigin[0]) / world.cellSize[0]);
    const int j = static_cast<int>((static_cast<int64_t>(y) - world.gridOrigin[1]) / world.cellSize[1]);
    return &world.mapSquares[j * WorldGridSize + i];
}

bool Lists(const MapSquare &square, const WorldObject *object)
{
    for (int k = 0; k < square.solidCount; ++k) {
        if (square.solidList[k] == object) {
            return true;
        }
    }
    return false;
}

// The surface hit from 1 m above (x, y) down to 2 m below, or null.
const TrackColour *GroundAt(int32_t x, int32_t y, int32_t &height)
{
    ContactProbe probe;
    probe.Clear();
    const FixVector end = {x, y, -2 * Metre};
    const FixVector ray = {0, 0, -3 * Metre};
    if (!SolidContactQuery(end, ray, probe)) {
        return nullptr;
    }
    height = probe.hitPoint.z;
    return probe.surface;
}

} // namespace

TEST_F(LoaderOrder, LoadsSilentlyThroughEveryStage)
{
    EXPECT_TRUE(loadLines.empty()) << loadLines.front();
    EXPECT_EQ(texts.front(), "Paths");
    EXPECT_EQ(texts.back(), "FINISHED");
    EXPECT_EQ(world->objectCount, fw::ObjectCount);
    EXPECT_EQ(world->duplicatorCount, fw::HolderCount);
    EXPECT_EQ(world->GetCheckpointCount(), 3);
    EXPECT_EQ(world->currentPath, &world->configs[0].path);
    EXPECT_EQ(world->cameraTriangleCount, 3);
}

// Any point strictly inside a solid's bounds (and the grid) finds the solid
// in its square, and every path node has road under it at its height.
TEST_F(LoaderOrder, SolidsAreInTheirSquaresAndGroundLiesUnderEveryNode)
{
    int solids = 0;
    for (int i = 0; i < world->objectCount; ++i) {
        const WorldObject *object = world->objects[i];
        if (!object->IsSolid()) {
            continue;
        }
        ++solids;
        for (int a = 0; a <= 8; ++a) {
            for (int b = 0; b <= 8; ++b) {
                const int64_t spanX = static_cast<int64_t>(object->maxX) - object->minX - 2;
                const int64_t spanY = static_cast<int64_t>(object->maxY) - object->minY - 2;
                const int32_t x = static_cast<int32_t>(object->minX + 1 + spanX * a / 8);
                const int32_t y = static_cast<int32_t>(object->minY + 1 + spanY * b / 8);
                const MapSquare *square = SquareAt(*world, x, y);
                if (square) {
                    ASSERT_TRUE(Lists(*square, object)) << "solid " << i << " point " << a << "," << b;
                }
            }
        }
    }
    EXPECT_EQ(solids, fw::NodeCount);

    const Path &path = *world->currentPath;
    ASSERT_EQ(path.nodeCount, fw::NodeCount);
    for (int n = 0; n < path.nodeCount; ++n) {
        int32_t height = INT32_MIN;
        const TrackColour *surface = GroundAt(path.nodes[n].position[0], path.nodes[n].position[1], height);
        ASSERT_NE(surface, nullptr) << "node " << n;
        EXPECT_EQ(surface->surfaceKind, 0) << "node " << n;
        EXPECT_LE(std::abs(height), Metre / 64) << "node " << n;
    }
    // Across the east straight: road, kerb, grass, and the wall beyond.
    const struct {
        float x;
        int kind;
    } across[] = {{40.0f, 0}, {45.5f, 0}, {47.0f, 6}, {51.0f, 2}, {56.0f, 2}};
    for (const auto &c : across) {
        int32_t height = 0;
        const TrackColour *surface = GroundAt(fw::Fix(c.x), fw::Fix(-30.0f), height);
        ASSERT_NE(surface, nullptr) << c.x;
        EXPECT_EQ(surface->surfaceKind, c.kind) << c.x;
    }
}

// Lap timing: the timing solids' nodes, distances counted from the finish,
// and a follower that finds every span from a point inside it, its planes
// (with the nodes' deltas) then equal to those reached by stepping span by
// span.
TEST_F(LoaderOrder, LapTimingAndFollowersFollowTheLoop)
{
    const Path &path = *world->currentPath;
    EXPECT_EQ(path.finishNode, fw::FinishNode);
    EXPECT_EQ(path.splitNodes[0], fw::Split1Node);
    EXPECT_EQ(path.splitNodes[1], fw::Split2Node);
    EXPECT_EQ(path.splitNodes[2], -1);
    EXPECT_NEAR(path.onRoadShare, 1.0f, 1e-5f);   // 98 sums of 1/98

    // Each node's distance is the one before it plus their spacing; the
    // finish node carries the whole lap.
    const std::vector<fw::Node> nodes = fw::Nodes();
    double lap = 0.0;
    for (int step = 1; step <= fw::NodeCount; ++step) {
        const int from = (fw::FinishNode + step - 1) % fw::NodeCount;
        const int to = (fw::FinishNode + step) % fw::NodeCount;
        lap += std::hypot(double(nodes[to].x - nodes[from].x), double(nodes[to].y - nodes[from].y));
        EXPECT_NEAR(path.nodes[to].distance, lap, 0.01) << "node " << to;
    }
    EXPECT_NEAR(lap, 2 * 120.0 + 2 * 3.14159265 * 40.0, 0.5);
    EXPECT_NEAR(path.nodes[fw::FinishNode + 1].distance, 5.0, 0.001);

    PathFollower stepped;
    PathFollower fresh;
    const int32_t start[3] = {path.nodes[0].position[0], path.nodes[0].position[1] + Metre, 0};
    ASSERT_EQ(stepped.FindPosition(start, 1), 0);
    for (int n = 0; n < path.nodeCount; ++n) {
        // A point 1 m along the span and 4 m to its left.
        const PathNode &node = path.nodes[n];
        const int32_t point[3] = {
            node.position[0] + static_cast<int32_t>((1.0f * node.direction[0] - 4.0f * node.direction[1]) * Metre),
            node.position[1] + static_cast<int32_t>((1.0f * node.direction[1] + 4.0f * node.direction[0]) * Metre),
            0};
        ASSERT_EQ(fresh.FindPosition(point, 1), n);
        if (n > 0) {
            stepped.ApplyNodeDeltas(n);
            stepped.node = n;
        }
        ASSERT_EQ(std::memcmp(fresh.planes, stepped.planes, sizeof fresh.planes), 0) << "span " << n;
        // The solids of the first half lose one band while the car is in
        // that half.
        const int band = 1 << (n % 8);
        EXPECT_EQ(fresh.planes[n % 3][fw::FirstSolid + n], n < fw::NodeCount / 2 ? 0xFF ^ band : 0xFF) << n;
    }
    // The base lists name every object: all seen from every band.
    EXPECT_EQ(fresh.planes[1][fw::ConeIndex], 0xFF);
    EXPECT_EQ(Lines(), loadLines);   // no search failed
}

// Start grid, start and pit positions, pit places nearest the grid's front
// first, the bound lamps and the zones' point queries.
TEST_F(LoaderOrder, StartObjectsLampsAndZones)
{
    ASSERT_EQ(world->startGrid, world->objects[fw::GridIndex]);
    EXPECT_EQ(NumStartPositions(world), fw::GridColumns * fw::GridRows);
    for (int slot = 0; slot < fw::GridColumns * fw::GridRows; ++slot) {
        int32_t position[3];
        float heading = 1.0f;
        GetStartPosition(world, position, heading, slot, 0, 0, nullptr);
        const int row = slot / 2, column = slot % 2;
        EXPECT_EQ(heading, 0.0f);
        EXPECT_NEAR(double(position[0]) / Metre, fw::GridX + (column ? 3.0 : -3.0), 0.01) << slot;
        EXPECT_NEAR(double(position[1]) / Metre, fw::GridY - 8.0 * row - 4.0 * column, 0.01) << slot;
        // Every slot stands on road.
        int32_t height = 0;
        const TrackColour *surface = GroundAt(position[0], position[1], height);
        ASSERT_NE(surface, nullptr) << slot;
        EXPECT_EQ(surface->surfaceKind, 0) << slot;
    }
    EXPECT_EQ(world->startPositionCount, 2);
    EXPECT_EQ(world->startPositions[0], world->objects[fw::FirstStartPosition]);
    EXPECT_EQ(world->startPositions[1], world->objects[fw::FirstStartPosition + 1]);

    // Pit positions stand 30 degrees off the path, nose toward it.
    ASSERT_EQ(world->pitPositionCount, 3);
    const float expectedHeading[3] = {-30.0f, -30.0f, 30.0f};
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(world->pitPositions[slot], world->objects[fw::FirstPitPosition + slot]);
        PathFollower follower;
        int32_t position[3];
        float heading = 0.0f;
        int searched = 0;
        GetPitStartPosition(world, position, heading, slot, &follower, 0, &searched);
        EXPECT_EQ(searched, 1);
        EXPECT_EQ(follower.lost, 0);
        EXPECT_EQ(position[0], fw::Fix(fw::PitPositionXY[slot][0]));
        EXPECT_NEAR(heading * 180.0f / fw::Pi, expectedHeading[slot], 0.01f) << slot;
    }

    // Pit places: the three garages inside the zone, farthest along the
    // grid's heading (north) first; the one beyond the zone is left out.
    ASSERT_EQ(world->pitPlaceCount, 3);
    EXPECT_EQ(world->pitPlaces[0], world->objects[fw::FirstPitPlace + 1]);   // y 20
    EXPECT_EQ(world->pitPlaces[1], world->objects[fw::FirstPitPlace + 2]);   // y 5
    EXPECT_EQ(world->pitPlaces[2], world->objects[fw::FirstPitPlace]);       // y -25

    // The gantry's four lamp records, names compared without case.
    EXPECT_EQ(world->lampDuplicator, fw::HolderGantry);
    ASSERT_EQ(world->lampObjectCount, 1);
    EXPECT_EQ(world->lampObjects[0], world->objects[fw::GantryIndex]);
    for (int lamp = 0; lamp < 4; ++lamp) {
        EXPECT_NE(world->startLamps[lamp].boundColours[0], nullptr) << lamp;
        EXPECT_EQ(world->startLamps[lamp].boundColours[1], nullptr) << lamp;
    }

    // Zones.
    EXPECT_EQ(world->GetLowestSpeedLimit(), fw::PitSpeedLimit);
    const ZoneObject *pit = static_cast<const ZoneObject *>(world->objects[fw::PitZoneIndex]);
    const ZoneObject *camera = static_cast<const ZoneObject *>(world->objects[fw::CameraZoneIndex]);
    const struct {
        float x, y;
        const ZoneObject *speed, *camera;
    } points[] = {
        {fw::PitZoneX, 0.0f, pit, nullptr},
        {fw::PitZoneX + 3.9f, 39.0f, pit, nullptr},
        {fw::PitZoneX + 4.1f, 0.0f, nullptr, nullptr},
        {fw::PitZoneX, 41.0f, nullptr, nullptr},
        {fw::CameraZoneX + 19.0f, fw::CameraZoneY - 19.0f, nullptr, camera},
        {fw::CameraZoneX, fw::CameraZoneY + 21.0f, nullptr, nullptr},
    };
    for (const auto &p : points) {
        EXPECT_EQ(world->FindSpeedLimitZone(fw::Fix(p.x), fw::Fix(p.y)), p.speed) << p.x << "," << p.y;
        EXPECT_EQ(world->FindCameraZone(fw::Fix(p.x), fw::Fix(p.y)), p.camera) << p.x << "," << p.y;
    }
    ASSERT_EQ(world->cameraZoneCount, 1);
    EXPECT_NE(camera->flags & 2u, 0u);   // tied to the path

    // Camera triangles: the highest floor below the position.
    const struct {
        float x, y, z;
        int camera;
    } cameras[] = {{40.0f, -30.0f, 1.0f, 0}, {45.0f, 20.0f, 1.0f, 0}, {45.0f, 20.0f, 4.0f, 1},
                   {40.0f, -30.0f, 4.0f, 0}, {0.0f, 0.0f, 4.0f, -1}};
    for (const auto &c : cameras) {
        const int32_t position[3] = {fw::Fix(c.x), fw::Fix(c.y), fw::Fix(c.z)};
        EXPECT_EQ(world->FindCameraTriangle(position), c.camera) << c.x << "," << c.y << "," << c.z;
    }
}
