#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/shell_globals.h"
#include "core/version.h"
#include "vehicle/car_data_recording.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world_query_double.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

float F32(const Bytes &b, size_t at) {
    float v;
    std::memcpy(&v, &b.at(at + 3) - 3, 4);
    return v;
}
uint32_t U32(const Bytes &b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
int16_t I16(const Bytes &b, size_t at) {
    return static_cast<int16_t>(b.at(at) | b.at(at + 1) << 8);
}
std::string Text(const Bytes &b, size_t at, size_t n) {
    std::string s(reinterpret_cast<const char *>(&b.at(at)), n);
    return s.substr(0, s.find('\0'));
}
bool AllZero(const Bytes &b, size_t from, size_t to) {
    for (size_t i = from; i < to; i++) {
        if (b.at(i) != 0)
            return false;
    }
    return true;
}

struct Fake {
    CarObject *car = nullptr;
    uint8_t slot[4] = {};
    std::vector<std::string> warnings, infos;
};
Fake fake;

// A three-wheeled car with values that show where each field lands.
void MakeCar(CarObject &car) {
    car.wheelCount = 3;
    car.wheels = new CarWheel[3]();
    const float sides[3] = {-1.0f, 1.0f, 0.0f};
    const uint32_t axle[3] = {0, 0, 1};
    for (int i = 0; i < 3; i++) {
        CarWheel &w = car.wheels[i];
        w.axleIndex = axle[i];
        w.side = sides[i];
        w.lateralPosition = 0.7f * sides[i];
        w.position[1] = axle[i] ? 1.3f : -1.2f;
        w.baseHeight = 0.3f;
        w.maxTravel = 0.15f + 0.01f * static_cast<float>(i);
        w.springRate = 40000.0f;
        w.bumpDamping = 2000.0f;
        w.reboundDamping = 3000.0f;
        w.brakeShare = 0.25f;
        w.unsprungMass = 20.0f;
        w.compression = 0.05f;
        w.steerAngle = 0.1f;
        w.contactForce[2] = 3000.0f;
        w.angularVelocity = 50.0f;
        w.camberSine = 0.5f;
        w.airMass = 0.01f;
        w.airHeat = (45.0f + 273.15f) * 0.01f * 1005.0f;   // 45 C
        w.peakSlip = 0.1f;
        w.slipShown = 0.05f;
        w.pressureSetting = 100000.0f + static_cast<float>(i);
        w.steerAxis[2] = 1.0f;
    }
    car.axles[0].outerRadius = 0.3f;
    car.axles[0].tyreWidth = 0.2f;
    car.axles[0].tyreType = 2;
    car.axles[1].outerRadius = 0.28f;
    car.mass = 1000.0f;
    car.gearCount = 5;   // reverse, neutral, three forward gears
    for (int g = 0; g < CarGearPositions; g++)
        car.gearRatios[g] = 1.0f + static_cast<float>(g);
    car.finalDrive = 4.1f;
    car.setupTable = new NamedSetup[1]();
    car.setupCount = 1;
    car.setup = &car.setupTable[0].setup;
    car.setup->axles[0].antiRoll = 5000.0f;
    car.setup->axles[1].antiRoll = 7000.0f;
    std::memcpy(car.shortName, "XRT", 4);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::memcpy(car.orientation, identity, sizeof(identity));
    car.position = {65536 * 10, -65536 * 5, 32768};
}

struct CarRecordingTest : ::testing::Test {
    WorldQueryDouble world;

    void SetUp() override {
        fake = Fake();
        std::filesystem::create_directories("data/raf");
        VehicleRaceHooks = {};
        VehicleRaceHooks.slotCount = [] { return 2; };
        VehicleRaceHooks.slotCar = [](int slot) { return slot == 1 ? fake.car : nullptr; };
        VehicleRaceHooks.printWarning = [](const char *text) { fake.warnings.emplace_back(text); };
        RaceServices = {};
        RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(fake.slot); };
        RegisterCarDataRecorder();
        CarRecording = {};
        CarRecording.trackCode = [](char out[4]) { std::memcpy(out, "BL2R", 4); };
        CarRecording.lapLength = [] { return 3307.5f; };
        CarRecording.playerName = [](const PlayerSlot *) { return "^1Ann^7 Lee"; };
        CarRecording.modelName = [](const PlayerSlot *) { return "XR GT"; };
        CarRecording.playerOptions = [](const PlayerSlot *) { return uint8_t{0x5A}; };
        CarRecording.worldName = [] { return "Blackwood"; };
        CarRecording.configName = [] { return "GrandPrixLong"; };
        CarRecording.configReversed = [] { return 1; };
        CarRecording.lightSchemeName = [] { return "Day"; };
        CarRecording.printInfo = [](const char *text) { fake.infos.emplace_back(text); };
        world.checkpointCount = 1;
        StartMode = StartModeNormal;
    }
    void TearDown() override {
        VehicleRaceHooks = {};
        RaceServices = {};
        CarRecording = {};
        StartMode = StartModeNormal;
    }
    // The car of slot 1 starts recording into data/raf/<name>.raf.
    static void Begin(CarObject &car, const char *name) {
        MakeCar(car);
        fake.car = &car;
        std::strcpy(car.rafName, name);
        car.rafState = 1;
        ASSERT_EQ(StartCarDataRecording(&car), 1);
        car.rafState = 2;
    }
};

} // namespace

TEST_F(CarRecordingTest, LapBetweenTwoLapLinesGivesTheLayout) {
    CarObject car;
    MakeCar(car);
    fake.car = &car;
    std::strcpy(car.rafName, "lap");

    car.rafState = 1;
    car.nextLine = 2;
    car.RecordTimingLine(1);
    ASSERT_EQ(car.rafState, 2u);
    EXPECT_EQ(fake.infos, std::vector<std::string>{"Output : Started lap"});

    car.engine.throttle = 0.75f;
    car.brake = 0.25f;
    car.gear = 4;
    car.gForce[0] = 7.0f;
    car.gForce[1] = -0.03f;
    car.gForce[2] = 0.5f;
    car.speed = 40.0f;
    car.engine.speed = 600.0f;
    const float c = std::cos(0.5f);
    const float s = std::sin(0.5f);
    const float turned[9] = {c, -s, 0, s, c, 0, 0, 0, 1};
    std::memcpy(car.orientation, turned, sizeof(turned));
    for (int i = 0; i < 1000; i++)
        RecordCarDataFrame(&car);
    EXPECT_EQ(car.rafFrameCount, 1000u);

    car.stepCount += 1234;
    car.nextLine = 2;
    car.RecordTimingLine(1);
    EXPECT_EQ(car.rafState, 0u);
    EXPECT_EQ(fake.infos.back(), "Output : Finished lap");
    EXPECT_TRUE(fake.warnings.empty());

    const Bytes b = FileBytes("data/raf/lap.raf");
    ASSERT_EQ(b.size(), 1024u + 192000u);
    // Header.
    EXPECT_EQ(Text(b, 0, 6), "KZVRAF");
    EXPECT_EQ(b[6], 0);
    EXPECT_EQ(b[7], 246);
    EXPECT_EQ(b[8], 2);
    EXPECT_EQ(b[9], 10);
    EXPECT_TRUE(AllZero(b, 10, 12));
    EXPECT_EQ(U32(b, 12), 1024u | 192u << 16);
    EXPECT_EQ(U32(b, 16), 32u | 64u << 16);
    EXPECT_EQ(U32(b, 20), 1000u);
    EXPECT_EQ(Text(b, 24, 4), "BL2R");
    EXPECT_EQ(F32(b, 28), 3307.5f);
    EXPECT_EQ(Text(b, 32, 32), "Ann Lee");
    EXPECT_EQ(Text(b, 64, 32), "XR GT");
    EXPECT_EQ(Text(b, 96, 32), "Blackwood");
    EXPECT_EQ(Text(b, 128, 16), "GrandPrixLo_REV");
    EXPECT_EQ(Text(b, 144, 16), "Day");
    EXPECT_EQ(Text(b, 160, 8), std::string(ProgramVersion).substr(0, 8));
    EXPECT_EQ(b[168], 0x5A);
    EXPECT_EQ(b[169], 3);
    EXPECT_EQ(b[170], 2);   // the lap's lines: one split and the lap line
    EXPECT_EQ(b[171], 1);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(U32(b, 172 + 4 * i), static_cast<uint32_t>(car.lineTimes[i]) * 10u) << i;
    EXPECT_NE(U32(b, 172), 0u);
    EXPECT_EQ(F32(b, 188), 1000.0f);
    EXPECT_EQ(F32(b, 192), 940.0f);
    EXPECT_EQ(F32(b, 196), 5000.0f);
    EXPECT_EQ(F32(b, 200), 7000.0f);
    EXPECT_EQ(F32(b, 204), 4.1f);
    EXPECT_EQ(b[208], 3);
    EXPECT_TRUE(AllZero(b, 209, 212));
    const float ratios[7] = {3, 4, 5, 0, 0, 0, 0};
    for (int g = 0; g < 7; g++)
        EXPECT_EQ(F32(b, 212 + 4 * g), ratios[g]) << g;
    EXPECT_TRUE(AllZero(b, 240, 512));
    // Header wheel blocks: wheel 0, then the missing fourth all zero.
    EXPECT_FLOAT_EQ(F32(b, 512), -0.7f);
    EXPECT_FLOAT_EQ(F32(b, 516), -1.2f);
    EXPECT_FLOAT_EQ(F32(b, 520), 0.3f);
    EXPECT_EQ(F32(b, 524), 0.3f);
    EXPECT_EQ(F32(b, 528), 0.2f);
    EXPECT_EQ(F32(b, 532), 0.15f);
    EXPECT_EQ(U32(b, 536), 0u);
    EXPECT_EQ(U32(b, 540), 2u << 8);
    EXPECT_EQ(F32(b, 544), 40000.0f);
    EXPECT_EQ(F32(b, 556), 0.25f);
    EXPECT_TRUE(AllZero(b, 560, 640));
    EXPECT_EQ(F32(b, 512 + 2 * 128 + 20), 0.17f);
    EXPECT_TRUE(AllZero(b, 512 + 3 * 128, 1024));

    // The last frame.
    const size_t f = 1024 + 999 * 192;
    EXPECT_EQ(F32(b, f + 0), 0.75f);
    EXPECT_EQ(F32(b, f + 4), 0.25f);
    EXPECT_EQ(b[f + 20], 4);
    EXPECT_EQ(static_cast<int8_t>(b[f + 21]), 120);
    EXPECT_EQ(static_cast<int8_t>(b[f + 22]), -1);
    EXPECT_EQ(static_cast<int8_t>(b[f + 23]), 10);
    EXPECT_EQ(F32(b, f + 24), 40.0f);
    EXPECT_EQ(U32(b, f + 32), static_cast<uint32_t>(65536 * 10));
    EXPECT_EQ(U32(b, f + 36), static_cast<uint32_t>(-65536 * 5));
    EXPECT_EQ(U32(b, f + 40), 32768u);
    EXPECT_EQ(F32(b, f + 44), 600.0f);
    const int16_t columns[6] = {static_cast<int16_t>(std::lround(c * 32767)), static_cast<int16_t>(std::lround(s * 32767)),
                                0, static_cast<int16_t>(std::lround(-s * 32767)),
                                static_cast<int16_t>(std::lround(c * 32767)), 0};
    for (int e = 0; e < 6; e++)
        EXPECT_EQ(I16(b, f + 52 + 2 * e), columns[e]) << e;
    const size_t w = f + 64;
    EXPECT_EQ(F32(b, w + 0), 0.05f);
    EXPECT_EQ(F32(b, w + 4), 0.1f);
    EXPECT_NEAR(F32(b, w + 16), 3000.0f, 0.01f);   // vertical force stays vertical
    EXPECT_EQ(F32(b, w + 20), 50.0f);
    EXPECT_NEAR(F32(b, w + 24), std::asin(0.5f), 1e-5f);
    EXPECT_EQ(b[w + 28], 45);
    EXPECT_EQ(b[w + 29], 128);   // 127.5 rounds up
    EXPECT_TRUE(AllZero(b, w + 30, w + 32));
    EXPECT_TRUE(AllZero(b, f + 64 + 3 * 32, f + 192));
}

TEST_F(CarRecordingTest, ContactForceTurnsIntoTheCarFrame) {
    CarObject car;
    Begin(car, "turn");
    // A quarter turn about z: the world's +x is the car's -y.
    const float quarter[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    std::memcpy(car.orientation, quarter, sizeof(quarter));
    car.wheels[0].contactForce[0] = 100.0f;
    car.wheels[0].contactForce[2] = 0.0f;
    RecordCarDataFrame(&car);
    FinishCarDataRecording(&car);
    const Bytes b = FileBytes("data/raf/turn.raf");
    ASSERT_EQ(b.size(), 1024u + 192u);
    EXPECT_EQ(F32(b, 1024 + 64 + 8), 0.0f);
    EXPECT_EQ(F32(b, 1024 + 64 + 12), -100.0f);
}

TEST_F(CarRecordingTest, StoredBytesAreHeldToTheirRange) {
    const struct {
        float celsius;
        float slipShare;
        float g;
        int temperature, slip, gByte;
    } cases[] = {
        {-40.0f, 0.0f, -7.0f, 0, 0, -120},
        {300.0f, 2.0f, 6.0f, 255, 255, 120},
        {254.6f, 1.0f, 0.024f, 255, 255, 0},
        {20.4f, 0.2f, -0.026f, 20, 51, -1},
    };
    CarObject car;
    Begin(car, "clamp");
    for (const auto &c : cases) {
        car.wheels[0].airHeat = (c.celsius + 273.15f) * 0.01f * 1005.0f;
        car.wheels[0].slipShown = c.slipShare * 0.1f;
        car.gForce[0] = c.g;
        RecordCarDataFrame(&car);
    }
    // A tyre without air mass has no temperature; no peak slip, no share.
    car.wheels[0].airMass = 0.0f;
    car.wheels[0].airHeat = 0.0f;
    car.wheels[0].peakSlip = 0.0f;
    RecordCarDataFrame(&car);
    FinishCarDataRecording(&car);
    const Bytes b = FileBytes("data/raf/clamp.raf");
    ASSERT_EQ(b.size(), 1024u + 5 * 192u);
    for (size_t i = 0; i < 4; i++) {
        const size_t f = 1024 + i * 192;
        EXPECT_EQ(b[f + 64 + 28], cases[i].temperature) << i;
        EXPECT_EQ(b[f + 64 + 29], cases[i].slip) << i;
        EXPECT_EQ(static_cast<int8_t>(b[f + 21]), cases[i].gByte) << i;
    }
    EXPECT_EQ(b[1024 + 4 * 192 + 64 + 28], 0);
    EXPECT_EQ(b[1024 + 4 * 192 + 64 + 29], 0);
}

TEST_F(CarRecordingTest, HotLapCheckRecordsOneTickInTen) {
    StartMode = StartModeHotLapCheck;
    CarObject car;
    Begin(car, "check");
    for (int i = 0; i < 25; i++)
        RecordCarDataFrame(&car);
    EXPECT_EQ(car.rafFrameCount, 3u);   // ticks 0, 10 and 20
    FinishCarDataRecording(&car);
    const Bytes b = FileBytes("data/raf/check.raf");
    EXPECT_EQ(b.at(9), 100);
    EXPECT_EQ(b.size(), 1024u + 3 * 192u);
}

TEST_F(CarRecordingTest, FailuresLeaveTheStateOff) {
    CarObject car;
    MakeCar(car);
    // No slot holds the car.
    fake.car = nullptr;
    std::strcpy(car.rafName, "nobody");
    car.rafState = 1;
    EXPECT_EQ(StartCarDataRecording(&car), 0);
    EXPECT_EQ(fake.warnings, std::vector<std::string>{"Output : Could not find car's driver"});
    EXPECT_EQ(car.rafStream, nullptr);

    // The file cannot be created.
    fake = Fake();
    fake.car = &car;
    std::strcpy(car.rafName, "no/such/folder/x");
    EXPECT_EQ(StartCarDataRecording(&car), 0);
    EXPECT_EQ(fake.warnings, std::vector<std::string>{"Output : Could not open file"});

    // A full disk: the finish warns instead of reporting the lap.
    std::filesystem::remove("data/raf/full.raf");
    std::filesystem::create_symlink("/dev/full", "data/raf/full.raf");
    fake = Fake();
    fake.car = &car;
    std::strcpy(car.rafName, "full");
    car.rafState = 1;
    ASSERT_EQ(StartCarDataRecording(&car), 1);
    car.rafState = 2;
    RecordCarDataFrame(&car);
    FinishCarDataRecording(&car);
    EXPECT_EQ(car.rafState, 0u);
    EXPECT_EQ(fake.warnings, std::vector<std::string>{"Output : Could not write file"});
    EXPECT_EQ(fake.infos, std::vector<std::string>{"Output : Started lap"});
    std::filesystem::remove("data/raf/full.raf");
}

TEST_F(CarRecordingTest, DestroyedCarFinishesItsRecording) {
    {
        CarObject car;
        Begin(car, "gone");
        for (int i = 0; i < 7; i++)
            RecordCarDataFrame(&car);
    }
    const Bytes b = FileBytes("data/raf/gone.raf");
    ASSERT_EQ(b.size(), 1024u + 7 * 192u);
    EXPECT_EQ(U32(b, 20), 7u);
}

// --- The car info file ---

TEST_F(CarRecordingTest, InfoFileLayout) {
    CarObject car;
    MakeCar(car);
    car.animationIndex = -1;
    car.setup->passengers = 0xFF;
    car.drivenAxles = 1;
    car.wheelbase = 2.5f;
    car.axlePositions[1] = 1.3f;
    car.centreOfMass[1] = 0.3f;
    car.setup->parallelSteer = 40;
    car.setup->brakeBalance = 60;
    car.setup->axles[0].tyreType = 3;
    car.fuel = 33.0f;
    car.wings[1].flags = 1;
    car.wings[1].position[1] = -2.0f;
    car.wings[1].lift = -500.0f;
    car.wings[1].drag = 80.0f;
    ASSERT_EQ(WriteCarInfoFile(&car), 1);

    Bytes b = FileBytes("data/raf/XRT_info.bin");
    ASSERT_EQ(b.size(), 384u + 3 * 128u);
    EXPECT_EQ(Text(b, 0, 6), "KZV_CI");
    EXPECT_EQ(b[6], 0);
    EXPECT_EQ(b[7], 1);
    EXPECT_EQ(Text(b, 8, 4), "XRT");
    EXPECT_EQ(b[11], 0);
    EXPECT_EQ(b[12], 0);   // no driver animation, whatever the passengers
    EXPECT_TRUE(AllZero(b, 13, 16));
    EXPECT_EQ(F32(b, 16), 1.0f);
    EXPECT_EQ(U32(b, 52), static_cast<uint32_t>(65536 * 10));
    EXPECT_EQ(U32(b, 68), static_cast<uint32_t>(-65536 * 5 + 19661));   // centre of mass y 0.3 m
    EXPECT_FLOAT_EQ(F32(b, 80), 0.3f);
    EXPECT_TRUE(AllZero(b, 100, 148));   // unused words and the first, unused surface
    EXPECT_EQ(F32(b, 152), -2.0f);
    EXPECT_EQ(F32(b, 160), -500.0f);
    EXPECT_EQ(F32(b, 164), 80.0f);
    EXPECT_TRUE(AllZero(b, 168, 208));
    EXPECT_EQ(F32(b, 272), 33.0f);
    EXPECT_EQ(F32(b, 276), 1000.0f);
    EXPECT_EQ(F32(b, 280), 2.5f);
    EXPECT_FLOAT_EQ(F32(b, 284), 0.6f);
    EXPECT_EQ(b[288], 3);
    EXPECT_EQ(b[289], 1);
    EXPECT_TRUE(AllZero(b, 290, 292));
    EXPECT_EQ(F32(b, 292), 0.0f);   // only the rear driven
    EXPECT_EQ(F32(b, 304), 1.0f);   // reverse
    EXPECT_EQ(F32(b, 308), 3.0f);
    EXPECT_EQ(F32(b, 320), 0.0f);   // a gear the car does not have
    EXPECT_EQ(F32(b, 336), 4.1f);
    EXPECT_FLOAT_EQ(F32(b, 352), 0.4f);
    EXPECT_FLOAT_EQ(F32(b, 360), 0.6f);
    EXPECT_TRUE(AllZero(b, 364, 384));

    // Wheel blocks: the rear axle's side -1 wheel, its side +1 wheel, then
    // the front wheel on the centre line (pressures 0, 1, 2 tell them apart).
    const float order[3] = {100000.0f, 100001.0f, 100002.0f};
    for (int i = 0; i < 3; i++) {
        const size_t w = 384 + 128 * static_cast<size_t>(i);
        EXPECT_EQ(F32(b, w + 4), order[i]) << i;
        EXPECT_TRUE(AllZero(b, w + 1, w + 4));
        EXPECT_NEAR(F32(b, w + 8), 45.0f, 1e-3f);
        EXPECT_EQ(F32(b, w + 96), 0.0f);   // no tyre deflection: no stiffness figure
        EXPECT_TRUE(AllZero(b, w + 104, w + 128));
    }
    EXPECT_EQ(b[384], 3);
    EXPECT_EQ(b[384 + 256], 0);
    EXPECT_NEAR(F32(b, 384 + 64), std::asin(0.5f), 1e-5f);    // side -1
    EXPECT_NEAR(F32(b, 384 + 128 + 64), -std::asin(0.5f), 1e-5f);

    // Occupants and the torque split of a four-wheel-drive car.
    const struct {
        int animation;
        uint32_t flags;
        uint8_t passengers;
        uint8_t bits;
    } seats[] = {
        {0, 0, 0xFF, 0x01},
        {0, 0x100, 0x01, 0x03},
        {0, 0x100 | 0x400, 0x30, 0x09},
        {0, 0x400, 0xCC, 0x15},
    };
    car.driverSeat[0] = -0.4f;
    car.drivenAxles = 3;
    car.frontTorqueShare = 0.4f;
    for (const auto &c : seats) {
        car.animationIndex = c.animation;
        car.dataFlags = c.flags;
        car.setup->passengers = c.passengers;
        ASSERT_EQ(WriteCarInfoFile(&car), 1);
        b = FileBytes("data/raf/XRT_info.bin");
        EXPECT_EQ(b.at(12), c.bits) << std::hex << c.flags << " " << int(c.passengers);
        EXPECT_FLOAT_EQ(F32(b, 292), 0.4f);
    }
}

TEST_F(CarRecordingTest, InfoFileFailures) {
    CarObject car;
    MakeCar(car);
    std::filesystem::remove("data/raf/XRT_info.bin");
    std::filesystem::create_symlink("/dev/full", "data/raf/XRT_info.bin");
    EXPECT_EQ(WriteCarInfoFile(&car), -1);
    std::filesystem::remove("data/raf/XRT_info.bin");
    EXPECT_TRUE(fake.warnings.empty());

    std::memcpy(car.shortName, "..", 3);
    std::filesystem::remove_all("data/raf");
    EXPECT_EQ(WriteCarInfoFile(&car), 0);
    EXPECT_EQ(fake.warnings, std::vector<std::string>{"Output : Could not open file"});
}
