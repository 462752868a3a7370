#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <cstring>

#include "vehicle/car_curve.h"
#include "vehicle/car_data_loader.h"

namespace {

// Stand-ins for the world's path follower, the scene's model nodes and
// driver clips: addresses of a byte, with counts of what the car makes and
// frees.
char Token[8];
template <typename T>
T *Stand(int i) {
    return reinterpret_cast<T *>(&Token[i]);
}

struct Counts {
    int followers = 0;
    int nodes = 0;
    int clips = 0;
    int plates = 0;
};
Counts live;

struct CarObjectTest : ::testing::Test {
    void SetUp() override {
        live = {};
        CarServices = {};
    }
    void TearDown() override { CarServices = {}; }

    static void RegisterServices() {
        CarServices.createPathFollower = [](CarObject *) {
            live.followers++;
            return Stand<PathFollower>(0);
        };
        CarServices.deletePathFollower = [](PathFollower *) { live.followers--; };
        CarServices.createModelNode = []() {
            live.nodes++;
            return Stand<ModelNode>(1);
        };
        CarServices.deleteModelNode = [](ModelNode *) { live.nodes--; };
        CarServices.freeDriverClip = [](DriverClip *) { live.clips--; };
        CarServices.releaseNumberPlate = [](int) { live.plates--; };
    }
};

TEST_F(CarObjectTest, ConstructsAnEmptyCar) {
    CarObject car;
    EXPECT_EQ(car.GetType(), 1);
    EXPECT_EQ(car.gear, 1);
    EXPECT_EQ(car.requestedGear, 1);
    EXPECT_EQ(car.gearCount, 7);
    EXPECT_EQ(car.plateSlot, -1);
    EXPECT_EQ(car.animationIndex, -1);
    EXPECT_EQ(car.inputs[0], 32768);
    EXPECT_EQ(car.inputs[14], 255);
    EXPECT_EQ(car.wrongWayNotice[0], 'D');
    EXPECT_EQ(car.mass, 1200.0f);
    EXPECT_EQ(car.friction, 0.5f);
    EXPECT_EQ(car.drivenAxles, 3);
    EXPECT_EQ(car.partNameCount, 1);
    EXPECT_EQ(car.enginePosition[1], 1.5f);
    EXPECT_EQ(car.tankPosition[1], -1.5f);
    EXPECT_EQ(car.spareWheel[1], -2.0f);
    EXPECT_EQ(car.projector.xScale, 0.5f);
    EXPECT_EQ(car.projector.yScale, 0.5f);
    EXPECT_EQ(car.projector.headingCosine, 1.0f);
    EXPECT_EQ(car.projector.reflectionStrength, 1.0f);
    EXPECT_EQ(car.projector.lightMap, nullptr);
    EXPECT_EQ(car.projector.LightTexture(), nullptr);
    EXPECT_EQ(car.engine.inertiaFactor, 1.0f);
    EXPECT_EQ(car.wheels, nullptr);
    EXPECT_EQ(car.setup, nullptr);
    EXPECT_EQ(car.bodyObject, nullptr);
    ASSERT_NE(car.curve, nullptr);
    EXPECT_EQ(car.curve->count, 0u);
    // No world or scene registered: nothing of theirs is made.
    EXPECT_EQ(car.pathFollower, nullptr);
    EXPECT_EQ(car.modelNodes[0], nullptr);
}

// With the services registered the car makes its path follower and four
// model nodes, and gives back exactly those, the clips and the plate.
TEST_F(CarObjectTest, DestroyFreesWhatTheCarOwns) {
    RegisterServices();
    CarObject *car = new CarObject;
    EXPECT_NE(car->pathFollower, nullptr);
    EXPECT_EQ(live.followers, 1);
    EXPECT_EQ(live.nodes, CarLodCount);
    car->steeringClip = Stand<DriverClip>(3);
    car->passengerClips[2] = Stand<DriverClip>(4);
    live.clips = 2;
    car->plateSlot = 5;
    live.plates = 1;
    delete car;
    EXPECT_EQ(live.followers, 0);
    EXPECT_EQ(live.nodes, 0);
    EXPECT_EQ(live.clips, 0);
    EXPECT_EQ(live.plates, 0);
}

TEST_F(CarObjectTest, AnimationChangeFreesTheClips) {
    RegisterServices();
    CarObject car;
    car.steeringClip = Stand<DriverClip>(1);
    car.rawSteeringClip = Stand<DriverClip>(2);
    live.clips = 2;
    car.SetAnimationIndex(3);
    EXPECT_EQ(car.animationIndex, 3);
    EXPECT_EQ(car.steeringClip, nullptr);
    EXPECT_EQ(car.rawSteeringClip, nullptr);
    EXPECT_EQ(live.clips, 0);

    // Without the human figures the clips are only freed.
    car.passengerClips[0] = Stand<DriverClip>(5);
    live.clips = 1;
    LoadDriverAnimations(&car);
    EXPECT_EQ(car.passengerClips[0], nullptr);
    EXPECT_EQ(live.clips, 0);
}

TEST_F(CarObjectTest, SlowEnoughBelowTwoMetresPerSecondWithoutPitWork) {
    struct Case {
        float speed;
        uint8_t pitWorkStep;
        int expected;
    };
    const Case cases[] = {{0.0f, 0, 1}, {1.99f, 0, 1}, {2.0f, 0, 0}, {5.0f, 0, 0}, {0.0f, 1, 0}};
    CarObject car;
    for (const Case &c : cases) {
        car.speed = c.speed;
        car.pitWorkStep = c.pitWorkStep;
        EXPECT_EQ(car.IsSlowEnough(), c.expected) << c.speed << " " << int(c.pitWorkStep);
    }
}

TEST_F(CarObjectTest, NormalStateExceptClassesFourTenAndEleven) {
    CarObject car;
    for (int vehicleClass = 0; vehicleClass < 12; vehicleClass++) {
        car.vehicleClass = vehicleClass;
        const int special = vehicleClass == 4 || vehicleClass == 10 || vehicleClass == 11;
        EXPECT_EQ(car.IsNormalState(), special ? 0 : 1) << vehicleClass;
    }
}

TEST_F(CarObjectTest, FuelPercentFillsAtMostTheTank) {
    CarObject car;
    car.tankSize = 60.0f;
    car.SetFuelPercent(50);
    EXPECT_EQ(car.fuel, 0.5f * 60.0f);
    car.SetFuelPercent(250);
    EXPECT_EQ(car.fuel, 60.0f);
    car.SetFuelPercent(0);
    EXPECT_EQ(car.fuel, 0.0f);
}

TEST_F(CarObjectTest, SmallStateOperations) {
    CarObject car;
    car.speed = 12.0f;
    car.velocity[1] = 12.0f;
    car.angularMomentum[2] = 3.0f;
    EXPECT_EQ(car.StopMotion(), 0);
    EXPECT_EQ(car.announcePending, 1);
    EXPECT_EQ(car.speed, 0.0f);
    EXPECT_EQ(car.velocity[1], 0.0f);
    EXPECT_EQ(car.angularMomentum[2], 0.0f);

    car.penaltyCounter = 9;
    car.ClearPenaltyState();
    EXPECT_EQ(car.penaltyCounter, 0u);
    const uint8_t cleared[4] = {};
    EXPECT_EQ(std::memcmp(car.wrongWayNotice, cleared, 4), 0);

    car.statusCodePage = 3;
    std::memset(car.statusText, 'x', sizeof(car.statusText));
    std::memset(car.nameData, 'y', sizeof(car.nameData));
    car.ClearStatusText();
    EXPECT_EQ(car.statusCodePage, 0u);
    EXPECT_EQ(car.statusText[31], 0);
    EXPECT_EQ(car.nameData[63], 0);

    uint8_t info[16];
    for (int i = 0; i < 16; i++)
        info[i] = static_cast<uint8_t>(i + 1);
    car.SetPlayerInfo(info, 77);
    EXPECT_EQ(car.playerInfoWord, 77u);
    EXPECT_EQ(std::memcmp(car.playerInfo, info, 16), 0);

    // A gearbox kind outside 1..5 leaves the shift times as they are.
    car.shiftTimes[0] = 0.7f;
    car.gearboxKind = 0;
    car.SetShiftTimes();
    EXPECT_EQ(car.shiftTimes[0], 0.7f);
}

}  // namespace
