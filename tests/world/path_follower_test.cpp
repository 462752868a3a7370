#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/float_math.h"
#include "path_fixture.h"
#include "vehicle/car_object.h"
#include "world/path_follower.h"

namespace {

constexpr int LoopNodes = 12;
constexpr float LoopRadius = 50.0f;
constexpr float TwoPi = 6.28318531f;

float LoopAngle(float i)
{
    return TwoPi * i / static_cast<float>(LoopNodes);
}

// A counter-clockwise circle whose visibility deltas sum to zero over the
// loop: object k is toggled at node k % 12 and toggled back at node
// (k * 5 + 3) % 12, with its own mask.
PathFields LoopPath()
{
    PathFields fields;
    fields.flags = PathClosedLoop;
    for (int i = 0; i < LoopNodes; ++i) {
        const float a = LoopAngle(static_cast<float>(i));
        fields.nodes.push_back(
            PathNodeAt(Metres(LoopRadius * FloatCos(a)), Metres(LoopRadius * FloatSin(a)), a, 4.0f));
    }
    for (int k = 0; k < 30; ++k) {
        const uint8_t mask = static_cast<uint8_t>(k * 37 + 1);
        const int on = k % LoopNodes;
        const int off = (k * 5 + 3) % LoopNodes;
        fields.nodes[on].deltas[k % 3].push_back({static_cast<uint16_t>(k), mask, 0});
        fields.nodes[off].deltas[k % 3].push_back({static_cast<uint16_t>(k), mask, 0});
    }
    fields.baseLists[0] = {{1, 0x11, 0}, {5, 0x22, 0}};
    fields.baseLists[1] = {{7, 0x44, 0}};
    return fields;
}

void SpanMiddle(int span, int32_t point[3])
{
    const float a = LoopAngle(static_cast<float>(span) + 0.5f);
    point[0] = Metres(LoopRadius * FloatCos(a));
    point[1] = Metres(LoopRadius * FloatSin(a));
    point[2] = 0;
}

} // namespace

// Five nodes along x from -45 m (10 m apart), road -4..4 m: right of the
// road is -y.
TEST(PathFollowerSearch, FindsTheSpanOfAnOpenPath)
{
    PathWorld scene;
    scene.LoadPath(StraightPath(5, 0, -45.0f));
    struct Case {
        float x, y;
        int want;
    };
    const Case cases[] = {
        {-40, 0, 0},
        {-45, 0, 0},      // on node 0
        {-6, 0, 3},       // the last of n - 1 spans
        {-4, 0, -1},      // beyond the last node
        {-50, 0, -1},     // before the first
        {-30, -5.5f, 1},  // 1.5 m right of the road edge
        {-30, -6.5f, -1}, // 2.5 m right
        {-30, 5.5f, 1},   // 1.5 m left
        {-30, 6.5f, -1},  // 2.5 m left
    };
    auto follower = std::make_unique<PathFollower>();
    for (const Case &c : cases) {
        const int32_t point[3] = {Metres(c.x), Metres(c.y), 0};
        EXPECT_EQ(follower->FindPosition(point, 0), c.want) << c.x << ", " << c.y;
        EXPECT_EQ(follower->lost, c.want < 0 ? 1 : 0);
        EXPECT_EQ(follower->node, c.want);
    }
    EXPECT_TRUE(WorldLines().empty());
}

// The planes of a fresh search in every span equal those reached by
// stepping span by span from span 0 (forward: the next node's deltas; back:
// the node's own), and layout objects stay visible.
TEST(PathFollowerSearch, SteppingMatchesAFreshSearchInEverySpan)
{
    PathWorld scene;
    scene.world->objectCount = 40;          // objects 38 and 39 are layout objects
    scene.world->layoutObjectCount = 2;
    scene.LoadPath(LoopPath());

    auto stepping = std::make_unique<PathFollower>();
    auto fresh = std::make_unique<PathFollower>();
    int32_t point[3];
    SpanMiddle(0, point);
    ASSERT_EQ(stepping->FindPosition(point, 1), 0);
    for (int span = 1; span < LoopNodes; ++span) {
        stepping->ApplyNodeDeltas(span);
        SpanMiddle(span, point);
        ASSERT_EQ(fresh->FindPosition(point, 1), span);
        EXPECT_EQ(std::memcmp(stepping->planes, fresh->planes, sizeof fresh->planes), 0) << "span " << span;
    }
    // Round the loop to span 0 again, then back down.
    stepping->ApplyNodeDeltas(0);
    SpanMiddle(0, point);
    fresh->FindPosition(point, 1);
    EXPECT_EQ(std::memcmp(stepping->planes, fresh->planes, sizeof fresh->planes), 0);
    for (int span = LoopNodes - 1; span >= 0; --span) {
        stepping->ApplyNodeDeltas((span + 1) % LoopNodes);
        SpanMiddle(span, point);
        fresh->FindPosition(point, 1);
        EXPECT_EQ(std::memcmp(stepping->planes, fresh->planes, sizeof fresh->planes), 0) << "back to " << span;
    }
    // Planes hold the base values and the layout objects' 0xFF.
    EXPECT_EQ(fresh->planes[1][7] ^ 0x44, 0);
    for (const uint8_t *plane : fresh->planes) {
        EXPECT_EQ(plane[37], 0);
        EXPECT_EQ(plane[38], 0xFF);
        EXPECT_EQ(plane[VisibilityPlaneSize - 1], 0xFF);
    }
    EXPECT_EQ(fresh->NextNodeIndex(), 1);
    EXPECT_EQ(fresh->NodeAfter(LoopNodes - 1), 0);
    scene.world->objectCount = 0;
}

TEST(PathFollowerSearch, FailuresSayWhy)
{
    struct Case {
        const char *what;
        int config, lightSchemes, withDeltas;
        float x;
        const char *message;   // null: none
    };
    const Case cases[] = {
        {"no configuration", 0, 0, 1, -40, nullptr},
        {"configuration without its path", 2, 0, 1, -40, "BUG : No path to follow"},
        {"light schemes differ", 1, 1, 1, -40, "BUG : Path has wrong number of light schemes"},
        {"not on the path, searching with deltas", 1, 0, 1, 100, "Follower could not find position"},
        {"not on the path, no deltas", 1, 0, 0, 100, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PathWorld scene;
        scene.LoadPath(StraightPath(5, 0, -45.0f));
        scene.world->config = c.config;
        scene.world->lightSchemeCount = c.lightSchemes;
        scene.world->SelectCurrentPath();
        auto follower = std::make_unique<PathFollower>();
        const int32_t point[3] = {Metres(c.x), 0, 0};
        EXPECT_EQ(follower->FindPosition(point, c.withDeltas), -1);
        EXPECT_EQ(follower->lost, 1);
        const std::vector<std::string> want = c.message ? std::vector<std::string>{c.message}
                                                        : std::vector<std::string>{};
        EXPECT_EQ(WorldLines(), want);
    }
    // Without a world a follower is simply lost.
    auto follower = std::make_unique<PathFollower>();
    const int32_t origin[3] = {0, 0, 0};
    EXPECT_EQ(follower->FindPosition(origin, 1), -1);
    EXPECT_EQ(follower->lost, 1);
    EXPECT_EQ(follower->NextNodeIndex(), -1);
}

TEST(PathFollowerSearch, EnsurePositionSearchesOnlyAnUnknownNode)
{
    PathWorld scene;
    scene.LoadPath(StraightPath(5, 0, -45.0f));
    auto follower = std::make_unique<PathFollower>();
    const int32_t inSpan2[3] = {Metres(-22.0f), 0, 0};
    const int32_t inSpan0[3] = {Metres(-42.0f), 0, 0};
    EXPECT_EQ(follower->EnsurePosition(inSpan2), 0);
    EXPECT_EQ(follower->node, 2);
    EXPECT_EQ(follower->EnsurePosition(inSpan0), 0);
    EXPECT_EQ(follower->node, 2);   // known: no new search
    const int32_t away[3] = {Metres(200.0f), 0, 0};
    follower->Reset();
    EXPECT_EQ(follower->EnsurePosition(away), 1);
    EXPECT_EQ(follower->EnsurePosition(inSpan0), 1);   // lost until reset
}

TEST(PathListUpkeep, LayoutObjectsJoinLeaveAndSwapInEveryList)
{
    PathWorld scene;
    PathFields fields = StraightPath(3, 0);
    fields.baseLists[0] = {{4, 0x0F, 0}};
    fields.nodes[1].deltas[2] = {{4, 0x01, 0}, {9, 0x02, 0}};
    scene.LoadPath(fields);
    static int resets = 0;
    resets = 0;
    SetResetAiDriversHook([] { ++resets; });
    World &world = *scene.world;
    Path &path = scene.path();

    world.AddObjectToPathLists(9, 1);
    EXPECT_EQ(resets, 1);
    ASSERT_EQ(path.baseLists[0].count, 2u);
    EXPECT_EQ(path.baseLists[0].entries[1].id, 9);
    EXPECT_EQ(path.baseLists[0].entries[1].mask, 0xFF);
    // An empty list stays empty: the 0xFF bytes of a reset follower show
    // the layout object instead.
    EXPECT_EQ(path.baseLists[1].count, 0u);

    world.RenumberObjectInPathLists(4, 9);
    EXPECT_EQ(path.baseLists[0].entries[0].id, 9);
    EXPECT_EQ(path.nodes[1].deltas[2].entries[1].id, 4);

    world.RemoveObjectFromPathLists(4, 0);
    EXPECT_EQ(resets, 1);
    ASSERT_EQ(path.baseLists[0].count, 1u);
    EXPECT_EQ(path.baseLists[0].entries[0].id, 9);
    ASSERT_EQ(path.nodes[1].deltas[2].count, 1u);
    EXPECT_EQ(path.nodes[1].deltas[2].entries[0].id, 9);
    SetResetAiDriversHook(nullptr);
}

TEST(PathFollowerFactory, CarsGetTheirFollowerFromTheWorld)
{
    const CarObjectServices saved = CarServices;
    RegisterPathFollowerFactory();
    ASSERT_NE(CarServices.createPathFollower, nullptr);
    PathFollower *follower = CarServices.createPathFollower(nullptr);
    ASSERT_NE(follower, nullptr);
    EXPECT_EQ(follower->node, -1);
    CarServices.deletePathFollower(follower);
    CarServices = saved;
}
