#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "render/object_file.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "tools/car_params.h"
#include "vehicle/car_class.h"
#include "vehicle/car_data_file.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/collision_hull.h"
#include "vehicle/engine_record.h"
#include "vehicle/rigid_body.h"

namespace {

bool InMask(unsigned mask, int car)
{
    return (mask >> car) & 1u;
}

// The tyre types a class allows (by its default set-up's rear tyre type
// where the class does not fix them).
void AllowedTyres(int vehicleClass, int defaultRear, int *lo, int *hi)
{
    const int fixed[][3] = {{0, 0, 7}, {1, 4, 7}, {2, 5, 7}, {3, 6, 7}, {5, 1, 3}};
    for (const auto &row : fixed) {
        if (row[0] == vehicleClass) {
            *lo = row[1];
            *hi = row[2];
            return;
        }
    }
    const int c = std::min(defaultRear, 2);
    *lo = defaultRear < 1 ? 0 : c - 1;
    *hi = defaultRear < 1 ? 2 : c + 1;
}

std::vector<char> FileBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A body whose hull is freed with it.
struct HullBody : RigidBody {
    HullBody() : RigidBody(1, 1, nullptr) {}
    ~HullBody() override { FreeGeometry(); }
};

const Object3D *ChildOfKind(const Object3D &body, int kind)
{
    for (int i = 0; i < body.childCount; ++i) {
        if (body.children[i].kind == kind) {
            return &body.children[i];
        }
    }
    return nullptr;
}

bool AllRecordsHaveBit7(const Object3D &object)
{
    if (!(object.flags & ObjectLightNamesFixed)) {
        return false;
    }
    for (int i = 0; i < object.childCount; ++i) {
        if (!AllRecordsHaveBit7(object.children[i])) {
            return false;
        }
    }
    return true;
}

// The generated data folder (the test's own folder, where the car loader
// looks for data/veh), with the body objects read back as the program does
// at start-up.
class GeneratedCarsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildTrigTables();
        writeError = WriteBodyObjects(".");
        if (!writeError) {
            writeError = WriteCarDataFiles(".");
        }
        for (int i = 0; i < BodyCodeCount; ++i) {
            InitObject3D(&bodies[i]);
            const std::string path = std::string("data/veh/") + BodyCodes[i] + ".vob";
            loaded[i] = !writeError && ReadObjectFile(&bodies[i], nullptr, path.c_str(), 0, nullptr) == 1;
            BodyObjects[i] = &bodies[i];
        }
    }
    static void TearDownTestSuite()
    {
        for (int i = 0; i < BodyCodeCount; ++i) {
            BodyObjects[i] = nullptr;
            FreeObject3D(&bodies[i]);
        }
    }
    void SetUp() override
    {
        ASSERT_EQ(writeError, nullptr) << writeError;
        for (int i = 0; i < BodyCodeCount; ++i) {
            ASSERT_TRUE(loaded[i]) << BodyCodes[i];
        }
    }

    static const char *writeError;
    static Object3D bodies[BodyCodeCount];
    static bool loaded[BodyCodeCount];
};

const char *GeneratedCarsTest::writeError = nullptr;
Object3D GeneratedCarsTest::bodies[BodyCodeCount];
bool GeneratedCarsTest::loaded[BodyCodeCount];

// Each body: a coarsest level that makes a collision hull, the aerodynamic
// markers the car places its surfaces by (wings only where the body has
// them), no kind-10 children, and bit 7 on every record so that the legacy
// light renames never apply.
TEST_F(GeneratedCarsTest, BodiesCarryHullAndAeroMarkers)
{
    for (int i = 0; i < BodyCodeCount; ++i) {
        const Object3D &body = bodies[i];
        const char *code = BodyCodes[i];
        BodyLayout layout;
        ASSERT_EQ(GetBodyLayout(i, &layout), 1);
        EXPECT_TRUE(AllRecordsHaveBit7(body)) << code;
        EXPECT_STREQ(body.partNames[0], "main") << code;
        EXPECT_GE(body.surfaces.width * body.surfaces.height, 1) << code;
        EXPECT_GE(body.textureCount, 1u) << code;
        EXPECT_GE(body.materialCount, 1u) << code;
        EXPECT_GE(body.mappingCount, 1u) << code;

        EXPECT_NE(ChildOfKind(body, BodyChildBody), nullptr) << code;
        EXPECT_NE(ChildOfKind(body, BodyChildUndertray), nullptr) << code;
        EXPECT_EQ(ChildOfKind(body, BodyChildRearWing) != nullptr, layout.hasRearWing) << code;
        EXPECT_EQ(ChildOfKind(body, BodyChildFrontWing) != nullptr, layout.hasFrontWing) << code;
        EXPECT_EQ(ChildOfKind(body, 10), nullptr) << code;
        if (const Object3D *wing = ChildOfKind(body, BodyChildRearWing)) {
            EXPECT_LT(wing->y, 0) << code;  // behind the middle of the car
        }
        if (const Object3D *wing = ChildOfKind(body, BodyChildFrontWing)) {
            EXPECT_GT(wing->y, 0) << code;
        }

        HullBody hull;
        EXPECT_STREQ(BuildCollisionHull(&body, &hull, 1.0f, 0x1), ": OK") << code;
    }
    BodyLayout layout;
    EXPECT_EQ(GetBodyLayout(BodyCodeCount, &layout), 0);
}

// Every rule of the car table and the vehicle classes, car by car.
TEST_F(GeneratedCarsTest, CarsFollowTheCarTableAndTheirClass)
{
    bool suspensionSeen[6] = {};
    for (int car = 0; car < CarModelCount; ++car) {
        CarParams p;
        ASSERT_EQ(BuildCarParams(car, &p), 1);
        CarDataFile d;
        ASSERT_EQ(BuildCarDataFile(car, &d), 1);
        const CarModelInfo &info = CarTable[car];
        SCOPED_TRACE(info.code);
        const CarClassInfo &cls = CarClassTable[d.vehicleClass];

        // Groups.
        if (InMask(RoadCarsMask, car)) {
            EXPECT_TRUE(d.vehicleClass >= 1 && d.vehicleClass <= 3);
        } else if (InMask(RaceCarsMask, car)) {
            EXPECT_TRUE(d.vehicleClass >= 4 && d.vehicleClass <= 11);
        } else {
            EXPECT_EQ(d.vehicleClass, 3);  // the rallycross car
            EXPECT_EQ(info.aiRallycross, 1);
        }
        if (InMask(GtCarsMask, car)) {
            EXPECT_EQ(d.vehicleClass, 5);
        }
        EXPECT_EQ((d.engine.flags & EngineFlagTurbo) != 0, InMask(TurboCarsMask, car));
        EXPECT_EQ(d.engine.flags & (EngineFlagFiguresMarker | EngineFlagVersionMarker),
                  EngineFlagFiguresMarker | EngineFlagVersionMarker);
        EXPECT_EQ(d.gearboxKind, info.controlType);
        EXPECT_STREQ(d.shortName, info.code);
        EXPECT_STREQ(d.familyCode, info.bodyCode);
        EXPECT_STREQ(BodyCodes[p.bodyIndex], info.bodyCode);

        // Class ranges.
        EXPECT_GE(d.engine.displacement, cls.minDisplacement);
        EXPECT_LE(d.engine.displacement, cls.maxDisplacement);
        EXPECT_GE(d.engine.cylinders, cls.minCylinders);
        EXPECT_LE(d.engine.cylinders, cls.maxCylinders);
        EXPECT_GE(d.gearCount, cls.minGearPositions);
        EXPECT_LE(d.gearCount, cls.maxGearPositions);
        EXPECT_GE(d.engine.figures[1], 3.0f * cls.idleSpeed);  // maxSpeed
        EXPECT_LT(d.reverseRatio, 0.0f);
        EXPECT_TRUE(p.band.minPower > 0.0f && p.band.minPower < p.band.maxPower);
        EXPECT_TRUE(p.band.minTorque > 0.0f && p.band.minTorque < p.band.maxTorque);
        EXPECT_TRUE(p.band.minInertia > 0.0f && p.band.minInertia < p.band.maxInertia);
        EXPECT_TRUE(p.band.minClutch > 0.0f && p.band.minClutch < p.band.maxClutch);

        // Set-ups: tyres in the class's choice, positive pressures, wings
        // inside the range bytes, gear words that never rise.
        ASSERT_TRUE(d.setups.size() >= 1 && d.setups.size() <= 4);
        EXPECT_STREQ(d.setups[0].name, "Default");
        int lo, hi;
        AllowedTyres(d.vehicleClass, d.setups[0].setup.axles[0].tyreType, &lo, &hi);
        for (const NamedSetup &named : d.setups) {
            const CarSetup &s = named.setup;
            for (const CarSetupAxle &a : s.axles) {
                EXPECT_TRUE(a.tyreType >= lo && a.tyreType <= hi) << named.name;
                if (InMask(RoadCarsMask, car)) {
                    EXPECT_TRUE(a.tyreType >= 4 && a.tyreType <= 6) << named.name;  // road or hybrid
                }
                EXPECT_GT(a.pressureLeft, 0);
                EXPECT_GT(a.pressureRight, 0);
            }
            EXPECT_TRUE(s.rearWing >= d.setupRanges[0] && s.rearWing <= d.setupRanges[1]) << named.name;
            EXPECT_TRUE(s.frontWing >= d.setupRanges[4] && s.frontWing <= d.setupRanges[5]) << named.name;
            for (int g = 1; g < SetupGearCount; ++g) {
                EXPECT_LE(s.gearRatios[g], s.gearRatios[g - 1]);
            }
        }
        ASSERT_TRUE(d.colours.size() >= 1 && d.colours.size() <= 15);
        EXPECT_STREQ(d.colours[0].skin, "DEFAULT");

        // Aerodynamics: a body that drags, wings only where the body has one.
        BodyLayout layout;
        ASSERT_EQ(GetBodyLayout(p.bodyIndex, &layout), 1);
        EXPECT_GT(d.aero[3][1], 0.0f);
        EXPECT_EQ(d.aero[0][0] != 0.0f, layout.hasRearWing);
        EXPECT_EQ(d.aero[1][0] != 0.0f, layout.hasFrontWing);
        EXPECT_EQ(d.setupRanges[1] != 0, layout.hasRearWing);
        EXPECT_EQ(d.setupRanges[5] != 0, layout.hasFrontWing);
        for (const auto &surface : d.aero) {
            for (float value : surface) {
                EXPECT_TRUE(std::isfinite(value));
            }
        }

        // Chassis rods: valid ends and densities the loader keeps.
        EXPECT_FALSE(d.rodLinks.empty());
        for (const CarRodLink &link : d.rodLinks) {
            for (int16_t end : link.ends) {
                EXPECT_TRUE(end >= 0 && end < static_cast<int>(d.rodEnds.size()));
            }
            EXPECT_TRUE(link.density >= MinRodLinkDensity && link.density <= MaxRodLinkDensity);
        }

        // Axles, wheels and the arm suspensions' pivots.
        ASSERT_EQ(d.wheels.size(), 4u);
        for (int axle = 0; axle < 2; ++axle) {
            const RimDataFields &a = d.axles[axle];
            const float radius = a.aspect * a.tyreWidth + a.rimRadius;
            EXPECT_NEAR(radius, layout.wheelRadius, 0.02f) << "axle " << axle;
            EXPECT_GT(a.travelReference, p.axles[axle].baseHeight);
            suspensionSeen[a.suspensionType] = true;
            EXPECT_EQ(a.suspensionType == 0, cls.kart == 1);
            if (a.suspensionType == 3 || a.suspensionType == 4) {
                EXPECT_GT(a.firstArmLength, 0.0f);
                EXPECT_GT(a.secondArmLength, 0.0f);
                EXPECT_GT(a.uprightLength, 0.0f);
                std::set<int> kinds;
                for (const CarRodEnd &end : d.rodEnds) {
                    if (end.kind != 0 && (end.y >= 0) == (axle == 1)) {
                        kinds.insert(end.kind);
                    }
                }
                EXPECT_EQ(kinds, (std::set<int>{1, a.suspensionType == 4 ? 2 : 3})) << "axle " << axle;
            }
            for (int side = 0; side < 2; ++side) {
                const float *wheel = d.wheels[axle * 2 + side].restPosition;
                EXPECT_EQ(wheel[1] > 0.0f, axle == 1);
                EXPECT_NEAR(std::fabs(wheel[1]), layout.wheelbase * 0.5f, 1e-4f);
                EXPECT_EQ(wheel[0] > 0.0f, side == 1);
                EXPECT_GT(wheel[2], 0.0f);
                if (!layout.openWheels) {
                    // The tyre stays inside the body side.
                    EXPECT_LE(std::fabs(wheel[0]) + a.tyreWidth * 0.5f, layout.halfWidth);
                }
            }
        }
        EXPECT_TRUE(d.rimBytes[0] >= 2 && d.rimBytes[0] <= 22);
        EXPECT_GE(d.curvePoints.size(), 2u);
        ASSERT_GE(d.curveSegments.size(), 1u);
        for (const CurveSegment &segment : d.curveSegments) {
            EXPECT_LT(segment.pointA, static_cast<int>(d.curvePoints.size()));
            EXPECT_LT(segment.pointB, static_cast<int>(d.curvePoints.size()));
        }
        ASSERT_EQ(d.partNames.size(), 1u);
        EXPECT_EQ(d.partNames[0].mask & 0x1u, 0x1u);  // the hull's part
    }
    EXPECT_TRUE(suspensionSeen[3]);
    EXPECT_TRUE(suspensionSeen[4]);
}

// Every car loads header-only for the set-up screens and fully, headless,
// with everything its data holds.
TEST_F(GeneratedCarsTest, EveryCarLoads)
{
    for (int car = 0; car < CarModelCount; ++car) {
        const CarModelInfo &info = CarTable[car];
        SCOPED_TRACE(info.code);
        CarParams p;
        ASSERT_EQ(BuildCarParams(car, &p), 1);

        CarObject *header = CreateCarFromFile(info.code);
        ASSERT_NE(header, nullptr) << (CarDataLoadError ? CarDataLoadError : "");
        EXPECT_EQ(header->setupCount, p.setupCount);
        EXPECT_EQ(header->colourCount, p.colourCount);
        delete header;

        CarObject loadedCar;
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&loadedCar, info.code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        EXPECT_EQ(loadedCar.vehicleClass, p.vehicleClass);
        EXPECT_EQ(loadedCar.gearboxKind, p.gearboxKind);
        EXPECT_EQ(loadedCar.setupCount, p.setupCount);
        EXPECT_EQ(loadedCar.colourCount, p.colourCount);
        EXPECT_STREQ(loadedCar.setupTable[0].name, "Default");
        EXPECT_STREQ(loadedCar.colourTable[0].skin, "DEFAULT");
        EXPECT_EQ(loadedCar.partNameCount, 1);
        EXPECT_EQ(loadedCar.rodCount, p.rodEndCount);
        EXPECT_EQ(loadedCar.rodLinkCount, p.rodLinkCount);
        EXPECT_EQ(loadedCar.wheelCount, 4);
        EXPECT_EQ(loadedCar.bodyObject, BodyObjects[p.bodyIndex]);
        ASSERT_NE(loadedCar.hullResult, nullptr);
        EXPECT_STREQ(loadedCar.hullResult, ": OK");
        for (int axle = 0; axle < 2; ++axle) {
            EXPECT_NEAR(loadedCar.axles[axle].outerRadius, p.axles[axle].TyreRadius(), 1e-5f);
            EXPECT_GT(loadedCar.axles[axle].tyreValues[0], 0.0f);
            EXPECT_EQ(loadedCar.axles[axle].suspensionType, p.axles[axle].suspensionType);
        }
        EXPECT_EQ(loadedCar.rimObject.kind, 2);  // an empty wheel object
        ASSERT_NE(loadedCar.curve, nullptr);
        EXPECT_GE(loadedCar.curve->count, 2u);
        EXPECT_GE(loadedCar.curve->segmentCount, 1);
        for (int w = 0; w < 4; ++w) {
            EXPECT_EQ(loadedCar.wings[w].liftCoefficient, p.aero[w][0]);
            EXPECT_EQ(loadedCar.wings[w].dragCoefficient, p.aero[w][1]);
        }
        EXPECT_EQ(loadedCar.engine.maxSpeed, p.engine.maxSpeed);

        // The class's engine model puts the engine inside the car's band.
        CarEngine engine = loadedCar.engine;
        engine.SetUpFromClass(p.vehicleClass, p.gearboxKind);
        EXPECT_TRUE(engine.maxPower >= p.band.minPower && engine.maxPower <= p.band.maxPower) << engine.maxPower;
        EXPECT_TRUE(engine.maxTorque >= p.band.minTorque && engine.maxTorque <= p.band.maxTorque) << engine.maxTorque;
        EXPECT_TRUE(engine.inertia >= p.band.minInertia && engine.inertia <= p.band.maxInertia) << engine.inertia;
        EXPECT_TRUE(engine.clutchCapacity >= p.band.minClutch && engine.clutchCapacity <= p.band.maxClutch)
            << engine.clutchCapacity;
        // Best power lies clearly below the rev limiter's onset (0.99 of the
        // limit), so the automatic gearbox, which changes up only above the
        // best-power speed, reaches it in every gear.
        EXPECT_LE(engine.maxPowerSpeed, 0.92f * engine.maxSpeed) << CarTable[car].code;
    }
}

// The generator writes the same bytes on every run.
TEST_F(GeneratedCarsTest, GeneratingTwiceWritesTheSameBytes)
{
    ASSERT_EQ(WriteCarDataFiles("again"), nullptr);
    ASSERT_EQ(WriteBodyObjects("again"), nullptr);
    for (int car = 0; car < CarModelCount; ++car) {
        const std::string name = std::string("data/veh/") + CarTable[car].code + ".veh";
        const std::vector<char> first = FileBytes(name);
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(first, FileBytes(std::filesystem::path("again") / name)) << name;
    }
    for (int i = 0; i < BodyCodeCount; ++i) {
        const std::string name = std::string("data/veh/") + BodyCodes[i] + ".vob";
        EXPECT_EQ(FileBytes(name), FileBytes(std::filesystem::path("again") / name)) << name;
    }
}

}  // namespace
