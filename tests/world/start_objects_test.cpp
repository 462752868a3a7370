#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "core/float_math.h"
#include "path_fixture.h"
#include "render/object_file.h"
#include "tools/world_object_writer.h"
#include "world/duplicator_object.h"
#include "world/object_holder.h"
#include "world/path_follower.h"
#include "world/start_grid_object.h"
#include "world/zone_object.h"

namespace {

constexpr float Pi = 3.14159265f;

class StartObjects : public testing::Test {
protected:
    PathWorld scene;
    World &world = *scene.world;

    template <typename T> T *Add(T *object)
    {
        world.objects[world.objectCount++] = object;
        return object;
    }
    // A prepared zone at (x, y) metres, heading 0: +-halfLength along x,
    // +-halfWidth along y.
    ZoneObject *AddZone(float x, float y, int speedLimit, float halfLength, float halfWidth)
    {
        ZoneObject *zone = Add(new ZoneObject(Metres(x), Metres(y)));
        zone->speedLimit = static_cast<uint8_t>(speedLimit);
        zone->halfLength = halfLength;
        zone->halfWidth = halfWidth;
        zone->Prepare();
        return zone;
    }
    DuplicatorObject *AddPosition(float x, float y, float heading, int number, uint32_t flags)
    {
        DuplicatorObject *object = Add(new DuplicatorObject(Metres(x), Metres(y)));
        object->heading = heading;
        object->number = static_cast<uint8_t>(number);
        object->flags = DuplicatorNone | flags;
        return object;
    }
    StartGridObject *AddGrid(float x, float y, int columns, int rows)
    {
        StartGridObject *grid = Add(new StartGridObject(Metres(x), Metres(y)));
        grid->columns = static_cast<uint8_t>(columns);
        grid->rows = static_cast<uint8_t>(rows);
        grid->Prepare();
        return grid;
    }
    // Holders 0..n-1: box 3D objects with `surfaces` surface records.
    void MakeHolders(int n, int surfaces)
    {
        world.duplicators = new ObjectHolder[n];
        world.duplicatorCount = n;
        for (int i = 0; i < n; ++i) {
            ObjectHolder &holder = world.duplicators[i];
            holder.kind = HolderObject3D;
            holder.object = new Object3D;
            InitObject3D(holder.object);
            BuildBoxObject(*holder.object, "gantry", 1.0f, 1.0f, 1.0f, 1, surfaces);
        }
    }
    DuplicatorObject *AddCopy(int holder, float x, float y, uint32_t flags)
    {
        DuplicatorObject *copy = Add(new DuplicatorObject(Metres(x), Metres(y)));
        copy->AssignDuplicator(static_cast<uint16_t>(holder));
        copy->flags |= flags;
        return copy;
    }
};

} // namespace

TEST_F(StartObjects, BoundsAlwaysHoldTheOriginAndCellsAreAtLeastTenMetres)
{
    struct Case {
        float x, y, size;
        int32_t wantOriginX, wantCell;
    };
    const Case cases[] = {
        {50, 50, 8, 0, Metres(10)},                 // a small world at positive coordinates
        {-300, 20, 200, Metres(-400), Metres(25)},  // 400 m across: 25 m cells
    };
    for (const Case &c : cases) {
        PathWorld fresh;
        fresh.world->config = 0;
        fresh.AddStrip(c.x, c.y, c.size, 0, 0);
        fresh.world->SetUpStartObjects();
        const World &w = *fresh.world;
        EXPECT_EQ(w.gridOrigin[0], c.wantOriginX);
        EXPECT_LE(w.gridOrigin[1], 0);
        EXPECT_EQ(w.cellSize[0], c.wantCell);
        EXPECT_EQ(w.gridEnd[0], w.gridOrigin[0] + 16 * w.cellSize[0]);
        EXPECT_EQ(w.currentPath, nullptr);
    }
}

TEST_F(StartObjects, BoundsAreCutToTheBoxAroundThePath)
{
    // Path along x from -45 to -5 m, road +-4 m: the box reaches 24 m beside
    // it; the solids reach from -300 to 300 m.
    scene.LoadPath(StraightPath(5, 0, -45.0f));
    scene.AddStrip(-200.0f, 0.0f, 200.0f, 0, 0);
    scene.AddStrip(200.0f, 0.0f, 200.0f, 0, 0);
    world.SetUpStartObjects();
    EXPECT_EQ(world.gridOrigin[0], Metres(-45.0f));
    EXPECT_EQ(world.gridOrigin[1], Metres(-24.0f));
    EXPECT_EQ(world.cellSize[0], Metres(10.0f));
    EXPECT_EQ(world.worldExtent, Metres(300.0f));
    EXPECT_EQ(world.worldCentre[0], 0);
    EXPECT_EQ(world.pathWithNodes, &scene.path());
}

TEST_F(StartObjects, ThePathBoxOfNodesAtTheEndsOfTheRangeIsHeldToTheRange)
{
    // Edges at the widest a node may have and 20 m more for the box: the
    // corners of nodes at the ends of the range reach beyond them and are
    // held there, never overflowing (the sanitizer build checks the sums).
    // The path box then covers the solids, which give the bounds.
    PathFields fields;
    for (const int32_t at : {INT32_MAX, INT32_MIN}) {
        PathNodeFields node = PathNodeAt(at, at, 0.0f, PathMaxLateral);
        node.outerLeft = -PathMaxLateral;
        node.outerRight = PathMaxLateral;
        fields.nodes.push_back(node);
    }
    scene.LoadPath(fields);
    scene.AddStrip(-200.0f, 0.0f, 200.0f, 0, 0);
    scene.AddStrip(200.0f, 0.0f, 200.0f, 0, 0);
    world.SetUpStartObjects();
    EXPECT_EQ(world.gridOrigin[0], Metres(-300.0f));
    EXPECT_EQ(world.gridOrigin[1], Metres(-100.0f));
    EXPECT_EQ(world.gridEnd[0], Metres(-300.0f) + 16 * world.cellSize[0]);
    EXPECT_EQ(world.worldExtent, Metres(300.0f));
}

TEST_F(StartObjects, SpeedZonesRunFromWidestAndAnswerPointQueries)
{
    scene.LoadPath(StraightPath(5, 0, -45.0f));
    ZoneObject *a = AddZone(0, 0, 80, 5, 10);
    ZoneObject *b = AddZone(30, 0, 60, 5, 30);
    ZoneObject *c = AddZone(60, 0, 50, 5, 20);
    ZoneObject *d = AddZone(90, 0, 70, 5, 30);
    ZoneObject *other = AddZone(0, 100, 90, 5, 5);
    other->configMask = ConfigMaskAlways | 1u << 2;   // configuration 2 only
    ZoneObject *none = AddZone(0, -100, 0, 5, 5);     // neither kind
    world.SetUpStartObjects();
    ASSERT_EQ(world.speedZoneCount, 4);
    EXPECT_EQ(world.speedZones[0], d);   // equal widths: the later zone first
    EXPECT_EQ(world.speedZones[1], b);
    EXPECT_EQ(world.speedZones[2], c);
    EXPECT_EQ(world.speedZones[3], a);
    EXPECT_EQ(world.GetLowestSpeedLimit(), 50);
    EXPECT_EQ(world.speedZoneCentre[0], Metres(45.0f));
    EXPECT_EQ(world.FindSpeedLimitZone(Metres(1), Metres(9)), a);
    EXPECT_EQ(world.FindSpeedLimitZone(Metres(5), Metres(0)), nullptr);   // on the edge
    EXPECT_EQ(world.FindSpeedLimitZone(Metres(0), Metres(100)), nullptr);
    EXPECT_EQ(world.FindSpeedLimitZone(Metres(0), Metres(-100)), nullptr);
    (void)none;

    PathWorld empty;
    empty.world->SetUpStartObjects();
    EXPECT_EQ(empty.world->GetLowestSpeedLimit(), 255);
    EXPECT_EQ(empty.world->FindSpeedLimitZone(0, 0), nullptr);
}

TEST_F(StartObjects, CameraZonesAreTiedToThePath)
{
    PathFields fields = StraightPath(5, 0, -45.0f);
    fields.baseLists[1] = {{3, 0x5A, 0}};
    fields.nodes[2].leftEdge = fields.nodes[2].rightEdge = 0.0f;   // no road width at node 2
    scene.LoadPath(fields);
    struct Case {
        float zoneY, cameraX;
        int wantTied, wantBand;
    };
    // Right of the path is -y; band 0 is at the left edge (+4 m).
    const Case cases[] = {
        {3.5f, -40, 1, 0},
        {-3.5f, -40, 1, 7},
        {0.5f, -40, 1, 3},
        {-30.0f, -40, 1, 7},   // beyond the right edge: clamped
        {-3.5f, -25, 1, 0},    // node 2 has no road width
        {0.0f, 100, 0, 0},     // camera off the path
    };
    std::vector<ZoneObject *> zones;
    for (const Case &c : cases) {
        ZoneObject *zone = AddZone(-40, c.zoneY, 0, 1, 1);
        zone->flags = 1 | 2;
        zone->cameraPosition[0] = Metres(c.cameraX);
        zones.push_back(zone);
    }
    world.SetUpStartObjects();
    EXPECT_EQ(world.cameraZoneCount, 5);
    for (size_t i = 0; i < zones.size(); ++i) {
        EXPECT_EQ(static_cast<int>(zones[i]->flags >> 1 & 1), cases[i].wantTied) << i;
        EXPECT_EQ(zones[i]->lateralBand, cases[i].wantBand) << i;
    }
    EXPECT_EQ(zones[0]->visibilityPlane[3], 0x5A);
    EXPECT_EQ(world.FindCameraZone(Metres(-40), Metres(3.5f)), zones[0]);
    EXPECT_EQ(world.FindCameraZone(Metres(-40), Metres(20)), nullptr);
}

TEST_F(StartObjects, StartPositionsFromGridOrObjects)
{
    world.config = 1;
    EXPECT_EQ(NumStartPositions(&world), 1);

    // Position objects through the writer and the object reader.
    WorldWriter out;
    WritePositionObject(out, 251, Metres(10), Metres(20), 0.5f, 2, 0);
    WritePositionObject(out, 251, Metres(30), Metres(40), 1.5f, 2, 0);   // number taken: ignored
    WritePositionObject(out, 251, Metres(50), Metres(60), 2.5f, 3, 1);   // a pit position
    WritePositionObject(out, 251, Metres(70), Metres(80), 2.5f, 33, 0);  // no such number
    DataStream stream;
    out.Open(stream, 251);
    for (int i = 0; i < 4; ++i) {
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        ASSERT_EQ(result.error, WorldObjectOk);
        Add(result.object)->Prepare();
    }
    world.SetUpStartObjects();
    EXPECT_EQ(world.startPositionCount, 1);
    EXPECT_EQ(world.pitPositionCount, 1);
    EXPECT_EQ(NumStartPositions(&world), 1);
    int32_t position[3];
    float heading = 0.0f;
    GetStartPosition(&world, position, heading, 1, 0, 0, nullptr);
    EXPECT_EQ(position[0], Metres(10));
    EXPECT_EQ(position[1], Metres(20));
    EXPECT_EQ(heading, 0.5f);
    GetStartPosition(&world, position, heading, 0, 0, 0, nullptr);
    EXPECT_EQ(position[0], 0);
    EXPECT_EQ(heading, 0.0f);

    StartGridObject *grid = AddGrid(5, 5, 8, 5);
    grid->heading = 0.25f;
    grid->Prepare();
    world.SetUpStartObjects();
    EXPECT_EQ(world.startGrid, grid);
    EXPECT_EQ(NumStartPositions(&world), 32);
    FixVector slot;
    float slotHeading;
    grid->GetSlotPosition(7, slot, slotHeading);
    GetStartPosition(&world, position, heading, 7, 0, 0, nullptr);
    EXPECT_EQ(position[0], slot.x);
    EXPECT_EQ(position[1], slot.y);
    EXPECT_EQ(heading, slotHeading);
    // Slot 0 sets the start orientation.
    EXPECT_FLOAT_EQ(world.startOrientation[0], FloatCos(0.25f));
    EXPECT_FLOAT_EQ(world.startOrientation[1], -FloatSin(0.25f));
    GetStartPosition(&world, position, heading, 40, 0, 0, nullptr);
    EXPECT_EQ(position[0], 0);
    EXPECT_EQ(position[1], 0);
    EXPECT_EQ(heading, 0.0f);
}

TEST_F(StartObjects, PitPositionsStandThirtyDegreesOffThePath)
{
    // Path along +x: its heading is -90 degrees; left of it is +y.
    scene.LoadPath(StraightPath(5, PathUsesKnowledge, -45.0f));
    const float pathHeading = FloatAtan2(-1.0f, 0.0f);
    AddPosition(-30, 3, 1.0f, 1, DuplicatorPosition | DuplicatorPitPosition);
    AddPosition(-30, -3, 1.0f, 2, DuplicatorPosition | DuplicatorPitPosition);
    AddPosition(-30, 3, 1.0f, 3, DuplicatorPosition | DuplicatorPitPosition | DuplicatorOwnHeading);
    world.SetUpStartObjects();
    struct Case {
        int slot;
        float want;
    };
    for (const Case &c : {Case{0, pathHeading - Pi / 6}, Case{1, pathHeading + Pi / 6}, Case{2, 1.0f}}) {
        auto follower = std::make_unique<PathFollower>();
        int32_t position[3];
        float heading = 0.0f;
        int searched = 0;
        GetPitStartPosition(&world, position, heading, c.slot, follower.get(), 0, &searched);
        EXPECT_NEAR(heading, c.want, 1e-5f) << c.slot;
        EXPECT_EQ(searched, 1);
        EXPECT_EQ(follower->node, 1);
        EXPECT_EQ(position[2], 0);
    }
    // Without a car (follower), the object's own heading; a slot without a
    // pit position falls back on the start positions.
    int32_t position[3];
    float heading = 0.0f;
    GetPitStartPosition(&world, position, heading, 1, nullptr, 0, nullptr);
    EXPECT_EQ(heading, 1.0f);
    GetPitStartPosition(&world, position, heading, 9, nullptr, 0, nullptr);
    EXPECT_EQ(position[0], 0);

    // At our own-heading site every pit position keeps its heading.
    std::strcpy(world.shortName, OwnHeadingPitSite);
    world.SetUpStartObjects();
    EXPECT_TRUE(world.pitPositions[1]->flags & DuplicatorOwnHeading);
    auto follower = std::make_unique<PathFollower>();
    GetPitStartPosition(&world, position, heading, 1, follower.get(), 0, nullptr);
    EXPECT_EQ(heading, 1.0f);
}

TEST_F(StartObjects, PitPlacesInsideSpeedZonesFarthestFirst)
{
    scene.LoadPath(StraightPath(5, 0, -45.0f));
    MakeHolders(2, 1);
    world.duplicators[1].pitPlace = 1;
    AddZone(0, 0, 60, 50, 50);
    DuplicatorObject *near = AddCopy(1, 0, 5, 0);
    DuplicatorObject *far = AddCopy(1, 0, 30, 0);
    DuplicatorObject *middle = AddCopy(1, 0, 20, 0);
    DuplicatorObject *equal = AddCopy(1, 10, 20, 0);   // same distance: goes first
    AddCopy(0, 0, 25, 0);                              // not a pit place holder
    AddCopy(1, 0, 60, 0);                              // outside the zone
    // No start grid: measured from the origin along heading 0, (0, 1).
    world.SetUpStartObjects();
    ASSERT_EQ(world.pitPlaceCount, 4);
    EXPECT_EQ(world.pitPlaces[0], far);
    EXPECT_EQ(world.pitPlaces[1], equal);
    EXPECT_EQ(world.pitPlaces[2], middle);
    EXPECT_EQ(world.pitPlaces[3], near);

    // A start grid facing -y measures the other way round.
    StartGridObject *grid = AddGrid(0, 0, 2, 2);
    grid->heading = Pi;
    grid->Prepare();
    world.SetUpStartObjects();
    EXPECT_EQ(world.pitPlaces[0], near);
}

TEST_F(StartObjects, StartLampsBindTheirModelsRecords)
{
    world.config = 1;
    MakeHolders(2, 8);
    Object3D &model = *world.duplicators[0].object;
    SetObjectSurface(model, 0, 0, "L_RED1", 200, 10, 10);   // too bright: darkened
    SetObjectSurface(model, 0, 1, "l_green", 10, 200, 10);
    SetObjectSurface(model, 0, 2, "l_red2", 90, 0, 0);
    for (int c = 3; c < 8; ++c) {
        SetObjectSurface(model, 0, c, "l_red1", 1, 2, 3);    // five more: four fit
    }
    DuplicatorObject *first = AddCopy(0, 0, 0, DuplicatorStartLamp);
    DuplicatorObject *second = AddCopy(0, 5, 0, DuplicatorStartLamp);
    world.SetUpStartObjects();
    EXPECT_EQ(world.lampDuplicator, 0);
    ASSERT_EQ(world.lampObjectCount, 2);
    EXPECT_EQ(world.lampObjects[0], first);
    EXPECT_EQ(world.lampObjects[1], second);
    EXPECT_EQ(world.startLamps[0].offColour & 0xFFFFFF, ColourWord(50, 20, 20, 0));
    EXPECT_EQ(world.startLamps[3].offColour & 0xFFFFFF, ColourWord(20, 50, 20, 0));
    // Lamps 1 and 2 take lamp 0's colours.
    EXPECT_EQ(world.startLamps[1].offColour, world.startLamps[0].offColour);
    const GridCell *cells = model.surfaces.cells;
    EXPECT_EQ(world.startLamps[0].boundColours[0], reinterpret_cast<const uint32_t *>(cells[0].bytes));
    EXPECT_EQ(world.startLamps[0].boundColours[3], reinterpret_cast<const uint32_t *>(cells[5].bytes));
    EXPECT_EQ(world.startLamps[1].boundColours[0], reinterpret_cast<const uint32_t *>(cells[2].bytes));
    EXPECT_EQ(world.startLamps[3].boundColours[1], nullptr);

    // A copy of a second lamp model refuses the lamps for good.
    AddCopy(1, 9, 0, DuplicatorStartLamp);
    AddCopy(0, 9, 9, DuplicatorStartLamp);
    world.SetUpStartObjects();
    EXPECT_EQ(world.lampDuplicator, -2);
    EXPECT_EQ(world.lampObjectCount, 2);
}

TEST_F(StartObjects, CameraTrianglesPickTheHighestFloorBelow)
{
    const std::vector<CameraPoint> points = {
        {0, 0}, {Metres(10), 0}, {0, Metres(10)}, {Metres(10), Metres(10)}};
    // Counter-clockwise corners.
    const std::vector<CameraTriangleFields> triangles = {
        {{0, 1, 2}, 7, 0.0f},
        {{0, 1, 2}, 8, 2.0f},
        {{0, 1, 2}, 9, 2.0f},   // tie: the earlier one stays
        {{1, 3, 2}, 4, 1.0f},
    };
    WorldWriter out;
    WriteCameraGeometry(out, points, triangles);
    DataStream stream;
    out.Open(stream, 251);
    ASSERT_EQ(world.ReadCameraGeometry(&stream), 0);
    struct Case {
        float x, y, z;
        int want;
    };
    const Case cases[] = {
        {2, 2, 5, 8},
        {2, 2, 2, 7},       // a floor at exactly the height does not count
        {5, 5, 5, 8},       // on the shared edge: inside both
        {0, 0, 5, 8},       // a corner
        {8, 8, 5, 4},
        {8, 8, 1, -1},
        {-1, 2, 5, -1},
    };
    for (const Case &c : cases) {
        const int32_t position[3] = {Metres(c.x), Metres(c.y), Metres(c.z)};
        EXPECT_EQ(world.FindCameraTriangle(position), c.want) << c.x << ", " << c.y << ", " << c.z;
    }
}

TEST_F(StartObjects, DamagedCameraBlocksAreRefused)
{
    struct Case {
        const char *what;
        std::vector<CameraPoint> points;
        std::vector<CameraTriangleFields> triangles;
        int cut;
    };
    const std::vector<CameraPoint> three = {{0, 0}, {1, 0}, {0, 1}};
    const Case cases[] = {
        {"257 points", std::vector<CameraPoint>(257), {}, 0},
        {"257 triangles", three, std::vector<CameraTriangleFields>(257, {{0, 1, 2}, 0, 0.0f}), 0},
        {"corner beyond the points", three, {{{0, 1, 3}, 0, 0.0f}}, 0},
        {"cut short", three, {{{0, 1, 2}, 0, 0.0f}}, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WorldWriter out;
        WriteCameraGeometry(out, c.points, c.triangles);
        out.bytes.resize(out.bytes.size() - static_cast<size_t>(c.cut));
        DataStream stream;
        out.Open(stream, 251);
        EXPECT_NE(world.ReadCameraGeometry(&stream), 0);
        EXPECT_EQ(world.cameraTriangleCount, 0);
    }
}
