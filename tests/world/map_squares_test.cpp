#include <gtest/gtest.h>

#include <vector>

#include "core/data_stream.h"
#include "tests/world/road_strip.h"
#include "tests/world/world_scene.h"
#include "vehicle/world_query.h"
#include "world/map_squares.h"
#include "world/world_object.h"

namespace {

// A solid of given bounds whose contact hits every probe it is asked about,
// counting the calls.
class BoxSolid : public WorldObject {
public:
    BoxSolid(float x0, float x1, float y0, float y1)
    {
        minX = Fix(x0);
        maxX = Fix(x1);
        minY = Fix(y0);
        maxY = Fix(y1);
    }
    int Contact(const FixVector &endPoint, const FixVector &, ContactProbe &probe, uint32_t *, int32_t *,
                int32_t *) override
    {
        ++calls;
        probe.fraction = 1;
        probe.hitPoint = endPoint;
        return 1;
    }
    int Read(DataStream *, int) override { return 0; }
    int GetType() const override { return ObjectSolid; }
    void Prepare() override {}
    int IsSolid() const override { return 1; }

    int calls = 0;
};

// A point object with a reach radius (units of 655/65536 m).
class Marker : public WorldObject {
public:
    Marker(float x, float y, uint8_t reach)
    {
        positionX = Fix(x);
        positionY = Fix(y);
        reachRadius = reach;
    }
    int Read(DataStream *, int) override { return 0; }
    int GetType() const override { return ObjectCamera; }
    void Prepare() override {}
};

int SessionRuns()
{
    return 1;
}

void GiveColours(World *world)
{
    world->colours.count = 1;
    world->colours.records = new TrackColour[1]();
}

} // namespace

TEST(MapSquares, ContactQueryEdges)
{
    // Grid -80..80 m in 10 m squares. One solid straddles the origin corner
    // of the grid; another fills the inside of square (9, 9) from its
    // edges at 10 m and 20 m.
    TestWorld scene;
    auto *corner = scene.Add(new BoxSolid(-85.0f, -75.0f, -85.0f, -75.0f));
    auto *inner = scene.Add(new BoxSolid(10.0f, 20.0f, 10.0f, 20.0f));
    scene.world->BuildMapSquares();

    struct Case {
        const char *name;
        float x, y;
        int hit;
        BoxSolid *asked;
    } cases[] = {
        {"inside", 15.0f, 15.0f, 1, inner},
        {"on the bounding box's left edge", 10.0f, 15.0f, 0, nullptr},
        {"on the bounding box's top edge", 15.0f, 20.0f, 0, nullptr},
        {"on the grid origin: square 0", -80.0f, -80.0f, 1, corner},
        {"on the grid end", 80.0f, 15.0f, 0, nullptr},
        {"left of the grid", -80.001f, -79.0f, 0, nullptr},
    };
    for (const Case &c : cases) {
        corner->calls = inner->calls = 0;
        ContactProbe probe;
        probe.Clear();
        probe.fraction = 77;   // cleared by every query
        const FixVector point = {Fix(c.x), Fix(c.y), 0};
        EXPECT_EQ(SolidContactQuery(point, {0, 0, -Fix(1.0f)}, probe), c.hit) << c.name;
        EXPECT_EQ(probe.fraction != 0, c.hit != 0) << c.name;
        EXPECT_EQ(corner->calls, c.asked == corner ? 1 : 0) << c.name;
        EXPECT_EQ(inner->calls, c.asked == inner ? 1 : 0) << c.name;
    }

    CurrentWorld = nullptr;
    ContactProbe probe;
    probe.Clear();
    EXPECT_EQ(SolidContactQuery({Fix(15.0f), Fix(15.0f), 0}, {0, 0, -Fix(1.0f)}, probe), 0);
    CurrentWorld = scene.world;
}

TEST(MapSquares, GridRangeTruncatesTowardZeroAndClamps)
{
    TestWorld scene;
    struct Case {
        const char *name;
        float x, y, r;
        int result, i0, i1, j0, j1;
    } cases[] = {
        {"one square", -75.0f, -75.0f, 1.0f, 1, 0, 0, 0, 0},
        {"less than a cell left of the grid", -85.0f, -75.0f, 1.0f, 1, 0, 0, 0, 0},
        {"wholly left of the grid by more than a cell", -95.0f, -75.0f, 1.0f, 0, 0, 0, 0, 0},
        {"beyond the grid end", 81.0f, 0.0f, 0.5f, 0, 0, 0, 0, 0},
        {"covering the corner of four squares", 0.0f, 0.0f, 1.0f, 1, 7, 8, 7, 8},
        {"wider than the grid", 0.0f, 0.0f, 500.0f, 1, 0, 15, 0, 15},
    };
    for (const Case &c : cases) {
        int i0 = 0, i1 = 0, j0 = 0, j1 = 0;
        EXPECT_EQ(scene.world->GetGridRange(i0, i1, j0, j1, Fix(c.x), Fix(c.y), Fix(c.r)), c.result) << c.name;
        if (c.result) {
            EXPECT_EQ(i0, c.i0) << c.name;
            EXPECT_EQ(i1, c.i1) << c.name;
            EXPECT_EQ(j0, c.j0) << c.name;
            EXPECT_EQ(j1, c.j1) << c.name;
        }
    }
}

TEST(MapSquares, ListsHoldTouchingObjectsOfTheConfigurationSolidsFirst)
{
    TestWorld scene;
    // Bounds touching the line x = -70 between columns 0 and 1 count for both.
    auto *touching = scene.Add(new BoxSolid(-75.0f, -70.0f, -78.0f, -72.0f));
    // Radius byte 100 (1 m) at the corner of squares (7, 7), (8, 7), (7, 8), (8, 8).
    auto *marker = scene.Add(new Marker(0.0f, 0.0f, 100));
    // Present only in configuration 2.
    auto *other = scene.Add(new BoxSolid(-75.0f, -72.0f, -78.0f, -72.0f));
    other->configMask = ConfigMaskAlways | 1u << 2;
    scene.world->config = 1;
    scene.world->BuildMapSquares();

    auto square = [&](int i, int j) -> const MapSquare & { return scene.world->mapSquares[j * 16 + i]; };
    int solidSquares = 0, radiusSquares = 0;
    for (const MapSquare &s : scene.world->mapSquares) {
        solidSquares += s.solidCount;
        radiusSquares += s.radiusCount;
        EXPECT_EQ(s.solidList == nullptr, s.solidCount == 0);
        EXPECT_EQ(s.radiusList == nullptr, s.radiusCount == 0);
    }
    EXPECT_EQ(solidSquares, 2);
    EXPECT_EQ(radiusSquares, 4);
    for (int i : {0, 1}) {
        ASSERT_EQ(square(i, 0).solidCount, 1) << i;
        EXPECT_EQ(square(i, 0).solidList[0], touching) << i;
    }
    for (int j : {7, 8}) {
        for (int i : {7, 8}) {
            ASSERT_EQ(square(i, j).radiusCount, 1) << i << "," << j;
            EXPECT_EQ(square(i, j).radiusList[0], marker);
        }
    }
    // One buffer: every solid list before every radius list.
    EXPECT_EQ(square(0, 0).solidList, scene.world->mapSquareLists);
    EXPECT_EQ(square(7, 7).radiusList, scene.world->mapSquareLists + 2);

    // Configuration 2 lists the other solid too; a rebuild replaces the buffer.
    scene.world->config = 2;
    scene.world->BuildMapSquares();
    EXPECT_EQ(square(0, 0).solidCount, 2);
    EXPECT_EQ(square(0, 0).solidList[1], other);
}

TEST(MapSquares, ProbeBelowFindsGroundOverTheWholeDeepRange)
{
    TestWorld scene;
    GiveColours(scene.world);
    SetSessionExistsCheck(SessionRuns);
    struct Case {
        float ground, z;
        int deep;
        float found;   // 0: nothing
    } cases[] = {
        {-19.5f, 0.0f, 1, -19.5f}, {0.0f, 0.0f, 1, 0.0f},   {25.0f, 0.0f, 1, 25.0f},
        {59.5f, 0.0f, 1, 59.5f},   {-20.5f, 0.0f, 1, 0.0f}, {60.5f, 0.0f, 1, 0.0f},
        {3.0f, 4.0f, 0, 3.0f},     {3.0f, 7.0f, 0, 0.0f},   {3.0f, 0.5f, 0, 0.0f},
    };
    float y0 = -80.0f;
    for (const Case &c : cases) {
        // Each case gets its own strip in a fresh row of squares.
        ASSERT_NE(AddRoadStrip(scene.world, 0.0f, y0, c.ground), nullptr);
        scene.world->BuildMapSquares();
        const int32_t height = ProbeSolidBelow(Fix(0.5f), Fix(y0 + 5.0f), Fix(c.z), c.deep);
        EXPECT_NEAR(height / 65536.0, c.found, 0.01) << "ground " << c.ground << " z " << c.z;
        y0 += 15.0f;
    }

    SetSessionExistsCheck(nullptr);
    EXPECT_EQ(ProbeSolidBelow(Fix(0.5f), Fix(-75.0f), 0, 1), 0);
}

TEST(MapSquares, BodiesAskTheCurrentWorldThroughTheQuery)
{
    TestWorld scene;
    GiveColours(scene.world);
    ASSERT_NE(AddRoadStrip(scene.world, 0.0f, -5.0f, 1.0f), nullptr);
    scene.world->BuildMapSquares();

    WorldQuery *query = LoadedWorldQuery();
    ASSERT_NE(query, nullptr);
    EXPECT_FLOAT_EQ(query->GetGravity(), -9.81f);
    int i0, i1, j0, j1;
    ASSERT_EQ(query->GetGridRange(i0, i1, j0, j1, 0, 0, Fix(0.5f)), 1);
    EXPECT_EQ(query->GetSolidList(8, 8).count, 1);
    ContactProbe probe;
    probe.Clear();
    ASSERT_EQ(query->SolidContactQuery({Fix(1.0f), Fix(1.0f), Fix(0.5f)}, {0, 0, -Fix(2.0f)}, probe), 1);
    EXPECT_NEAR(probe.hitPoint.z / 65536.0, 1.0, 0.01);
    EXPECT_EQ(query->GetSurfaceKind(probe.surface), 0);

    scene.world->loadState = 3;
    EXPECT_EQ(LoadedWorldQuery(), nullptr);
    scene.world->loadState = 0;
    CurrentWorld = nullptr;
    EXPECT_EQ(LoadedWorldQuery(), nullptr);
    CurrentWorld = scene.world;
}
