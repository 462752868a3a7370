#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/fixed_math.h"
#include "race/ai_driver.h"
#include "race/ai_knowledge.h"
#include "race/path_range.h"
#include "tests/tools/default_site_fixture.h"
#include "tools/default_track.h"
#include "vehicle/surface_table.h"
#include "world/path.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

// The default site, loaded once for the suite.
class AiKnowledgeTrackTest : public DefaultSiteFixture<::testing::Test> {};

}  // namespace

// The ground probes find the road under a line on the circuit: surfaces of
// road kinds, the line a little above the ground, upward normals.
TEST_F(AiKnowledgeTrackTest, CentreLineBuildsOnTheGround)
{
    SelectConfig(world, 1, 0);
    const Path &path = *world->currentPath;
    AiKnowledge k;
    CentreLine(k, path);
    ASSERT_EQ(k.Build(path, 0.9f), 1);
    int roadNodes = 0;
    for (uint32_t i = 0; i < k.nodeCount; ++i) {
        const KnowledgeNode &n = k.nodes[i];
        ASSERT_TRUE(std::isfinite(n.curvature) && std::isfinite(n.vertCurvature) && std::isfinite(n.bank)) << i;
        EXPECT_GT(n.normal[2], 0.9f) << i;
        EXPECT_GT(n.distance, 0.5f) << i;
        roadNodes += SurfaceTable[n.surface].onRoad != 0;
    }
    EXPECT_EQ(roadNodes, static_cast<int>(k.nodeCount));
    k.Clear();
}

// The pit-lane line joins the racing line to the pit nodes and back on both
// configurations that have the pit lane, in both directions where allowed.
TEST_F(AiKnowledgeTrackTest, PitLaneLineBuildsOnBothCircuitConfigurations)
{
    for (int config : {1, 2}) {
        SCOPED_TRACE(testing::Message() << "config " << config);
        SelectConfig(world, config, 0);
        const Path &path = *world->currentPath;
        AiDriver driver(nullptr, 0);
        CentreLine(driver.line, path);
        ASSERT_EQ(driver.line.Build(path, 0.9f), 1);
        ASSERT_EQ(driver.BuildKnowledge(), 1);
        EXPECT_EQ(driver.hasPitLine, 1);
        int pitNodes = 0;
        for (int i = 0; i < path.secondNodeCount; ++i) {
            if (path.secondNodes[i].flags & 8) {
                pitNodes = path.secondNodeCount - i;
                break;
            }
        }
        ASSERT_GT(pitNodes, 0);
        const int count = path.nodeCount;
        const int entry = static_cast<int>(driver.pitLine.nodeCount) - pitNodes;
        EXPECT_GE(entry, 10);   // at least five nodes on each spline
        EXPECT_GE(driver.pitEntryNode, 0);
        EXPECT_LT(driver.pitEntryNode, count);
        EXPECT_GE(driver.pitExitNode, 0);
        EXPECT_LT(driver.pitExitNode, count);
        // The ends are the racing line's own nodes.
        EXPECT_EQ(driver.pitLine.nodes[0].linePoint[0], driver.line.nodes[driver.pitEntryNode].linePoint[0]);
        const KnowledgeNode &last = driver.pitLine.nodes[driver.pitLine.nodeCount - 1];
        EXPECT_EQ(last.linePoint[1], driver.line.nodes[driver.pitExitNode].linePoint[1]);
        for (uint32_t i = 0; i < driver.pitLine.nodeCount; ++i) {
            const KnowledgeNode &n = driver.pitLine.nodes[i];
            ASSERT_TRUE(std::isfinite(n.curvature) && std::isfinite(n.normal[2])) << i;
            EXPECT_GT(n.normal[2], 0.9f) << i;
        }
    }
}

// Real ground probes under a range along a straight: road passes, grass
// beyond the kerb answers 1 unless grass is the allowed surface.
TEST_F(AiKnowledgeTrackTest, CheckRangeOnTrackProbesTheGround)
{
    SelectConfig(world, 1, 0);
    const Path &path = *world->currentPath;
    int start = -1;
    for (int i = 0; i + 10 < path.nodeCount && start < 0; ++i) {
        const PathNode &a = path.nodes[i];
        const PathNode &b = path.nodes[i + 10];
        const float dot = a.direction[0] * b.direction[0] + a.direction[1] * b.direction[1];
        if (dot > 0.99999f && a.rightEdge >= 5.9f && a.outerRight > 12.0f && b.outerRight > 12.0f) {
            start = i;
        }
    }
    ASSERT_GE(start, 0);
    std::vector<KnowledgeNode> line(path.nodeCount);   // racing line on the far left
    for (KnowledgeNode &n : line) {
        n.offset = -20.0f;
    }
    auto check = [&](float offset, int allowed, int *touch) {
        const PathNode &a = path.nodes[start];
        const PathNode &b = path.nodes[start + 10];
        const int32_t p0[2] = {a.position[0] + static_cast<int32_t>(offset * a.direction[1] * 65536.0f),
                               a.position[1] - static_cast<int32_t>(offset * a.direction[0] * 65536.0f)};
        const int32_t p1[2] = {b.position[0] + static_cast<int32_t>(offset * b.direction[1] * 65536.0f),
                               b.position[1] - static_cast<int32_t>(offset * b.direction[0] * 65536.0f)};
        const float length = std::hypot((b.position[0] - a.position[0]) / 65536.0f,
                                        (b.position[1] - a.position[1]) / 65536.0f) / 10.0f;
        KnowledgeRange r = {};
        BuildRangeFromPoints(&r, path, start, start + 10, p0, p1, a.direction, b.direction,
                             static_cast<int32_t>(length * 65536.0f), static_cast<int32_t>(length * 65536.0f));
        *touch = 0;
        return CheckRangeOnTrack(r, path, line.data(), touch, 0.9f, allowed);
    };
    int touch = 0;
    EXPECT_EQ(check(0.0f, 0, &touch), 0);
    EXPECT_EQ(touch, 0);
    EXPECT_EQ(check(10.0f, 0, &touch), 1);   // grass under the wheels
    EXPECT_EQ(check(10.0f, 2, &touch), 0);   // grass allowed
}
