#include "vehicle/car_data_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "tests/vehicle/box_body_object.h"
#include "core/fixed_math.h"
#include "platform/file_system.h"
#include "test_files.h"
#include "vehicle/car_class.h"
#include "vehicle/car_curve.h"
#include "vehicle/car_data_file.h"
#include "vehicle/car_object.h"
#include "vehicle/engine_record.h"
#include "vehicle/race_hooks.h"
#include "vehicle/world_query.h"
#include "world_query_double.h"

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

// Byte offsets in a file written from TestCar() (flags without bit 31).
constexpr size_t VersionLowOffset = 7;
constexpr size_t EngineOffset = 8 + 4 + 4 + 4 + 1 + 3 + 4;
constexpr size_t SetupCountOffset = EngineOffset + EngineFiguresSize;
constexpr size_t FirstSetupRecordOffset = SetupCountOffset + 4 + 16;

CarSetup TestSetup() {
    CarSetup setup = {};
    setup.maxLock = 30;
    setup.brakeBalance = 60;
    for (CarSetupAxle &axle : setup.axles) {
        axle.pressureLeft = 200;
        axle.pressureRight = 200;
        axle.toe = 9;
        axle.camberLeft = 45;
        axle.camberRight = 45;
        axle.tyreType = 1;
    }
    return setup;
}

RimDataFields TestAxle() {
    RimDataFields axle = {};
    axle.tyreWidth = 0.2f;
    axle.aspect = 0.5f;
    axle.rimRadius = 0.19f;
    axle.rimWidth = 0.18f;
    axle.seatInset = 3;
    axle.suspensionType = 1;
    axle.trackWidth = 1.5f;
    axle.hubOffset = 0.05f;
    axle.probeStartOffset = 0.3f;
    return axle;
}

// A small complete car: two set-ups, two colours, one part, two rod ends and
// four links (one of them wheel-side only), four wheels, a curve of three
// points and two segments.
CarDataFile TestCar() {
    CarDataFile car;
    car.vehicleClass = 2;
    car.gearboxKind = 1;
    car.drivenAxles = 1;
    car.engine = {};
    car.engine.displacement = 1600.0f;
    car.engine.cylinders = 4;
    car.engine.boostReference = 1.0f;
    const float figures[6] = {0.5f, 700.0f, 1.0f, 1.0f, 1.0f, 0.0f};
    std::memcpy(car.engine.figures, figures, sizeof(figures));
    for (const char *name : {"Default", "Sprint"}) {
        NamedSetup named = {};
        std::strncpy(named.name, name, sizeof(named.name) - 1);
        named.setup = TestSetup();
        car.setups.push_back(named);
    }
    for (const char *skin : {"DEFAULT", "BLUE"}) {
        CarColours colours = {};
        std::strncpy(colours.skin, skin, sizeof(colours.skin) - 1);
        car.colours.push_back(colours);
    }
    car.partNames.push_back({"Standard", 1});
    car.driverSeat[0] = 0.4f;
    car.driverSeat[2] = 0.3f;
    car.shiftFloats[0] = 9.0f;
    car.dashboard = {1, 2, 3};
    std::memcpy(car.shortName, "TST", 4);
    car.gearCount = 8;
    car.reverseRatio = 3.0f;
    std::memcpy(car.familyCode, "ZH", 3);
    car.rodEnds.push_back({0, 65536, 0, 0.01f, 0, 1, 0});
    car.rodEnds.push_back({0, -65536, 0, 0.01f, 0, 2, 0});
    car.rodLinks.push_back({{0, 1}, 2.0f, {}, 0});
    car.rodLinks.push_back({{-1, -2}, 2.0f, {}, 0});
    car.rodLinks.push_back({{0, -3}, 100.0f, {}, 0});
    car.rodLinks.push_back({{1, -6}, 80.0f, {}, RodLinkKeepDensity});
    for (int i = 0; i < 4; i++)
        car.wheels.push_back({{i & 1 ? 0.75f : -0.75f, i < 2 ? -1.2f : 1.3f, 0.3f}});
    car.axles[0] = TestAxle();
    car.axles[1] = TestAxle();
    car.rimBytes[0] = 6;
    car.curvePoints = {{0.0f, 0.1f}, {0.1f, 0.1f}, {0.1f, 0.0f}};
    car.curveSegments = {{0, 1, 0, 0}, {1, 2, 0, 0}};
    car.aero[3][0] = -0.1f;
    car.aero[3][1] = 0.35f;
    car.aero[3][2] = 0.2f;
    return car;
}

std::vector<uint8_t> Bytes(const CarDataFile &data) {
    EXPECT_EQ(SaveCarDataFile("fixture.veh", data), 1);
    return ReadFileBytes("fixture.veh");
}

void PutU32(std::vector<uint8_t> &bytes, size_t offset, uint32_t value) {
    for (int k = 0; k < 4; k++)
        bytes[offset + k] = static_cast<uint8_t>(value >> (8 * k));
}

std::vector<std::string> Warnings;

struct CarDataLoaderTest : ::testing::Test {
    BoxBodyObject body;

    static void SetUpTestSuite() { BuildTrigTables(); }
    void SetUp() override {
        Warnings.clear();
        VehicleRaceHooks.printWarning = [](const char *text) { Warnings.push_back(text); };
        BodyObjects[0] = &body.object;   // the "ZH" body
    }
    void TearDown() override {
        VehicleRaceHooks = {};
        BodyObjects[0] = nullptr;
    }

    // Loads the bytes into a fresh car; the car is destroyed unless kept.
    int Load(const std::vector<uint8_t> &bytes, CarLoadArguments args = {}, CarObject **kept = nullptr) {
        CarObject *car = new CarObject;
        const int loaded = LoadCarDataImage(car, bytes.data(), bytes.size(), args);
        if (kept != nullptr)
            *kept = car;
        else
            delete car;
        return loaded;
    }
};

TEST_F(CarDataLoaderTest, FullLoadFillsTheCarFromTheWrittenData) {
    CarObject *car = nullptr;
    CarLoadArguments args;
    args.setupIndex = 1;
    args.colourIndex = 1;
    ASSERT_EQ(Load(Bytes(TestCar()), args, &car), 1) << CarDataLoadError;

    EXPECT_EQ(car->vehicleClass, 2);
    EXPECT_EQ(car->gearboxKind, 1);
    EXPECT_EQ(car->engine.maxSpeed, 700.0f);
    EXPECT_EQ(car->engine.turboLagFactor, 0.5f);
    ASSERT_EQ(car->setupCount, 2);
    EXPECT_STREQ(car->setupTable[1].name, "Sprint");
    EXPECT_EQ(car->setupIndex, 1);
    EXPECT_EQ(car->setup, &car->setupTable[1].setup);
    EXPECT_EQ(car->colours, &car->colourTable[1]);
    EXPECT_STREQ(car->colours->skin, "BLUE");
    EXPECT_EQ(car->partNameCount, 1);
    EXPECT_STREQ(car->partNames[0].name, "Standard");
    EXPECT_EQ(car->dashboardLength, 3);
    EXPECT_EQ(car->dashboard[2], 3);
    EXPECT_STREQ(car->shortName, "TST");
    EXPECT_STREQ(CurrentCarName, "TST");
    EXPECT_EQ(car->gearCount, 7);   // the file's 8 held to the class's most
    EXPECT_EQ(car->gearRatios[0], 3.0f);
    EXPECT_EQ(car->shiftTimes[0], 0.2f);   // the file's value gives way to the gearbox kind's
    EXPECT_EQ(car->dataFlags & CarFlagUnknownFamily, 0u);
    EXPECT_EQ(car->bodyObject, &body.object);

    // The link between two wheel-side points is dropped; densities clamp
    // unless kept.
    ASSERT_EQ(car->rodCount, 2);
    ASSERT_EQ(car->rodLinkCount, 3);
    EXPECT_EQ(car->rodLinks[0].density, 2.0f);
    EXPECT_EQ(car->rodLinks[1].ends[1], -3);
    // A link to a wheel-side point adds no mass once the model is set up.
    EXPECT_EQ(car->rodLinks[1].density, 0.0f);
    EXPECT_EQ(car->rodLinks[2].work[1], 80.0f);

    ASSERT_EQ(car->wheelCount, 4);
    EXPECT_EQ(car->wheels[3].restPosition[1], 1.3f);
    EXPECT_FLOAT_EQ(car->axles[1].outerRadius, 0.29f);
    EXPECT_GT(car->axles[0].tyreValues[0], 0.0f);
    EXPECT_EQ(car->rimBytes[0], 6);
    EXPECT_EQ(car->curve->count, 3u);
    EXPECT_EQ(car->curve->segmentCount, 2);
    EXPECT_EQ(car->wings[3].dragCoefficient, 0.35f);
    EXPECT_EQ(car->wings[3].liftCoefficient, -0.1f);

    // The collision hull of the body's selected parts, with a copy of its points.
    EXPECT_STREQ(car->hullResult, ": OK");
    ASSERT_EQ(car->hullPointCount, 8);
    EXPECT_EQ(car->maxY, 2.0f);
    ASSERT_NE(car->savedPoints, nullptr);
    EXPECT_EQ(car->savedPoints[7][2], car->points[7].local[2]);
    EXPECT_TRUE(Warnings.empty());
    delete car;
}

// The hull takes the body parts of the set-up's part choice.
TEST_F(CarDataLoaderTest, HullTakesThePartsOfThePartChoice) {
    CarDataFile data = TestCar();
    data.partNames.push_back({"Stripped", 2});
    data.setups[1].setup.partChoice = 1;
    const std::vector<uint8_t> bytes = Bytes(data);
    for (int index : {0, 1}) {
        CarObject *car = nullptr;
        CarLoadArguments args;
        args.setupIndex = index;
        ASSERT_EQ(Load(bytes, args, &car), 1);
        EXPECT_EQ(car->pointCount, index == 0 ? 8 : 0) << index;
        EXPECT_EQ(car->savedPoints == nullptr, index == 1) << index;
        ASSERT_NE(car->hullResult, nullptr);
        EXPECT_EQ(std::string(car->hullResult) == ": OK", index == 0) << car->hullResult;
        delete car;
    }
}

// Each case spoils one thing of good data; the load answers 0 with the
// reason, and the car destroys cleanly afterwards.
TEST_F(CarDataLoaderTest, RefusesBadData) {
    struct Case {
        const char *name;
        std::function<void(CarDataFile &)> change;
        std::function<void(std::vector<uint8_t> &)> patch;
    };
    const Case cases[] = {
        {"class 12", [](CarDataFile &c) { c.vehicleClass = 12; }, nullptr},
        {"class -1", [](CarDataFile &c) { c.vehicleClass = -1; }, nullptr},
        {"gearbox kind 0", [](CarDataFile &c) { c.gearboxKind = 0; }, nullptr},
        {"gearbox kind 6", [](CarDataFile &c) { c.gearboxKind = 6; }, nullptr},
        {"no set-ups", [](CarDataFile &c) { c.setups.clear(); }, nullptr},
        {"no colours", [](CarDataFile &c) { c.colours.clear(); }, nullptr},
        {"5 wheels", [](CarDataFile &c) { c.wheels.push_back({{0, 0, 0}}); }, nullptr},
        {"17 part names", [](CarDataFile &c) { c.partNames.resize(17); }, nullptr},
        {"dashboard of 145", [](CarDataFile &c) { c.dashboard.resize(145); }, nullptr},
        {"link end past the rods", [](CarDataFile &c) { c.rodLinks[0].ends[1] = 2; }, nullptr},
        {"link end below -6", [](CarDataFile &c) { c.rodLinks[2].ends[1] = -7; }, nullptr},
        {"curve point past the points", [](CarDataFile &c) { c.curveSegments[1].pointB = 3; }, nullptr},
        {"NaN aero coefficient", [](CarDataFile &c) { c.aero[1][0] = NaN; }, nullptr},
        {"surface 3 drag 0", [](CarDataFile &c) { c.aero[3][1] = 0.0f; }, nullptr},
        {"maxSpeed 0", [](CarDataFile &c) { c.engine.figures[1] = 0.0f; }, nullptr},
        {"zero default pressure", [](CarDataFile &c) { c.setups[0].setup.axles[1].pressureRight = 0; }, nullptr},
        {"NaN seat position", [](CarDataFile &c) { c.driverSeat[1] = NaN; }, nullptr},
        {"infinite wheel position", [](CarDataFile &c) { c.wheels[2].restPosition[0] = INFINITY; }, nullptr},
        {"NaN rod link density", [](CarDataFile &c) { c.rodLinks[0].density = NaN; }, nullptr},
        {"tyre width 0", [](CarDataFile &c) { c.axles[0].tyreWidth = 0.0f; }, nullptr},
        {"rim radius NaN", [](CarDataFile &c) { c.axles[1].rimRadius = NaN; }, nullptr},
        {"suspension type 6", [](CarDataFile &c) { c.axles[1].suspensionType = 6; }, nullptr},
        {"type 3 without upright", [](CarDataFile &c) {
             c.axles[0].suspensionType = 3;
             c.axles[0].firstArmLength = 0.3f;
         }, nullptr},
        {"type 4 without second arm", [](CarDataFile &c) {
             c.axles[1].suspensionType = 4;
             c.axles[1].firstArmLength = 0.3f;
             c.axles[1].uprightLength = 0.2f;
         }, nullptr},
        {"gear count 10", [](CarDataFile &c) { c.gearCount = 10; }, nullptr},
        {"set-up record version 3", nullptr, [](std::vector<uint8_t> &b) { b[FirstSetupRecordOffset] = 3; }},
        {"set-up count beyond the data", nullptr,
         [](std::vector<uint8_t> &b) { PutU32(b, SetupCountOffset, 0xFFFFFFF0u); }},
        {"version 253", nullptr, [](std::vector<uint8_t> &b) { b[VersionLowOffset] = 253; }},
        {"version 247", nullptr, [](std::vector<uint8_t> &b) { b[VersionLowOffset] = 247; }},
        {"another id", nullptr, [](std::vector<uint8_t> &b) { b[0] = 'X'; }},
    };
    for (const Case &c : cases) {
        CarDataFile data = TestCar();
        if (c.change)
            c.change(data);
        std::vector<uint8_t> bytes = Bytes(data);
        if (c.patch)
            c.patch(bytes);
        EXPECT_EQ(Load(bytes), 0) << c.name;
        EXPECT_NE(CarDataLoadError, nullptr) << c.name;
    }
}

// Rod ends lie within 1000 m of the car's origin on every axis: the mass
// model subtracts and mirrors them in 32 bits, so an end beyond (up to the
// ends of the 16.16 range) refuses the car data with the rods' message.
TEST_F(CarDataLoaderTest, RodEndsBeyondTheirBoundAreRefusedAsBadRods) {
    struct Case {
        int axis;
        int32_t value;
        bool refused;
    };
    const Case cases[] = {
        {0, MaxRodEndCoordinate, false},      {1, -MaxRodEndCoordinate, false},
        {0, MaxRodEndCoordinate + 1, true},   {2, -MaxRodEndCoordinate - 1, true},
        {0, INT32_MIN, true},                 {1, INT32_MAX, true},
        {2, INT32_MIN, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "axis " << c.axis << " at " << c.value);
        CarDataFile data = TestCar();
        int32_t *end[3] = {&data.rodEnds[1].x, &data.rodEnds[1].y, &data.rodEnds[1].z};
        *end[c.axis] = c.value;
        CarDataLoadError = nullptr;
        EXPECT_EQ(Load(Bytes(data)), c.refused ? 0 : 1);
        if (c.refused) {
            ASSERT_NE(CarDataLoadError, nullptr);
            EXPECT_STREQ(CarDataLoadError, "Bad rods");
        }
    }
}

// Every prefix of good data fails cleanly; the header-only load needs
// exactly the fields up to the set-up ranges.
TEST_F(CarDataLoaderTest, EveryPrefixFailsAndHeaderOnlyStopsAtTheSetupRanges) {
    const std::vector<uint8_t> bytes = Bytes(TestCar());
    CarLoadArguments headerOnly;
    headerOnly.headerOnly = 1;
    size_t headerLength = 0;
    for (size_t length = 0; length < bytes.size(); length++) {
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(length));
        ASSERT_EQ(Load(prefix), 0) << length;
        if (headerLength == 0 && Load(prefix, headerOnly) == 1)
            headerLength = length;
    }
    EXPECT_EQ(Load(bytes), 1);

    // What follows is the gear count (8) and the reverse ratio (3.0).
    ASSERT_GT(headerLength, 0u);
    ASSERT_LT(headerLength + 8, bytes.size());
    uint32_t gearCount;
    float reverse;
    std::memcpy(&gearCount, &bytes[headerLength], 4);
    std::memcpy(&reverse, &bytes[headerLength + 4], 4);
    EXPECT_EQ(gearCount, 8u);
    EXPECT_EQ(reverse, 3.0f);
}

TEST_F(CarDataLoaderTest, HeaderOnlyCarHasTablesButNoWheelsOrModel) {
    CarObject *car = nullptr;
    CarLoadArguments args;
    args.headerOnly = 1;
    ASSERT_EQ(Load(Bytes(TestCar()), args, &car), 1);
    EXPECT_EQ(car->setupCount, 2);
    EXPECT_EQ(car->colourCount, 2);
    EXPECT_STREQ(car->shortName, "TST");
    EXPECT_EQ(car->shiftTimes[0], 9.0f);
    EXPECT_EQ(car->wheelCount, 0);
    EXPECT_EQ(car->gearCount, 7);
    EXPECT_EQ(car->pointCount, 0);
    EXPECT_EQ(car->bodyObject, nullptr);
    delete car;
}

TEST_F(CarDataLoaderTest, MirroringNeedsTheDriverOffTheCentreLine) {
    struct Case {
        float seatX;
        uint32_t flags;
        uint32_t mirrored;
    };
    const Case cases[] = {{0.1f, 0, 0}, {-0.1f, 0, 0}, {0.2f, 0, 1}, {-0.2f, 0, 1}, {0.2f, CarFlagNoMirror, 0}};
    for (const Case &c : cases) {
        CarDataFile data = TestCar();
        data.driverSeat[0] = c.seatX;
        data.flags = c.flags;
        data.tankPosition[0] = 0.3f;
        CarObject *car = nullptr;
        CarLoadArguments args;
        args.options = 1;
        ASSERT_EQ(Load(Bytes(data), args, &car), 1);
        EXPECT_EQ(car->mirrored, c.mirrored) << c.seatX << " " << c.flags;
        EXPECT_EQ(car->tankPosition[0], c.mirrored ? -0.3f : 0.3f);
        delete car;
    }
}

TEST_F(CarDataLoaderTest, SecondFlagWordOnlyWithBit31) {
    CarDataFile data = TestCar();
    data.flags2 = 0x1234;
    CarObject *car = nullptr;
    ASSERT_EQ(Load(Bytes(data), {}, &car), 1);
    EXPECT_EQ(car->dataFlags2, 0u);
    delete car;

    data.flags = CarFlagSecondWord;
    ASSERT_EQ(Load(Bytes(data), {}, &car), 1);
    EXPECT_EQ(car->dataFlags2, 0x1234u);
    delete car;
}

TEST_F(CarDataLoaderTest, OldDataGetsItsMaterialColoursConverted) {
    CarDataFile data = TestCar();
    const uint8_t bright[4] = {200, 100, 50, 7};
    for (uint8_t(&colour)[4] : data.materialColours)
        std::memcpy(colour, bright, 4);
    std::vector<uint8_t> bytes = Bytes(data);
    bytes[VersionLowOffset] = 251;
    CarObject *car = nullptr;
    ASSERT_EQ(Load(bytes, {}, &car), 1) << CarDataLoadError;
    struct Expected {
        int material;
        uint8_t colour[4];
    };
    const Expected expected[] = {{0, {180, 90, 45, 0}}, {1, {200, 100, 50, 0}}, {2, {120, 60, 30, 0}},
                                 {3, {180, 90, 45, 0}}, {5, {240, 40, 20, 0}}, {6, {200, 100, 50, 0}}};
    for (const Expected &e : expected)
        EXPECT_EQ(std::memcmp(car->materials[e.material].colour, e.colour, 4), 0) << e.material;
    EXPECT_NE(car->dataFlags2 & CarFlag2MaterialsConverted, 0u);
    delete car;

    // Current data keeps its colours.
    ASSERT_EQ(Load(Bytes(data), {}, &car), 1);
    EXPECT_EQ(std::memcmp(car->materials[0].colour, bright, 4), 0);
    delete car;
}

TEST_F(CarDataLoaderTest, ChoosesSetupAndColoursByIndexOrFromTheCaller) {
    CarDataFile data = TestCar();
    const std::vector<uint8_t> bytes = Bytes(data);

    CarObject *car = nullptr;
    CarLoadArguments args;
    args.setupIndex = 2;    // the count: out of range
    args.colourIndex = 5;
    ASSERT_EQ(Load(bytes, args, &car), 1);
    EXPECT_EQ(car->setupIndex, 0);
    EXPECT_EQ(car->setup, &car->setupTable[0].setup);
    EXPECT_EQ(car->colourIndex, 0);
    EXPECT_EQ(Warnings, (std::vector<std::string>{UsingDefaultSettings, UsingDefaultColours}));
    delete car;

    // The caller's records are used and never freed by the car.
    CarSetup callerSetup = TestSetup();
    CarColours callerColours = {};
    args.setupIndex = -1;
    args.setupIn = &callerSetup;
    args.colourIndex = -1;
    args.coloursIn = &callerColours;
    ASSERT_EQ(Load(bytes, args, &car), 1);
    EXPECT_EQ(car->setup, &callerSetup);
    EXPECT_EQ(car->setupIndex, -1);
    EXPECT_EQ(car->colours, &callerColours);
    delete car;
}

TEST_F(CarDataLoaderTest, ShiftTimesFollowTheGearboxKind) {
    const float expected[] = {0.2f, 0.1f, 0.1f, 0.1f, 0.05f};
    for (int kind = 1; kind <= 5; kind++) {
        CarDataFile data = TestCar();
        data.gearboxKind = kind;
        CarObject *car = nullptr;
        ASSERT_EQ(Load(Bytes(data), {}, &car), 1);
        for (float time : car->shiftTimes)
            EXPECT_EQ(time, expected[kind - 1]) << kind;
        delete car;
    }
}

TEST_F(CarDataLoaderTest, UnknownFamilyIsFlaggedAndHasNoBody) {
    CarDataFile data = TestCar();
    std::memcpy(data.familyCode, "QQ", 3);
    CarObject *car = nullptr;
    ASSERT_EQ(Load(Bytes(data), {}, &car), 1);
    EXPECT_NE(car->dataFlags & CarFlagUnknownFamily, 0u);
    EXPECT_EQ(car->bodyObject, nullptr);
    EXPECT_EQ(car->pointCount, 0);
    delete car;
}

TEST_F(CarDataLoaderTest, RimRepeatCountOutsideItsRangeGivesTwo) {
    for (int stored : {0, 1, 23, 255}) {
        CarDataFile data = TestCar();
        data.rimBytes[0] = static_cast<uint8_t>(stored);
        CarObject *car = nullptr;
        ASSERT_EQ(Load(Bytes(data), {}, &car), 1);
        EXPECT_EQ(car->rimBytes[0], 2) << stored;
        delete car;
    }
}

// The engine record: a record with a sound section is refused with its own
// text, a later version as unreadable; a version-12 record has no turbo lag
// figure, so the class default applies.
TEST_F(CarDataLoaderTest, EngineRecordVersions) {
    const size_t versionByte = EngineOffset + 4;
    std::vector<uint8_t> bytes = Bytes(TestCar());
    bytes[versionByte] = 7;
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_STREQ(CarDataLoadError, EngineSoundInCarDataError);

    bytes[versionByte] = 15;
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_STREQ(CarDataLoadError, EngineReadError);

    // Version 12 holds neither figure 2 (offset 20) nor figure 5 (offset 32).
    bytes[versionByte] = 12;
    bytes.erase(bytes.begin() + static_cast<long>(EngineOffset + 32),
                bytes.begin() + static_cast<long>(EngineOffset + 36));
    bytes.erase(bytes.begin() + static_cast<long>(EngineOffset + 20),
                bytes.begin() + static_cast<long>(EngineOffset + 24));
    CarObject *car = nullptr;
    ASSERT_EQ(Load(bytes, {}, &car), 1) << CarDataLoadError;
    EXPECT_EQ(car->engine.turboLagFactor, CarClassTable[2].engineDefault);
    EXPECT_EQ(car->engine.maxSpeed, 700.0f);
    delete car;
}

// Axle records of data before version 252 without description bytes get
// them; a low-profile tyre gets the other style.
TEST_F(CarDataLoaderTest, OldAxleRecordsGetTheirDescriptionBytes) {
    struct Case {
        float aspect;
        uint8_t style1;
        uint8_t style3;
    };
    const Case cases[] = {{0.5f, 2, 0}, {0.3f, 4, 1}};
    for (const Case &c : cases) {
        CarDataFile data = TestCar();
        for (RimDataFields &axle : data.axles) {
            axle.seatInset = 0;
            axle.aspect = c.aspect;
        }
        std::vector<uint8_t> bytes = Bytes(data);
        bytes[VersionLowOffset] = 251;
        CarObject *car = nullptr;
        ASSERT_EQ(Load(bytes, {}, &car), 1) << CarDataLoadError;
        for (const RimData &axle : car->axles) {
            EXPECT_EQ(axle.seatInset, 5);
            EXPECT_EQ(axle.darkening, 6);
            EXPECT_EQ(axle.style[1], c.style1) << c.aspect;
            EXPECT_EQ(axle.style[3], c.style3) << c.aspect;
        }
        delete car;

        // Current data is taken as it is.
        ASSERT_EQ(Load(Bytes(data), {}, &car), 1);
        EXPECT_EQ(car->axles[0].seatInset, 0);
        EXPECT_EQ(car->axles[0].style[1], 0);
        delete car;
    }
}

// Kind-10 children of the body move for every family but the first and the
// third built-in one.
TEST_F(CarDataLoaderTest, BodyChildAdjustmentSkipsTheFirstAndThirdFamily) {
    struct Case {
        const char *family;
        int bodyIndex;
        bool adjusted;
    };
    const Case cases[] = {{"ZH", 0, false}, {"GT", 11, false}, {"FM", 9, true}, {"KT", 1, true}};
    for (const Case &c : cases) {
        BoxBodyObject family;
        family.object.childCount = 2;
        family.object.children = new Object3D[2];
        for (int i = 0; i < 2; i++) {
            Object3D &child = family.object.children[i];
            InitObject3D(&child);
            child.kind = i == 0 ? 10 : 9;
            child.x = 8700;
            child.y = 60749;
        }
        BodyObjects[c.bodyIndex] = &family.object;
        CarDataFile data = TestCar();
        std::memcpy(data.familyCode, c.family, 3);
        ASSERT_EQ(Load(Bytes(data)), 1) << c.family;
        BodyObjects[c.bodyIndex] = c.bodyIndex == 0 ? &body.object : nullptr;

        const Object3D &tinted = family.object.children[0];
        EXPECT_EQ(tinted.x, c.adjusted ? 11780 : 8700) << c.family;
        EXPECT_EQ(tinted.y, c.adjusted ? 60740 : 60749) << c.family;
        EXPECT_EQ(tinted.pitch, c.adjusted ? 1280 : 0) << c.family;
        EXPECT_EQ(family.object.children[1].x, 8700) << c.family;
    }
}

std::vector<std::string> EngineFilesAsked;

// The engine sound never decides a load: a sound file that cannot be read
// leaves the car loaded, after the car's default sound was asked for.
TEST_F(CarDataLoaderTest, EngineSoundIsReadThroughTheAudioService) {
    EngineFilesAsked.clear();
    CarServices.readEngineFile = [](CarObject *, const char *path, const char *) {
        EngineFilesAsked.push_back(path);
        return 0;
    };
    EXPECT_EQ(Load(Bytes(TestCar())), 1);
    CarServices = {};
    EXPECT_EQ(EngineFilesAsked, (std::vector<std::string>{"data\\engine\\TST_default.eng"}));
}

TEST_F(CarDataLoaderTest, CreateCarFromFileLoadsHeaderOnlyWithoutAWorld) {
    ASSERT_TRUE(PlatformMakeDirectory("data"));
    ASSERT_TRUE(PlatformMakeDirectory("data/veh"));
    ASSERT_EQ(SaveCarDataFile("data\\veh\\TST.veh", TestCar()), 1);

    // The world in use is set aside while the car loads, then restored.
    WorldQueryDouble world;
    SetWorldQuery(&world);
    CarObject *car = CreateCarFromFile("TST");
    EXPECT_EQ(CurrentWorldQuery(), &world);
    SetWorldQuery(nullptr);
    ASSERT_NE(car, nullptr);
    EXPECT_EQ(car->setupCount, 2);
    EXPECT_EQ(car->wheelCount, 0);
    delete car;
    EXPECT_EQ(CreateCarFromFile("XXX"), nullptr);
}

}  // namespace
