#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "core/car_table.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/race_slot_hooks.h"
#include "tests/vehicle/car_state_packer.h"
#include "tests/vehicle/world_query_double.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"

// A generated car driven here stands in for a car driven on another program:
// its state records, packed as a sender packs them, steer a second car of the
// same model that is remote here. The remote car runs 20 m to the side (the
// records are shifted), so that the two never touch.
namespace {

constexpr int TicksPerSecond = 100;
constexpr float LaneOffset = 20.0f;
constexpr int RecordInterval = 4;

class RemoteCarsTest : public GeneratedCarsFixture, protected RaceSlotHooks<2> {
protected:
    void SetUp() override {
        ASSERT_EQ(writeError, nullptr) << writeError;
        BuildTyreCurves();
        InstallRaceSlotHooks();
    }
    void TearDown() override {
        RestoreRaceSlotHooks();
        while (physics.bodyCount > 0)
            physics.Remove(physics.bodies[0]);
    }

    // Model 0 loaded into car and reset at (x, y), engine idling.
    void Load(CarObject &car, float x, float y) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        car.position = {MetresToFix(x), MetresToFix(y), MetresToFix(1.0f)};
        car.Reset(0.0f, 0, 1);
        car.fuel = 20.0f;
        car.engine.StartAtIdle();
        car.autoClutch = 1;
        car.autoGears = 1;
    }
    // The driven car in slot 0 and the remote one in slot 1, both in the
    // physics world; 1 s to settle, then the driven car pulls away and the
    // remote one has its first record.
    void StartPair() {
        Load(driven, 0.0f, -60.0f);
        Load(remote, LaneOffset, -60.0f);
        remote.BecomeRemote();
        slotCars[0] = &driven;
        slotCars[1] = &remote;
        physics.Add(&driven);
        physics.Add(&remote);
        Run(TicksPerSecond);
        driven.gear = 2;
        driven.requestedGear = 2;
        driven.lastGear = 2;
        Send(Pack(), driven.stepCount);
    }
    CarStateRecord Pack() const {
        CarStateRecord r = PackCarStateRecord(driven);
        r.position[0] += MetresToFix(LaneOffset);
        return r;
    }
    void Send(const CarStateRecord &r, uint32_t tick) { remote.ApplyRemoteState(&r, tick); }
    // One tick of the driven car's script: full throttle with a gentle weave.
    void Drive() {
        driven.inputs[1] = 50000;
        const int t = static_cast<int>(driven.stepCount % 400);
        driven.inputs[0] = static_cast<uint16_t>(32768 + (t < 200 ? t : 400 - t) * 20 - 2000);
    }
    void Run(int ticks) {
        for (int i = 0; i < ticks; i++)
            physics.Step(i % 4 == 3);
    }
    // Metres between the remote car and the driven car's place in its lane.
    float Gap() const {
        const float d[3] = {FixToMetres(remote.position.x - driven.position.x) - LaneOffset,
                            FixToMetres(remote.position.y - driven.position.y),
                            FixToMetres(remote.position.z - driven.position.z)};
        return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }

    WorldQueryDouble world{250 * 65536};
    PhysicsWorld physics;
    CarObject driven;
    CarObject remote;
};

// Fresh records every 4 ticks keep the remote car on the driven car's track.
TEST_F(RemoteCarsTest, FollowsFreshRecords) {
    StartPair();
    ASSERT_EQ(remote.remotePhase, 0);
    float worst = 0.0f;
    for (int tick = 0; tick < 3 * TicksPerSecond; tick++) {
        Drive();
        Run(1);
        if (tick % RecordInterval == RecordInterval - 1)
            Send(Pack(), driven.stepCount);
        worst = Gap() > worst ? Gap() : worst;
    }
    EXPECT_GT(driven.speed, 8.0f);
    EXPECT_EQ(remote.remotePhase, 0);
    EXPECT_EQ(remote.active, 1);
    EXPECT_LT(worst, 0.25f);
    EXPECT_NEAR(remote.speed, driven.speed, 0.5f);
}

// Records that arrive 25 ticks late are caught up: the remote car is nearer
// the driven car's present place than the place the record describes.
TEST_F(RemoteCarsTest, CatchesUpLateRecords) {
    StartPair();
    constexpr int Delay = 25;
    std::deque<std::pair<CarStateRecord, uint32_t>> line;
    float worst = 0.0f;
    float lag = 0.0f;
    for (int tick = 0; tick < 3 * TicksPerSecond; tick++) {
        Drive();
        Run(1);
        line.emplace_back(Pack(), driven.stepCount);
        if (line.size() > Delay) {
            const auto &late = line.front();
            if (tick % RecordInterval == 0) {
                Send(late.first, late.second);
                EXPECT_FLOAT_EQ(remote.remoteAge, Delay * 0.01f);
                lag = FixToMetres(driven.position.y - late.first.position[1]);
                if (tick > 2 * TicksPerSecond)
                    worst = Gap() > worst ? Gap() : worst;
            }
            line.pop_front();
        }
    }
    EXPECT_GT(lag, 2.0f) << "the records lag the car by metres";
    EXPECT_LT(worst, 0.3f);
    EXPECT_EQ(ExtrapolatingRemoteCar, 0);
}

// With no record for more than 150 ticks the remote car times out and
// stands; the next record brings it back.
TEST_F(RemoteCarsTest, MissingRecordsTimeTheCarOut) {
    StartPair();
    for (int tick = 0; tick < TicksPerSecond; tick++) {
        Drive();
        Run(1);
        if (tick % RecordInterval == 0)
            Send(Pack(), driven.stepCount);
    }
    const uint32_t last = remote.remoteStateTick;
    // The car step sees an age of 150 ticks on this last tick.
    while (remote.stepCount - last <= 150) {
        Drive();
        Run(1);
    }
    EXPECT_EQ(remote.remotePhase, 0);
    EXPECT_EQ(remote.active, 1);
    Drive();
    Run(1);
    EXPECT_EQ(remote.remotePhase, 1);
    EXPECT_EQ(remote.active, 0);
    const FixVector stood = remote.position;
    Drive();
    Run(20);
    EXPECT_EQ(remote.position.x, stood.x);
    EXPECT_EQ(remote.position.y, stood.y);

    Send(Pack(), driven.stepCount);
    EXPECT_EQ(remote.remotePhase, 0);
    EXPECT_EQ(remote.active, 1);
    EXPECT_LT(Gap(), 0.01f);
}

// A car switched remote and straight back drives as a car that never was:
// its tyre model is whole again.
TEST_F(RemoteCarsTest, RemoteAndBackRestoresTheTyreModel) {
    CarObject &switched = remote;
    Load(driven, 0.0f, -60.0f);
    Load(switched, LaneOffset, -60.0f);
    switched.BecomeRemote();
    switched.BecomeLocal();
    // A car that becomes local while standing is held for pit work; only
    // the tyre model is compared here.
    switched.pitWorkStep = driven.pitWorkStep;
    switched.pitLaneState = driven.pitLaneState;
    slotCars[0] = &driven;
    slotCars[1] = &switched;
    physics.Add(&driven);
    physics.Add(&switched);
    for (int tick = 0; tick < 3 * TicksPerSecond; tick++) {
        for (CarObject *car : {&driven, &switched}) {
            car->inputs[1] = tick > TicksPerSecond ? 50000 : 0;
            car->inputs[0] = static_cast<uint16_t>(32768 + (tick % 200) * 30 - 3000);
            if (tick == TicksPerSecond)
                car->gear = car->requestedGear = car->lastGear = 2;
        }
        Run(1);
    }
    EXPECT_GT(driven.speed, 5.0f);
    EXPECT_LT(Gap(), 0.001f);
    for (int w = 0; w < driven.wheelCount; w++) {
        for (int s = 0; s < 16; s++) {
            EXPECT_NEAR(switched.wheels[w].tread[s].sections[1].skinHeat,
                        driven.wheels[w].tread[s].sections[1].skinHeat,
                        driven.wheels[w].tread[s].sections[1].skinHeat * 1e-4f)
                << w << " " << s;
        }
    }
}

// A garage preview outside the physics world steps by wall time, at most
// 100 ms behind, and stands on the ground while it does.
TEST_F(RemoteCarsTest, PreviewStepsByWallTime) {
    const int savedStep = GameClockStep;
    const int savedInactive = WindowInactive;
    CarObject &preview = driven;
    Load(preview, 0.0f, 0.0f);
    preview.previewCar = 1;
    const uint32_t start = preview.stepCount;
    WindowInactive = 0;
    GameClockStep = 16;
    for (int frame = 0; frame < 125; frame++)
        preview.StepStandalone();
    EXPECT_EQ(preview.stepCount - start, 200u);
    const int32_t settled = preview.position.z;
    EXPECT_LT(preview.speed, 0.05f);

    GameClockStep = 1000;
    preview.StepStandalone();
    EXPECT_EQ(preview.stepCount - start, 210u) << "a second unseen catches up 100 ms";
    EXPECT_EQ(preview.standaloneDone, preview.standaloneClock);

    WindowInactive = 1;
    preview.StepStandalone();
    EXPECT_EQ(preview.stepCount - start, 210u);
    EXPECT_NEAR(FixToMetres(preview.position.z - settled), 0.0f, 0.02f);
    GameClockStep = savedStep;
    WindowInactive = savedInactive;
}

}  // namespace
