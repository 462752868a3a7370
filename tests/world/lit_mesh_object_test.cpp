#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "render/object_mesh_part.h"
#include "world/lit_mesh_object.h"
#include "world/world.h"
#include "world_bytes.h"

namespace {

// The smallest lit-mesh kind: counts its preparations.
class TestLitObject : public LitMeshObject {
public:
    int Read(DataStream *, int) override { return 0; }
    int GetType() const override { return ObjectSolid; }
    void Prepare() override { ++prepared; }
    int prepared = 0;
};

// A dynamic mesh that reports its release and deletion.
class CountingMesh : public ObjectMeshPart {
public:
    CountingMesh(int &released, int &deleted) : released(released), deleted(deleted) {}
    ~CountingMesh() override { ++deleted; }
    void Release() override { ++released; }
    void Draw(int) override {}

private:
    int &released;
    int &deleted;
};

// A current world with a number of light schemes for the objects to read.
class LitMeshTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        world = WorldCreate();
        world->lightSchemeCount = 3;
        CurrentWorld = world;
    }
    void TearDown() override
    {
        LoadingWorldObjects = 0;
        WorldDestroy(world);
    }
    World *world = nullptr;
};

// One level's lists as the lighting record stores them.
struct LevelLists {
    std::vector<uint32_t> list1, list2, list3;
    uint32_t extra = 0;
};

void WriteLighting(WorldBytes &bytes, uint32_t flags, const std::vector<LevelLists> &levels, float value)
{
    bytes.U32(flags);
    for (const LevelLists &level : levels) {
        bytes.U32(static_cast<uint32_t>(level.list1.size()));
        for (uint32_t v : level.list1) {
            bytes.U32(v);
        }
        bytes.U32(static_cast<uint32_t>(level.list2.size()));
        for (uint32_t v : level.list2) {
            bytes.U32(v);
        }
        bytes.U32(static_cast<uint32_t>(level.list3.size()));
        if (!level.list3.empty()) {
            bytes.U32(level.extra);
        }
        for (uint32_t v : level.list3) {
            bytes.U32(v);
        }
    }
    bytes.F32(value);
}

TEST_F(LitMeshTest, ConstructorResetsLevelsAndLeavesLightingToTheLoader)
{
    struct Case {
        int loading;
        bool hasWorld;
        int expectedSlots;
    };
    const Case cases[] = {{0, true, 3}, {1, true, 0}, {0, false, 0}};
    for (const Case &c : cases) {
        LoadingWorldObjects = c.loading;
        CurrentWorld = c.hasWorld ? world : nullptr;
        TestLitObject object;
        EXPECT_EQ(object.lightingCount, c.expectedSlots) << c.loading << c.hasWorld;
        EXPECT_EQ(object.lighting != nullptr, c.expectedSlots != 0);
        for (int s = 0; s < object.lightingCount; ++s) {
            EXPECT_EQ(object.lighting[s].flags, 0u);
            EXPECT_EQ(object.lighting[s].records, nullptr);
            EXPECT_EQ(object.lighting[s].value, 0.0f);
        }
        for (const MeshSlot &level : object.levels) {
            EXPECT_EQ(level.meshNumber, -1);
            EXPECT_EQ(level.partHandle, 0u);
            EXPECT_EQ(level.maxDistance, 0);
        }
        EXPECT_EQ(object.levelCount, 0);
        EXPECT_EQ(object.distanceFlag, 0);
        EXPECT_EQ(object.HasLitMesh(), 1);
        object.Release();
    }
    CurrentWorld = world;
}

TEST_F(LitMeshTest, ReadLightingKeepsLevelZeroListsAndConsumesTheWholeRecord)
{
    WorldBytes bytes;
    const std::vector<LevelLists> levels = {
        {{1, 2}, {3}, {4, 5}, 0xEE},
        {{6}, {7, 8}, {9}, 0xDD},   // lists 2 and 3 of levels 1..3 are read past
        {},
        {{10}, {}, {}},
    };
    WriteLighting(bytes, 1, levels, 0.75f);
    bytes.U32(0xC0FFEE);   // the next record
    DataStream stream;
    bytes.Open(stream, 252);

    TestLitObject object;
    ASSERT_EQ(object.ReadLighting(&stream, 252, 1), 0);
    EXPECT_EQ(stream.ReadU32(), 0xC0FFEEu);
    const LightingSlot &slot = object.lighting[1];
    EXPECT_EQ(slot.flags, LightingHasLists | LightingListsAllocated);
    EXPECT_FLOAT_EQ(slot.value, 0.75f);

    world->lightSchemeIndex = 1;
    const LightingRecord *level0 = object.GetLightingLists(0);
    ASSERT_NE(level0, nullptr);
    ASSERT_EQ(level0->count1, 2u);
    EXPECT_EQ(level0->list1[1], 2u);
    ASSERT_EQ(level0->count2, 1u);
    EXPECT_EQ(level0->list2[0], 3u);
    ASSERT_EQ(level0->count3, 2u);
    EXPECT_EQ(level0->list3Extra, 0xEEu);
    EXPECT_EQ(level0->list3[1], 5u);

    const LightingRecord *level1 = object.GetLightingLists(1);
    ASSERT_EQ(level1->count1, 1u);
    EXPECT_EQ(level1->list1[0], 6u);
    EXPECT_EQ(level1->count2, 0u);
    EXPECT_EQ(level1->list2, nullptr);
    EXPECT_EQ(level1->count3, 0u);
    EXPECT_EQ(level1->list3, nullptr);
    EXPECT_EQ(object.GetLightingLists(2)->list1, nullptr);   // an empty list allocates nothing
    EXPECT_EQ(object.GetLightingLists(3)->list1[0], 10u);
    EXPECT_EQ(object.GetLightingLists(4), nullptr);

    // Other schemes were never read: no lighting there.
    world->lightSchemeIndex = 0;
    EXPECT_EQ(object.GetLightingLists(0), nullptr);
    world->lightSchemeIndex = 7;
    EXPECT_EQ(object.GetLightingLists(0), nullptr);
    object.Release();
    EXPECT_EQ(object.lighting, nullptr);
}

TEST_F(LitMeshTest, RecordsWithoutListsEndWithoutLighting)
{
    struct Case {
        const char *what;
        uint32_t flags;
        std::vector<LevelLists> levels;
    };
    const Case cases[] = {
        {"bit 0 with every count 0", 1, {{}, {}, {}, {}}},
        {"bit 0 clear", 0, {}},
        {"bit 1 alone claims nothing", 2, {}},
    };
    for (const Case &c : cases) {
        WorldBytes bytes;
        WriteLighting(bytes, c.flags, c.levels, 2.5f);
        bytes.U8(0x5A);
        DataStream stream;
        bytes.Open(stream, 252);
        TestLitObject object;
        ASSERT_EQ(object.ReadLighting(&stream, 252, 0), 0) << c.what;
        EXPECT_EQ(stream.ReadU8(), 0x5A) << c.what;
        EXPECT_EQ(object.lighting[0].flags, 0u) << c.what;
        EXPECT_EQ(object.lighting[0].records, nullptr) << c.what;
        EXPECT_FLOAT_EQ(object.lighting[0].value, 2.5f) << c.what;
        EXPECT_EQ(object.GetLightingLists(0), nullptr) << c.what;
        object.Release();
    }
}

TEST_F(LitMeshTest, DamagedLightingRecordIsRefusedWithoutLighting)
{
    struct Case {
        const char *what;
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {"list 1 count beyond the data", {1, 1000, 1, 2}},
        {"dropped list 2 of level 1 beyond the data", {1, 0, 0, 0, 1, 9, 0xFFFFFFFF}},
        {"list 3 count beyond the data", {1, 0, 0, 5, 0xAA, 1, 2}},
        {"list 3 extra word missing", {1, 0, 0, 1}},
        {"levels cut short", {1, 1, 7, 0, 0}},
        {"value missing", {0}},
        {"no flags", {}},
    };
    for (const Case &c : cases) {
        WorldBytes bytes;
        for (uint32_t w : c.words) {
            bytes.U32(w);
        }
        DataStream stream;
        bytes.Open(stream, 252);
        TestLitObject object;
        EXPECT_NE(object.ReadLighting(&stream, 252, 2), 0) << c.what;
        EXPECT_EQ(object.lighting[2].flags, 0u) << c.what;
        EXPECT_EQ(object.lighting[2].records, nullptr) << c.what;
        object.Release();
    }

    // A scheme the object has no slot for is refused before anything is read.
    WorldBytes bytes;
    WriteLighting(bytes, 0, {}, 1.0f);
    DataStream stream;
    bytes.Open(stream, 252);
    TestLitObject object;
    EXPECT_NE(object.ReadLighting(&stream, 252, 3), 0);
    EXPECT_NE(object.ReadLighting(&stream, 252, -1), 0);
    EXPECT_EQ(stream.ReadU32(), 0u);
    LoadingWorldObjects = 1;
    TestLitObject unlit;
    EXPECT_NE(unlit.ReadLighting(&stream, 252, 0), 0);
    object.Release();
}

// A file read past its end yields 0xFF bytes instead of flagging an
// overrun; the record must still be refused.
TEST_F(LitMeshTest, RecordCutShortInAFileIsRefused)
{
    struct Case {
        const char *what;
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {"value missing", {0}},
        {"list 3 extra word missing", {1, 0, 0, 1}},
    };
    for (const Case &c : cases) {
        const char *path = "lighting_cut.bin";
        FILE *file = fopen(path, "wb");
        ASSERT_NE(file, nullptr);
        fwrite("QZWORL\x00\xFC", 1, 8, file);
        for (uint32_t w : c.words) {
            const uint8_t le[4] = {uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)};
            fwrite(le, 1, 4, file);
        }
        fclose(file);
        DataStream stream;
        int version = 0;
        ASSERT_EQ(stream.OpenCheckHeader(path, "QZWORL", &version, 999), nullptr) << c.what;
        TestLitObject object;
        EXPECT_NE(object.ReadLighting(&stream, version, 0), 0) << c.what;
        EXPECT_EQ(object.lighting[0].flags, 0u) << c.what;
        EXPECT_EQ(object.lighting[0].records, nullptr) << c.what;
        stream.Close();
        object.Release();
    }
}

TEST_F(LitMeshTest, RebuildAndReleaseFreeMeshAndLighting)
{
    for (int prepare = 0; prepare <= 1; ++prepare) {
        TestLitObject object;
        int released = 0, deleted = 0;
        object.dynamicMesh = new CountingMesh(released, deleted);
        for (int scheme = 0; scheme < 3; ++scheme) {
            WorldBytes bytes;
            WriteLighting(bytes, 1, {{{1}, {2}, {3}}, {}, {}, {}}, 1.0f);
            DataStream stream;
            bytes.Open(stream, 252);
            ASSERT_EQ(object.ReadLighting(&stream, 252, scheme), 0);
        }
        object.Rebuild(prepare);
        EXPECT_EQ(object.prepared, prepare);
        EXPECT_EQ(released, 1);
        EXPECT_EQ(deleted, 1);
        EXPECT_EQ(object.dynamicMesh, nullptr);
        ASSERT_EQ(object.lightingCount, 3);   // the slots stay, empty
        for (int scheme = 0; scheme < 3; ++scheme) {
            EXPECT_EQ(object.lighting[scheme].flags, 0u);
            EXPECT_EQ(object.lighting[scheme].records, nullptr);
        }
        object.Release();
    }

    // Release frees whatever is left; a second release is harmless.
    TestLitObject object;
    int released = 0, deleted = 0;
    object.dynamicMesh = new CountingMesh(released, deleted);
    WorldBytes bytes;
    WriteLighting(bytes, 1, {{{1}, {2}, {3}}, {{4}, {}, {}}, {}, {}}, 1.0f);
    DataStream stream;
    bytes.Open(stream, 252);
    ASSERT_EQ(object.ReadLighting(&stream, 252, 0), 0);
    object.Release();
    object.Release();
    EXPECT_EQ(released, 1);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(object.lighting, nullptr);
    EXPECT_EQ(object.lightingCount, 0);
}

} // namespace
