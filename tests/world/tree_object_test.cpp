#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/data_stream.h"
#include "core/shell_globals.h"
#include "tools/world_scenery_writer.h"
#include "world/sphere_grid.h"
#include "world/tree_object.h"

namespace {

constexpr int32_t Metre = 65536;

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildTrigTables();
        BuildSphereGrid();
    }

    static WorldObjectResult ReadTree(const TreeFields &fields, uint8_t reach = 0)
    {
        WorldWriter bytes;
        WorldObjectHeader header = ObjectHeaderAt(0, 3 * Metre, -2 * Metre);
        header.reachRadius = reach;
        WriteTree(bytes, 251, header, fields);
        DataStream stream;
        bytes.Open(stream, 251);
        return CreateWorldObject(&stream, 251);
    }
};

TEST_F(TreeTest, LeafCountsAndDepth)
{
    const struct {
        uint32_t leaves;
        bool accepted;
        uint32_t depth;
    } cases[] = {{32, true, 5}, {1, true, 0}, {256, true, 8}, {0, false, 0}, {24, false, 0}, {512, false, 0},
                 {0x80000000u, false, 0}};
    for (const auto &c : cases) {
        TreeFields fields;
        fields.leafCount = c.leaves;
        const WorldObjectResult result = ReadTree(fields);
        if (!c.accepted) {
            EXPECT_EQ(result.error, WorldObjectBadRecord) << c.leaves;
            continue;
        }
        ASSERT_EQ(result.error, WorldObjectOk) << c.leaves;
        TreeObject *tree = static_cast<TreeObject *>(result.object);
        tree->Prepare();
        EXPECT_EQ(tree->depth, c.depth);
        TreeNode nodes[MaxTreeNodes];
        const FixVector base = {0, 0, 0};
        FixVector points[SphereGridEntries];
        for (int i = 0; i < SphereGridEntries; ++i) {
            points[i] = TreeSphereGrid.entries[i].current;
        }
        EXPECT_EQ(tree->GenerateNodes(base, points, nodes), static_cast<int>(2 * c.leaves - 1));
        delete tree;
    }
}

TEST_F(TreeTest, SameSeedSameShapeAnywhere)
{
    TreeFields fields;
    fields.seed = 41;
    fields.flags = TreeRandomLengths;
    FixVector points[SphereGridEntries];
    for (int i = 0; i < SphereGridEntries; ++i) {
        points[i] = TreeSphereGrid.entries[i].current;
    }
    TreeObject a(0, 0);
    TreeObject b(100 * Metre, -50 * Metre);
    a.seed = b.seed = 41;
    a.flags = b.flags = TreeRandomLengths;
    TreeNode na[MaxTreeNodes];
    TreeNode nb[MaxTreeNodes];
    const FixVector baseA = {a.positionX, a.positionY, 0};
    const FixVector baseB = {b.positionX, b.positionY, 0};
    ASSERT_EQ(a.GenerateNodes(baseA, points, na), 63);
    ASSERT_EQ(b.GenerateNodes(baseB, points, nb), 63);
    int spreadOut = 0;
    for (int i = 0; i < 63; ++i) {
        EXPECT_EQ(na[i].position.x - baseA.x, nb[i].position.x - baseB.x) << i;
        EXPECT_EQ(na[i].position.y - baseA.y, nb[i].position.y - baseB.y) << i;
        EXPECT_EQ(na[i].position.z, nb[i].position.z) << i;
        EXPECT_LE(na[i].ring, 15);
        EXPECT_LE(na[i].column, 23);
        spreadOut += na[i].column != 0 ? 1 : 0;
    }
    EXPECT_GT(spreadOut, 0);
    EXPECT_EQ(na[0].position.z, static_cast<int32_t>(2.5f * Metre));   // the trunk goes straight up

    // The two branches of a pair never share a neighbouring direction.
    for (int i = 1; i < 63; i += 2) {
        const int ringGap = std::abs(na[i].ring - na[i + 1].ring);
        const int columnGap = (na[i + 1].column - na[i].column + 24) % 24;
        EXPECT_FALSE(ringGap <= 1 && (columnGap <= 1 || columnGap == 23)) << i;
    }

    // Another seed grows another tree.
    b.seed = 42;
    b.GenerateNodes(baseB, points, nb);
    bool differs = false;
    for (int i = 1; i < 63; ++i) {
        differs = differs || na[i].position.z != nb[i].position.z;
    }
    EXPECT_TRUE(differs);
}

TEST_F(TreeTest, NarrowSpreadStillEnds)
{
    // With no spread the second branch of a pair can never get away from the
    // first; the redraws stop.
    TreeObject tree(0, 0);
    tree.spread = 0;
    tree.leafCount = 256;
    tree.Prepare();
    EXPECT_GT(tree.radius, 0);
    tree.spread = 0xFFFFFFFFu;   // far beyond the rings
    tree.Prepare();
    EXPECT_GT(tree.radius, 0);
}

TEST_F(TreeTest, ReachBecomesTrunkPost)
{
    const struct {
        uint8_t reach;
        float trunkRadius;
        uint8_t prepared;
    } cases[] = {{0, 0.5f, 0}, {1, 0.5f, 50}, {200, 0.123f, 12}, {1, 5.0f, 255}, {1, -1.0f, 0}, {1, NAN, 0}};
    for (const auto &c : cases) {
        TreeFields fields;
        fields.trunkRadius = c.trunkRadius;
        const WorldObjectResult result = ReadTree(fields, c.reach);
        ASSERT_EQ(result.error, WorldObjectOk);
        result.object->Prepare();
        EXPECT_EQ(result.object->reachRadius, c.prepared) << c.trunkRadius;
        delete result.object;
    }
}

TEST_F(TreeTest, SeedFromFrameRandomThenFile)
{
    FrameRandom = 100;
    TreeObject tree(0, 0);
    EXPECT_EQ(tree.seed, ((100u * 5 + 1) & 65535u) & 63u);
    EXPECT_EQ(FrameRandom, 501u);
    TreeFields fields;
    fields.seed = 9999;
    const WorldObjectResult result = ReadTree(fields);
    ASSERT_EQ(result.error, WorldObjectOk);
    EXPECT_EQ(static_cast<TreeObject *>(result.object)->seed, 9999u);
    delete result.object;
}

TEST_F(TreeTest, BoundsHoldTheLeafCards)
{
    TreeObject tree(10 * Metre, 20 * Metre);
    tree.seed = 5;
    tree.baseHeight = 1.0f;
    tree.Prepare();
    EXPECT_EQ(tree.minX, 10 * Metre);
    EXPECT_EQ(tree.maxY, 20 * Metre);
    // The crown stands above the trunk top, and the sphere reaches the base.
    EXPECT_GT(tree.centreZ, static_cast<int32_t>(3.5f * Metre));
    const float dx = static_cast<float>(tree.centreX - 10 * Metre);
    const float dy = static_cast<float>(tree.centreY - 20 * Metre);
    const float dz = static_cast<float>(tree.centreZ - Metre);
    EXPECT_GE(static_cast<float>(tree.radius), std::sqrt(dx * dx + dy * dy + dz * dz));
    // Leaves 2.5 m across: the sphere holds at least one card.
    EXPECT_GT(tree.radius, 2 * Metre);
}

TEST_F(TreeTest, SphereGridRestAndSway)
{
    EXPECT_EQ(TreeSphereGrid.At(0, 0).rest.z, Metre);
    EXPECT_EQ(TreeSphereGrid.At(0, 7).rest.x, 0);
    EXPECT_NEAR(TreeSphereGrid.At(15, 0).rest.z, -Metre, 2);
    EXPECT_NEAR(TreeSphereGrid.At(5, 6).rest.y, std::sin(3.14159265 / 3.0) * Metre, 4);   // azimuth 90 degrees

    // Without wind a grid at rest stays there exactly.
    const float still[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 100; ++i) {
        SwaySphereGrid(10, still);
    }
    for (const SphereGridEntry &e : TreeSphereGrid.entries) {
        ASSERT_EQ(e.current.x, e.rest.x);
        ASSERT_EQ(e.current.z, e.rest.z);
    }

    // Wind bends it; when the wind drops, it returns to rest.
    const float wind[3] = {8.0f, -3.0f, 0.0f};
    for (int i = 0; i < 200; ++i) {
        SwaySphereGrid(40, wind);
    }
    const SphereGridEntry &side = TreeSphereGrid.At(8, 6);
    EXPECT_GT(std::abs(side.current.x - side.rest.x), 1000);
    for (int i = 0; i < 3000; ++i) {
        SwaySphereGrid(40, still);
    }
    for (const SphereGridEntry &e : TreeSphereGrid.entries) {
        EXPECT_LE(std::abs(e.current.x - e.rest.x), 64);
        EXPECT_LE(std::abs(e.current.y - e.rest.y), 64);
        EXPECT_LE(std::abs(e.current.z - e.rest.z), 64);
    }
}

TEST_F(TreeTest, SwayStepsFollowTheClock)
{
    // A frame runs clock step / 10 steps, at least 1 and at most 4.
    const float wind[3] = {5.0f, 2.0f, 0.0f};
    const struct {
        int clockMs;
        int steps;
    } cases[] = {{0, 1}, {19, 1}, {30, 3}, {1000, 4}, {-50, 1}};
    for (const auto &c : cases) {
        BuildSphereGrid();
        SwaySphereGrid(c.clockMs, wind);
        const SphereGridEntry swayed = TreeSphereGrid.At(9, 3);
        BuildSphereGrid();
        for (int i = 0; i < c.steps; ++i) {
            SwaySphereGrid(10, wind);
        }
        EXPECT_EQ(TreeSphereGrid.At(9, 3).current.x, swayed.current.x) << c.clockMs;
        EXPECT_EQ(TreeSphereGrid.At(9, 3).velocity[1], swayed.velocity[1]) << c.clockMs;
    }
}

} // namespace
