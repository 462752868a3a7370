#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "core/settings.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/tyre_mark_sink.h"
#include "vehicle/tyre_type_table.h"
#include "car_model_fixture.h"
#include "vehicle/tyre_curves.h"
#include "world_query_double.h"

namespace {

// What the car handed to the scene.
struct MarkCall {
    FixVector left, right;
    float intensity;
    int32_t segment;
    uint16_t node;
    int32_t returned;
};
struct SpriteCall {
    FixVector position, velocity;
    int32_t startSize, endSize;
    uint8_t colour[4];
    int32_t lifetime;
};
struct FakeScene {
    std::vector<MarkCall> marks;
    std::vector<int32_t> cleared;
    std::vector<SpriteCall> sprites;
    int32_t pathNode = 7;
};
FakeScene *Scene = nullptr;

// Every call returns a segment index of its own, so a chain shows which
// return was passed on.
int32_t FakeAddSkidMark(const FixVector &left, const FixVector &right, float intensity, int32_t segment,
                        uint16_t node) {
    const int32_t returned = 100 + static_cast<int32_t>(Scene->marks.size());
    Scene->marks.push_back({left, right, intensity, segment, node, returned});
    return returned;
}
void FakeClearSegmentAlpha(int32_t segment) {
    Scene->cleared.push_back(segment);
}
void FakeAddSprite(const FixVector &position, const FixVector &velocity, int32_t startSize, int32_t endSize,
                   const uint8_t colour[4], int32_t lifetime) {
    Scene->sprites.push_back(
        {position, velocity, startSize, endSize, {colour[0], colour[1], colour[2], colour[3]}, lifetime});
}
int32_t FakePathNode(const PathFollower *) {
    return Scene->pathNode;
}

constexpr float PeakSlip = 0.25f;
constexpr float Mass = 1000.0f;
constexpr float NormalForce = 4905.0f;    // half the car's weight
constexpr float TyreRadius = 0.3f;
constexpr float SectionArea = 0.01f;
constexpr int TyreType = 1;
const float SkinCapacity = TyreRadius * 0.001f * SectionArea * 2000.0f * 910.0f;   // J/K
const float Optimal = TyreTypeTable[TyreType].optimalTemperature;
constexpr float Step = 0.1f;              // m per tick along y
constexpr float TwoPi = 6.28318548f;

// One front wheel of a 1000 kg car at 10 m/s, rolling along y on a road
// surface, cold, with the fake scene registered.
struct TyreMarksTest : ::testing::Test {
    FakeScene scene;
    CarObject car;
    CarWheel *wheel = nullptr;
    CarObjectServices savedServices{};
    TyreMarkSink savedSink{};
    float savedLod = 0.0f;
    int savedRubber = 0;
    char followerStandIn = 0;

    void SetUp() override {
        Scene = &scene;
        savedServices = CarServices;
        savedSink = TyreMarks;
        savedLod = DustLod;
        savedRubber = NoRubber;
        CarServices.pathFollowerNode = FakePathNode;
        TyreMarks = {FakeAddSkidMark, FakeClearSegmentAlpha, FakeAddSprite};
        NoRubber = 1;
        DustLod = 1.0f;

        // Never dereferenced: the fake node service answers for it.
        car.pathFollower = reinterpret_cast<PathFollower *>(&followerStandIn);
        car.mass = Mass;
        car.speed = 10.0f;
        car.axles[1].outerRadius = TyreRadius;
        car.axles[1].treadSectionArea = SectionArea;
        car.axles[1].tyreType = TyreType;
        car.wheelCount = 1;
        car.wheels = new CarWheel[1];
        wheel = &car.wheels[0];
        ResetWheel();
    }
    void TearDown() override {
        car.pathFollower = nullptr;
        CarServices = savedServices;
        TyreMarks = savedSink;
        DustLod = savedLod;
        NoRubber = savedRubber;
        ExtrapolatingRemoteCar = 0;
        Scene = nullptr;
    }

    void ResetWheel() {
        car.position = {5 * 65536, -20 * 65536, 65536};
        CarWheel &w = *wheel;
        w.SetDefaults();
        for (int32_t &c : w.lastSkidPoint)
            c = 0;
        w.axleIndex = 1;
        w.peakSlip = PeakSlip;
        w.slipShown = 0.0f;
        w.normalForce = NormalForce;
        const float contact[3] = {0.75f, 1.3f, -0.3f};
        const float roll[3] = {0.0f, 1.0f, 0.0f};
        for (int k = 0; k < 3; k++) {
            w.contactPoint[k] = contact[k];
            w.rollDirection[k] = roll[k];
            w.tyreProbe.stepNormal[k] = k == 2 ? 1.0f : 0.0f;
        }
        w.contactWidth = 0.2f;
        w.patchLength = 0.125f;
        w.surfaceType = 0;
        w.tyreProbe.probe.otherBody = nullptr;
        w.tyreProbe.probe.surface = nullptr;
        w.tyreProbe.probe.hitPoint = {3 * 65536, 4 * 65536, 5 * 65536};
        w.inContact = 1;
        SetSkinTemperature(20.0f);
        scene = FakeScene{};
    }

    // Every section of every tread segment at t degrees Celsius.
    void SetSkinTemperature(float t) {
        for (TreadSegment &segment : wheel->tread)
            for (TreadSection &section : segment.sections)
                section.skinHeat = (t + 273.15f) * SkinCapacity;
    }

    void SetSlipRatio(float ratio) { wheel->slipShown = ratio * PeakSlip; }

    // The car moves by (dx, dy) metres, then the pass runs.
    void Tick(float dx = 0.0f, float dy = Step) {
        car.position.x += MetresToFix(dx);
        car.position.y += MetresToFix(dy);
        car.StepTyreMarks(*wheel);
    }

    // Where the pass puts the wheel's mark point now.
    FixVector MarkPoint() const {
        return {car.position.x + MetresToFix(wheel->contactPoint[0]),
                car.position.y + MetresToFix(wheel->contactPoint[1]),
                car.position.z + MetresToFix(wheel->contactPoint[2]) + 1024};
    }

    // A fresh wheel sliding at 2.2 x its peak slip, run until its first
    // segment is laid: the first tick jumps from the reset point and ends
    // the mark, the second only records its point, the third draws.
    void LayFirstSegment() {
        SetSlipRatio(2.2f);
        for (int i = 0; i < 3; i++)
            Tick();
        ASSERT_EQ(scene.marks.size(), 1u);
    }
};

TEST_F(TyreMarksTest, SlidingWheelLaysOneChainedMark) {
    SetSlipRatio(2.2f);
    for (int i = 0; i < 6; i++) {
        Tick();
        EXPECT_EQ(scene.marks.size(), i < 2 ? 0u : static_cast<size_t>(i - 1)) << "tick " << i;
    }
    ASSERT_EQ(scene.marks.size(), 4u);
    EXPECT_EQ(scene.marks[0].segment, -1);
    for (size_t i = 1; i < scene.marks.size(); i++)
        EXPECT_EQ(scene.marks[i].segment, scene.marks[i - 1].returned) << i;
    EXPECT_EQ(wheel->skidSegment, scene.marks.back().returned);
    for (const MarkCall &mark : scene.marks) {
        EXPECT_EQ(mark.node, 7);
        EXPECT_FLOAT_EQ(mark.intensity, NormalForce / (Mass * 9.81f));
    }
    EXPECT_TRUE(scene.cleared.empty());
    const FixVector p = MarkPoint();
    EXPECT_EQ(wheel->lastSkidPoint[0], p.x);
    EXPECT_EQ(wheel->lastSkidPoint[1], p.y);
    EXPECT_EQ(wheel->lastSkidPoint[2], p.z);
}

// The mark is as wide as the tread when the wheel rolls along its mark, as
// wide as the patch is long when it slides sideways (both x 1.2), across
// the direction of travel on the road's plane, 1/64 m above the road.
TEST_F(TyreMarksTest, MarkWidthFollowsTheDirectionOfTravel) {
    struct Row {
        const char *name;
        float dx, dy;
        int32_t halfWidth;
        FixVector side;   // unit side vector n x u
    };
    const Row rows[] = {
        {"rolling along y", 0.0f, Step, 7864, {-1, 0, 0}},      // 0.2 x 39321.6
        {"sliding along x", Step, 0.0f, 4915, {0, 1, 0}},       // 0.125 x 39321.6
        {"sliding along -x", -Step, 0.0f, 4915, {0, -1, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ResetWheel();
        SetSlipRatio(2.2f);
        for (int i = 0; i < 3; i++)
            Tick(row.dx, row.dy);
        ASSERT_EQ(scene.marks.size(), 1u);
        const FixVector p = MarkPoint();
        const MarkCall &mark = scene.marks[0];
        EXPECT_EQ(mark.left.x, p.x + row.halfWidth * row.side.x);
        EXPECT_EQ(mark.left.y, p.y + row.halfWidth * row.side.y);
        EXPECT_EQ(mark.right.x, p.x - row.halfWidth * row.side.x);
        EXPECT_EQ(mark.right.y, p.y - row.halfWidth * row.side.y);
        EXPECT_EQ(mark.left.z, p.z);
        EXPECT_EQ(mark.right.z, p.z);
    }
}

TEST_F(TyreMarksTest, IntensityGrowsWithSlipBeyondTheThreshold) {
    const float weight = Mass * 9.81f;
    struct Row {
        float slipRatio;
        float normalForce;
        float intensity;   // 0: no mark
    };
    const Row rows[] = {
        {1.0f, NormalForce, 0.0f},
        {1.2f, NormalForce, 0.0f},                                // r = 0
        {1.5f, NormalForce, 0.3f * NormalForce / weight},
        {2.2f, NormalForce, NormalForce / weight},                // r reaches its cap of 1
        {4.0f, NormalForce, NormalForce / weight},
        {2.2f, 0.0625f * weight, 0.0f},                           // I = 0.0625 is not above the least
        {2.2f, 0.07f * weight, 0.07f},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "slip x " << row.slipRatio << ", load " << row.normalForce);
        ResetWheel();
        wheel->normalForce = row.normalForce;
        SetSlipRatio(row.slipRatio);
        for (int i = 0; i < 4; i++)
            Tick();
        if (row.intensity == 0.0f) {
            EXPECT_TRUE(scene.marks.empty());
            EXPECT_EQ(wheel->skidSegment, -2);
        } else {
            ASSERT_EQ(scene.marks.size(), 2u);
            EXPECT_NEAR(scene.marks[1].intensity, row.intensity, 1e-5f);
        }
    }
}

TEST_F(TyreMarksTest, NoRubberTwoLaysNoMarks) {
    const int rows[][2] = {{0, 2}, {1, 2}, {2, 0}};   // setting, marks after 4 ticks
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "No Rubber " << row[0]);
        ResetWheel();
        NoRubber = row[0];
        SetSlipRatio(2.2f);
        for (int i = 0; i < 4; i++)
            Tick();
        EXPECT_EQ(scene.marks.size(), static_cast<size_t>(row[1]));
    }
}

// Each condition, failing on a tick of a running mark, ends it: the last
// segment's alpha is cleared and the next qualifying tick draws nothing.
TEST_F(TyreMarksTest, EveryFailedConditionEndsTheMark) {
    struct Row {
        const char *name;
        void (*spoil)(TyreMarksTest &test);
    };
    const Row rows[] = {
        {"slip falls", [](TyreMarksTest &t) { t.SetSlipRatio(1.1f); }},
        {"path node unknown", [](TyreMarksTest &t) { t.scene.pathNode = -1; }},
        {"no path follower", [](TyreMarksTest &t) { t.car.pathFollower = nullptr; }},
        {"on another body", [](TyreMarksTest &t) { t.wheel->tyreProbe.probe.otherBody = &t.car; }},
        {"rim on the road", [](TyreMarksTest &t) { t.wheel->patchLength = 0.0f; }},
        {"off-road surface", [](TyreMarksTest &t) { t.wheel->surfaceType = 2; }},
        {"surface type out of range", [](TyreMarksTest &t) { t.wheel->surfaceType = 40; }},
        {"No Rubber 2", [](TyreMarksTest &) { NoRubber = 2; }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ResetWheel();
        NoRubber = 1;
        char standIn = 0;
        car.pathFollower = reinterpret_cast<PathFollower *>(&standIn);
        LayFirstSegment();
        const int32_t last = wheel->skidSegment;
        row.spoil(*this);
        Tick();
        EXPECT_EQ(scene.marks.size(), 1u);
        ASSERT_EQ(scene.cleared.size(), 1u);
        EXPECT_EQ(scene.cleared[0], last);
        EXPECT_EQ(wheel->skidSegment, -2);
        // Still failing: nothing more to clear.
        Tick();
        EXPECT_EQ(scene.cleared.size(), 1u);
        car.pathFollower = nullptr;
    }
}

TEST_F(TyreMarksTest, AfterAMarkEndsTheFirstQualifyingTickOnlyRecordsItsPoint) {
    LayFirstSegment();
    SetSlipRatio(1.0f);
    Tick();
    ASSERT_EQ(scene.cleared.size(), 1u);

    SetSlipRatio(2.2f);
    Tick();
    EXPECT_EQ(scene.marks.size(), 1u);
    EXPECT_EQ(wheel->skidSegment, -1);
    const FixVector p = MarkPoint();
    EXPECT_EQ(wheel->lastSkidPoint[1], p.y);

    Tick();
    ASSERT_EQ(scene.marks.size(), 2u);
    EXPECT_EQ(scene.marks[1].segment, -1);   // a new chain
    EXPECT_EQ(wheel->skidSegment, scene.marks[1].returned);
}

// The step between two mark points must be longer than 0.02 m and shorter
// than 0.4 m + 0.01 m per m/s; otherwise the mark breaks.
TEST_F(TyreMarksTest, JumpsAndCreepsBreakTheMark) {
    struct Row {
        float speed;
        float step;
        bool continues;
    };
    const Row rows[] = {
        {10.0f, 0.49f, true}, {10.0f, 0.51f, false}, {20.0f, 0.55f, true}, {20.0f, 0.61f, false},
        {0.0f, 0.39f, true},  {0.0f, 0.41f, false},  {10.0f, 0.03f, true}, {10.0f, 0.015f, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.speed << " m/s, step " << row.step);
        ResetWheel();
        car.speed = row.speed;
        LayFirstSegment();
        const int32_t last = wheel->skidSegment;
        Tick(0.0f, row.step);
        if (row.continues) {
            ASSERT_EQ(scene.marks.size(), 2u);
            EXPECT_EQ(scene.marks[1].segment, last);
            EXPECT_TRUE(scene.cleared.empty());
        } else {
            EXPECT_EQ(scene.marks.size(), 1u);
            ASSERT_EQ(scene.cleared.size(), 1u);
            EXPECT_EQ(scene.cleared[0], last);
        }
        // The point is taken over either way.
        EXPECT_EQ(wheel->lastSkidPoint[1], MarkPoint().y);
    }
}

// A hot tyre smokes on every n-th tick, n = round(4 / "Dust LOD "); the four
// sprites of a cycle live 600 to 2400 ms whatever the setting. A setting
// outside its range is taken at the nearest end.
TEST_F(TyreMarksTest, SmokeCadenceFollowsDustLod) {
    struct Row {
        float lod;
        int every;
    };
    const Row rows[] = {
        {1.0f, 4}, {0.5f, 8}, {0.2f, 20}, {0.0f, 20}, {std::numeric_limits<float>::quiet_NaN(), 20}, {3.0f, 4},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "Dust LOD " << row.lod);
        ResetWheel();
        DustLod = row.lod;
        SetSkinTemperature(3.5f * Optimal);
        const int ticks = 5 * row.every;
        std::vector<int> emittedAt;
        for (int i = 1; i <= ticks; i++) {
            const size_t before = scene.sprites.size();
            Tick(0.0f, 0.0f);
            if (scene.sprites.size() > before)
                emittedAt.push_back(i);
        }
        ASSERT_EQ(emittedAt.size(), 5u);
        const int32_t lifetimes[] = {600, 1200, 1800, 2400, 600};
        for (int k = 0; k < 5; k++) {
            EXPECT_EQ(emittedAt[k], (k + 1) * row.every);
            EXPECT_EQ(scene.sprites[k].lifetime, lifetimes[k]);
        }
    }
}

TEST_F(TyreMarksTest, SmokeAlphaRisesWithTemperatureToItsCap) {
    struct Row {
        float timesOptimal;
        int alpha;   // -1: no smoke
    };
    const Row rows[] = {{1.9f, -1}, {1.99f, -1}, {2.5f, 64}, {2.8f, 102}, {3.1f, 128}, {6.0f, 128}, {100.0f, 128}};
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.timesOptimal << " x optimal");
        ResetWheel();
        SetSkinTemperature(row.timesOptimal * Optimal);
        for (int i = 0; i < 4; i++)
            Tick(0.0f, 0.0f);
        if (row.alpha < 0) {
            EXPECT_TRUE(scene.sprites.empty());
            EXPECT_EQ(wheel->smokeCounter, 0u);   // no tick could emit
            continue;
        }
        ASSERT_EQ(scene.sprites.size(), 1u);
        const SpriteCall &smoke = scene.sprites[0];
        EXPECT_EQ(smoke.colour[0], 255);
        EXPECT_EQ(smoke.colour[1], 255);
        EXPECT_EQ(smoke.colour[2], 255);
        EXPECT_EQ(smoke.colour[3], row.alpha);
    }
}

// The temperature is that of the tread segment on the road (for a remote
// car, segment 0, which holds the whole tread) and of its hottest section.
TEST_F(TyreMarksTest, SmokeComesFromTheTreadSegmentOnTheRoad) {
    struct Row {
        bool remote;
        int hotSegment;
        int hotSection;
        float rotationSegments;   // rotation in 1/16 turns
        bool smokes;
    };
    const Row rows[] = {
        {false, 5, 0, 5.0f, true},  {false, 5, 2, 5.2f, true},   {false, 5, 1, 4.4f, false},
        {false, 5, 1, -11.0f, true}, {false, 0, 1, 16.0f, true}, {true, 0, 2, 5.0f, true},
        {true, 5, 1, 5.0f, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << (row.remote ? "remote" : "local") << ", hot segment " << row.hotSegment
                                        << ", rotation " << row.rotationSegments);
        ResetWheel();
        car.isRemote = row.remote ? 1 : 0;
        wheel->tread[row.hotSegment].sections[row.hotSection].skinHeat = (3.5f * Optimal + 273.15f) * SkinCapacity;
        wheel->rotation = row.rotationSegments * TwoPi / 16.0f;
        for (int i = 0; i < 4; i++)
            Tick(0.0f, 0.0f);
        EXPECT_EQ(scene.sprites.size(), row.smokes ? 1u : 0u);
    }
}

// Dust: a tyre below the smoke limit that slides on a surface with flag bit
// 0 throws up the surface's lit colour, doubled, fully opaque.
TEST_F(TyreMarksTest, DustNeedsSlipAndADustySurface) {
    WorldQueryDouble world;   // lit colour (90 + 10 x kind, 80, 40)
    struct Row {
        const char *name;
        float slipRatio;
        const TrackColour *surface;
        bool dust;
    };
    const Row rows[] = {
        {"sliding on dusty kind 4", 1.5f, WorldQueryDouble::Surface(4, 1), true},
        {"sliding on dusty kind 0", 1.01f, WorldQueryDouble::Surface(0, 1), true},
        {"slip at the peak", 1.0f, WorldQueryDouble::Surface(4, 1), false},
        {"surface without flag bit 0", 1.5f, WorldQueryDouble::Surface(4, 0), false},
        {"no surface", 1.5f, nullptr, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ResetWheel();
        SetSlipRatio(row.slipRatio);
        wheel->tyreProbe.probe.surface = row.surface;
        for (int i = 0; i < 4; i++)
            Tick(0.0f, 0.0f);
        if (!row.dust) {
            EXPECT_TRUE(scene.sprites.empty());
            EXPECT_EQ(wheel->smokeCounter, 0u);
            continue;
        }
        ASSERT_EQ(scene.sprites.size(), 1u);
        const Colour lit = world.GetSurfaceLitColour(row.surface);
        const SpriteCall &dust = scene.sprites[0];
        EXPECT_EQ(dust.colour[0], lit.red >= 128 ? 255 : 2 * lit.red);
        EXPECT_EQ(dust.colour[1], 2 * lit.green);
        EXPECT_EQ(dust.colour[2], 2 * lit.blue);
        EXPECT_EQ(dust.colour[3], 255);
    }
}

// Sprites start at the probe's hit point, 0.1 m across, and move with the
// car less half the tyre's surface speed along the wheel's heading (all of
// it for dust, a tenth for smoke), rising at (0.3 x speed + |v|) x 0.04.
TEST_F(TyreMarksTest, SpriteMotionAndSize) {
    WorldQueryDouble world;
    struct Row {
        const char *name;
        bool smoke;
        float steer;
        float carVelocityX;
        FixVector velocity;
        int32_t endSize;
    };
    // Tyre surface speed v = 10 rad/s x 0.3 m = 3 m/s.
    const Row rows[] = {
        // k = 0.12: rise 7864, end size 600 ms x 0.12 x 65.536 = 4719
        {"dust", false, 0.0f, 0.0f, {0, -98304, 7864}, 4719},
        {"smoke", true, 0.0f, 0.0f, {0, -9830, 7864}, 4719},
        {"dust, wheel steered a quarter turn", false, 1.57079637f, 0.0f, {98304, 0, 7864}, 4719},
        // speed 10: k = 0.24
        {"dust, car moving along x", false, 0.0f, 10.0f, {655360, -98304, 15729}, 9437},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ResetWheel();
        car.velocity[0] = row.carVelocityX;
        car.velocity[1] = 0.0f;
        car.velocity[2] = 0.0f;
        car.speed = std::fabs(row.carVelocityX);
        wheel->steerAngle = row.steer;
        wheel->angularVelocity = 10.0f;
        if (row.smoke) {
            SetSkinTemperature(3.5f * Optimal);
        } else {
            SetSlipRatio(1.5f);
            wheel->tyreProbe.probe.surface = WorldQueryDouble::Surface(4, 1);
        }
        for (int i = 0; i < 4; i++)
            Tick(0.0f, 0.0f);
        ASSERT_EQ(scene.sprites.size(), 1u);
        const SpriteCall &sprite = scene.sprites[0];
        EXPECT_EQ(sprite.position.x, 3 * 65536);
        EXPECT_EQ(sprite.position.y, 4 * 65536);
        EXPECT_EQ(sprite.position.z, 5 * 65536);
        EXPECT_EQ(sprite.startSize, 6554);
        EXPECT_NEAR(sprite.velocity.x, row.velocity.x, 1);
        EXPECT_NEAR(sprite.velocity.y, row.velocity.y, 1);
        EXPECT_NEAR(sprite.velocity.z, row.velocity.z, 1);
        EXPECT_NEAR(sprite.endSize, row.endSize, 1);
        EXPECT_EQ(sprite.lifetime, 600);
    }
}

TEST_F(TyreMarksTest, WheelOffTheGroundThrowsNothing) {
    SetSkinTemperature(3.5f * Optimal);
    wheel->inContact = 0;
    for (int i = 0; i < 8; i++)
        Tick(0.0f, 0.0f);
    EXPECT_TRUE(scene.sprites.empty());
    EXPECT_EQ(wheel->smokeCounter, 0u);
}

TEST_F(TyreMarksTest, PreviewCarsAndExtrapolatedTicksLeaveNoTrace) {
    for (int row = 0; row < 2; row++) {
        SCOPED_TRACE(row == 0 ? "preview car" : "extrapolated remote tick");
        ResetWheel();
        car.previewCar = row == 0 ? 1 : 0;
        ExtrapolatingRemoteCar = row == 1 ? 1 : 0;
        SetSlipRatio(2.2f);
        SetSkinTemperature(3.5f * Optimal);
        for (int i = 0; i < 8; i++)
            Tick();
        EXPECT_TRUE(scene.marks.empty());
        EXPECT_TRUE(scene.sprites.empty());
        EXPECT_EQ(wheel->skidSegment, -1);
        EXPECT_EQ(wheel->smokeCounter, 0u);
    }
    car.previewCar = 0;
}

// The program's default: no scene entries. Marks restart every tick and
// nothing fails.
TEST_F(TyreMarksTest, EmptySinkDropsEverything) {
    TyreMarks = {};
    SetSlipRatio(2.2f);
    SetSkinTemperature(3.5f * Optimal);
    for (int i = 0; i < 40; i++) {
        Tick();
        EXPECT_LT(wheel->skidSegment, 0);
    }
    EXPECT_EQ(wheel->skidSegment, -1);
    EXPECT_TRUE(scene.marks.empty());
    EXPECT_TRUE(scene.sprites.empty());
}

// A wheel that was never set up (no tyre sizes, no peak slip) would divide
// by zero: it neither marks nor smokes, however hot its tread reads.
TEST_F(TyreMarksTest, UnsetTyreValuesLeaveNoTrace) {
    SetSkinTemperature(3.5f * Optimal);
    car.axles[1].outerRadius = 0.0f;
    wheel->peakSlip = 0.0f;
    wheel->slipShown = 0.0f;
    for (int i = 0; i < 8; i++)
        Tick();
    EXPECT_TRUE(scene.marks.empty());
    EXPECT_TRUE(scene.sprites.empty());
    EXPECT_EQ(wheel->smokeCounter, 0u);
}

// The whole car: braking hard from 20 m/s with the wheels standing still,
// the tyres slide and every wheel lays its own chain of segments: each call
// passes on the index the same wheel got last (-1 at a chain's start), so no
// returned index is passed twice.
TEST(CarTyreMarks, SlidingCarLaysChainedMarks) {
    BuildTyreCurves();
    WorldQueryDouble world;
    ModelCar model;
    PhysicsWorld physics;
    CarObject &car = model.car;
    car.SetUpModel(0);
    car.Reset(0.0f, 0, 1);
    physics.Add(&car);

    FakeScene scene;
    Scene = &scene;
    const CarObjectServices savedServices = CarServices;
    const TyreMarkSink savedSink = TyreMarks;
    const int savedRubber = NoRubber;
    const float savedLod = DustLod;
    CarServices.pathFollowerNode = FakePathNode;
    TyreMarks = {FakeAddSkidMark, FakeClearSegmentAlpha, FakeAddSprite};
    NoRubber = 1;
    DustLod = 1.0f;
    char followerStandIn = 0;
    car.pathFollower = reinterpret_cast<PathFollower *>(&followerStandIn);

    for (int i = 0; i < 30; i++)
        physics.Step(1);   // settle on the springs
    car.velocity[1] = 20.0f;
    car.inputs[2] = 65535;
    for (int i = 0; i < 100; i++)
        physics.Step(1);

    car.pathFollower = nullptr;
    physics.Remove(&car);
    CarServices = savedServices;
    TyreMarks = savedSink;
    NoRubber = savedRubber;
    DustLod = savedLod;
    Scene = nullptr;

    // Four wheels, a segment every tick for most of the slide.
    EXPECT_GT(scene.marks.size(), 100u);
    std::vector<int32_t> open;   // returned and not yet passed on or ended
    int chains = 0;
    for (const MarkCall &mark : scene.marks) {
        if (mark.segment == -1) {
            chains++;
        } else {
            bool found = false;
            for (size_t k = 0; k < open.size() && !found; k++) {
                if (open[k] == mark.segment) {
                    open.erase(open.begin() + static_cast<std::ptrdiff_t>(k));
                    found = true;
                }
            }
            EXPECT_TRUE(found) << "segment " << mark.segment << " passed on twice or never returned";
        }
        open.push_back(mark.returned);
        EXPECT_EQ(mark.node, 7);
    }
    EXPECT_GE(chains, 4);
    EXPECT_LT(chains, static_cast<int>(scene.marks.size()) / 4);
    for (const int32_t ended : scene.cleared)
        EXPECT_NE(std::find(open.begin(), open.end(), ended), open.end());
    // The locked tyres' skins pass twice their optimal temperature: white
    // smoke (the double's ground throws no dust).
    EXPECT_GT(scene.sprites.size(), 0u);
    for (const SpriteCall &sprite : scene.sprites) {
        EXPECT_EQ(sprite.colour[0], 255);
        EXPECT_LE(sprite.colour[3], 128);
    }
}

}  // namespace
