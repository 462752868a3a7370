#include "scene/human_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/data_stream.h"
#include "test_files.h"

namespace {

// What the fixture file holds; each field can be spoiled by a test.
struct Fixture {
    int version = 251;
    int unpairedJoints = 5;
    int pairedJoints = 13;   // 5 + 2 x 13 = 31 bodies
    uint32_t linkJoint = 5;  // second joint of the paired link
    int clipCount = 1;
    int keysPerTrack = 33;   // two more than the figure has bodies
    uint32_t modelIndex = 0;
};

struct Bytes {
    std::vector<uint8_t> data;
    void U8(int v) { data.push_back(static_cast<uint8_t>(v)); }
    void U16(int v) { U8(v); U8(v >> 8); }
    void U32(uint32_t v) { U16(static_cast<int>(v & 0xFFFF)); U16(static_cast<int>(v >> 16)); }
    void F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof(bits));
        U32(bits);
    }
    void Zeros(int n) { data.insert(data.end(), static_cast<size_t>(n), 0); }

    // An object record without geometry, as a root (with part names).
    void EmptyObject(const char *name)
    {
        const size_t start = data.size();
        Zeros(16);
        std::memcpy(&data[start], name, std::strlen(name));
        U16(0x40);   // flags: no smoothing-group data
        U8(0);       // kind
        U8(1);       // sub-kind
        U16(1);      // one level of detail
        U16(0);      // groups
        U32(10u << 16);
        U16(0); U16(0); U16(0); U16(0);   // points, triangles, children, reserved
        U16(0); U16(0); U16(0); U16(0);   // angles, reserved
        U32(0); U32(0); U32(0);           // position
        U16(0); U16(0);                   // empty surface table
        U32(0); U32(0); U32(0);           // textures, materials, mappings
        Zeros(32 * 8);                    // part names
    }

    // A clip of `tracks` tracks with `keys` keys each; key k of track t has
    // matrix elements k * 100 + e and position (k, t, -1).
    void Clip(int tracks, int keys)
    {
        U32(5);
        F32(2.5f);
        U16(tracks);
        U16(keys);
        for (int t = 0; t < tracks; ++t) {
            F32(0.5f * t);
            for (int k = 0; k < keys; ++k) {
                for (int e = 0; e < 9; ++e) {
                    U32(static_cast<uint32_t>(k * 100 + e));
                }
                U32(static_cast<uint32_t>(k));
                U32(static_cast<uint32_t>(t));
                U32(0xFFFFFFFFu);
            }
        }
    }
};

std::vector<uint8_t> BuildFixture(const Fixture &f)
{
    Bytes b;
    for (const char c : std::string("QZHSYS")) {
        b.U8(c);
    }
    b.U8(f.version >> 8);
    b.U8(f.version);

    b.U32(1);               // body parts
    b.U32(7);
    b.U32(f.modelIndex);
    b.F32(1.5f);
    b.EmptyObject("driver");

    b.U32(1);               // models
    b.F32(900.0f);
    const int joints = f.unpairedJoints + f.pairedJoints;
    b.U32(static_cast<uint32_t>(joints));
    for (int i = 0; i < joints; ++i) {
        b.U32(i >= f.unpairedJoints ? 1u : 0u);
        b.F32(0.1f + 0.01f * i); b.F32(0.2f); b.F32(0.05f);
        b.U32(static_cast<uint32_t>(i * 65536)); b.U32(static_cast<uint32_t>(-i)); b.U32(7);
        b.F32(0.1f * i); b.F32(0.2f); b.F32(-0.3f);
        b.U8(i); b.U8(2); b.U8(3); b.U8(0);
    }
    b.U32(2);               // links
    for (int i = 0; i < 2; ++i) {
        b.U32(9);                       // kind
        b.U32(i == 1 ? 1u : 0u);        // the second is paired
        b.U32(65536); b.U32(0); b.U32(0);
        b.F32(0.0f); b.F32(0.0f); b.F32(0.0f);
        b.F32(45.0f); b.F32(10.0f);
        b.U32(i == 0 ? 0u : 2u);
        b.U32(i == 0 ? 1u : f.linkJoint);
    }
    b.U32(static_cast<uint32_t>(f.clipCount));
    for (int i = 0; i < f.clipCount; ++i) {
        b.Clip(2, f.keysPerTrack);
    }
    b.U32(1);               // animation blocks
    b.U32(BlockTwoClips);
    b.U32(77);
    for (int i = 1; i <= 16; ++i) {
        b.U8(i);
    }
    b.Clip(1, 20);          // fewer keys than bodies
    b.Clip(0, 31);
    b.F32(0.25f);
    b.F32(0.75f);
    return b.data;
}

bool IsIdentity(const FixTransform &key)
{
    const int32_t expected[9] = {65536, 0, 0, 0, 65536, 0, 0, 0, 65536};
    return std::memcmp(key.matrix.m, expected, sizeof(expected)) == 0 && key.position.x == 0 &&
           key.position.y == 0 && key.position.z == 0;
}

TEST(HumanFile, FixtureLoadsEveryPart)
{
    WriteFileBytes("fixture.hmn", BuildFixture(Fixture{}));
    HumanSystem humans{};
    ASSERT_EQ(humans.ReadFile("fixture.hmn", nullptr), 1);

    ASSERT_EQ(humans.bodyPartCount, 1);
    EXPECT_EQ(humans.bodyParts[0].flags, 7u);
    EXPECT_EQ(humans.bodyParts[0].value, 1.5f);
    EXPECT_STREQ(humans.bodyParts[0].object.name, "driver");

    ASSERT_EQ(humans.modelCount, 1);
    const CharacterModel &model = humans.models[0];
    EXPECT_EQ(model.density, 900.0f);
    ASSERT_EQ(model.jointCount, 18u);
    EXPECT_EQ(model.WeightedJointCount(), 31);
    const HumanJoint &joint = model.joints[6];
    EXPECT_EQ(joint.flags, JointPaired);
    EXPECT_EQ(joint.firstBody, 7u);   // bodies 0..4 unpaired, 5 and 6 for joint 5
    EXPECT_EQ(joint.halfSize[0], 0.16f);
    EXPECT_EQ(joint.position[0], 6 * 65536);
    EXPECT_EQ(joint.position[1], -6);
    EXPECT_EQ(joint.angles[2], -0.3f);
    EXPECT_EQ(joint.colour[0], 6);

    ASSERT_EQ(model.linkCount, 2u);
    EXPECT_EQ(model.links[1].kind, 9u);
    EXPECT_EQ(model.links[1].firstLinkRecord, 1u);
    EXPECT_EQ(model.links[1].limits[0], 45.0f);
    EXPECT_EQ(model.links[1].joints[1], 5u);

    // The clip's tracks have one key per body; the two extra keys of each
    // track are dropped and the block after them is read in step.
    const AnimClip &clip = model.clips[0];
    EXPECT_EQ(clip.flags, 5u);
    EXPECT_EQ(clip.value, 2.5f);
    ASSERT_EQ(clip.trackCount, 2);
    EXPECT_EQ(clip.secondCount, 0);
    EXPECT_EQ(clip.tracks[1].value, 0.5f);
    EXPECT_EQ(clip.tracks[1].keys[30].matrix.m[4], 3004);
    EXPECT_EQ(clip.tracks[1].keys[30].position.y, 1);
    EXPECT_EQ(model.clips[1].trackCount, 0);
    EXPECT_EQ(model.clips[1].value, 1.0f);

    ASSERT_EQ(model.blockCount, 1u);
    const AnimationBlock &block = model.blocks[0];
    EXPECT_EQ(block.value, 77u);
    EXPECT_EQ(block.bytes[15], 16);
    ASSERT_EQ(block.clips[0].trackCount, 1);
    EXPECT_EQ(block.clips[0].tracks[0].keys[19].matrix.m[0], 1900);
    EXPECT_TRUE(IsIdentity(block.clips[0].tracks[0].keys[20]));
    EXPECT_TRUE(IsIdentity(block.clips[0].tracks[0].keys[30]));
    EXPECT_EQ(block.clips[1].trackCount, 0);
    EXPECT_EQ(block.clips[1].tracks, nullptr);
    EXPECT_EQ(block.extra[0], 0.25f);
    EXPECT_EQ(block.extra[1], 0.75f);

    humans.Free();
    EXPECT_EQ(humans.modelCount, 0);
    EXPECT_EQ(humans.bodyParts, nullptr);
}

TEST(HumanFile, LoadReadsTheDataFolderOnce)
{
    std::filesystem::create_directories("data/hmn");
    WriteFileBytes("data/hmn/hmn.hmn", BuildFixture(Fixture{}));
    ASSERT_EQ(Humans.Load(nullptr), 1);
    EXPECT_EQ(Humans.loaded, 1u);
    CharacterModel *models = Humans.models;
    EXPECT_EQ(Humans.Load(nullptr), 1);
    EXPECT_EQ(Humans.models, models);
    Humans.Free();
    EXPECT_EQ(Humans.loaded, 0u);

    std::filesystem::remove("data/hmn/hmn.hmn");
    EXPECT_EQ(Humans.Load(nullptr), 0);
    EXPECT_EQ(Humans.loaded, 0u);
}

TEST(HumanFile, DamagedFilesAreRefused)
{
    const struct {
        const char *name;
        Fixture fixture;
    } cases[] = {
        {"later version", [] { Fixture f; f.version = 252; return f; }()},
        {"30 bodies", [] { Fixture f; f.pairedJoints = 12; f.unpairedJoints = 6; return f; }()},
        {"no joints", [] { Fixture f; f.pairedJoints = 0; f.unpairedJoints = 0; return f; }()},
        {"link to a missing joint", [] { Fixture f; f.linkJoint = 18; return f; }()},
        {"more clips than slots", [] { Fixture f; f.clipCount = 19; return f; }()},
        {"body part of a missing model", [] { Fixture f; f.modelIndex = 1; return f; }()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes("bad.hmn", BuildFixture(c.fixture));
        HumanSystem humans{};
        EXPECT_EQ(humans.ReadFile("bad.hmn", nullptr), 0);
        humans.Free();
    }

    // Every cut of a good file, down to the bare header.
    const std::vector<uint8_t> whole = BuildFixture(Fixture{});
    for (size_t length = 8; length < whole.size(); length += 7) {
        WriteFileBytes("cut.hmn", std::vector<uint8_t>(whole.begin(), whole.begin() + length));
        HumanSystem humans{};
        EXPECT_EQ(humans.ReadFile("cut.hmn", nullptr), 0) << "length " << length;
        humans.Free();
    }
    WriteFileBytes("cut.hmn", std::vector<uint8_t>(whole.begin(), whole.end() - 1));
    HumanSystem humans{};
    EXPECT_EQ(humans.ReadFile("cut.hmn", nullptr), 0);
    humans.Free();
}

}  // namespace
