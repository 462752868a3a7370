#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_packets.h"
#include "race_fixture.h"
#include "vehicle/car_race_services.h"
#include "vehicle/car_setup.h"
#include "vehicle/race_hooks.h"

namespace {

using Packet = std::vector<uint8_t>;

std::vector<std::string> carMessages;
std::vector<Packet> carPackets;
std::vector<Packet> hostPackets;
int online = 0;

// A race of two local drivers (ids 11 and 12) with cars, started: its tick
// is past a 5 s countdown. The car services capture what the cars say and
// send.
class RacePacketsTest : public RaceFixture {
protected:
    void SetUp() override
    {
        RaceFixture::SetUp();
        savedServices = RaceServices;
        savedHooks = VehicleRaceHooks;
        RaceServices = CarRaceServices{};
        carMessages.clear();
        carPackets.clear();
        hostPackets.clear();
        online = 0;
        RaceServices.printMessage = [](const char *text, int) { carMessages.emplace_back(text); };
        RaceServices.queueGamePacket = [](const uint8_t *b, int n) { carPackets.emplace_back(b, b + n); };
        RaceServices.queueGamePacketRec = [](const uint8_t *b, int n) { carPackets.emplace_back(b, b + n); };
        RaceServices.sendReliableToHost = [](const uint8_t *b, int n) { hostPackets.emplace_back(b, b + n); };
        RaceServices.isOnline = [] { return online; };
        RaceServices.slotRecord = [](int slot) { return &RaceObjectPtr->slots[slot]; };
        RaceServices.playerId = [](const PlayerSlot *slot) { return slot->info.playerId; };
        VehicleRaceHooks.slotCount = [] { return RaceObjectPtr->slotCount; };
        VehicleRaceHooks.slotCar = [](int slot) { return RaceObjectPtr->slots[slot].car; };
        first = AddWithCar("first", 11);
        second = AddWithCar("second", 12);
        race->countdownSeconds = 5;
        race->tick = 600;
        RaceKind = 1;
        OnlineFlag = 0;
        HostRuleFlags = 0;
        ClearFastestLap();
    }
    void TearDown() override
    {
        ClearFastestLap();
        RaceServices = savedServices;
        VehicleRaceHooks = savedHooks;
        RaceFixture::TearDown();
    }

    static Packet Lap(uint8_t id, uint16_t laps, uint32_t lap, uint32_t total)
    {
        Packet p(12, 0);
        p[0] = MP_LAP_TIME;
        p[1] = id;
        p[2] = static_cast<uint8_t>(laps);
        p[3] = static_cast<uint8_t>(laps >> 8);
        std::memcpy(&p[4], &lap, 4);
        std::memcpy(&p[8], &total, 4);
        return p;
    }

    CarRaceServices savedServices;
    RaceHooks savedHooks;
    PlayerSlot *first = nullptr;
    PlayerSlot *second = nullptr;
};

}  // namespace

// Before the race start only a false-start time penalty applies; unknown
// players, slots without a car and short packets change nothing.
TEST_F(RacePacketsTest, TimePenalty)
{
    race->tick = 100;
    struct Case {
        Packet packet;
        int length;
        uint32_t added;
    } cases[] = {
        {{MP_TIME_PENALTY, 11, 30, 3}, 4, 3000},
        {{MP_TIME_PENALTY, 11, 45, 2}, 4, 0},
        {{MP_TIME_PENALTY, 99, 30, 3}, 4, 0},
        {{MP_TIME_PENALTY, 11, 30, 3}, 3, 0},
    };
    for (const Case &c : cases) {
        first->car->penaltyTime = 0;
        HandleTimePenalty(0, c.packet.data(), c.length);
        EXPECT_EQ(first->car->penaltyTime, c.added) << int(c.packet[1]) << " " << int(c.packet[3]);
    }
    race->tick = 600;
    HandleTimePenalty(0, Packet{MP_TIME_PENALTY, 11, 45, 2}.data(), 4);
    EXPECT_EQ(first->car->penaltyTime, 4500u);
    CarObject *car = second->car;
    second->car = nullptr;
    HandleTimePenalty(0, Packet{MP_TIME_PENALTY, 12, 45, 2}.data(), 4);
    second->car = car;
    EXPECT_EQ(second->car->penaltyTime, 0u);
}

// Penalties: the texts, the lowering of one given in the pit lane, and
// penalties or reasons beyond the tables ignored.
TEST_F(RacePacketsTest, Penalty)
{
    HandlePenalty(0, Packet{MP_PENALTY, 11, 3, 1}.data(), 4);
    EXPECT_EQ(first->car->penalty, 3);
    EXPECT_TRUE(HasMessage("first : STOP-GO PENALTY"));
    EXPECT_TRUE(packets.empty());
    HandlePenalty(0, Packet{MP_PENALTY, 11, 0, 1}.data(), 4);
    EXPECT_EQ(first->car->penalty, 0);
    EXPECT_TRUE(HasMessage("first : PENALTY CLEARED"));

    // Given in the pit lane to the own car: sent on lowered by one.
    first->car->pitLaneState = 1;
    HandlePenalty(0, Packet{MP_PENALTY, 11, 2, 4}.data(), 4);
    EXPECT_EQ(first->car->penalty, 2);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], (Packet{MP_PENALTY, 11, 1, 4}));
    EXPECT_EQ(flushes, 1);

    messages.clear();
    for (const Packet &bad : {Packet{MP_PENALTY, 11, 7, 1}, Packet{MP_PENALTY, 11, 1, 7}, Packet{MP_PENALTY, 11, 255, 255}}) {
        HandlePenalty(0, bad.data(), 4);
        EXPECT_EQ(first->car->penalty, 2);
    }
    EXPECT_TRUE(messages.empty());
    // Before the start only the false-start reason applies.
    race->tick = 0;
    HandlePenalty(0, Packet{MP_PENALTY, 12, 5, 2}.data(), 4);
    EXPECT_EQ(second->car->penalty, 0);
    HandlePenalty(0, Packet{MP_PENALTY, 12, 5, 3}.data(), 4);
    EXPECT_EQ(second->car->penalty, 5);
}

// Laps: best laps, qualifying results under the limit, the finish at the
// race's distance, and the fastest lap's notice 400 frames later.
TEST_F(RacePacketsTest, LapTimes)
{
    RaceKind = 2;
    race->raceLength = 0;
    Packet lap = Lap(11, 1, 360000, 360000);
    HandleLapTime(0, lap.data(), 12);
    EXPECT_EQ(race->resultCount, 0);
    lap = Lap(11, 2, 359999, 720000);
    HandleLapTime(0, lap.data(), 12);
    EXPECT_EQ(race->resultCount, 1);
    EXPECT_EQ(first->car->bestLapTime, 359999u);

    // A two-lap race: the second lap finishes.
    race->ClearResults();
    RaceKind = 1;
    race->raceLength = 2;
    first->car->bestLapTime = 0;
    lap = Lap(11, 1, 9000, 9500);
    HandleLapTime(0, lap.data(), 12);
    EXPECT_EQ(first->car->finished, 0);
    EXPECT_EQ(first->car->lapsDone, 1);
    lap = Lap(11, 2, 8800, 18300);
    HandleLapTime(0, lap.data(), 12);
    EXPECT_EQ(first->car->finished, 1);
    EXPECT_EQ(race->resultCount, 1);
    EXPECT_EQ(first->car->raceTime, 18300u);
    EXPECT_EQ(first->car->bestLapTime, 8800u);

    // The second lap was the fastest: noticed 400 frames on.
    ASSERT_EQ(FastestLapCountdown(), 400);
    std::memcpy(first->car->shortName, "XFG", 4);
    for (int frame = 1; frame < 400; ++frame) {
        RunFastestLapNotice();
    }
    for (const std::string &m : messages) {
        EXPECT_EQ(m.find("Fastest lap"), std::string::npos);
    }
    RunFastestLapNotice();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().rfind("Fastest lap : ", 0), 0u);
    EXPECT_NE(messages.back().find("by first^8 (XFG)"), std::string::npos);
    const size_t count = messages.size();
    RunFastestLapNotice();
    EXPECT_EQ(messages.size(), count);

    // A slower lap than another car's best is no fastest lap.
    second->car->bestLapTime = 0;
    lap = Lap(12, 2, 8900, 18400);
    HandleLapTime(0, lap.data(), 12);
    EXPECT_EQ(FastestLapCountdown(), 0);
    // Before the start nothing applies.
    race->tick = 0;
    lap = Lap(12, 3, 100, 100);
    HandleLapTime(0, lap.data(), 12);
    EXPECT_EQ(second->car->bestLapTime, 8900u);
}

// Pit stops count; the refusal of a reset is shown only to a human driving
// here; the host's reset rule.
TEST_F(RacePacketsTest, PitStopsRefusalsAndResets)
{
    first->car->pitStopPending = 1;
    HandlePitStop(0, Packet{MP_PIT_STOP, 11, 0, 0}.data(), 4);
    EXPECT_EQ(first->car->pitStopPending, 0);
    EXPECT_EQ(first->car->pitStopCount, 1);
    EXPECT_TRUE(HasMessage("first^8 made a pit stop"));

    HandleResetRefused(0, Packet{MP_GAME_79, 11, 1, 0}.data(), 4);
    EXPECT_EQ(carMessages.size(), 1u);
    second->info.kind = KindLocalAi;
    HandleResetRefused(0, Packet{MP_GAME_79, 12, 1, 0}.data(), 4);
    HandleResetRefused(0, Packet{MP_GAME_79, 11, 9, 0}.data(), 4);
    EXPECT_EQ(carMessages.size(), 1u);

    Packet reset(24, 0);
    reset[0] = MP_CAR_RESET;
    reset[1] = 11;
    const int32_t x = 40 << 16;
    std::memcpy(&reset[12], &x, 4);
    OnlineFlag = 1;
    HandleCarReset(0, reset.data(), 24);
    EXPECT_EQ(first->car->position.x, 0);
    OnlineFlag = 0;
    HandleCarReset(0, reset.data(), 24);
    EXPECT_EQ(first->car->position.x, x);
    EXPECT_EQ(first->car->stopped, 1);
    // A lateral offset that is not a number is refused.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&reset[8], &nan, 4);
    const int32_t far = 90 << 16;
    std::memcpy(&reset[12], &far, 4);
    HandleCarReset(0, reset.data(), 24);
    EXPECT_EQ(first->car->position.x, x);
}

// The reset request: nothing while fast, within 200 ticks of the last, or
// before the car's node is known; a user request online on a host without
// car resets is refused with a message; online the request goes to the host.
TEST_F(RacePacketsTest, PositionRequests)
{
    CarObject &car = *first->car;
    online = 1;
    HostRuleFlags = RuleCarReset;
    car.stepCount = 1000;
    car.lastPositionTick = 0;
    car.progressNode = 3;
    struct Case {
        const char *name;
        float speed;
        uint32_t last;
        int node;
        int sent;
    } cases[] = {
        {"fast", 2.0f, 0, 3, 0},
        {"too soon", 0.0f, 801, 3, 0},
        {"no node", 0.0f, 0, -1, 0},
        {"slow, long enough, on a node", 1.9f, 800, 3, 1},
    };
    for (const Case &c : cases) {
        carPackets.clear();
        car.speed = c.speed;
        car.lastPositionTick = c.last;
        car.progressNode = c.node;
        car.pitWorkStep = 0;
        SendPositionPacket(car, 1);
        EXPECT_EQ(static_cast<int>(carPackets.size()) + static_cast<int>(hostPackets.size()), c.sent) << c.name;
        EXPECT_TRUE(carMessages.empty()) << c.name;
    }

    hostPackets.clear();
    HostRuleFlags = 0;
    car.speed = 0.0f;
    car.lastPositionTick = 0;
    SendPositionPacket(car, 1);
    EXPECT_TRUE(HasMessage("Car reset is not allowed on this host"));
    EXPECT_TRUE(hostPackets.empty());
    HostRuleFlags = RuleCarReset;
    car.lastPositionTick = 0;
    SendPositionPacket(car, 1);
    ASSERT_EQ(hostPackets.size(), 1u);
    EXPECT_EQ(hostPackets[0][0], MP_CAR_RESET);
    EXPECT_EQ(hostPackets[0][1], 11);
    // A car without a slot sends nothing.
    CarObject loose;
    loose.progressNode = 3;
    loose.stepCount = 1000;
    loose.lastPositionTick = 0;
    loose.speed = 0.0f;
    hostPackets.clear();
    SendPositionPacket(loose, 1);
    EXPECT_TRUE(hostPackets.empty());
}

// Live settings of a car driven elsewhere: balance and stiffness taken into
// the car and its set-up; a balance outside 5..95 or a stiffness that is
// not a finite, non-negative number leaves everything as it was; a car
// driven here is not changed.
TEST_F(RacePacketsTest, LiveSettings)
{
    CarSetup setup{};
    setup.brakeBalance = 60;
    setup.axles[0].antiRoll = 1000.0f;
    setup.axles[1].antiRoll = 2000.0f;
    CarObject &car = *first->car;
    car.setup = &setup;
    car.isRemote = 1;
    auto packet = [](uint8_t balance, float rear, float front) {
        Packet p(16, 0);
        p[0] = MP_GAME_69;
        p[1] = 11;
        p[4] = balance;
        std::memcpy(&p[8], &rear, 4);
        std::memcpy(&p[12], &front, 4);
        return p;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        Packet p;
        uint8_t balance;
        float rear;
    } cases[] = {
        {packet(70, 1500.0f, 2500.0f), 70, 1500.0f},
        {packet(96, 1600.0f, 2500.0f), 70, 1500.0f},
        {packet(4, 1600.0f, 2500.0f), 70, 1500.0f},
        {packet(50, nan, 2500.0f), 70, 1500.0f},
        {packet(50, 1600.0f, inf), 70, 1500.0f},
        {packet(50, -1.0f, 2500.0f), 70, 1500.0f},
        {packet(55, 0.0f, 0.0f), 55, 0.0f},
    };
    for (const Case &c : cases) {
        HandleLiveSettings(0, c.p.data(), 16);
        EXPECT_EQ(setup.brakeBalance, c.balance);
        EXPECT_EQ(car.packetBrakeBalance, c.balance);
        EXPECT_EQ(setup.axles[0].antiRoll, c.rear);
        EXPECT_EQ(car.packetAntiRoll[0], c.rear);
    }
    car.isRemote = 0;
    HandleLiveSettings(0, packet(80, 10.0f, 10.0f).data(), 16);
    EXPECT_EQ(setup.brakeBalance, 55);
    car.setup = nullptr;
}

// Switch bits set and cleared, the race control text for one car or all,
// and the state byte of a car driven elsewhere; each with its InSim report.
// Unknown players, slots without a car and short packets change nothing.
TEST_F(RacePacketsTest, SwitchesTextAndStateByte)
{
    static std::vector<Packet> reports;
    reports.clear();
    RaceLinks.inSimCarSwitches = [](uint8_t id, const uint8_t bytes[3]) {
        reports.push_back({70, id, bytes[0], bytes[1], bytes[2]});
    };
    RaceLinks.inSimCarState = [](uint8_t id, int state) { reports.push_back({81, id, uint8_t(state)}); };
    CarObject &car = *first->car;

    struct Case {
        Packet p;
        int length;
        uint8_t bits;
    } cases[] = {
        {{70, 11, 0x81, 12}, 4, 0x01},  // blue flag on
        {{70, 11, 0x82, 0}, 4, 0x03},   // yellow flag on
        {{70, 11, 0x01, 0}, 4, 0x02},   // blue flag off
        {{70, 11, 0xf0, 0}, 4, 0x02},   // no bits named
        {{70, 11, 0x8f, 0}, 3, 0x02},   // short
        {{70, 99, 0x8f, 0}, 4, 0x02},   // unknown player
    };
    for (const Case &c : cases) {
        HandleCarSwitches(0, c.p.data(), c.length);
        EXPECT_EQ(car.switchBits, c.bits) << int(c.p[2]);
    }
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0], (Packet{70, 11, 11, 0x81, 12}));

    Packet text(68, 0);
    text[0] = MP_CAR_TEXT;
    text[1] = 12;
    std::memset(&text[4], 'x', 64);  // no terminator: the last byte becomes 0
    HandleCarText(0, text.data(), 68);
    EXPECT_EQ(std::string(second->car->raceControlText), std::string(63, 'x'));
    EXPECT_EQ(first->car->raceControlText[0], 0);
    text[1] = 0;
    std::memcpy(&text[4], "ALL\0", 4);
    HandleCarText(0, text.data(), 67);  // short
    EXPECT_EQ(first->car->raceControlText[0], 0);
    HandleCarText(0, text.data(), 68);
    EXPECT_STREQ(first->car->raceControlText, "ALL");
    EXPECT_STREQ(second->car->raceControlText, "ALL");

    reports.clear();
    const Packet state = {81, 11, 9, 0};
    HandleCarState(0, state.data(), 4);  // driven here: not taken
    EXPECT_EQ(car.remoteStateByte, 0);
    car.isRemote = 1;
    HandleCarState(0, state.data(), 4);
    EXPECT_EQ(car.remoteStateByte, 9);
    EXPECT_EQ(reports, std::vector<Packet>{(Packet{81, 11, 9})});
    car.isRemote = 0;
    RaceLinks.inSimCarSwitches = nullptr;
    RaceLinks.inSimCarState = nullptr;
}

// The timing and penalty handlers report to the InSim guests and, for a
// human's times while the master link is up, to the master's table.
TEST_F(RacePacketsTest, InSimAndMasterReports)
{
    static std::vector<std::string> seen;
    seen.clear();
    RaceLinks.inSimSplit = [](uint8_t id, int split, uint32_t time, uint32_t total) {
        seen.push_back("split " + std::to_string(id) + " " + std::to_string(split) + " " + std::to_string(time) +
                       " " + std::to_string(total));
    };
    RaceLinks.inSimLap = [](uint8_t id, uint32_t time, uint32_t total, int laps) {
        seen.push_back("lap " + std::to_string(id) + " " + std::to_string(time) + " " + std::to_string(total) + " " +
                       std::to_string(laps));
    };
    RaceLinks.inSimPenalty = [](uint8_t id, int from, int to, int reason) {
        seen.push_back("pen " + std::to_string(id) + " " + std::to_string(from) + " " + std::to_string(to) + " " +
                       std::to_string(reason));
    };
    RaceLinks.inSimTimePenalty = [](uint8_t id, int seconds, int kind) {
        seen.push_back("tpen " + std::to_string(id) + " " + std::to_string(seconds) + " " + std::to_string(kind));
    };
    RaceLinks.masterLinkUp = [] { return 1; };
    RaceLinks.masterTimeReport = [](uint8_t id, int line, uint32_t time) {
        seen.push_back("master " + std::to_string(id) + " " + std::to_string(line) + " " + std::to_string(time));
    };
    first->car->raceTime = 1000;
    Packet split = {MP_SPLIT_TIME, 11, 1, 0, 0, 0, 0, 0};
    const uint32_t splitTime = 2500;
    std::memcpy(&split[4], &splitTime, 4);
    HandleSplitTime(0, split.data(), 8);
    HandleLapTime(0, Lap(11, 1, 6000, 6000).data(), 12);
    const Packet penalty = {MP_PENALTY, 11, 5, 0};
    HandlePenalty(0, penalty.data(), 4);
    const Packet timePenalty = {MP_TIME_PENALTY, 11, 45, 2};
    HandleTimePenalty(0, timePenalty.data(), 4);
    // An AI driver's times do not go to the master.
    second->info.kind = KindLocalAi;
    HandleLapTime(0, Lap(12, 1, 7000, 7000).data(), 12);
    const std::vector<std::string> expected = {
        "master 11 2 2500", "split 11 1 2500 3500", "master 11 1 6000", "lap 11 6000 6000 1",
        "pen 11 0 5 0",     "tpen 11 45 2",         "lap 12 7000 7000 1"};
    EXPECT_EQ(seen, expected);
    RaceLinks = RaceLinkServices{};
}
