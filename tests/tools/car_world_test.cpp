#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "tests/tools/fixture_world.h"
#include "tests/tools/generated_cars_fixture.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/rigid_body.h"
#include "vehicle/tyre_curves.h"
#include "world/duplicator_object.h"
#include "world/map_squares.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

// A generated car on the fixture track, with the loaded world as its ground
// through the world-query interface: it stands on the solids, its wheels
// read the surfaces under them, the wall stops it and it knocks the cone.
namespace {

namespace fw = fixture_world;

constexpr int TicksPerSecond = 100;

class CarOnWorld : public GeneratedCarsFixture {
protected:
    static void SetUpTestSuite()
    {
        GeneratedCarsFixture::SetUpTestSuite();
        BuildTyreCurves();
        SetWorldMessagePrinter([](const char *text, int) { Lines().push_back(text); });
        world = WorldCreate();
        fw::WriteAndLoad(world);
    }
    static void TearDownTestSuite()
    {
        WorldDestroy(world);
        world = nullptr;
        SetWorldMessagePrinter(nullptr);
        GeneratedCarsFixture::TearDownTestSuite();
    }
    void SetUp() override
    {
        ASSERT_EQ(writeError, nullptr) << writeError;
        ASSERT_FALSE(WorldLoadFailed(world));
        ASSERT_EQ(CurrentWorld, world);
        Lines().clear();
        saved = VehicleRaceHooks;
        savedServices = RaceServices;
        slotCar = nullptr;
        RaceTick = 0;
        RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(slotBytes); };
        VehicleRaceHooks.slotCount = [] { return 1; };
        VehicleRaceHooks.slotCar = [](int) { return slotCar; };
        VehicleRaceHooks.raceTick = [] { return RaceTick; };
        // The car is placed on the ground that ProbeSolidBelow finds, which
        // answers only while a game session exists.
        SetSessionExistsCheck([] { return 1; });
    }
    void TearDown() override
    {
        while (physics.bodyCount > 0) {
            physics.Remove(physics.bodies[0]);
        }
        world->FreeObjectGrid();
        SetSessionExistsCheck(nullptr);
        VehicleRaceHooks = saved;
        RaceServices = savedServices;
        slotCar = nullptr;
    }

    static std::vector<std::string> &Lines()
    {
        static std::vector<std::string> lines;
        return lines;
    }

    // Car 0 loaded, reset at (x, y) metres (z from the ground) with the
    // heading, in the physics world and race slot 0.
    void Place(CarObject &car, const int32_t position[3], float heading)
    {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        car.position = {position[0], position[1], position[2]};
        car.Reset(heading, 0, 1);
        car.fuel = 20.0f;
        physics.Add(&car);
        slotCar = &car;
    }
    void PlaceAt(CarObject &car, float x, float y, float heading)
    {
        const int32_t position[3] = {fw::Fix(x), fw::Fix(y), 0};
        Place(car, position, heading);
    }
    // Sends the car along its heading at `speed` m/s, wheels rolling.
    void Launch(CarObject &car, float speed)
    {
        LaunchAlongHeading(physics, car, speed);
    }
    void Run(int ticks)
    {
        for (int i = 0; i < ticks; i++) {
            ++RaceTick;
            physics.Step(i % 4 == 3);
        }
    }

    static World *world;
    PhysicsWorld physics;
    RaceHooks saved{};
    CarRaceServices savedServices{};
    static inline uint32_t RaceTick = 0;
    static inline CarObject *slotCar = nullptr;
    alignas(8) static inline unsigned char slotBytes[64];   // the slot record is opaque here
};

World *CarOnWorld::world = nullptr;

float Metres(int32_t fix)
{
    return static_cast<float>(fix) / 65536.0f;
}

// The surface kind of the fixture's cross-section at a lateral offset.
int KindAt(float lateral)
{
    const float a = std::fabs(lateral);
    return a < fw::RoadHalfWidth ? 0 : a < fw::RoadHalfWidth + fw::KerbWidth ? 6 : 2;
}

bool InGrid(const World &world, const DuplicatorObject *object)
{
    for (const ObjectGridNode *head : world.objectGrid) {
        for (const ObjectGridNode *node = head; node; node = node->next) {
            if (node->object == object) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

// Put on grid slot 0 the car settles on its wheels on the road solid at the
// slot, and stays there.
TEST_F(CarOnWorld, StandsOnTheGridSlot)
{
    int32_t position[3];
    float heading = 1.0f;
    GetStartPosition(world, position, heading, 0, 0, 0, nullptr);
    CarObject car;
    Place(car, position, heading);
    Run(3 * TicksPerSecond);
    EXPECT_LT(car.speed, 0.01f);
    EXPECT_GT(car.orientation[8], 0.999f);
    // The road lies at z = 0: the centre of mass stands above it.
    const float z = Metres(car.position.z) + car.dryCentreOfMass[2];
    EXPECT_GT(z, 0.2f);
    EXPECT_LT(z, 1.0f);
    EXPECT_NEAR(Metres(car.position.x), Metres(position[0]), 0.05f);
    EXPECT_NEAR(Metres(car.position.y), Metres(position[1]), 0.05f);
    for (int w = 0; w < car.wheelCount; w++) {
        EXPECT_TRUE(car.wheels[w].inContact) << "wheel " << w;
        EXPECT_EQ(car.wheels[w].surfaceType, 0u) << "wheel " << w;
        // The tyre stands on the world's road record, not on the plane
        // that bodies fall back on without a world.
        EXPECT_EQ(car.wheels[w].tyreProbe.probe.surface, &world->colours.records[fw::SurfRoad]) << "wheel " << w;
    }
    EXPECT_TRUE(Lines().empty()) << Lines().front();
}

// Across the west straight (heading south, right of travel is -x): each
// wheel reads the kind of the solid link under it, on road, kerb and grass
// and astride the road's edge.
TEST_F(CarOnWorld, EachWheelReadsTheSurfaceUnderIt)
{
    for (const float lateral : {0.0f, 6.0f, -6.0f, 7.25f, 12.0f, -12.0f}) {
        SCOPED_TRACE(lateral);
        CarObject car;
        PlaceAt(car, -fw::BendRadius - lateral, -30.0f, fw::Pi);
        Run(2 * TicksPerSecond);
        ASSERT_LT(car.speed, 0.05f);
        int kinds[3] = {};
        for (int w = 0; w < car.wheelCount; w++) {
            // The car's x axis is the path's right.
            const float at = lateral + car.wheels[w].position[0];
            ASSERT_GT(std::fabs(std::fabs(at) - fw::RoadHalfWidth), 0.2f) << "wheel " << w << " on a border";
            ASSERT_GT(std::fabs(std::fabs(at) - fw::RoadHalfWidth - fw::KerbWidth), 0.2f) << "wheel " << w;
            EXPECT_TRUE(car.wheels[w].inContact) << "wheel " << w;
            EXPECT_EQ(car.wheels[w].surfaceType, static_cast<uint32_t>(KindAt(at))) << "wheel " << w << " at " << at;
            ++kinds[KindAt(at) == 0 ? 0 : KindAt(at) == 6 ? 1 : 2];
        }
        if (lateral == 6.0f) {
            EXPECT_EQ(kinds[0], 2);   // astride: two wheels on road, two on the kerb
            EXPECT_EQ(kinds[1], 2);
        }
        physics.Remove(&car);
    }
}

// Driven at the east straight's wall at 12 m/s and 35 degrees, the car is
// turned back by it: no part of the car's centre line passes the wall.
TEST_F(CarOnWorld, WallStopsTheCar)
{
    constexpr float WallX = fw::BendRadius + fw::OuterEdge;
    CarObject car;
    PlaceAt(car, fw::BendRadius + 8.0f, -40.0f, -0.61f);
    Run(TicksPerSecond);
    Launch(car, 12.0f);
    car.engine.StartAtIdle();
    float farthest = -1e9f;
    bool touched = false;
    for (int t = 0; t < 4 * TicksPerSecond; t++) {
        Run(1);
        farthest = std::fmax(farthest, Metres(car.position.x));
        for (int p = 0; p < car.pointCount; p++) {
            touched = touched || (car.points[p].phase != 0 && car.points[p].probe.surface &&
                                  car.points[p].probe.surface->surfaceKind == 10);
        }
    }
    EXPECT_TRUE(touched) << "the car never reached the wall";
    // The body is about 1.7 m wide: its centre stays at least 0.5 m off the wall.
    EXPECT_LT(farthest, WallX - 0.5f);
    EXPECT_GT(farthest, WallX - 2.0f);
    EXPECT_LT(Metres(car.position.x), WallX - 0.5f);
    EXPECT_GT(Metres(car.position.z), -0.5f);
    EXPECT_LT(car.velocity[0], 1.0f);
}

// The movable cone gets a body in the object grid; the car knocks it out of
// the grid; it freezes at the eighth count of 100 ticks and, with the car
// gone from its place, goes home into the grid.
TEST_F(CarOnWorld, CarKnocksTheConeWhichFreezesAndGoesHome)
{
    world->BuildObjectGrid();
    auto *cone = static_cast<DuplicatorObject *>(world->objects[fw::ConeIndex]);
    ASSERT_EQ(world->movableObjectCount, 1);
    ASSERT_NE(cone->body, nullptr);
    ASSERT_TRUE(InGrid(*world, cone));
    const FixVector home = cone->body->position;

    CarObject car;
    PlaceAt(car, fw::ConeX, fw::ConeY + 20.0f, fw::Pi);
    Run(TicksPerSecond);
    Launch(car, 8.0f);
    int knockedAt = -1, frozenAt = -1, homeAt = -1;
    for (int t = 0; t < 20 * TicksPerSecond && homeAt < 0; t++) {
        Run(1);
        if (knockedAt < 0 && cone->knocked) {
            knockedAt = static_cast<int>(RaceTick);
            EXPECT_FALSE(InGrid(*world, cone));
        }
        if (Metres(car.position.y) < fw::ConeY - 10.0f) {
            car.inputs[2] = 65535;   // brakes, well past the cone's place
        }
        if (frozenAt < 0 && cone->frozen) {
            frozenAt = static_cast<int>(RaceTick);
        }
        if (knockedAt >= 0 && !cone->knocked) {
            homeAt = static_cast<int>(RaceTick);
        }
    }
    ASSERT_GE(knockedAt, 0) << "the car never touched the cone";
    ASSERT_GE(frozenAt, 0);
    EXPECT_EQ(frozenAt % 100, 0);
    EXPECT_GE(frozenAt - knockedAt, 700);
    ASSERT_GE(homeAt, 0);
    EXPECT_EQ(homeAt % 100, 0);
    EXPECT_EQ(cone->frozen, 0);
    ASSERT_NE(cone->body, nullptr);
    EXPECT_EQ(cone->body->position.x, home.x);
    EXPECT_EQ(cone->body->position.y, home.y);
    EXPECT_TRUE(InGrid(*world, cone));
    // The car drove on past the cone's place.
    EXPECT_LT(Metres(car.position.y), fw::ConeY - 10.0f);
}
