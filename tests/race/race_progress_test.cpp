#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "race/race_links.h"
#include "race/race_object.h"
#include "core/settings.h"
#include "race/race_progress.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world/layout.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/world.h"

namespace {

using Packet = std::vector<uint8_t>;

int32_t FixOf(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

// What race progress sent and said.
struct Captured {
    std::vector<Packet> packets;
    std::vector<std::string> messages;
    std::vector<int> sounds;
    int flushes = 0;
    int lessonFailures = 0;
    int online = 0;
    int lesson = 0;
    int lessonFinish = 0;
    CarObject *slotCar = nullptr;
    uint8_t slotBytes[8] = {};
};
Captured seen;

// A world whose path runs straight along +y from y 0, one node every 5 m,
// road edges +-5 m and outer limits +-10 m; a bare car with a follower on it
// and a race slot (player id 7) holding it.
class RaceProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seen = Captured{};
        savedServices = RaceServices;
        savedHooks = VehicleRaceHooks;
        savedNetwork = CarNetwork;
        savedLayout = GetLayoutServices();
        RaceServices = CarRaceServices{};
        VehicleRaceHooks = RaceHooks{};
        CarNetwork = CarNetworkServices{};
        ProgressLinks = RaceProgressLinks{};
        InstallRaceProgress();
        RaceServices.queueGamePacket = [](const uint8_t *b, int n) { seen.packets.emplace_back(b, b + n); };
        RaceServices.flushGameBatch = [](int) { ++seen.flushes; };
        RaceServices.printMessage = [](const char *text, int) { seen.messages.emplace_back(text); };
        RaceServices.playInterfaceSound = [](int sound) { seen.sounds.push_back(sound); };
        RaceServices.isOnline = [] { return seen.online; };
        RaceServices.lessonActive = [] { return seen.lesson; };
        RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(seen.slotBytes); };
        RaceServices.playerId = [](const PlayerSlot *) { return uint8_t{7}; };
        VehicleRaceHooks.slotCount = [] { return 1; };
        VehicleRaceHooks.slotCar = [](int) { return seen.slotCar; };
        ProgressLinks.lessonFailWrongRoute = [] { ++seen.lessonFailures; };
        LayoutServices layout = savedLayout;
        layout.lessonOwnFinish = [] { return seen.lessonFinish; };
        SetLayoutServices(layout);
        ResetLayoutRoute();
        LayoutCircles.count = 0;

        savedWorld = CurrentWorld;
        world = WorldCreate();
        CurrentWorld = world;
        follower = new PathFollower;
        MakePath(12, false);
        car = new CarObject;
        seen.slotCar = car;
        car->pathFollower = follower;
        car->halfWidth = 1.0f;
        car->topSpeedEstimate = 60.0f;
        car->nextLine = 1;
        car->lastZone = 255;
        car->nextCheckpoint = 0;
        car->behindLine = 0;
    }
    void TearDown() override
    {
        car->pathFollower = nullptr;
        delete follower;
        delete car;
        world->currentPath = nullptr;
        WorldDestroy(world);
        CurrentWorld = savedWorld;
        DeleteRaceObject();
        ResetLayoutRoute();
        LayoutCircles.count = 0;
        SetLayoutServices(savedLayout);
        RaceServices = savedServices;
        VehicleRaceHooks = savedHooks;
        CarNetwork = savedNetwork;
        ProgressLinks = RaceProgressLinks{};
    }

    void MakePath(int count, bool closed)
    {
        path.FreeAll();
        path.flags = closed ? PathClosedLoop : 0;
        path.nodeCount = count;
        path.nodes = new PathNode[count];
        for (int i = 0; i < count; ++i) {
            PathNode &n = path.nodes[i];
            n.position[1] = FixOf(5.0f * static_cast<float>(i));
            n.direction[1] = 1.0f;
            n.leftEdge = -5.0f;
            n.rightEdge = 5.0f;
            n.outerLeft = -10.0f;
            n.outerRight = 10.0f;
            n.distance = 5.0f * static_cast<float>(i);
        }
        world->currentPath = &path;
        world->lightSchemeCount = 0;
        follower->Reset();
        follower->path = &path;
    }

    // The car at (x, y) metres moving along y at vy m/s, facing +y, with
    // the follower on `node`.
    void Place(float x, float y, float vy, int node)
    {
        car->position = {FixOf(x), FixOf(y), 0};
        car->velocity[0] = car->velocity[2] = 0.0f;
        car->velocity[1] = vy;
        car->speed = std::fabs(vy);
        std::memset(car->orientation, 0, sizeof(car->orientation));
        car->orientation[0] = car->orientation[4] = car->orientation[8] = 1.0f;
        car->active = 1;
        follower->node = node;
        follower->lost = 0;
        follower->path = &path;
    }

    // A car placed at (x, y) metres for the layout checks.
    void At(float x, float y)
    {
        car->position = {FixOf(x), FixOf(y), 0};
    }

    CarRaceServices savedServices;
    RaceHooks savedHooks;
    CarNetworkServices savedNetwork;
    LayoutServices savedLayout;
    World *savedWorld = nullptr;
    World *world = nullptr;
    Path path;
    CarObject *car = nullptr;
    PathFollower *follower = nullptr;
};

// A finish line across the road at y 100 (heading 0: crossing towards +y),
// 10 m to each side.
void FinishLineAt100()
{
    LayoutRouteLine &line = LayoutRouteLines.lines[0];
    line = LayoutRouteLine{};
    line.point[1] = FixOf(100.0f);
    line.direction[0] = 0;
    line.direction[1] = 65536;
    line.along[0] = 65536;
    line.along[1] = 0;
    line.halfWidth = 10 << 16;
    LayoutRouteLines.timingLineCount = 1;
}

LayoutRecord Circle(float x, float y, int radius, uint8_t order, bool restricted = false)
{
    LayoutRecord r = {};
    r.x = static_cast<int16_t>(std::lround(x * 16.0f));
    r.y = static_cast<int16_t>(std::lround(y * 16.0f));
    r.flags = static_cast<uint8_t>((restricted ? LayoutRestrictedFlag : 0) | (radius << 2));
    r.duplicator = LayoutCircleIndex;
    r.heading = order;
    return r;
}

}  // namespace

// The finish line counts a car that was behind it and is now in front of
// it, within the half width both ways; a remote car's crossing of the finish
// after its last line (the finish is the only one) counts its lap.
TEST_F(RaceProgressTest, LapLines)
{
    FinishLineAt100();
    car->isRemote = 1;
    struct Case {
        const char *name;
        std::vector<std::pair<float, float>> path;   // positions in turn
        int lessonFinish;
        uint8_t stopped;
        int laps;
    } cases[] = {
        {"behind then in front counts once", {{0, 99}, {0, 101}, {0, 102}, {0, 103}}, 0, 0, 1},
        {"sideways beyond the half width", {{10.5f, 99}, {10.5f, 101}}, 0, 0, 0},
        {"sideways within the half width", {{-9.5f, 99}, {-9.5f, 101}}, 0, 0, 1},
        {"first seen in front", {{0, 101}, {0, 102}}, 0, 0, 0},
        {"in front by more than the half width", {{0, 99}, {0, 111}}, 0, 0, 0},
        {"back behind and over again", {{0, 99}, {0, 101}, {0, 99}, {0, 101}}, 0, 0, 2},
        {"the lesson's finish: a stopped car gets the line at once", {{0, 50}}, 1, 1, 1},
        {"the lesson's finish: a moving car does not", {{0, 99}, {0, 101}}, 1, 0, 0},
    };
    for (const Case &c : cases) {
        car->lapsDone = 0;
        car->nextLine = 2;
        car->behindLine = 0;
        car->speedAtLine = -1.0f;
        car->speed = 12.0f;
        car->stopped = c.stopped;
        seen.lessonFinish = c.lessonFinish;
        for (const auto &p : c.path) {
            At(p.first, p.second);
            CheckLapLines(*car);
        }
        EXPECT_EQ(car->lapsDone, c.laps) << c.name;
        EXPECT_EQ(car->speedAtLine, c.laps > 0 && !c.lessonFinish ? 12.0f : -1.0f) << c.name;
    }
}

// Circles: ordered checkpoints taken in turn, a wrong route once per entry,
// the circle just taken ignored, restricted areas, and the finish with
// circles missing.
TEST_F(RaceProgressTest, CircleZones)
{
    LayoutCircles.count = 3;
    LayoutCircles.records[0] = Circle(0, 50, 5, 0);
    LayoutCircles.records[1] = Circle(0, 150, 5, 1);
    LayoutCircles.records[2] = Circle(40, 0, 4, 0, true);
    ASSERT_EQ(CountLayoutCheckCircles(), 2);

    // Circle 1 first: out of order, once while the car stays in it.
    At(0, 151);
    CheckCircleZones(*car);
    CheckCircleZones(*car);
    EXPECT_EQ(seen.messages, std::vector<std::string>{"Wrong route"});
    ASSERT_EQ(seen.packets.size(), 1u);
    EXPECT_EQ(seen.packets[0], (Packet{50, 7, 45, 2}));
    EXPECT_EQ(car->nextCheckpoint, 0);
    // Circle 0, then back into 0 (nothing), then 1 in turn.
    At(0, 52);
    CheckCircleZones(*car);
    EXPECT_EQ(car->nextCheckpoint, 1);
    CheckCircleZones(*car);
    EXPECT_EQ(car->nextCheckpoint, 1);
    At(0, 148);
    CheckCircleZones(*car);
    EXPECT_EQ(car->nextCheckpoint, 2);
    EXPECT_EQ(seen.messages.size(), 1u);
    // Back into circle 0 later: a lower order does nothing.
    At(0, 50);
    CheckCircleZones(*car);
    EXPECT_EQ(car->nextCheckpoint, 2);
    EXPECT_EQ(seen.messages.size(), 1u);
    // The restricted area.
    At(41, 1);
    CheckCircleZones(*car);
    EXPECT_EQ(seen.messages.back(), "Restricted area");
    EXPECT_EQ(seen.sounds, (std::vector<int>{3, 3}));
    EXPECT_EQ(car->lastZone, 2);

    // At the finish with one circle of two: wrong route, the count starts
    // again.
    FinishLineAt100();
    car->isRemote = 1;
    car->nextCheckpoint = 1;
    seen.messages.clear();
    At(0, 99);
    CheckLapLines(*car);
    At(0, 101);
    CheckLapLines(*car);
    EXPECT_EQ(seen.messages, std::vector<std::string>{"Wrong route"});
    EXPECT_EQ(car->nextCheckpoint, 0);
    EXPECT_EQ(car->lastZone, 255);
    // With both circles taken the finish is quiet.
    car->nextLine = 1;
    car->nextCheckpoint = 2;
    seen.messages.clear();
    At(0, 99);
    CheckLapLines(*car);
    At(0, 101);
    CheckLapLines(*car);
    EXPECT_TRUE(seen.messages.empty());
    EXPECT_EQ(car->nextCheckpoint, 0);
}

// A 15 m circle at its edge: the squares of the offsets overflow 32 bits.
TEST_F(RaceProgressTest, LargeCircleEdge)
{
    LayoutCircles.count = 1;
    LayoutCircles.records[0] = Circle(0, 0, 15, 0);
    struct Case {
        float x, y;
        uint8_t next;
    } cases[] = {
        {14.99f, 0.0f, 1}, {15.0f, 0.0f, 0}, {0.0f, -14.99f, 1}, {10.6f, 10.6f, 1}, {10.61f, 10.61f, 0},
        {-10.6f, 10.6f, 1}, {-10.61f, -10.61f, 0},
    };
    for (const Case &c : cases) {
        car->nextCheckpoint = 0;
        car->lastZone = 255;
        At(c.x, c.y);
        CheckCircleZones(*car);
        EXPECT_EQ(car->nextCheckpoint, c.next) << c.x << " " << c.y;
    }
}

// In a lesson a route error sounds and fails the lesson; nothing is sent.
// Online the penalty goes with the car event; a car without a slot sends
// nothing.
TEST_F(RaceProgressTest, RouteErrors)
{
    seen.lesson = 1;
    ReportRouteError(*car, 2);
    EXPECT_EQ(seen.sounds, std::vector<int>{3});
    EXPECT_EQ(seen.lessonFailures, 1);
    EXPECT_TRUE(seen.packets.empty());

    seen.lesson = 0;
    seen.online = 1;
    ReportRouteError(*car, 3);
    ASSERT_EQ(seen.packets.size(), 2u);
    EXPECT_EQ(seen.packets[0], (Packet{50, 7, 45, 2}));
    EXPECT_EQ(seen.packets[1], (Packet{17, 9, 7, 3}));
    EXPECT_EQ(seen.flushes, 1);

    seen.packets.clear();
    seen.slotCar = nullptr;
    ReportRouteError(*car, 2);
    SendCarEvent(*car, 4);
    EXPECT_TRUE(seen.packets.empty());
    // The car's own wrong-way action reaches the event through the network
    // services.
    seen.slotCar = car;
    ASSERT_NE(CarNetwork.sendCarEvent, nullptr);
    CarNetwork.sendCarEvent(car, 0);
    EXPECT_EQ(seen.packets.back(), (Packet{17, 9, 7, 0}));
}

// The heading of a car placed across the road: along the path on the
// centre line, turned towards the road in proportion inside the inner edge,
// and by a further quarter turn across the band to the outer edge.
TEST_F(RaceProgressTest, HeadingAtOffset)
{
    PathNode node;
    node.direction[1] = 1.0f;
    node.leftEdge = -4.0f;
    node.rightEdge = 4.0f;
    node.outerLeft = -8.0f;
    node.outerRight = 8.0f;
    const float q = 0.785398163f;
    struct Case {
        float offset;
        float heading;
    } cases[] = {
        {0.0f, 0.0f},     {2.0f, q * 0.5f},    {4.0f, q},           {6.0f, q * 1.5f},  {8.0f, q * 2.0f},
        {12.0f, q * 2.0f}, {-2.0f, -q * 0.5f}, {-4.0f, -q},         {-6.0f, -q * 1.5f}, {-8.0f, -q * 2.0f},
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(HeadingAtOffset(node, c.offset), c.heading, 1e-5f) << c.offset;
    }
    // A path heading along +x: the centre line faces -pi/2.
    node.direction[0] = 1.0f;
    node.direction[1] = 0.0f;
    EXPECT_NEAR(HeadingAtOffset(node, 0.0f), -2.0f * q, 1e-5f);
}

// Between two nodes: the lap distance, the offset, the lane, the road
// edges; far off the road the car is stopped.
TEST_F(RaceProgressTest, SpanValues)
{
    struct Case {
        float x, y;
        float distance;
        int lane;
    } cases[] = {
        {0.0f, 12.5f, 12.5f, 4}, {2.5f, 11.0f, 11.0f, 6}, {-4.9f, 14.0f, 14.0f, 0},
        {4.99f, 10.0f, 10.0f, 7}, {-7.0f, 13.0f, 13.0f, 0}, {9.0f, 13.0f, 13.0f, 7},
    };
    for (const Case &c : cases) {
        Place(c.x, c.y, 0.0f, 2);
        car->progressWord = -1;
        UpdateRaceProgress(*car, 0.01f, 1);
        EXPECT_EQ(follower->node, 2) << c.x;
        EXPECT_FLOAT_EQ(car->pathLapDistance, c.distance) << c.x;
        EXPECT_NEAR(car->progress[1], c.x, 1e-4f) << c.x;
        EXPECT_EQ(car->progressWord, c.lane) << c.x;
        EXPECT_EQ(car->roadEdges[0], -5.0f);
        EXPECT_EQ(car->roadEdges[1], 5.0f);
        EXPECT_EQ(car->roadDirection[1], 1.0f);
        EXPECT_EQ(car->announcePending, 0) << c.x;
    }
    // The span speed: half the smaller of five span lengths and the car's.
    EXPECT_FLOAT_EQ(car->progress[0], 12.5f);
    car->topSpeedEstimate = 20.0f;
    Place(0.0f, 12.0f, 0.0f, 2);
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_FLOAT_EQ(car->progress[0], 10.0f);
    // More than 20 m beyond the inner edge: stopped where it is.
    car->wrongWayCount = 3;
    Place(25.5f, 12.0f, 5.0f, 2);
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(car->announcePending, 1);
    EXPECT_EQ(car->wrongWayCount, 0u);
    EXPECT_EQ(car->velocity[1], 0.0f);
}

// The follower moves one node a call; on an open path never beyond the
// first or last span, on a closed path round both ways.
TEST_F(RaceProgressTest, FollowerSteps)
{
    // Forwards on the open path: the last span is 10..11.
    Place(0.0f, 54.0f, 10.0f, 8);
    for (int i = 0; i < 5; ++i) {
        UpdateRaceProgress(*car, 0.01f, 1);
    }
    EXPECT_EQ(follower->node, 10);
    // Backwards: one node per call down to node 0.
    Place(0.0f, 1.0f, -10.0f, 4);
    for (int expect : {3, 2, 1, 0, 0}) {
        UpdateRaceProgress(*car, 0.01f, 1);
        EXPECT_EQ(follower->node, expect);
    }
    // Closed: forwards from the last node to 0, backwards from 0 to the last.
    MakePath(12, true);
    Place(0.0f, 57.0f, 10.0f, 10);
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(follower->node, 11);
    Place(0.0f, 1.0f, 10.0f, 11);
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(follower->node, 0);
    Place(0.0f, -1.0f, -10.0f, 0);
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(follower->node, 11);
    // Without a follower position nothing moves.
    follower->lost = 1;
    follower->node = 5;
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(follower->node, 5);
}

// 20 m beyond an open path's end the car is put back on the road at the
// end node, facing along the path.
TEST_F(RaceProgressTest, BackOnThePathEnd)
{
    Place(14.0f, 80.0f, 10.0f, 10);
    car->progress[1] = 14.0f;
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(car->position.y, FixOf(55.0f));
    EXPECT_EQ(car->position.x, FixOf(9.0f));   // outer edge less the half width
    EXPECT_NEAR(car->orientation[1], -std::sin(HeadingAtOffset(path.nodes[11], 9.0f)), 1e-5f);
    EXPECT_EQ(car->stopped, 1);

    // Behind node 0 by more than 20 m: back at node 0; inside the road the
    // car stays where it is, facing along the path.
    Place(2.0f, -21.0f, -10.0f, 0);
    car->progress[1] = 2.0f;
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(car->position.y, FixOf(-21.0f));
    EXPECT_EQ(car->position.x, FixOf(2.0f));
    EXPECT_NEAR(car->orientation[4], std::cos(HeadingAtOffset(path.nodes[0], 2.0f)), 1e-5f);
    // Less than 20 m: nothing.
    Place(2.0f, -19.0f, -10.0f, 0);
    car->stopped = 0;
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(car->stopped, 0);
}

// Offline in a single hot-lap run, the fifth backward node step that
// forward steps have not undone invalidates the lap, once.
TEST_F(RaceProgressTest, HotLapWrongWay)
{
    RaceObject *race = CreateRaceObject();
    race->hotLapSingle = 1;
    std::vector<std::string> messages;
    static std::vector<std::string> *out = nullptr;
    out = &messages;
    const RaceLinkServices saved = RaceLinks;
    RaceLinks.printMessage = [](const char *text, int) { out->emplace_back(text); };
    race->lapValid = 1;
    race->nextLapValid = 1;
    car->wrongWayCount = 0;

    // Three back, two forward (undoing two), then four back: the count
    // reaches 5 on the last.
    auto back = [&](int node) {
        Place(0.0f, 5.0f * node - 1.0f, -5.0f, node);
        UpdateRaceProgress(*car, 0.01f, 1);
    };
    auto forward = [&](int node) {
        Place(0.0f, 5.0f * node + 6.0f, 5.0f, node);
        UpdateRaceProgress(*car, 0.01f, 1);
    };
    back(9);
    back(8);
    back(7);
    forward(3);
    forward(4);
    EXPECT_EQ(car->wrongWayCount, 1u);
    back(9);
    back(8);
    back(7);
    EXPECT_EQ(car->wrongWayCount, 4u);
    EXPECT_TRUE(messages.empty());
    back(6);
    EXPECT_EQ(messages, std::vector<std::string>{"Hot lap invalid (wrong way)"});
    back(5);
    EXPECT_EQ(messages.size(), 1u);
    RaceLinks = saved;
}

namespace {

// Four wheels (two rear, two front) each carrying a quarter of a 1000 kg
// car with 2000 N of its 4000 N grip in use.
void GripWheels(CarObject &car, CarWheel wheels[4])
{
    car.mass = 1000.0f;
    car.wheels = wheels;
    car.wheelCount = 4;
    for (int i = 0; i < 4; ++i) {
        CarWheel &w = wheels[i];
        w.axleIndex = i < 2 ? 0 : 1;
        w.normalForce = 1000.0f * 9.81f / 4.0f;
        w.frictionLimit = 4000.0f;
        w.contactForce[0] = 2000.0f;
        w.contactForce[1] = 0.0f;
        w.contactForce[2] = w.normalForce;
    }
}

PathNode BandNode()
{
    PathNode node;
    node.direction[1] = 1.0f;
    node.leftEdge = -5.0f;
    node.rightEdge = 5.0f;
    node.outerLeft = -10.0f;
    node.outerRight = 10.0f;
    node.lines[0] = {-2.0f, 0.5f, {}, 0};
    node.lines[1] = {0.0f, 0.5f, {}, 0};
    node.lines[2] = {2.0f, 0.5f, {}, 0};
    return node;
}

}  // namespace

// One pass from a known band: grips and centre move by 0.05 R, the band
// edges by 0.1 R when widening and 0.025 R when narrowing. Far outside the
// outer edges nothing is learned; wheels without grip available add
// nothing and never make the band not a number.
TEST_F(RaceProgressTest, PathLearning)
{
    const float savedRate = RubberLay;
    RubberLay = 1.0f;
    CarWheel wheels[4];
    GripWheels(*car, wheels);
    struct Case {
        float offset;
        float left, centre, right;
        float front, total, rear;
    } cases[] = {
        // Centre 0.5, band -0.5..1.5: both edges narrow.
        {0.5f, -2.0f + 1.5f * 0.025f, 0.025f, 2.0f - 0.5f * 0.025f, 0.478125f, 0.4875f, 0.478125f},
        // Centre 4, band 3..5: the right edge widens, the left narrows.
        {4.0f, -2.0f + 5.0f * 0.025f, 0.2f, 2.0f + 3.0f * 0.1f, 0.478125f, 0.4875f, 0.478125f},
        // Centre -4, band -5..-3: the left edge widens.
        {-4.0f, -2.0f - 3.0f * 0.1f, -0.2f, 2.0f - 5.0f * 0.025f, 0.478125f, 0.4875f, 0.478125f},
        // Within twice the half width of the outer edge: the centre is
        // held to the inner edge.
        {11.9f, -2.0f + 6.0f * 0.025f, 0.25f, 2.0f + 3.0f * 0.1f, 0.478125f, 0.4875f, 0.478125f},
        // Beyond it: nothing.
        {12.1f, -2.0f, 0.0f, 2.0f, 0.5f, 0.5f, 0.5f},
        {-12.1f, -2.0f, 0.0f, 2.0f, 0.5f, 0.5f, 0.5f},
    };
    for (const Case &c : cases) {
        PathNode node = BandNode();
        car->progress[1] = c.offset;
        UpdatePathLearning(*car, node);
        EXPECT_FLOAT_EQ(node.lines[0].offset, c.left) << c.offset;
        EXPECT_FLOAT_EQ(node.lines[1].offset, c.centre) << c.offset;
        EXPECT_FLOAT_EQ(node.lines[2].offset, c.right) << c.offset;
        EXPECT_FLOAT_EQ(node.lines[0].weight, c.front) << c.offset;
        EXPECT_FLOAT_EQ(node.lines[1].weight, c.total) << c.offset;
        EXPECT_FLOAT_EQ(node.lines[2].weight, c.rear) << c.offset;
    }

    // A front wheel in the air: its share and grip are left out, so the
    // front grip in use is that of one wheel.
    wheels[3].frictionLimit = 0.0f;
    wheels[3].normalForce = 0.0f;
    wheels[3].contactForce[0] = wheels[3].contactForce[2] = 0.0f;
    PathNode node = BandNode();
    car->progress[1] = 0.0f;
    UpdatePathLearning(*car, node);
    EXPECT_FLOAT_EQ(node.lines[0].weight, 0.5f + (0.125f * 0.125f - 0.5f) * 0.05f);
    // Every wheel in the air, and a car without mass: nothing that is not
    // a number reaches the band.
    for (CarWheel &w : wheels) {
        w.frictionLimit = 0.0f;
        w.normalForce = 0.0f;
    }
    node = BandNode();
    UpdatePathLearning(*car, node);
    for (const DrivingLine &line : node.lines) {
        EXPECT_TRUE(std::isfinite(line.offset));
        EXPECT_TRUE(std::isfinite(line.weight));
    }
    car->mass = 0.0f;
    car->progress[1] = std::nanf("");
    node = BandNode();
    UpdatePathLearning(*car, node);
    EXPECT_EQ(node.lines[1].offset, 0.0f);
    EXPECT_EQ(node.lines[1].weight, 0.5f);

    // In the car's tick: once as the car steps onto a node, not again while
    // it stays in that span, and not without the flag.
    GripWheels(*car, wheels);
    car->progress[1] = 0.0f;  // the offset of the tick before
    car->updatesPath = 1;
    for (int i = 0; i < path.nodeCount; ++i) {
        path.nodes[i].lines[1].weight = 0.5f;
    }
    Place(0.0f, 5.5f, 10.0f, 0);
    UpdateRaceProgress(*car, 0.01f, 1);
    ASSERT_EQ(follower->node, 1);
    const float once = path.nodes[1].lines[1].weight;
    EXPECT_NE(once, 0.5f);
    UpdateRaceProgress(*car, 0.01f, 1);
    EXPECT_EQ(path.nodes[1].lines[1].weight, once);
    car->updatesPath = 0;
    Place(0.0f, 10.5f, 10.0f, 1);
    UpdateRaceProgress(*car, 0.01f, 1);
    ASSERT_EQ(follower->node, 2);
    EXPECT_EQ(path.nodes[2].lines[1].weight, 0.5f);
    car->wheels = nullptr;
    car->wheelCount = 0;
    RubberLay = savedRate;
}
