#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/data_stream.h"
#include <vector>

#include "tools/world_scenery_writer.h"
#include "world/figure_object.h"
#include "world/human_system.h"
#include "world/shared_random.h"
#include "world/world.h"

namespace {

constexpr int32_t Metre = 65536;
constexpr int Joints = 3;

// A human system in memory. Every key set is Joints keys whose first
// position x names the set; the rest pose has x = -1, and a blend puts the
// blended x there.
class FakeHumans : public FigureHumanSystem {
public:
    struct Record {
        uint32_t flags;
        float size;
        std::vector<FigureBlock> blocks;
    };

    // A key set named by `name`, kept alive by the fake.
    const FixTransform *Keys(int32_t name)
    {
        sets.emplace_back(Joints, IdentityTransform);
        sets.back()[0].position.x = name;
        return sets.back().data();
    }
    FigureBlock MakeBlock(uint32_t groupMask, int32_t name, uint32_t flags = 0, float low = 0.0f, float high = 1.0f,
                      int32_t second = 0)
    {
        return {flags, groupMask, low, high, {Keys(name), second ? Keys(second) : nullptr}};
    }

    int RecordCount() const override { return static_cast<int>(records.size()); }
    uint32_t RecordFlags(int record) const override { return records[record].flags; }
    float RecordSize(int record) const override { return records[record].size; }
    int JointCount(int) const override { return Joints; }
    int BlockCount(int record) const override { return static_cast<int>(records[record].blocks.size()); }
    FigureBlock Block(int record, int block) const override { return records[record].blocks[block]; }
    void DefaultPose(int, FixTransform *keys) const override
    {
        for (int i = 0; i < Joints; ++i) {
            keys[i] = IdentityTransform;
        }
        keys[0].position.x = -1;
    }
    void BlendPoses(int, const FixTransform *a, const FixTransform *b, float t, FixTransform *keys) const override
    {
        for (int i = 0; i < Joints; ++i) {
            keys[i] = a[i];
        }
        keys[0].position.x =
            static_cast<int32_t>(std::lround(a[0].position.x + (b[0].position.x - a[0].position.x) * t));
    }

    std::vector<Record> records;
    std::vector<std::vector<FixTransform>> sets;
};

// Registers the fake (or none) for one test.
struct HumansScope {
    explicit HumansScope(const FigureHumanSystem *humans) { SetFigureHumanSystem(humans); }
    ~HumansScope() { SetFigureHumanSystem(nullptr); }
};

uint32_t Stepped(uint32_t value, int steps)
{
    for (int i = 0; i < steps; ++i) {
        value = (value * 5 + 1) & 65535u;
    }
    return value;
}

template <typename T> T *ReadObject(WorldWriter &bytes)
{
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    EXPECT_EQ(result.error, WorldObjectOk);
    EXPECT_EQ(stream.Remaining(), 0);
    return static_cast<T *>(result.object);
}

class FiguresTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildTrigTables();
        SetFigureHumanSystem(nullptr);
    }
};

TEST_F(FiguresTest, RecordsReadAndPrepare)
{
    WorldWriter bytes;
    CrowdFields crowdFields;
    crowdFields.poseGroup = 33;
    crowdFields.heading = 0.5f;
    crowdFields.width = 6.0f;
    crowdFields.heightStart = 0.0f;
    crowdFields.heightEnd = 4.0f;
    WriteCrowd(bytes, 251, ObjectHeaderAt(0, Metre, 2 * Metre), crowdFields);
    CrowdObject *crowd = ReadObject<CrowdObject>(bytes);
    ASSERT_NE(crowd, nullptr);
    EXPECT_EQ(crowd->GetType(), ObjectCrowd);
    EXPECT_EQ(crowd->poseGroup, 33u);
    crowd->Prepare();
    EXPECT_EQ(crowd->radius, 6 * Metre);   // sqrt(3^2 + 4^2) + 1
    EXPECT_EQ(crowd->centreZ, 2 * Metre);
    EXPECT_EQ(crowd->minX, Metre);
    int32_t position[3];
    float heading = 0.0f;
    crowd->GetPosition(position, heading);
    EXPECT_EQ(heading, 0.5f);
    delete crowd;

    WorldWriter figureBytes;
    WriteFigure(figureBytes, 250, ObjectHeaderAt(0, Metre, 0), {7, 1.5f, 3.0f});
    FigureObject *figure = ReadObject<FigureObject>(figureBytes);
    ASSERT_NE(figure, nullptr);
    figure->Prepare();
    EXPECT_EQ(figure->GetType(), ObjectFigure);
    EXPECT_EQ(figure->heading, 1.5f);
    EXPECT_EQ(figure->radius, 2 * Metre);
    EXPECT_EQ(figure->centreZ, 3 * Metre);
    delete figure;
}

TEST_F(FiguresTest, CrowdSlotCount)
{
    const struct {
        float width;
        int slots;
    } cases[] = {{5.0f, 6}, {0.79f, 0}, {0.8f, 1}, {-3.0f, 0}, {NAN, 0}, {1e9f, MaxCrowdSlots}};
    for (const auto &c : cases) {
        CrowdObject crowd(0, 0);
        crowd.width = c.width;
        EXPECT_EQ(crowd.SlotCount(), c.slots) << c.width;
    }
}

TEST_F(FiguresTest, CrowdDensityAndSteps)
{
    FakeHumans humans;
    humans.records.push_back({FigureRecordCrowdBody, 1.0f, {humans.MakeBlock(1, 10)}});
    HumansScope scope(&humans);
    const struct {
        float density;
        int figures;
    } cases[] = {{0.0f, 0}, {1.0f, 6}, {-2.0f, 0}, {5.0f, 6}};
    for (const auto &c : cases) {
        CrowdObject crowd(0, 0);
        SharedRandom = 1234;
        crowd.FillSlots(c.density);
        EXPECT_EQ(crowd.figureCount, c.figures) << c.density;
        EXPECT_EQ(SharedRandom, Stepped(1234, 6)) << c.density;
        crowd.FreeFigures();
    }

    // Half density: the slots whose step value mod 100 is below 50.
    CrowdObject crowd(0, 0);
    SharedRandom = 777;
    crowd.FillSlots(0.5f);
    int expected = 0;
    for (int i = 1; i <= 6; ++i) {
        expected += Stepped(777, i) % 100 < 50 ? 1 : 0;
    }
    EXPECT_EQ(crowd.figureCount, expected);
    EXPECT_EQ(SharedRandom, Stepped(777, 6));
}

TEST_F(FiguresTest, SameGeneratorValueGivesSameSpectators)
{
    FakeHumans humans;
    humans.records.push_back({FigureRecordCrowdBody, 1.0f, {humans.MakeBlock(1, 10), humans.MakeBlock(1, 20)}});
    humans.records.push_back({0, 1.0f, {}});
    humans.records.push_back({FigureRecordCrowdBody, 0.9f, {humans.MakeBlock(1, 30)}});
    HumansScope scope(&humans);

    CrowdObject a(0, 0);
    CrowdObject b(40 * Metre, -8 * Metre);
    SharedRandom = 4321;
    a.FillSlots(0.7f);
    SharedRandom = 4321;
    b.FillSlots(0.7f);
    ASSERT_GT(a.figureCount, 0);
    ASSERT_EQ(a.figureCount, b.figureCount);
    for (int i = 0; i < a.figureCount; ++i) {
        const DriverFigure &fa = a.figures[i];
        const DriverFigure &fb = b.figures[i];
        EXPECT_EQ(fa.record, fb.record);
        EXPECT_NE(fa.record, 1);   // not a crowd body
        EXPECT_EQ(fa.keys[0].position.x, fb.keys[0].position.x);
        EXPECT_EQ(fa.transform.matrix.m[8], fb.transform.matrix.m[8]);
        EXPECT_EQ(fa.transform.position.x - a.positionX, fb.transform.position.x - b.positionX);
        EXPECT_EQ(fa.transform.position.y - a.positionY, fb.transform.position.y - b.positionY);
    }
}

TEST_F(FiguresTest, SpectatorSizePlaceAndBlendedPose)
{
    FakeHumans humans;
    // Only the third block suits: the first lacks the pose group, the second
    // holds no height of a spectator of this size.
    humans.records.push_back({FigureRecordCrowdBody,
                              1.0f,
                              {humans.MakeBlock(1, 10), humans.MakeBlock(4, 20, 1, 1.5f, 2.0f),
                               humans.MakeBlock(4, 0, FigureBlockTwoClips, 0.8f, 1.2f, 1000000)}});
    HumansScope scope(&humans);

    CrowdObject crowd(10 * Metre, 0);
    crowd.poseGroup = 34;   // bit 2
    crowd.width = 4.0f;     // 5 slots of 0.8 m
    crowd.heightStart = 1.0f;
    crowd.heightEnd = 3.0f;
    crowd.sizeStart = crowd.sizeEnd = 1.0f;
    SharedRandom = 99;
    crowd.FillSlots(1.0f);
    ASSERT_EQ(crowd.figureCount, 5);
    for (int i = 0; i < crowd.figureCount; ++i) {
        const DriverFigure &figure = crowd.figures[i];
        const float scale = static_cast<float>(figure.transform.matrix.m[8]) / Metre;
        EXPECT_LE(std::fabs(scale - 1.0f), 0.1001f) << i;
        const float v = 1.0f / scale;
        EXPECT_NEAR(figure.keys[0].position.x, 1000000.0f * (v - 0.8f) / 0.4f, 40.0f) << i;
        // Slot centres 0.8 m apart from -1.6 m, rising from 1.2 m to 2.8 m.
        EXPECT_NEAR(figure.transform.position.x, 10 * Metre + (-1.6f + 0.8f * i) * Metre, 2.0f) << i;
        EXPECT_EQ(figure.transform.position.y, 0) << i;
        EXPECT_NEAR(figure.transform.position.z, (1.2f + 0.4f * i) * Metre, 2.0f) << i;
    }
}

// The number of SharedRandom steps never depends on the human system: one
// per crowd slot and one per figure object.
TEST_F(FiguresTest, SharedRandomRule)
{
    enum Kind { Absent, AllQualify, FirstFails, NoneQualify };
    for (int kind = Absent; kind <= NoneQualify; ++kind) {
        FakeHumans humans;
        std::vector<FigureBlock> blocks;
        const uint32_t mask = kind == NoneQualify ? 2u : 1u;
        for (int b = 0; b < 4; ++b) {
            const bool fails = kind == NoneQualify || (kind == FirstFails && b != 3);
            blocks.push_back(humans.MakeBlock(fails ? 2u : mask, 100 + b));
        }
        humans.records.push_back({FigureRecordCrowdBody, 1.0f, {humans.MakeBlock(1, 10)}});
        humans.records.push_back({FigureRecordWorldFigure, 1.0f, blocks});
        HumansScope scope(kind == Absent ? nullptr : &humans);

        World *world = WorldCreate();
        world->crowdDensity = 0.5f;
        CrowdObject *rowA = new CrowdObject(0, 0);
        CrowdObject *rowB = new CrowdObject(0, 0);
        rowB->width = 2.4f;   // 3 slots
        world->objects[world->objectCount++] = new FigureObject(0, 0);
        world->objects[world->objectCount++] = rowA;
        world->objects[world->objectCount++] = new FigureObject(5 * Metre, 0);
        world->objects[world->objectCount++] = rowB;

        SharedRandom = 2024;
        world->CreateFigures();
        EXPECT_EQ(SharedRandom, Stepped(2024, 6 + 3 + 2)) << kind;

        const FigureObject *first = static_cast<FigureObject *>(world->objects[0]);
        if (kind == Absent) {
            EXPECT_EQ(first->figure, nullptr);
            EXPECT_EQ(world->figures[0].keys, nullptr);
        } else {
            ASSERT_NE(first->figure, nullptr);
            // Figure objects draw after both rows: their draw is step 10.
            const int drawn = static_cast<int>(Stepped(2024, 10) % 4);
            const int32_t expected = kind == AllQualify ? 100 + drawn : (kind == FirstFails ? 103 : -1);
            EXPECT_EQ(first->figure->keys[0].position.x, expected) << kind;
            EXPECT_EQ(first->figure->record, 1);
        }
        world->ReleaseFigures();
        EXPECT_EQ(first->figure, nullptr);
        EXPECT_EQ(rowA->figures, nullptr);
        WorldDestroy(world);
    }
}

TEST_F(FiguresTest, WorldFiguresTakeTheirPoseBits)
{
    FakeHumans humans;
    humans.records.push_back({FigureRecordCrowdBody, 1.0f, {}});
    humans.records.push_back(
        {FigureRecordWorldFigure, 1.0f, {humans.MakeBlock(0x100, 10), humans.MakeBlock(0x1, 20), humans.MakeBlock(0x101, 30)}});
    HumansScope scope(&humans);
    World *world = WorldCreate();
    world->CreateFigures();
    // Bit 0, bit 8, and for bit 9 (none has it) the first of bit 0.
    EXPECT_EQ(world->figures[0].keys[0].position.x, 20);
    EXPECT_EQ(world->figures[1].keys[0].position.x, 10);
    EXPECT_EQ(world->figures[2].keys[0].position.x, 20);
    EXPECT_EQ(world->figures[2].record, 1);

    // A world figure without poses stands in the rest pose.
    humans.records[1].blocks.clear();
    world->CreateFigures();
    EXPECT_EQ(world->figures[0].keys[0].position.x, -1);
    world->ReleaseFigures();
    EXPECT_EQ(world->figures[1].keys, nullptr);
    WorldDestroy(world);
}

} // namespace
