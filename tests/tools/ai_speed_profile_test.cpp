#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "race/ai_driver.h"
#include "race/ai_knowledge.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/default_site_fixture.h"
#include "tools/default_track.h"
#include "tools/knowledge_files.h"
#include "vehicle/car_data_loader.h"
#include "world/path.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"
#include "world/zone_object.h"

namespace {

// A generated car on the default site.
class AiSpeedProfileTest : public DefaultSiteFixture<GeneratedCarsFixture> {
protected:
    void SetUp() override
    {
        GeneratedCarsFixture::SetUp();
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
    }

    CarObject car;
};

}  // namespace

TEST_F(AiSpeedProfileTest, CapabilityFiguresOfAGeneratedCar)
{
    AiKnowledge k;
    k.car = &car;
    EstimateCarCapability(k);
    EXPECT_EQ(k.tankSize, car.tankSize);
    EXPECT_GT(k.EffectiveMass(), car.mass);
    EXPECT_GT(k.maxBrakeDecel, 5.0f);
    EXPECT_LT(k.maxBrakeDecel, 40.0f);
    EXPECT_GT(k.rearRoll, 0.0f);
    EXPECT_GT(k.frontRoll, 0.0f);
    // Recorded figures of car 0 (changed only on purpose). A road car: its
    // body lifts a little (negative down-force).
    EXPECT_EQ(k.EffectiveMass(), 923.595032f);
    EXPECT_EQ(k.maxBrakeDecel, 16.404932f);
    EXPECT_EQ(k.rearDownforce, -0.000157955059f);
    EXPECT_EQ(k.frontDownforce, -0.000152856592f);
    EXPECT_EQ(k.rearRoll, 62000.0f);
    EXPECT_EQ(k.frontRoll, 68000.0f);
    k.car = nullptr;
}

TEST_F(AiSpeedProfileTest, ProfileOfTheCircuitIsFiniteAndReachesTopSpeed)
{
    SelectConfig(world, 1, 0);
    const Path &path = *world->currentPath;
    AiKnowledge k;
    CentreLine(k, path);
    ASSERT_EQ(k.Build(path, car.halfWidth), 1);
    k.car = &car;
    EstimateCarCapability(k);
    for (int full : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "full " << full);
        k.ComputeSpeedProfile(full, 1.0f, -1, 1, nullptr);
        float fastest = 0.0f;
        float slowest = 1e9f;
        int braking = 0;
        for (uint32_t i = 0; i < k.nodeCount; ++i) {
            const KnowledgeNode &n = k.nodes[i];
            ASSERT_TRUE(std::isfinite(n.maxSpeed) && n.maxSpeed > 0.0f) << i;
            ASSERT_TRUE(std::isfinite(n.frontGrip) && std::isfinite(n.rearGrip)) << i;
            fastest = std::max(fastest, n.maxSpeed);
            slowest = std::min(slowest, n.maxSpeed);
            braking += n.brakeLevel > 0;
        }
        EXPECT_LE(fastest, car.topSpeedEstimate);
        EXPECT_GT(fastest, 0.5f * car.topSpeedEstimate);
        EXPECT_LT(slowest, 25.0f);   // the hairpins
        EXPECT_GT(slowest, 5.0f);
        EXPECT_GT(braking, 0);
        double sum = 0.0;
        unsigned levels = 0;
        for (uint32_t i = 0; i < k.nodeCount; ++i) {
            sum += k.nodes[i].maxSpeed;
            levels = levels * 31u + k.nodes[i].brakeLevel * 256u + k.nodes[i].throttleLevel;
        }
        // The recorded profile of car 0 on configuration 1 (changed only on
        // purpose): the node tables drive the AI, whose inputs replays record.
        struct Golden {
            double sum;
            unsigned levels;
            float node0, node100, node300;
        };
        const Golden golden[2] = {{26881.7605, 3075667968u, 23.5776958f, 54.4120178f, 54.4120178f},
                                  {18453.5273, 503925710u, 15.4315004f, 40.8391457f, 24.6114006f}};
        EXPECT_NEAR(sum, golden[full].sum, 1e-3);
        EXPECT_EQ(levels, golden[full].levels);
        EXPECT_EQ(k.nodes[0].maxSpeed, golden[full].node0);
        EXPECT_EQ(k.nodes[100].maxSpeed, golden[full].node100);
        EXPECT_EQ(k.nodes[300].maxSpeed, golden[full].node300);
    }
    k.car = nullptr;
    k.Clear();
}

// Pass 1 rules on single nodes of a built line.
TEST_F(AiSpeedProfileTest, CorneringSpeedsStraightsEndsAndGripFactor)
{
    SelectConfig(world, 1, 0);
    const Path &path = *world->currentPath;
    AiKnowledge k;
    CentreLine(k, path);
    ASSERT_EQ(k.Build(path, car.halfWidth), 1);
    k.car = &car;
    EstimateCarCapability(k);
    // No down-force and a flat line: cornering speed goes with sqrt(grip).
    k.rearDownforce = 0.0f;
    k.frontDownforce = 0.0f;
    for (uint32_t i = 0; i < k.nodeCount; ++i) {
        k.nodes[i].vertCurvature = 0.0f;
    }
    // Open, no end node: both ends stop.
    k.ComputeSpeedProfile(0, 1.0f, -1, 0, nullptr);
    EXPECT_EQ(k.nodes[0].maxSpeed, 1.0f);
    EXPECT_EQ(k.nodes[k.nodeCount - 1].maxSpeed, 1.0f);

    // Pass 1 alone (the node table's own cornering speeds): compare the
    // first pass of two grip factors on a tight node, away from braking.
    std::vector<float> full(k.nodeCount);
    k.ComputeSpeedProfile(0, 1.0f, -1, 1, nullptr);
    int tight = -1;
    for (uint32_t i = 0; i < k.nodeCount; ++i) {
        full[i] = k.nodes[i].maxSpeed;
        if (tight < 0 || full[i] < full[tight]) {
            tight = static_cast<int>(i);
        }
    }
    k.ComputeSpeedProfile(0, 0.6f, -1, 1, nullptr);
    EXPECT_NEAR(k.nodes[tight].maxSpeed / full[tight], std::sqrt(0.6f), 1e-3f);
    // A straight node gets the top speed in pass 1.
    k.nodes[tight].curvature = 0.0f;
    k.ComputeSpeedProfile(0, 1.0f, -1, 1, nullptr);
    int straight = 0;
    for (uint32_t i = 0; i < k.nodeCount; ++i) {
        straight += k.nodes[i].curvature == 0.0f && k.nodes[i].maxSpeed == car.topSpeedEstimate;
    }
    EXPECT_GT(straight, 0);
    k.car = nullptr;
    k.Clear();
}

TEST_F(AiSpeedProfileTest, BrakingLimits)
{
    AiKnowledge k;
    k.car = &car;
    EstimateCarCapability(k);
    KnowledgeNode node = {};
    node.frontGrip = node.rearGrip = 1.2f;
    node.bankFactor = 1.0f;
    for (float f : {0.6f, 0.8f, 1.0f}) {
        for (float v : {5.0f, 20.0f, 60.0f}) {
            EXPECT_LE(k.MaxBrakingDecel(node, f, v * v), f * k.maxBrakeDecel);
        }
    }
    // The whole capacity used sideways leaves nothing for braking.
    node.curvature = 0.1f;
    const float v2 = k.LateralGrip(node, 1.0f, 0.0f) / node.curvature * 2.0f;
    EXPECT_EQ(k.MaxBrakingDecel(node, 1.0f, v2), 0.0f);
    k.car = nullptr;
}

// On a closed loop whose slowest corner is just after the start the braking
// pass goes on past the start node.
TEST_F(AiSpeedProfileTest, ClosedBrakingRunsPastTheStart)
{
    AiKnowledge k;
    k.car = &car;
    EstimateCarCapability(k);
    k.AllocNodes(40);
    for (uint32_t i = 0; i < 40; ++i) {
        KnowledgeNode &n = k.nodes[i];
        n.bankFactor = 1.0f;
        n.distance = 5.0f;
        n.dir[1] = 1.0f;
        n.normal[2] = 1.0f;
    }
    // A tight corner at nodes 1..2, the rest straight.
    k.nodes[1].curvature = 0.05f;
    k.nodes[2].curvature = 0.04f;
    k.ComputeSpeedProfile(0, 1.0f, -1, 1, nullptr);
    // Node 1 is the slowest: the passes start there, and braking for it
    // reaches the nodes before the start (39, 38, ...).
    EXPECT_LT(k.nodes[0].maxSpeed, car.topSpeedEstimate);
    EXPECT_LT(k.nodes[39].maxSpeed, car.topSpeedEstimate);
    EXPECT_LT(k.nodes[39].maxSpeed, k.nodes[30].maxSpeed + 1e-3f);
    EXPECT_GT(k.nodes[39].brakeLevel, 0);
    k.car = nullptr;
    k.Clear();
}

// The pit-lane line's profile keeps the lane's speed limit.
TEST_F(AiSpeedProfileTest, PitLineProfileKeepsTheSpeedLimit)
{
    SelectConfig(world, 1, 0);
    const Path &path = *world->currentPath;
    AiDriver driver(&car, 0);
    CentreLine(driver.line, path);
    ASSERT_EQ(driver.line.Build(path, car.halfWidth), 1);
    driver.line.car = &car;
    EstimateCarCapability(driver.line);
    driver.line.ComputeSpeedProfile(0, 1.0f, -1, 1, nullptr);
    ASSERT_EQ(driver.BuildKnowledge(), 1);
    driver.pitLine.car = &car;
    EstimateCarCapability(driver.pitLine);
    driver.pitLine.ComputeSpeedProfile(0, 1.0f, driver.pitExitNode, 0, driver.line.nodes);
    const float limit = (static_cast<float>(world->GetLowestSpeedLimit()) - 1.0f) * 0.2777778f;
    int limited = 0;
    const KnowledgeNode *nodes = driver.pitLine.nodes;
    for (uint32_t i = 0; i < driver.pitLine.nodeCount; ++i) {
        ASSERT_TRUE(std::isfinite(nodes[i].maxSpeed)) << i;
        if (world->FindSpeedLimitZone(nodes[i].linePoint[0], nodes[i].linePoint[1])) {
            ++limited;
            EXPECT_LE(nodes[i].maxSpeed, limit) << i;
            if (i > 0) {
                EXPECT_LE(nodes[i - 1].maxSpeed, limit) << i;
            }
        }
    }
    EXPECT_GT(limited, 50);
    EXPECT_EQ(nodes[driver.pitLine.nodeCount - 1].maxSpeed, driver.line.nodes[driver.pitExitNode].maxSpeed);
    driver.line.car = nullptr;
    driver.pitLine.car = nullptr;
    driver.car = nullptr;
}

// The shipped knowledge file of a car on configuration 1, read through the
// program's own file name: its line stays on the road, its straights reach
// the car's top speed and its slowest corners are the hairpins' speeds.
TEST_F(AiSpeedProfileTest, GeneratedFileLoadsBuildsAndProfiles)
{
    ASSERT_EQ(WriteKnowledgeFiles("."), nullptr);
    SelectConfig(world, 1, 0);
    const Path &path = *world->currentPath;
    AiKnowledge k;
    char name[64];
    std::snprintf(name, sizeof name, "data\\knw\\KE1_%s.knw", CarTable[0].code);
    ASSERT_EQ(k.Load(name, path.nodeCount), 1);
    ASSERT_EQ(k.Build(path, car.halfWidth), 1);
    EXPECT_GT(k.lapTime, 30.0f);
    EXPECT_GT(k.fuelPerLap, 0.0f);
    EXPECT_EQ(k.tankSize, car.tankSize);
    EXPECT_EQ(k.MatchSettings(*car.setup), 1);
    for (uint32_t i = 0; i < k.nodeCount; ++i) {
        EXPECT_GE(k.nodes[i].offset, path.nodes[i].leftEdge + 0.9f + car.halfWidth) << i;
        EXPECT_LE(k.nodes[i].offset, path.nodes[i].rightEdge - 0.9f - car.halfWidth) << i;
    }
    k.car = &car;
    EstimateCarCapability(k);
    k.ComputeSpeedProfile(0, 1.0f, -1, 1, nullptr);
    float fastest = 0.0f;
    float slowest = 1e9f;
    for (uint32_t i = 0; i < k.nodeCount; ++i) {
        fastest = std::max(fastest, k.nodes[i].maxSpeed);
        slowest = std::min(slowest, k.nodes[i].maxSpeed);
    }
    EXPECT_EQ(fastest, car.topSpeedEstimate);
    // A 20 to 25 m hairpin at about 1 g: 14 to 20 m/s, wider on the line.
    EXPECT_GT(slowest, 10.0f);
    EXPECT_LT(slowest, 30.0f);
    k.car = nullptr;
    k.Clear();
}
