#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/colour.h"
#include "tests/vehicle/car_model_fixture.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"

namespace {

struct FakeSession {
    int busy = 0;
    int lowestLimit = 255;
    int timedPackets = 0;
    std::vector<std::string> messages;
    std::vector<int> colours;
    std::vector<int> sounds;
};
FakeSession session;

class CarStateFlagsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = RaceServices;
        session = FakeSession();
        RaceServices = {};
        RaceServices.isSessionBusy = [] { return session.busy; };
        RaceServices.sendTimedPackets = [](CarObject *) { session.timedPackets++; };
        RaceServices.lowestSpeedLimit = [] { return session.lowestLimit; };
        RaceServices.printMessage = [](const char *text, int colour) {
            session.messages.emplace_back(text);
            session.colours.push_back(colour);
        };
        RaceServices.playInterfaceSound = [](int sound) { session.sounds.push_back(sound); };
    }
    void TearDown() override {
        RaceServices = saved;
        carSoundStarted = 0;
    }

    CarRaceServices saved{};
};

constexpr uint32_t LimiterFitted = 1u << 30;

struct Case {
    const char *name;
    int vehicleClass;
    int word;
    uint16_t value;
    void (*prepare)(CarObject &car);
    const char *refusal;  // the message line, or null when the toggle acts
    void (*check)(const CarObject &car);
};

const Case Cases[] = {
    {"class 10 has no starter", 10, 5, 1, [](CarObject &) {}, "This car does not have a starter motor",
     [](const CarObject &car) { EXPECT_EQ(car.engine.running, 0u); }},
    {"starter fires a stopped engine", 1, 5, 1,
     [](CarObject &car) {
         car.engine.idleSpeed = 80.0f;
         carSoundStarted = 1;
     },
     nullptr,
     [](const CarObject &car) {
         EXPECT_NE(car.engine.running, 0u);
         EXPECT_EQ(car.engine.speed, 20.0f);
         EXPECT_EQ(car.engineStartSound, 1);
     }},
    {"start request stops a running engine", 1, 5, 1, [](CarObject &car) { car.engine.StartAtIdle(); }, nullptr,
     [](const CarObject &car) { EXPECT_EQ(car.engine.running, 0u); }},
    {"no pit limiter fitted", 1, 16, 1, [](CarObject &) { session.lowestLimit = 60; },
     "This car does not have a pit lane speed limiter", [](const CarObject &car) { EXPECT_EQ(car.speedLimit, 0); }},
    {"no speed limit zone", 1, 16, 1, [](CarObject &car) { car.dataFlags |= LimiterFitted; },
     "There is no speed limit zone on this track", [](const CarObject &car) { EXPECT_EQ(car.speedLimit, 0); }},
    {"limiter takes the lowest limit", 1, 16, 1,
     [](CarObject &car) {
         car.dataFlags |= LimiterFitted;
         car.cycleCounter = 500;
         session.lowestLimit = 60;
     },
     nullptr,
     [](const CarObject &car) {
         EXPECT_EQ(car.speedLimit, 60);
         EXPECT_EQ(car.cycleCounter, 500u);
     }},
    {"class 10 limiter restarts the blink clock", 10, 16, 1,
     [](CarObject &car) {
         car.dataFlags |= LimiterFitted;
         car.cycleCounter = 500;
         session.lowestLimit = 60;
     },
     nullptr, [](const CarObject &car) { EXPECT_EQ(car.cycleCounter, 0u); }},
    {"limiter on goes off", 1, 16, 1, [](CarObject &car) { car.speedLimit = 60; }, nullptr,
     [](const CarObject &car) { EXPECT_EQ(car.speedLimit, 0); }},
    {"no traction control", 1, 17, 1, [](CarObject &) {}, "This car does not have traction control",
     [](const CarObject &car) { EXPECT_EQ(car.tcOff, 0); }},
    {"traction control off", 1, 17, 1,
     [](CarObject &car) {
         car.aidFlags = 1;
         for (uint8_t &light : car.tcLight)
             light = 1;
     },
     nullptr,
     [](const CarObject &car) {
         EXPECT_EQ(car.tcOff, 1);
         for (uint8_t light : car.tcLight)
             EXPECT_EQ(light, 0);
     }},
    {"traction control back on", 1, 17, 1, [](CarObject &car) { car.tcOff = 1; }, nullptr,
     [](const CarObject &car) { EXPECT_EQ(car.tcOff, 0); }},
    {"headlights on", 1, 7, 1, [](CarObject &) {}, nullptr, [](const CarObject &car) { EXPECT_EQ(car.headlight, 1); }},
    {"headlights off", 1, 7, 1, [](CarObject &car) { car.headlight = 1; }, nullptr,
     [](const CarObject &car) { EXPECT_EQ(car.headlight, 0); }},
    {"indicator from off restarts the blink clock", 1, 13, 3, [](CarObject &car) { car.cycleCounter = 500; }, nullptr,
     [](const CarObject &car) {
         EXPECT_EQ(car.indicator, 2);
         EXPECT_EQ(car.cycleCounter, 0u);
     }},
    {"indicator change keeps the clock", 1, 13, 1,
     [](CarObject &car) {
         car.indicator = 2;
         car.cycleCounter = 500;
     },
     nullptr,
     [](const CarObject &car) {
         EXPECT_EQ(car.indicator, 0);
         EXPECT_EQ(car.cycleCounter, 500u);
     }},
};

}  // namespace

TEST_F(CarStateFlagsTest, TogglesActOrRefuseWithTheirTexts) {
    for (const Case &c : Cases) {
        SCOPED_TRACE(c.name);
        session = FakeSession();
        carSoundStarted = 0;
        ModelCar model(c.vehicleClass);
        CarObject &car = model.car;
        car.stepCount = 1234;
        car.lastInputTick = 5;
        car.standstillCount = 50;
        c.prepare(car);
        car.inputs[c.word] = c.value;

        car.UpdateStateFlags();

        c.check(car);
        EXPECT_EQ(car.inputs[c.word], 0);
        EXPECT_EQ(car.lastInputTick, 1234u);
        EXPECT_EQ(car.standstillCount, 0);
        if (c.refusal != nullptr) {
            EXPECT_EQ(session.messages, std::vector<std::string>{c.refusal});
            EXPECT_EQ(session.sounds, std::vector<int>{ErrorInterfaceSound});
        } else {
            EXPECT_TRUE(session.messages.empty());
            EXPECT_TRUE(session.sounds.empty());
        }
    }
}

// Without a request nothing but the timed packets happens; a busy session
// sends none.
TEST_F(CarStateFlagsTest, TimedPacketsUnlessBusyAndNoRequestNoChange) {
    ModelCar model;
    CarObject &car = model.car;
    car.stepCount = 1234;
    car.lastInputTick = 5;
    car.standstillCount = 50;
    car.inputs[0] = 32768;
    car.UpdateStateFlags();
    EXPECT_EQ(session.timedPackets, 1);
    EXPECT_EQ(car.lastInputTick, 5u);
    EXPECT_EQ(car.standstillCount, 50);
    EXPECT_EQ(car.inputs[0], 32768);

    session.busy = 1;
    car.UpdateStateFlags();
    EXPECT_EQ(session.timedPackets, 1);
}
