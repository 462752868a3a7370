#include <gtest/gtest.h>

#include <cmath>

#include "tests/vehicle/car_model_fixture.h"
#include "core/data_stream.h"
#include "tests/world/world_bytes.h"
#include "tests/world/world_scene.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/tyre_curves.h"
#include "vehicle/world_query.h"
#include "world/map_squares.h"
#include "world/panel_object.h"
#include "world/solid_object.h"
#include "world/world.h"
#include "world/world_object.h"

// The car reset on a track's own solids, through the world query the loaded
// world registers: a sloped road, a steep bank beside the car, and no ground.
namespace {

constexpr float Pi = 3.14159265f;
constexpr float Slope = 10.0f * Pi / 180.0f;

int SessionRuns() {
    return 1;
}

// A 10 m x 10 m plane, x -5..5 around centreX and y y0..y0 + 10, tilted
// across: `leftHeight` along its x - 5 edge and `rightHeight` along its
// x + 5 edge. Made like AddRoadStrip's road (two panels and the solid
// lofted between them) but with both panels alike, so the loft is flat.
SolidObject *AddTiltedStrip(World *world, float centreX, float y0, float leftHeight, float rightHeight) {
    auto panel = [&](float y, float heading, float lateralA, float lateralB, float heightA, float heightB) {
        auto *p = new PanelObject(Fix(centreX), Fix(y));
        p->heading = heading;
        p->vertexCount = 2;
        p->vertices = new PanelVertex[3]();
        p->vertices[0].height = Fix(heightA);
        p->vertices[1].height = Fix(heightB);
        p->vertices[0].lateral = Fix(lateralA);
        p->vertices[1].lateral = Fix(lateralB);
        p->Prepare();
        world->objects[world->objectCount++] = p;
    };
    const int first = world->objectCount;
    panel(y0, 0.0f, -5.0f, 5.0f, leftHeight, rightHeight);
    panel(y0 + 10.0f, Pi, 5.0f, -5.0f, leftHeight, rightHeight);

    WorldBytes bytes;
    bytes.U8(ObjectSolid).U8(0).U8(0).U8(0);
    bytes.U16(SolidCollides).U16(0).U16(1).U16(1).U16(first).U16(first + 1);
    bytes.U8(0).U8(0).U8(2).U8(1);
    for (uint8_t vertex = 0; vertex < 2; vertex++)
        bytes.U8(1).U8(0).U8(vertex).U8(vertex).F32(0.0f).F32(0.0f).F32(0.0f).F32(0.0f);
    bytes.U16(0).U8(1).U8(1).U16(0).U8(0).U8(1);
    bytes.F32(3.0f).F32(1.0f);
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    if (result.error != WorldObjectOk)
        return nullptr;
    auto *solid = static_cast<SolidObject *>(result.object);
    world->objects[world->objectCount++] = solid;
    if (solid->ResolvePanels(world->objects, world->objectCount, world->colours.count) != SolidResolveOk)
        return nullptr;
    solid->Prepare();
    return solid;
}

// The hand-built car with its set-up applied and a 4 m x 1.8 m body box.
struct WorldCar : ModelCar {
    WorldCar() {
        car.SetUpModel(0);
        car.maxX = 0.9f;
        car.minX = -0.9f;
        car.maxY = 2.0f;
        car.minY = -2.0f;
    }
    // Body origin above the ground: every tyre 5 cm clear.
    float Clearance() const {
        float lowest = -1000.0f;
        for (int i = 0; i < car.wheelCount; i++) {
            const float below = car.wheels[i].radius - car.wheels[i].baseHeight;
            lowest = below > lowest ? below : lowest;
        }
        return 0.05f + lowest;
    }
    void PlaceAt(float x, float y, float z) { car.position = {MetresToFix(x), MetresToFix(y), MetresToFix(z)}; }
};

// A world with the session running (the ground probe needs one).
class CarResetWorldTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTyreCurves(); }
    void SetUp() override {
        scene.world->colours.count = 1;
        scene.world->colours.records = new TrackColour[1]();
        SetSessionExistsCheck(SessionRuns);
    }
    void TearDown() override { SetSessionExistsCheck(nullptr); }

    // Whether a body corner (scaled) reaches into a solid, asked the way the
    // placement asks.
    static bool CornerInSolid(const CarObject &car, float cx, float cy) {
        const float *m = car.orientation;
        const FixVector o = {MetresToFix(m[0] * cx + m[1] * cy), MetresToFix(m[3] * cx + m[4] * cy),
                             MetresToFix(m[6] * cx + m[7] * cy)};
        const int32_t z0 = MetresToFix(car.dryCentreOfMass[2]);
        const FixVector end = {car.position.x + o.x, car.position.y + o.y, car.position.z + o.z + z0};
        ContactProbe record;
        record.Clear();
        return LoadedWorldQuery()->SolidContactQuery(end, o, record) != 0;
    }

    TestWorld scene;
};

// On a road tilted 10 degrees the car's up axis is the road's normal,
// whichever way it faces, and it stands the clearance above the road.
TEST_F(CarResetWorldTest, TiltsTheCarToASlopedRoad) {
    const float rise = 10.0f * std::tan(Slope);
    ASSERT_NE(AddTiltedStrip(scene.world, 0.0f, -5.0f, 0.0f, rise), nullptr);
    scene.world->BuildMapSquares();
    ASSERT_NE(LoadedWorldQuery(), nullptr);

    const float normal[3] = {-std::sin(Slope), 0.0f, std::cos(Slope)};
    for (const float heading : {0.0f, Pi / 2.0f, 2.5f}) {
        SCOPED_TRACE(heading);
        WorldCar w;
        w.PlaceAt(0.0f, 0.0f, 5.0f);
        w.car.Reset(heading, 0, 1);
        const float *m = w.car.orientation;
        EXPECT_NEAR(m[2], normal[0], 1e-4f);
        EXPECT_NEAR(m[5], normal[1], 1e-4f);
        EXPECT_NEAR(m[8], normal[2], 1e-4f);
        // The forward axis is square to the up axis, still along the heading.
        EXPECT_NEAR(m[1] * m[2] + m[4] * m[5] + m[7] * m[8], 0.0f, 1e-5f);
        EXPECT_GT(m[1] * -std::sin(heading) + m[4] * std::cos(heading), 0.98f);
        EXPECT_EQ(w.car.position.x, 0);
        EXPECT_EQ(w.car.position.y, 0);
        EXPECT_NEAR(FixToMetres(w.car.position.z), rise / 2.0f + w.Clearance(), 0.002f);
        EXPECT_EQ(w.car.predictedOrientation[2], m[2]);
    }
}

// A car whose right-hand corners reach into a steep bank beside it ends
// clear of it, by the plain reset and by the rescue with its shrinking
// passes.
TEST_F(CarResetWorldTest, PushesTheCarOutOfASolidBesideIt) {
    ASSERT_NE(AddTiltedStrip(scene.world, -5.0f, 0.0f, 0.0f, 0.0f), nullptr);   // ground x -10..0
    const float bankRise = 10.0f * std::tan(80.0f * Pi / 180.0f);
    ASSERT_NE(AddTiltedStrip(scene.world, 5.0f, 0.0f, 0.0f, bankRise), nullptr);  // bank x 0..10
    scene.world->BuildMapSquares();

    for (const int rescue : {0, 1}) {
        SCOPED_TRACE(rescue);
        WorldCar w;
        CarObject &car = w.car;
        const float startX = -0.5f;   // the right corners 0.4 m over the bank's edge
        w.PlaceAt(startX, 5.0f, w.Clearance());
        ASSERT_TRUE(CornerInSolid(car, car.maxX, car.maxY));
        ASSERT_TRUE(CornerInSolid(car, car.maxX, car.minY));

        car.Reset(0.0f, rescue, 1);
        EXPECT_LT(FixToMetres(car.position.x), startX - 0.2f);
        EXPECT_GT(FixToMetres(car.position.x), startX - 2.0f);
        EXPECT_EQ(car.position.y, MetresToFix(5.0f));
        EXPECT_NEAR(FixToMetres(car.position.z), w.Clearance(), 1e-4f);
        EXPECT_NEAR(car.orientation[8], 1.0f, 1e-6f);
        for (const float scale : {1.0f, 0.75f, 0.5f}) {
            SCOPED_TRACE(scale);
            EXPECT_FALSE(CornerInSolid(car, car.maxX * scale, car.maxY * scale));
            EXPECT_FALSE(CornerInSolid(car, car.maxX * scale, car.minY * scale));
        }
    }
}

// With no solid below, the car stands at the clearance height, level.
TEST_F(CarResetWorldTest, WithoutGroundTheCarStandsAtTheClearanceHeight) {
    ASSERT_NE(AddTiltedStrip(scene.world, 0.0f, -5.0f, 3.0f, 5.0f), nullptr);
    scene.world->BuildMapSquares();
    for (const float x : {40.0f, 500.0f}) {   // beside the road; off the map
        SCOPED_TRACE(x);
        WorldCar w;
        w.PlaceAt(x, 0.0f, 20.0f);
        w.car.Reset(0.4f, 1, 1);
        EXPECT_EQ(w.car.position.z, MetresToFix(w.Clearance()));
        EXPECT_EQ(w.car.position.x, MetresToFix(x));
        EXPECT_NEAR(w.car.orientation[8], 1.0f, 1e-6f);
    }
}

// A reset sets every tyre up afresh; a rescue keeps the tyres' state.
TEST_F(CarResetWorldTest, RescueKeepsTheTyres) {
    ASSERT_NE(AddTiltedStrip(scene.world, 0.0f, -5.0f, 0.0f, 0.0f), nullptr);
    scene.world->BuildMapSquares();
    for (const int rescue : {0, 1}) {
        SCOPED_TRACE(rescue);
        WorldCar w;
        CarObject &car = w.car;
        w.PlaceAt(0.0f, 0.0f, 1.0f);
        car.Reset(0.0f, 0, 1);
        for (int i = 0; i < car.wheelCount; i++) {
            car.wheels[i].tread[5].sections[1].thickness = 0.001f;
            car.wheels[i].tread[0].sections[0].bulkHeat = 1.0f;
            car.wheels[i].tread[2].dirt = 0.1f;
            car.wheels[i].flat = 1;
        }
        car.Reset(0.0f, rescue, 1);
        for (int i = 0; i < car.wheelCount; i++) {
            SCOPED_TRACE(i);
            const CarWheel &wheel = car.wheels[i];
            if (rescue) {
                EXPECT_EQ(wheel.tread[5].sections[1].thickness, 0.001f);
                EXPECT_EQ(wheel.tread[0].sections[0].bulkHeat, 1.0f);
                EXPECT_EQ(wheel.tread[2].dirt, 0.1f);
                EXPECT_EQ(wheel.flat, 1);
            } else {
                EXPECT_FLOAT_EQ(wheel.tread[5].sections[1].thickness, 0.03f * car.axles[wheel.axleIndex].outerRadius);
                EXPECT_GT(wheel.tread[0].sections[0].bulkHeat, 1.0f);
                EXPECT_EQ(wheel.tread[2].dirt, 0.0f);
                EXPECT_EQ(wheel.flat, 0);
            }
        }
    }
}

}  // namespace
