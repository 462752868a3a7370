#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"

namespace {

using Packet = std::vector<uint8_t>;

// One race slot (slot 0) whose car is the test's car, on a connection of
// its own, with every packet and connection change recorded.
struct FakeNet {
    CarObject *car = nullptr;
    uint8_t slotBytes[4] = {};
    uint8_t kind = 0;
    int connection = 2;
    int connections = 4;
    int admin = 0;
    int autoKick = 0;
    uint32_t rules = 0;
    int online = 1;
    std::vector<Packet> toHost, toAll, toConnection;
    std::vector<int> leaving, bans, events;
};

FakeNet net;

PlayerSlot *Slot() {
    return reinterpret_cast<PlayerSlot *>(net.slotBytes);
}

void Install(CarObject *car) {
    net = FakeNet();
    net.car = car;
    VehicleRaceHooks = {};
    VehicleRaceHooks.slotCount = [] { return 1; };
    VehicleRaceHooks.slotCar = [](int) { return net.car; };
    RaceServices = {};
    RaceServices.slotRecord = [](int) { return Slot(); };
    RaceServices.playerId = [](const PlayerSlot *) { return uint8_t{9}; };
    RaceServices.sendReliableToHost = [](const uint8_t *b, int n) { net.toHost.emplace_back(b, b + n); };
    RaceServices.isOnline = [] { return net.online; };
    CarNetwork = {};
    CarNetwork.hostRuleFlags = [] { return net.rules; };
    CarNetwork.autoKick = [] { return net.autoKick; };
    CarNetwork.slotKind = [](const PlayerSlot *) { return net.kind; };
    CarNetwork.slotConnection = [](const PlayerSlot *) { return net.connection; };
    CarNetwork.connectionCount = [] { return net.connections; };
    CarNetwork.connectionIsAdmin = [](int) { return net.admin; };
    CarNetwork.setConnectionLeaving = [](int c, uint8_t r) { net.leaving.push_back(c * 100 + r); };
    CarNetwork.imposeShortBan = [](int c) { net.bans.push_back(c); };
    CarNetwork.sendReliableToAll = [](const uint8_t *b, int n) { net.toAll.emplace_back(b, b + n); };
    CarNetwork.sendReliableToConnection = [](int c, const char *label, const uint8_t *b, int n) {
        EXPECT_STREQ(label, "WARN");
        EXPECT_EQ(c, net.connection);
        net.toConnection.emplace_back(b, b + n);
    };
    CarNetwork.sendCarEvent = [](CarObject *, int code) { net.events.push_back(code); };
}

struct CarWrongWayTest : ::testing::Test {
    CarObject car;
    void SetUp() override {
        Install(&car);
        car.wrongWayCount = 0;
        car.gear = 1;
        car.inputs[1] = 0;
        car.dryMass = 1000.0f;
    }
    void TearDown() override {
        VehicleRaceHooks = {};
        RaceServices = {};
        CarNetwork = {};
    }
    // Backward passes until the count reaches `count`; the passes made.
    int PassUntil(uint32_t count) {
        int passes = 0;
        while (car.wrongWayCount < count) {
            car.CheckWrongWay();
            passes++;
        }
        return passes;
    }
};

} // namespace

TEST_F(CarWrongWayTest, NeutralWarnsAt15And45ActsAt60) {
    net.autoKick = 1;
    EXPECT_EQ(PassUntil(14), 14);
    EXPECT_TRUE(net.toConnection.empty());
    car.CheckWrongWay();
    ASSERT_EQ(net.toConnection.size(), 1u);
    EXPECT_EQ(net.toConnection[0], (Packet{68, 9, 0, 2}));
    PassUntil(45);
    ASSERT_EQ(net.toConnection.size(), 2u);
    EXPECT_EQ(net.toConnection[1], (Packet{68, 9, 1, 2}));
    EXPECT_TRUE(net.toAll.empty());
    PassUntil(60);
    EXPECT_EQ(net.toConnection.size(), 2u);
    ASSERT_EQ(net.toAll.size(), 1u);
    EXPECT_EQ(net.toAll[0], (Packet{68, 9, 1, 2}));
    EXPECT_EQ(net.leaving, std::vector<int>{203});
    // Past the limit nothing more happens.
    PassUntil(80);
    EXPECT_EQ(net.toAll.size(), 1u);
}

TEST_F(CarWrongWayTest, ThrottleInGearCountsFaster) {
    const struct {
        uint8_t gear;
        uint16_t throttle;
        uint32_t from, to;
        int notices;
        uint8_t action;
    } cases[] = {
        {3, 65535, 12, 18, 1, 0},   // one warning
        {3, 65535, 42, 48, 1, 1},   // the second notice, the slot's action
        {3, 16385, 0, 6, 0, 0},
        {3, 16384, 0, 3, 0, 0},
        {3, 2049, 0, 3, 0, 0},
        {3, 2048, 0, 1, 0, 0},
        {0, 65535, 0, 6, 0, 0},     // reverse counts as in gear
        {1, 65535, 14, 15, 1, 0},   // neutral counts 1 whatever the throttle
    };
    for (const auto &c : cases) {
        Install(&car);
        net.autoKick = 1;
        net.connection = 0;   // the host's own car: notices go to the host
        car.gear = c.gear;
        car.inputs[1] = c.throttle;
        car.wrongWayCount = c.from;
        car.CheckWrongWay();
        EXPECT_EQ(car.wrongWayCount, c.to) << int(c.gear) << " " << c.throttle << " " << c.from;
        ASSERT_EQ(net.toHost.size(), static_cast<size_t>(c.notices));
        if (c.notices == 1) {
            EXPECT_EQ(net.toHost[0][2], c.action);
        }
    }
}

TEST_F(CarWrongWayTest, CruiseRuleAndMissingSlot) {
    net.rules = RuleCruise;
    car.wrongWayCount = 14;
    car.CheckWrongWay();
    EXPECT_EQ(car.wrongWayCount, 14u);

    Install(&car);
    VehicleRaceHooks.slotCar = [](int) { return static_cast<CarObject *>(nullptr); };
    car.wrongWayCount = 59;
    car.CheckWrongWay();
    EXPECT_EQ(car.wrongWayCount, 60u);
    EXPECT_TRUE(net.toAll.empty());
    EXPECT_TRUE(net.toConnection.empty());
    EXPECT_TRUE(net.toHost.empty());
}

TEST_F(CarWrongWayTest, ActionsSpareSpectatorsAndAdmins) {
    const struct {
        uint8_t kind;
        int autoKick, admin, connection;
        uint8_t sentAction;
        std::vector<int> leaving, bans, events;
    } cases[] = {
        {0, 0, 0, 2, 0, {}, {}, {}},          // no action
        {0, 1, 0, 2, 1, {203}, {}, {}},       // kick
        {0, 2, 0, 2, 2, {204}, {2}, {}},      // ban
        {0, 3, 0, 2, 3, {}, {}, {0}},         // spectate
        {2, 1, 0, 2, 3, {}, {}, {0}},         // a computer driver always spectates
        {3, 2, 0, 2, 3, {}, {}, {0}},
        {0, 1, 1, 2, 1, {}, {}, {}},          // an admin is never kicked
        {0, 2, 1, 2, 2, {}, {}, {}},          // nor banned
        {0, 2, 0, 4, 2, {}, {}, {}},          // a connection beyond the count
    };
    for (const auto &c : cases) {
        Install(&car);
        net.kind = c.kind;
        net.autoKick = c.autoKick;
        net.admin = c.admin;
        net.connection = c.connection;
        car.WrongWayAction();
        ASSERT_EQ(net.toAll.size(), 1u);
        EXPECT_EQ(net.toAll[0], (Packet{68, 9, c.sentAction, 2}));
        EXPECT_EQ(net.leaving, c.leaving) << int(c.kind) << " " << c.autoKick << " " << c.admin;
        EXPECT_EQ(net.bans, c.bans);
        EXPECT_EQ(net.events, c.events);
    }
}

TEST_F(CarWrongWayTest, DistanceUpdate) {
    const struct {
        int32_t odometer, fuelUsed;
        uint8_t statisticSent, kind;
        int online;
        Packet sent;   // empty: nothing sent
        bool cleared;
    } cases[] = {
        {5000 << 16, 0, 0, 0, 1, {48, 0, 0xFE, 0xFF}, true},    // sent as 65534
        {2 << 16, 0, 0, 0, 1, {}, true},                        // 2 m lost
        {2 << 16, 0, 1, 0, 1, {48, 0, 2, 0}, true},             // after a statistic
        {3 << 16, 1 << 16, 0, 0, 1, {48, 1, 3, 0}, true},       // fuel used
        {4 << 16, 0, 0, 0, 1, {48, 0, 4, 0}, true},
        {2047 << 16, 0, 0, 0, 1, {48, 0, 0xFF, 0x07}, true},
        {65535 << 16, 0, 0, 0, 1, {48, 0, 0xFF, 0xFF}, true},   // 65535 kept
        {(65536 + 7) << 16, 0, 0, 0, 1, {48, 0, 7, 0}, true},   // metres kept to 16 bits
        {500 << 16, 256 << 16, 0, 0, 1, {48, 0, 0xF4, 0x01}, true},   // fuel to 8 bits
        {500 << 16, 0, 0, 2, 1, {}, false},                     // not a local player
        {500 << 16, 0, 0, 0, 0, {}, false},                     // offline
    };
    for (const auto &c : cases) {
        Install(&car);
        net.kind = c.kind;
        net.online = c.online;
        car.odometer = c.odometer;
        car.fuelUsed = c.fuelUsed;
        car.statisticSent = c.statisticSent;
        car.SendDistanceUpdate(Slot());
        if (c.sent.empty()) {
            EXPECT_TRUE(net.toHost.empty()) << c.odometer;
        } else {
            ASSERT_EQ(net.toHost.size(), 1u) << c.odometer;
            EXPECT_EQ(net.toHost[0], c.sent) << c.odometer;
            EXPECT_EQ(car.statisticSent, 0);
        }
        EXPECT_EQ(car.odometer == 0 && car.fuelUsed == 0, c.cleared) << c.odometer;
    }
}

TEST_F(CarWrongWayTest, PlayerOptionsByGearbox) {
    const struct {
        int kind;
        uint8_t byte34, byte35;
        int result;
        bool gears, cut, blip, clutch, help;
    } cases[] = {
        {5, 0, 0, 1, false, true, true, true, false},
        {7, 0, 0, 1, false, true, true, true, false},
        {1, 0x08, 0, 1, true, true, true, true, false},
        {1, 0, 0, 0, false, false, false, false, false},
        {1, 0, 0x02, 0, false, false, false, true, false},   // the clutch option alone
        {2, 0x08, 0, 1, true, true, false, true, false},
        {3, 0x48, 0, 1, true, true, false, true, true},
        {4, 0x08, 0, 1, true, false, false, true, false},
        {4, 0x40, 0, 0, false, false, false, false, true},
    };
    for (const auto &c : cases) {
        uint8_t record[64] = {};
        record[34] = c.byte34;
        record[35] = c.byte35;
        car.gearboxKind = c.kind;
        car.autoCut = car.autoBlip = 7;
        EXPECT_EQ(car.ApplyPlayerOptions(record) != 0, c.result != 0) << c.kind << " " << int(c.byte34);
        EXPECT_EQ(car.autoGears != 0, c.gears) << c.kind;
        EXPECT_EQ(car.autoCut != 0, c.cut) << c.kind;
        EXPECT_EQ(car.autoBlip != 0, c.blip) << c.kind;
        EXPECT_EQ(car.autoClutch != 0, c.clutch) << c.kind;
        EXPECT_EQ(car.brakeHelp != 0, c.help) << c.kind;
    }
}
