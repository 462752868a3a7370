#include <gtest/gtest.h>

#include <cstring>

#include "world/world.h"

namespace {

// FNV-1a over the map's bytes, row by row.
uint32_t MapHash(const World &world)
{
    uint32_t hash = 2166136261u;
    for (int8_t h : world.bumpMap) {
        hash ^= static_cast<uint8_t>(h);
        hash *= 16777619u;
    }
    return hash;
}

TEST(BumpMap, DependsOnlyOnSeedCountAndRadius)
{
    World *a = WorldCreate();
    World *b = WorldCreate();
    b->bumpMap[5] = 99;   // stale contents are overwritten
    a->BuildBumpMap();
    b->BuildBumpMap();
    EXPECT_EQ(memcmp(a->bumpMap, b->bumpMap, sizeof a->bumpMap), 0);
    EXPECT_EQ(memcmp(a->bumpCurve, b->bumpCurve, sizeof a->bumpCurve), 0);

    int lowest = 0, highest = 0;
    for (int8_t h : a->bumpMap) {
        lowest = h < lowest ? h : lowest;
        highest = h > highest ? h : highest;
    }
    // The default bumps pile up against both limits.
    EXPECT_EQ(lowest, -32);
    EXPECT_EQ(highest, 32);

    // Values and the whole-map hash from an independent evaluation of the
    // default map, so that the 16.16 order of operations cannot drift.
    EXPECT_EQ(a->bumpMap[0], 25);
    EXPECT_EQ(a->bumpMap[100 * 256 + 37], -12);
    EXPECT_EQ(a->bumpMap[65535], 26);
    EXPECT_EQ(MapHash(*a), 0x726151c9u);

    // Without bumps, or with radius 0, the map is flat.
    b->bumpRadius = 0;
    b->BuildBumpMap();
    a->bumpCount = 0;
    a->BuildBumpMap();
    for (int i = 0; i < BumpMapSize; ++i) {
        ASSERT_EQ(a->bumpMap[i], 0) << i;
        ASSERT_EQ(b->bumpMap[i], 0) << i;
    }
    WorldDestroy(a);
    WorldDestroy(b);
}

TEST(BumpMap, CurveRisesFromZeroTo64)
{
    World *world = WorldCreate();
    world->BuildBumpMap();
    EXPECT_EQ(world->bumpCurve[0], 0);
    EXPECT_EQ(world->bumpCurve[64], 9);
    EXPECT_EQ(world->bumpCurve[128], 32);
    EXPECT_EQ(world->bumpCurve[255], 64);
    for (int i = 1; i < BumpCurveSize; ++i) {
        EXPECT_GE(world->bumpCurve[i], world->bumpCurve[i - 1]) << i;
    }
    WorldDestroy(world);
}

} // namespace
