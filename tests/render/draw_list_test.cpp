#include "render/draw_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

DrawNode *Insert(int32_t key, uintptr_t tag)
{
    DrawNode *node = InsertDrawNode(key);
    if (node != nullptr) {
        node->payload = reinterpret_cast<void *>(tag);
        node->key = key;
        node->kind = 0;
        node->left = nullptr;
        node->right = nullptr;
    }
    return node;
}

std::vector<uintptr_t> DrawOrder()
{
    std::vector<uintptr_t> order;
    WalkDrawList([&](const DrawNode &node) { order.push_back(reinterpret_cast<uintptr_t>(node.payload)); });
    return order;
}

TEST(DrawListTest, BucketsTakeTheTopByteClampedAndNegativeKeysGoToTheNearest)
{
    struct Case {
        int32_t key;
        int bucket;
    };
    const Case cases[] = {
        {0, 0},           {-1, 0},          {INT32_MIN, 0},          {-16777216, 0},
        {16777215, 0},    {16777216, 1},    {15 * 16777216, 15},     {20 * 16777216, 15},
        {INT32_MAX, 15},  {3 * 16777216 + 5, 3},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DrawListBucket(c.key), c.bucket) << c.key;
    }
    ClearDrawList();
    Insert(-5 * 65536, 1);
    Insert(20 * 16777216, 2);
    EXPECT_EQ(TheDrawList.buckets[0], 0);
    EXPECT_EQ(TheDrawList.buckets[15], 1);
}

TEST(DrawListTest, ThePoolRunsOutAt640AndAClearMakesRoomAgain)
{
    ClearDrawList();
    for (int i = 0; i < DrawListNodeCount; ++i) {
        ASSERT_NE(Insert((i * 7919 % 640) * 65536 * 40, static_cast<uintptr_t>(i)), nullptr) << i;
    }
    EXPECT_EQ(InsertDrawNode(0), nullptr);
    EXPECT_EQ(InsertDrawNodeUnsorted(), nullptr);
    EXPECT_EQ(DrawOrder().size(), static_cast<size_t>(DrawListNodeCount));
    ClearDrawList();
    EXPECT_TRUE(DrawOrder().empty());
    DrawNode *node = Insert(65536, 9);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node, &TheDrawList.nodes[0]);
    EXPECT_EQ(DrawOrder(), std::vector<uintptr_t>{9});
}

TEST(DrawListTest, NodesAreDrawnFarthestFirstWithEqualKeysInInsertionOrder)
{
    ClearDrawList();
    Insert(5, 1);
    Insert(3, 2);
    Insert(5, 3);
    EXPECT_EQ(DrawOrder(), (std::vector<uintptr_t>{1, 3, 2}));

    // Across buckets and with an unsorted node, which comes first of all.
    ClearDrawList();
    const int32_t m = 65536;
    Insert(10 * m, 10);
    Insert(300 * m, 300);
    Insert(-2 * m, 2);
    DrawNode *unsorted = InsertDrawNodeUnsorted();
    ASSERT_NE(unsorted, nullptr);
    unsorted->payload = reinterpret_cast<void *>(uintptr_t{77});
    unsorted->key = 0;
    unsorted->left = unsorted->right = nullptr;
    Insert(10 * m, 11);
    Insert(9000 * m, 9000);
    Insert(12 * m, 12);
    Insert(11 * m, 111);
    EXPECT_EQ(DrawOrder(), (std::vector<uintptr_t>{77, 9000, 300, 12, 111, 10, 11, 2}));
}

TEST(DrawListTest, Matrix3TransformsByRows)
{
    const Matrix3 m = {{1, 2, 3, 4, 5, 6, 7, 8, 9}};
    const float in[3] = {1, 0.5f, -1};
    float out[3];
    Matrix3::Transform(m, in, out);
    EXPECT_FLOAT_EQ(out[0], 1 + 1 - 3);
    EXPECT_FLOAT_EQ(out[1], 4 + 2.5f - 6);
    EXPECT_FLOAT_EQ(out[2], 7 + 4 - 9);
}

}  // namespace
