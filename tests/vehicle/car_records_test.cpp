#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "car_model_fixture.h"
#include "core/colour.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/car_records.h"
#include "vehicle/fix_convert.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"

namespace {

constexpr float Pi = 3.14159265f;

// The hand-built car with its set-up applied and a 60 litre tank.
struct RecordCar : ModelCar {
    RecordCar() {
        car.SetUpModel(0);
        car.tankSize = 60.0f;
        car.Reset(0.0f, 0, 1);
    }
};

class CarRecordsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTyreCurves(); }
};

std::vector<uint8_t> Packed(const CarObject &car, uint8_t id = 9) {
    std::vector<uint8_t> bytes(sizeof(ConditionRecord));
    car.PackConditionRecord(bytes.data(), id);
    return bytes;
}

ConditionRecord Decoded(const std::vector<uint8_t> &bytes) {
    ConditionRecord record;
    std::memcpy(&record, bytes.data(), sizeof(record));
    return record;
}

// --- Condition record ---

// A worn, damaged car packed and applied to a fresh one: the second car
// packs the same bytes, and its damage, tread and fuel follow the first.
TEST_F(CarRecordsTest, ConditionRecordCarriesTheCarToASecondCar) {
    RecordCar a;
    CarObject &car = a.car;
    car.engine.condition = 0.6f;
    car.engine.clutchHeat = 0.2f;
    car.fuel = 45.0f;
    CarWheel *w = car.wheels;
    const float r = car.axles[0].outerRadius;
    w[0].springState = 2;
    w[0].travelDamage = 0.01f * r;
    w[1].upperArmState = 2;
    w[1].upperArmDamage = 0.05f;
    w[1].lowerArmState = 3;
    w[1].lowerArmDamage = 0.333f * car.axles[0].firstArmLength;
    w[2].toeState = 2;
    w[2].toe = -0.1f;
    w[3].flat = 1;
    w[3].treadBytes[1] = 2;
    w[3].dirtByte = 5;
    w[2].temperatureBytes[0] = 60;
    w[2].temperatureBytes[3] = 10;
    w[2].temperatureBytes[6] = 40;
    const std::vector<uint8_t> sent = Packed(car);

    const ConditionRecord record = Decoded(sent);
    EXPECT_EQ(record.kind, 2);
    EXPECT_EQ(record.id, 9);
    EXPECT_EQ(record.engineWear[0], 153);   // 0.6 x 255
    EXPECT_EQ(record.engineWear[1], 51);
    EXPECT_EQ(record.fuel, 191);            // 0.75 x 255 = 191.25
    EXPECT_EQ(record.wheels[0].travelDamage, 85);  // a third of the limit
    EXPECT_EQ(record.wheels[1].lowerArmDamage, 255);
    EXPECT_EQ(record.wheels[2].toe, static_cast<int8_t>(std::lround(-0.1f * 127.0f / (Pi / 8.0f))));
    EXPECT_EQ(record.wheels[3].heatWord >> 31, 1u);
    EXPECT_EQ((record.wheels[3].treadWord >> 21) & 7u, 2u);
    EXPECT_EQ((record.wheels[3].treadWord >> 27) & 7u, 5u);
    EXPECT_EQ(record.zero[0] | record.zero[1] | record.zero[2], 0);

    RecordCar b;
    ASSERT_EQ(b.car.ApplyConditionRecord(sent.data()), 1);
    EXPECT_EQ(Packed(b.car), sent);
    EXPECT_NEAR(b.car.fuel, 191.0f * 60.0f / 255.0f, 1e-4f);
    const CarWheel *v = b.car.wheels;
    EXPECT_EQ(v[0].springState, 1);
    EXPECT_NEAR(v[0].travelDamage, 0.03f * r * 85.0f / 255.0f, 1e-7f);
    EXPECT_EQ(v[1].upperArmState, 1);
    EXPECT_EQ(v[1].lowerArmState, 3);
    EXPECT_EQ(v[2].toeState, 1);
    EXPECT_NEAR(v[2].toe, -0.1f, 0.002f);
    EXPECT_EQ(v[3].flat, 1);
    EXPECT_EQ(v[3].dirtByte, 5);
    EXPECT_NEAR(v[3].tread[0].dirt, 5.0f * 0.16f / 7.0f, 1e-7f);
    EXPECT_NEAR(v[3].tread[0].sections[1].thickness, 0.03f * r * (0.3f + 0.7f * 2.0f / 7.0f), 1e-7f);
    EXPECT_EQ(v[2].temperatureBytes[0], 60);
    EXPECT_EQ(v[0].springRate, car.setup->axles[0].springStiffness);
}

// Byte 0 = 255 breaks the wheel's suspension; a later 0 mends it with the
// set-up's springs. Toe 127 is broken steering; 0 takes the set-up's toe.
TEST_F(CarRecordsTest, ConditionRecordBreaksAndMendsAWheel) {
    RecordCar a;
    CarObject &car = a.car;
    std::vector<uint8_t> bytes = Packed(car);
    ConditionRecord record = Decoded(bytes);
    record.wheels[1].travelDamage = 255;
    record.wheels[1].toe = 127;
    std::memcpy(bytes.data(), &record, sizeof(record));
    ASSERT_EQ(car.ApplyConditionRecord(bytes.data()), 1);
    EXPECT_EQ(car.wheels[1].springState, 3);
    EXPECT_EQ(car.wheels[1].springRate, 0.0f);
    EXPECT_EQ(car.wheels[1].bumpDamping, 0.0f);
    EXPECT_EQ(car.wheels[1].toeState, 3);
    EXPECT_NEAR(car.wheels[1].toe, Pi / 8.0f, 1e-6f);

    record.wheels[1].travelDamage = 0;
    record.wheels[1].toe = 0;
    std::memcpy(bytes.data(), &record, sizeof(record));
    ASSERT_EQ(car.ApplyConditionRecord(bytes.data()), 1);
    const CarSetupAxle &s = car.setup->axles[car.wheels[1].axleIndex];
    EXPECT_EQ(car.wheels[1].springState, 0);
    EXPECT_EQ(car.wheels[1].travelDamage, 0.0f);
    EXPECT_EQ(car.wheels[1].springRate, s.springStiffness);
    EXPECT_EQ(car.wheels[1].bumpDamping, s.bumpDamping);
    EXPECT_EQ(car.wheels[1].reboundDamping, s.reboundDamping);
    EXPECT_EQ(car.wheels[1].toeState, 0);
    EXPECT_FLOAT_EQ(car.wheels[1].toe, (s.toe - 9) * Pi * 0.005f / 9.0f);
}

// A temperature level one step from the stored one is ignored; two steps
// set the heat from the level's temperature.
TEST_F(CarRecordsTest, ConditionRecordTemperatureNeedsTwoLevels) {
    RecordCar a;
    CarObject &car = a.car;
    CarWheel &wheel = car.wheels[0];
    const uint8_t stored = wheel.temperatureBytes[3];
    ASSERT_GE(stored, 2);
    const float air = wheel.airHeat;
    const float rim = wheel.rimHeat;
    std::vector<uint8_t> bytes = Packed(car);
    ConditionRecord record = Decoded(bytes);
    const struct {
        int airStep, rimStep;
    } cases[] = {{1, -1}, {-1, 1}, {2, -2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.airStep);
        record.wheels[0].heatWord = (record.wheels[0].heatWord & ~63u) | static_cast<uint32_t>(stored + c.airStep);
        const uint32_t rimLevel = static_cast<uint32_t>(wheel.temperatureBytes[6] + c.rimStep);
        record.wheels[0].treadWord = (record.wheels[0].treadWord & ~63u) | rimLevel;
        std::memcpy(bytes.data(), &record, sizeof(record));
        ASSERT_EQ(car.ApplyConditionRecord(bytes.data()), 1);
        if (c.airStep == 2) {
            const float T = 293.15f + 180.0f * static_cast<float>(stored + 2) / 63.0f;
            EXPECT_EQ(wheel.temperatureBytes[3], stored + 2);
            EXPECT_FLOAT_EQ(wheel.airHeat, wheel.airMass * 1005.0f * T);
            const float Tr = 293.15f + 180.0f * static_cast<float>(rimLevel) / 63.0f;
            EXPECT_FLOAT_EQ(wheel.rimHeat, car.axles[wheel.axleIndex].rimVolume * 1000.0f * 2700.0f * Tr);
        } else {
            EXPECT_EQ(wheel.temperatureBytes[3], stored);
            EXPECT_EQ(wheel.airHeat, air);
            EXPECT_EQ(wheel.rimHeat, rim);
        }
    }
}

// Worn tread keeps its heat per metre of thickness.
TEST_F(CarRecordsTest, ConditionRecordTreadLevelScalesTheBulkHeat) {
    RecordCar a;
    CarObject &car = a.car;
    TreadSection &section = car.wheels[2].tread[0].sections[0];
    const float thickness = section.thickness;
    const float heat = section.bulkHeat;
    std::vector<uint8_t> bytes = Packed(car);
    ConditionRecord record = Decoded(bytes);
    record.wheels[2].treadWord &= ~(7u << 24);   // section 0 worn through: level 0
    std::memcpy(bytes.data(), &record, sizeof(record));
    ASSERT_EQ(car.ApplyConditionRecord(bytes.data()), 1);
    EXPECT_EQ(car.wheels[2].treadBytes[0], 0);
    EXPECT_FLOAT_EQ(section.thickness, thickness * 0.3f);
    EXPECT_FLOAT_EQ(section.bulkHeat, heat * (section.thickness / thickness));
}

// A record of another kind leaves the car as it was.
TEST_F(CarRecordsTest, ConditionRecordOfAnotherKindIsRefused) {
    RecordCar a;
    CarObject &car = a.car;
    RecordCar b;
    b.car.fuel = 50.0f;
    b.car.wheels[0].springState = 3;
    std::vector<uint8_t> bytes = Packed(b.car);
    bytes[0] = 3;
    const std::vector<uint8_t> before = Packed(car);
    const float fuel = car.fuel;
    EXPECT_EQ(car.ApplyConditionRecord(bytes.data()), 0);
    EXPECT_EQ(Packed(car), before);
    EXPECT_EQ(car.fuel, fuel);
}

// A received damage record naming a point the car lacks, or of magnitude 0
// (the zero fill behind a damage list), is refused and stores nothing.
TEST_F(CarRecordsTest, ReceivedDamageRecordsNamingNoDentAreRefused) {
    RecordCar a;
    CarObject &car = a.car;
    CollisionPoint points[3] = {};
    car.pointCount = 3;
    car.points = points;
    const struct {
        const char *name;
        uint8_t point, magnitude;
        int stored;
    } rows[] = {
        {"point index at the point count", 3, 200, 0},
        {"point index 255", 255, 200, 0},
        {"magnitude 0", 1, 0, 0},
        {"all zero", 0, 0, 0},
        {"last point, weakest dent", 2, 1, 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        uint8_t before[CarDamageRecords][4];
        std::memcpy(before, car.damageRecords, sizeof(before));
        const int count = car.damageCount;
        const uint8_t record[4] = {row.point, row.magnitude, 0x00, 0x78};
        EXPECT_EQ(car.AddDamageRecord(record), row.stored);
        EXPECT_EQ(car.damageCount, count + row.stored);
        if (row.stored == 0) {
            EXPECT_EQ(std::memcmp(before, car.damageRecords, sizeof(before)), 0);
        }
    }
    car.ClearGeometry();
}

// --- Race-state record ---

uint8_t Countdown = 0;

struct CountdownRace {
    CarRaceServices saved = RaceServices;
    explicit CountdownRace(uint8_t seconds) {
        Countdown = seconds;
        RaceServices.startCountdown = [] { return Countdown; };
    }
    ~CountdownRace() { RaceServices = saved; }
};

std::vector<uint8_t> RaceState(uint8_t penalty, int32_t startOffset) {
    RaceStateRecord record = {1, penalty, 4, 2, 517, {12, 255}, 98765, startOffset};
    std::vector<uint8_t> bytes(sizeof(record));
    std::memcpy(bytes.data(), &record, sizeof(record));
    return bytes;
}

TEST_F(CarRecordsTest, RaceStateRecordSetsTheFieldsAndTheLapStart) {
    CountdownRace race(7);
    CarObject car;
    const std::vector<uint8_t> bytes = RaceState(6, 300);
    EXPECT_EQ(car.ApplyRaceStateRecord(bytes.data()), 300u + 700u);
    EXPECT_EQ(car.lapStartTick, 1000u);
    EXPECT_EQ(car.resultRecorded, 1);
    EXPECT_EQ(car.penalty, 6);
    EXPECT_EQ(car.startByte, 4);
    EXPECT_EQ(car.secondCount, 2);
    EXPECT_EQ(car.confirmedLaps, 517);
    EXPECT_EQ(car.takeOverIds[0], 12);
    EXPECT_EQ(car.takeOverIds[1], 255);
    EXPECT_EQ(car.raceTimeWord, 98765);
    EXPECT_EQ(car.startOffset, 300);
}

// A penalty beyond the pit lane's table (0..6) is refused whole.
TEST_F(CarRecordsTest, RaceStateRecordWithAnUnknownPenaltyChangesNothing) {
    CountdownRace race(7);
    CarObject car;
    car.lapStartTick = 42;
    for (const uint8_t penalty : {7, 255}) {
        SCOPED_TRACE(static_cast<int>(penalty));
        const std::vector<uint8_t> bytes = RaceState(penalty, 300);
        EXPECT_EQ(car.ApplyRaceStateRecord(bytes.data()), 42u);
        EXPECT_EQ(car.penalty, 0);
        EXPECT_EQ(car.confirmedLaps, 0);
        EXPECT_EQ(car.startOffset, 0);
        EXPECT_EQ(car.raceTimeWord, -1);
        EXPECT_EQ(car.takeOverIds[0], 255);
    }
}

// --- Race (re)start and repair ---

// Whatever the last race left, a restart gives a whole, empty car with its
// timing armed for the first line.
TEST_F(CarRecordsTest, ResetRaceStateLeavesAFreshCar) {
    for (const uint32_t remote : {0u, 1u}) {
        SCOPED_TRACE(remote);
        RecordCar a;
        CarObject &car = a.car;
        car.isRemote = remote;
        car.aidFlags = 1;
        car.setup->flags = 0;
        car.fuel = 30.0f;
        car.penalty = 3;
        car.lapsDone = 12;
        car.confirmedLaps = 11;
        car.finished = 1;
        car.raceTimeWord = 5000;
        car.takeOverIds[0] = 4;
        car.wrongWayCount = 40;
        car.engine.condition = 0.3f;
        car.damageCount = 3;
        for (int i = 0; i < car.wheelCount; i++) {
            car.wheels[i].treadBytes[1] = 6;
            car.wheels[i].BreakSuspension();
            car.wheels[i].toeState = 3;
            car.wheels[i].toe = 0.2f;
        }
        car.ResetRaceState();

        EXPECT_EQ(car.timingArmed, 1);
        EXPECT_EQ(car.nextLine, 1);
        EXPECT_EQ(car.raceTimeWord, -1);
        EXPECT_EQ(car.penalty, 0);
        EXPECT_EQ(car.lapsDone, 0);
        EXPECT_EQ(car.confirmedLaps, 0);
        EXPECT_EQ(car.finished, 0);
        EXPECT_EQ(car.takeOverIds[0], 255);
        EXPECT_EQ(car.takeOverIds[1], 255);
        EXPECT_EQ(car.tcOff, 1);
        EXPECT_EQ(car.remotePhase, remote ? -1 : 0);
        EXPECT_EQ(car.fuel, 0.0f);
        EXPECT_EQ(car.wrongWayCount, 0u);
        EXPECT_EQ(car.engine.condition, 1.0f);
        EXPECT_EQ(car.damageCount, 0);
        const CarSetupAxle &s = car.setup->axles[0];
        for (int i = 0; i < car.wheelCount; i++) {
            SCOPED_TRACE(i);
            const CarWheel &wheel = car.wheels[i];
            EXPECT_EQ(wheel.treadBytes[1], 7);   // every tyre renewed
            EXPECT_EQ(wheel.springState, 0);
            EXPECT_EQ(wheel.springRate, car.setup->axles[wheel.axleIndex].springStiffness);
            EXPECT_EQ(wheel.toeState, 0);
            EXPECT_FLOAT_EQ(wheel.toe, (s.toe - 9) * Pi * 0.005f / 9.0f);
        }
    }
}

// Traction control starts off only when fitted and not asked for by the
// set-up.
TEST_F(CarRecordsTest, InitialTcOff) {
    RecordCar a;
    CarObject &car = a.car;
    const struct {
        uint32_t aidFlags;
        uint8_t setupFlags;
        bool withSetup;
        int expected;
    } cases[] = {
        {1, 0, true, 1},
        {1, SetupTractionControl, true, 0},
        {0, 0, true, 0},
        {1, 0, false, 0},
    };
    CarSetup *setup = car.setup;
    for (const auto &c : cases) {
        car.aidFlags = c.aidFlags;
        setup->flags = c.setupFlags;
        car.setup = c.withSetup ? setup : nullptr;
        EXPECT_EQ(car.InitialTcOff(), c.expected) << c.aidFlags << " " << int(c.setupFlags) << " " << c.withSetup;
    }
    car.setup = setup;
}

// A repair at a wear limit renews only the tyres worn at it; a flat tyre
// counts as worn. SetAxleFlat flattens one axle.
TEST_F(CarRecordsTest, RepairRenewsTheTyresWornAtTheLimit) {
    RecordCar a;
    CarObject &car = a.car;
    car.SetAxleFlat(1);
    for (int i = 0; i < car.wheelCount; i++)
        EXPECT_EQ(car.wheels[i].flat, car.wheels[i].axleIndex == 1 ? 1 : 0) << i;
    for (int i = 0; i < car.wheelCount; i++)
        car.wheels[i].flat = 0;

    for (int i = 0; i < car.wheelCount; i++)
        car.wheels[i].tread[4].sections[0].thickness = 0.001f;
    car.wheels[0].treadBytes[0] = 3;   // worn at 50 %: 3 <= round(50 x 0.07) = 4
    car.wheels[1].treadBytes[0] = 5;   // not
    car.wheels[2].flat = 1;
    car.wheels[3].treadBytes[2] = 6;
    car.wheels[3].temperatureBytes[0] = 50;
    car.engine.condition = 0.5f;
    car.Repair(50, 0);
    const float fresh = 0.03f * car.axles[0].outerRadius;
    EXPECT_EQ(car.wheels[0].treadBytes[0], 7);
    EXPECT_FLOAT_EQ(car.wheels[0].tread[4].sections[0].thickness, fresh);
    EXPECT_EQ(car.wheels[1].treadBytes[0], 5);
    EXPECT_EQ(car.wheels[1].tread[4].sections[0].thickness, 0.001f);
    EXPECT_EQ(car.wheels[2].flat, 0);
    EXPECT_FLOAT_EQ(car.wheels[2].tread[4].sections[0].thickness, 0.03f * car.axles[1].outerRadius);
    EXPECT_EQ(car.wheels[3].treadBytes[2], 6);
    EXPECT_EQ(car.wheels[3].temperatureBytes[0], 50);
    EXPECT_EQ(car.engine.condition, 0.5f);   // the engine only with resetEngine

    car.wheels[1].treadBytes[0] = 4;
    car.RenewWornTyres(50);
    EXPECT_EQ(car.wheels[1].treadBytes[0], 7);
    EXPECT_EQ(car.wheels[3].treadBytes[2], 6);
}

// --- Reset requests ---

// A straight path of 100 nodes 10 m apart up the y axis: road -5..5 m,
// drivable -10..10 m, every node at z = 2 m.
constexpr int PathNodes = 100;
constexpr float NodeSpacing = 10.0f;
bool PathClosed = true;
CarObject *SlotCars[4] = {};
int SlotNodes[4] = {};
uint8_t SlotBytes[4][8] = {};
std::vector<std::pair<std::string, int>> Printed;
std::vector<int> Sounds;

int NodeOfCar(const CarObject *car) {
    for (int i = 0; i < 4; i++)
        if (SlotCars[i] == car)
            return SlotNodes[i];
    return -1;
}

struct ResetRace {
    CarRaceServices savedServices = RaceServices;
    RaceHooks savedHooks = VehicleRaceHooks;
    ResetRace() {
        PathClosed = true;
        for (int i = 0; i < 4; i++) {
            SlotCars[i] = nullptr;
            SlotNodes[i] = -1;
        }
        Printed.clear();
        Sounds.clear();
        VehicleRaceHooks.slotCount = [] { return 4; };
        VehicleRaceHooks.slotCar = [](int slot) { return SlotCars[slot]; };
        RaceServices.slotRecord = [](int slot) { return reinterpret_cast<PlayerSlot *>(SlotBytes[slot]); };
        RaceServices.playerId = [](const PlayerSlot *slot) {
            return static_cast<uint8_t>(reinterpret_cast<const uint8_t(*)[8]>(slot) - SlotBytes + 20);
        };
        RaceServices.pathNodeCount = [] { return PathNodes; };
        RaceServices.carPathNode = NodeOfCar;
        RaceServices.pathIsClosed = [] { return PathClosed ? 1 : 0; };
        RaceServices.pathSection = [](int node, float t, PathSection *out) {
            if (node < 0 || node >= PathNodes)
                return 0;
            *out = PathSection{{0, MetresToFix((static_cast<float>(node) + t) * NodeSpacing), MetresToFix(2.0f)},
                               {0.0f, 1.0f, 0.0f},
                               -5.0f,
                               5.0f,
                               -10.0f,
                               10.0f};
            return 1;
        };
        RaceServices.printMessage = [](const char *text, int colour) { Printed.emplace_back(text, colour); };
        RaceServices.playInterfaceSound = [](int sound) { Sounds.push_back(sound); };
    }
    ~ResetRace() {
        RaceServices = savedServices;
        VehicleRaceHooks = savedHooks;
    }
};

// A car of the race: 1.8 m wide, radius 2 m, standing at (x, y) metres on
// path node `node`.
struct SlotCar {
    CarObject car;
    SlotCar(int slot, float x, float y, int node) {
        car.minX = -0.9f;
        car.maxX = 0.9f;
        car.radius = 2.0f;
        car.position = {MetresToFix(x), MetresToFix(y), 0};
        car.progress[0] = 20.0f;   // racing above 20 m/s
        SlotCars[slot] = &car;
        SlotNodes[slot] = node;
    }
};

PositionPacket Request(int node, float offset, float x, float y, uint8_t offRoad = 0) {
    PositionPacket p = {PositionPacketType, 21, offRoad, 0, node, offset,
                        {MetresToFix(x), MetresToFix(y), MetresToFix(2.0f)}};
    return p;
}

int Check(const CarObject &car, PositionPacket &p) {
    uint8_t bytes[sizeof(PositionPacket)];
    std::memcpy(bytes, &p, sizeof(p));
    const int reason = car.CheckPositionPacket(bytes, reinterpret_cast<PlayerSlot *>(SlotBytes[1]));
    std::memcpy(&p, bytes, sizeof(p));
    return reason;
}

TEST_F(CarRecordsTest, FillPositionPacketDescribesTheCar) {
    ResetRace race;
    RecordCar a;
    CarObject &car = a.car;
    SlotCars[1] = &car;
    SlotNodes[1] = 37;
    car.position = {MetresToFix(1.5f), MetresToFix(370.0f), MetresToFix(2.3f)};
    car.progress[1] = 1.5f;
    uint8_t bytes[sizeof(PositionPacket)];
    std::memset(bytes, 0xEE, sizeof(bytes));
    bytes[0] = PositionPacketType;
    car.FillPositionPacket(bytes, reinterpret_cast<PlayerSlot *>(SlotBytes[1]));
    PositionPacket p;
    std::memcpy(&p, bytes, sizeof(p));
    EXPECT_EQ(p.type, 'P');
    EXPECT_EQ(p.playerId, 21);
    EXPECT_EQ(p.offRoad, 0);
    EXPECT_EQ(p.adjusted, 0);
    EXPECT_EQ(p.node, 37);
    EXPECT_EQ(p.lateralOffset, 1.5f);
    EXPECT_EQ(p.position[0], car.position.x);
    EXPECT_EQ(p.position[1], car.position.y);
    EXPECT_EQ(p.position[2], car.position.z);

    car.wheels[2].surfaceType = 8;
    car.FillPositionPacket(bytes, nullptr);
    EXPECT_EQ(bytes[2], 1);
}

// Nodes outside the path and offsets that are not numbers cannot be placed;
// the packet stays as it came.
TEST_F(CarRecordsTest, CheckRefusesAPositionOffThePath) {
    ResetRace race;
    SlotCar own(1, 0.0f, 0.0f, 0);
    const struct {
        int node;
        float offset;
    } cases[] = {
        {-1, 0.0f},
        {PathNodes, 0.0f},
        {5, std::numeric_limits<float>::quiet_NaN()},
        {5, std::numeric_limits<float>::infinity()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.node);
        PositionPacket p = Request(c.node, c.offset, 50.0f, 55.0f, 1);
        const PositionPacket sent = p;
        EXPECT_EQ(Check(own.car, p), ResetOffPath);
        EXPECT_EQ(std::memcmp(&p, &sent, sizeof(p)), 0);
    }
}

// A position off the road, or sent from off the road, is moved onto the
// cross-section halfway along its span, inside the drivable area by the car's
// half width.
TEST_F(CarRecordsTest, CheckMovesAnOffRoadPositionOntoTheRoad) {
    ResetRace race;
    SlotCar own(1, 0.0f, 0.0f, 0);
    const struct {
        const char *name;
        float offset;
        uint8_t offRoad;
        bool moved;
        float placedAt;
    } cases[] = {
        {"on the road", 3.0f, 0, false, 0.0f},
        {"wheels off the road when sent", 3.0f, 1, true, 3.0f},
        {"beyond the road edge less the half width", 4.5f, 0, true, 4.5f},
        {"far left", -40.0f, 0, true, -9.1f},
        {"far right, sent off-road", 25.0f, 1, true, 9.1f},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PositionPacket p = Request(12, c.offset, 77.0f, 123.0f, c.offRoad);
        EXPECT_EQ(Check(own.car, p), ResetFree);
        EXPECT_EQ(p.adjusted, c.moved ? 1 : 0);
        if (c.moved) {
            EXPECT_NEAR(p.position[0], c.placedAt * 65536.0f, 2.0f);
            EXPECT_EQ(p.position[1], MetresToFix(125.0f));
            EXPECT_EQ(p.position[2], MetresToFix(2.0f));
        } else {
            EXPECT_EQ(p.position[0], MetresToFix(77.0f));
        }
        EXPECT_EQ(p.lateralOffset, c.offset);
    }
}

// The other cars of the race: too close (with 4 s of their approach), near a
// recently reset car's reset point, or coming up behind at racing speed.
TEST_F(CarRecordsTest, CheckJudgesTheOtherCars) {
    const float y = 505.0f;   // the request at node 50
    const struct {
        const char *name;
        float x, y;
        float vy;
        float speed;
        int node;
        uint8_t recentlyReset;
        float resetY;
        int expected;
    } cases[] = {
        {"on the very spot, standing", 0.0f, y, 0.0f, 0.0f, 50, 0, 0.0f, ResetHitsCar},
        {"0.05 m away, moving off fast", 0.05f, y, -50.0f, 0.0f, 50, 0, 0.0f, ResetHitsCar},
        {"5 m away, standing", 0.0f, y - 5.0f, 0.0f, 0.0f, 50, 0, 0.0f, ResetFree},
        {"5 m away, coming at 1 m/s", 0.0f, y - 5.0f, 1.0f, 0.0f, 50, 0, 0.0f, ResetHitsCar},
        {"5 m away, leaving at 1 m/s", 0.0f, y + 5.0f, 1.0f, 0.0f, 50, 0, 0.0f, ResetFree},
        {"reset 4.5 m away", 0.0f, y + 40.0f, 0.0f, 0.0f, 54, 1, y + 4.5f, ResetHitsResetCar},
        {"reset 5.5 m away", 0.0f, y + 40.0f, 0.0f, 0.0f, 54, 1, y + 5.5f, ResetFree},
        {"reset point near, not recently reset", 0.0f, y + 40.0f, 0.0f, 0.0f, 54, 0, y, ResetFree},
        {"1 node behind at racing speed", 0.0f, y - 10.0f, 0.0f, 25.0f, 49, 0, 0.0f, ResetYellowFlag},
        {"30 nodes behind at racing speed", 0.0f, y - 300.0f, 0.0f, 25.0f, 20, 0, 0.0f, ResetYellowFlag},
        {"31 nodes behind at racing speed", 0.0f, y - 310.0f, 0.0f, 25.0f, 19, 0, 0.0f, ResetFree},
        {"1 node behind, slow", 0.0f, y - 10.0f, 0.0f, 15.0f, 49, 0, 0.0f, ResetFree},
        {"1 node ahead at racing speed", 0.0f, y + 10.0f, 0.0f, 25.0f, 51, 0, 0.0f, ResetFree},
        {"on the spot at racing speed, 70 nodes behind", 0.0f, y, 0.0f, 25.0f, 80, 0, 0.0f, ResetHitsCar},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ResetRace race;
        SlotCar own(1, 0.0f, y, 50);   // the requesting car is skipped
        SlotCar other(3, c.x, c.y, c.node);
        other.car.velocity[1] = c.vy;
        other.car.speed = c.speed;
        other.car.recentlyReset = c.recentlyReset;
        other.car.resetPosition = {0, MetresToFix(c.resetY), 0};
        PositionPacket p = Request(50, 0.0f, 0.0f, y);
        EXPECT_EQ(Check(own.car, p), c.expected);
    }
}

// Yellow flags need a closed path; the count of nodes behind wraps round
// the lap; a later slot's reason replaces an earlier one's.
TEST_F(CarRecordsTest, CheckYellowFlagOnClosedPathsAndLaterSlotsWin) {
    ResetRace race;
    SlotCar own(1, 0.0f, 0.0f, 2);
    SlotCar behind(3, 0.0f, 500.0f, 95);   // 7 nodes behind node 2 across the lap end
    behind.car.speed = 30.0f;
    PositionPacket p = Request(2, 0.0f, 0.0f, 25.0f);
    EXPECT_EQ(Check(own.car, p), ResetYellowFlag);
    PathClosed = false;
    EXPECT_EQ(Check(own.car, p), ResetFree);

    PathClosed = true;
    SlotCar close(0, 0.0f, 25.0f, 2);
    EXPECT_EQ(Check(own.car, p), ResetYellowFlag);   // slot 3 after slot 0
    SlotCars[3] = nullptr;
    EXPECT_EQ(Check(own.car, p), ResetHitsCar);
}

TEST_F(CarRecordsTest, ShowCarMessageNamesTheReason) {
    ResetRace race;
    const struct {
        int reason;
        const char *text;
    } cases[] = {
        {1, "Can't reset - could hit another car"},
        {2, "Can't reset - could hit a recently reset car"},
        {3, "Can't reset - would cause a yellow flag"},
        {0, "Can't reset - too dangerous"},
        {4, "Can't reset - too dangerous"},
    };
    for (const auto &c : cases) {
        Printed.clear();
        Sounds.clear();
        ShowCarMessage(c.reason);
        ASSERT_EQ(Printed.size(), 1u);
        EXPECT_EQ(Printed[0].first, c.text);
        EXPECT_EQ(Printed[0].second, ColourLightGrey);
        EXPECT_EQ(Sounds, std::vector<int>{2});
    }
}

}  // namespace
