#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "core/fixed_math.h"
#include "tests/world/world_bytes.h"
#include "world/panel_object.h"
#include "world/solid_object.h"
#include "world/world.h"

namespace {

int32_t Fix(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

struct Curve {
    uint8_t kind, flags, vertexA, vertexB;
    float slopeA, angleA, slopeB, angleB;
};

struct Link {
    uint16_t surface;
    uint8_t collide, measured;
    uint16_t mapping;
    uint8_t curveA, curveB;
};

struct SolidRecord {
    uint16_t flags = SolidCollides;
    uint16_t sideA = 1, sideB = 1, indexA = 0, indexB = 1;
    uint8_t checkpoint = 0;
    uint32_t mask = 0;          // v251: written with a checkpoint; older: the mask word
    uint8_t maskFlags = 0;      // older records
    std::vector<Curve> curves;
    std::vector<Link> links;
    float segmentLength = 3.0f, textureScale = 1.0f;
};

void WriteLink(WorldBytes &bytes, const Link &link, uint8_t stored)
{
    bytes.U16(link.surface).U8(link.collide).U8(link.measured).U16(link.mapping);
    if (link.curveA == link.curveB || stored == 1) {
        // Equal curve bytes: the curves follow as two u32.
        bytes.U8(0).U8(0).U32(link.curveA).U32(link.curveB);
    } else {
        bytes.U8(link.curveA).U8(link.curveB);
    }
}

// A type-9 object with its header in the version's form; link number
// wideLink is written in the 16-byte form.
WorldBytes SolidBytes(const SolidRecord &r, int version, uint32_t curveCount, int wideLink = -1)
{
    WorldBytes bytes;
    if (version >= 251) {
        bytes.U8(9).U8(0).U8(0).U8(0);
        bytes.U16(r.flags).U16(0).U16(r.sideA).U16(r.sideB).U16(r.indexA).U16(r.indexB);
        bytes.U8(r.checkpoint).U8(0x33).U8(curveCount).U8(r.links.size());
        if (r.checkpoint != 0) {
            bytes.U32(r.mask);
        }
        for (const Curve &c : r.curves) {
            bytes.U8(c.kind).U8(c.flags).U8(c.vertexA).U8(c.vertexB);
            bytes.F32(c.slopeA).F32(c.angleA).F32(c.slopeB).F32(c.angleB);
        }
        for (size_t l = 0; l < r.links.size(); l++) {
            WriteLink(bytes, r.links[l], int(l) == wideLink);
        }
        bytes.F32(r.segmentLength).F32(r.textureScale);
    } else {
        bytes.U8(9).U8(0).U16(0);
        bytes.U16(r.flags).U16(0).U32(r.sideA).U32(r.indexA).U32(r.sideB).U32(r.indexB);
        bytes.F32(r.segmentLength).F32(r.textureScale).U32(curveCount);
        for (const Curve &c : r.curves) {
            bytes.U32(c.vertexA).U32(c.vertexB).U8(c.kind).U8(c.flags).U16(0);
            bytes.F32(c.slopeA).F32(c.angleA).F32(c.slopeB).F32(c.angleB);
        }
        bytes.U32(r.links.size());
        for (size_t l = 0; l < r.links.size(); l++) {
            WriteLink(bytes, r.links[l], int(l) == wideLink);
        }
        bytes.U8(r.checkpoint).U8(r.maskFlags).U16(r.mask).U32(0x44).U32(0);
    }
    return bytes;
}

// The stream reads from bytes, which must outlive it.
WorldObjectResult Create(WorldBytes &bytes, int version, DataStream &stream)
{
    bytes.Open(stream, version);
    return CreateWorldObject(&stream, version);
}

void Free(WorldObject *object)
{
    object->Release();
    delete object;
}

PanelObject *MakePanel(float x, float y, float heading, const std::vector<std::array<float, 3>> &vertices)
{
    auto *panel = new PanelObject(Fix(x), Fix(y));
    panel->heading = heading;
    panel->vertexCount = static_cast<uint8_t>(vertices.size());
    panel->vertices = new PanelVertex[vertices.size() + 1]();
    for (size_t i = 0; i < vertices.size(); i++) {
        panel->vertices[i].lateral = Fix(vertices[i][0]);
        panel->vertices[i].height = Fix(vertices[i][1]);
        panel->vertices[i].tag = static_cast<uint8_t>(vertices[i][2]);
    }
    panel->Prepare();
    return panel;
}

// Two curves, 10 m wide (laterals -5 and +5), one link between them.
SolidRecord Strip()
{
    SolidRecord r;
    r.curves = {{1, 0, 0, 0, 0, 0, 0, 0}, {1, 0, 1, 1, 0, 0, 0, 0}};
    r.links = {{0, 1, 1, 0, 0, 1}};
    return r;
}

class SolidObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }

    // Panel A at the origin along x; panel B `length` m ahead, turned by pi
    // so that its vertices run the other way.
    void MakeStrip(float length, float bank = 0.0f)
    {
        objects[0] = MakePanel(0, 0, 0.0f, {{{-5, 0, 0}}, {{5, bank, 0}}});
        objects[1] = MakePanel(0, length, 3.14159265f, {{{5, 0, 0}}, {{-5, bank, 0}}});
    }

    SolidObject *ReadSolid(const SolidRecord &r)
    {
        WorldBytes bytes = SolidBytes(r, 251, r.curves.size());
        DataStream stream;
        const WorldObjectResult result = Create(bytes, 251, stream);
        EXPECT_EQ(result.error, WorldObjectOk);
        auto *solid = static_cast<SolidObject *>(result.object);
        EXPECT_EQ(solid->ResolvePanels(objects, 2, 2), SolidResolveOk);
        solid->Prepare();
        return solid;
    }

    void TearDown() override
    {
        for (WorldObject *&object : objects) {
            if (object) {
                Free(object);
            }
            object = nullptr;
        }
    }

    WorldObject *objects[2] = {};
};

TEST_F(SolidObjectTest, ReadsBothVersionsWithTheLinkRuleAndConsumesExactlyTheRecord)
{
    struct Case {
        int version;
        uint8_t checkpoint, maskFlags;
        uint32_t mask, expectedMask;
    };
    const Case cases[] = {
        {251, 3, 0, 0x10005, 0x10005},
        {251, 0, 0, 0, 0xFFFFFFFF},
        {250, 3, 1, 6, 6},
        {250, 3, 3, 6, 0x60006},
        {250, 0, 0, 6, 0},
    };
    for (const Case &c : cases) {
        SolidRecord r = Strip();
        r.links.push_back({0, 0, 0, 7, 1, 0});   // written in the 16-byte form
        r.checkpoint = c.checkpoint;
        r.maskFlags = c.maskFlags;
        r.mask = c.mask;
        r.sideB = 2;
        r.indexA = 4;
        r.indexB = 5;
        r.segmentLength = 2.5f;
        WorldBytes bytes = SolidBytes(r, c.version, 2, 1);
        bytes.U8(0xEE);
        DataStream stream;
        const WorldObjectResult result = Create(bytes, c.version, stream);
        ASSERT_EQ(result.error, WorldObjectOk) << c.version;
        EXPECT_EQ(stream.ReadU8(), 0xEE) << c.version;
        auto *solid = static_cast<SolidObject *>(result.object);
        EXPECT_EQ(solid->checkpointMask, c.expectedMask) << c.version;
        EXPECT_EQ(solid->checkpoint, c.checkpoint);
        EXPECT_EQ(solid->sideB, 2);
        EXPECT_EQ(solid->indexA, 4);
        EXPECT_EQ(solid->indexB, 5);
        EXPECT_EQ(solid->IsSolid(), 1);
        EXPECT_FLOAT_EQ(solid->segmentLength, 2.5f);
        ASSERT_EQ(solid->curveCount, 2);
        EXPECT_EQ(solid->curves[1].vertexA, 1);
        EXPECT_EQ(solid->curves[1].kind, 1);
        ASSERT_EQ(solid->linkCount, 2);
        EXPECT_EQ(solid->links[1].mapping, 7);
        EXPECT_EQ(solid->links[1].curveA, 1);
        EXPECT_EQ(solid->links[1].curveB, 0);
        Free(solid);
    }
}

TEST_F(SolidObjectTest, DamagedRecordsAreRefused)
{
    struct Case {
        const char *what;
        std::function<WorldBytes()> bytes;
        int version;
    };
    const auto many = [](int version) {
        SolidRecord r = Strip();
        r.curves.assign(65, Curve{1, 0, 0, 0, 0, 0, 0, 0});
        return SolidBytes(r, version, 65);
    };
    const Case cases[] = {
        {"65 curves", [&] { return many(251); }, 251},
        {"65 curves, old form", [&] { return many(250); }, 250},
        {"link beyond the curves",
         [] {
             SolidRecord r = Strip();
             r.links[0].curveB = 2;
             return SolidBytes(r, 251, 2);
         },
         251},
        {"curves beyond the data",
         [] {
             SolidRecord r = Strip();
             r.curves.clear();
             r.links.clear();
             return SolidBytes(r, 251, 40);
         },
         251},
        {"old curve count beyond the data",
         [] {
             SolidRecord r = Strip();
             r.curves.clear();
             r.links.clear();
             return SolidBytes(r, 250, 40);
         },
         250},
        // The spare element made for an empty curve or link array must be
        // freed with the refused object: the sanitizer build's leak check
        // catches it otherwise.
        {"zero curves, a link naming curve 0",
         [] {
             SolidRecord r = Strip();
             r.curves.clear();
             r.links[0].curveB = 0;
             return SolidBytes(r, 251, 0);
         },
         251},
        {"zero curves, a link naming curve 0, old form",
         [] {
             SolidRecord r = Strip();
             r.curves.clear();
             r.links[0].curveB = 0;
             return SolidBytes(r, 250, 0);
         },
         250},
        {"wide link cut off",
         [] {
             SolidRecord r = Strip();
             WorldBytes bytes = SolidBytes(r, 251, 2, 0);
             bytes.bytes.resize(bytes.bytes.size() - 12);
             return bytes;
         },
         251},
    };
    for (const Case &c : cases) {
        WorldBytes bytes = c.bytes();
        DataStream stream;
        const WorldObjectResult result = Create(bytes, c.version, stream);
        EXPECT_EQ(result.error, WorldObjectBadRecord) << c.what;
        EXPECT_EQ(result.object, nullptr) << c.what;
    }
}

TEST_F(SolidObjectTest, EveryCutOffRecordIsRefused)
{
    for (const int version : {250, 251}) {
        SolidRecord r = Strip();
        r.checkpoint = 2;
        r.links.push_back({0, 1, 0, 0, 1, 0});
        const WorldBytes whole = SolidBytes(r, version, 2, 1);
        for (size_t size = 0; size < whole.bytes.size(); size++) {
            WorldBytes cut = whole;
            cut.bytes.resize(size);
            DataStream stream;
            const WorldObjectResult result = Create(cut, version, stream);
            EXPECT_NE(result.error, WorldObjectOk) << version << " cut to " << size;
            EXPECT_EQ(result.object, nullptr);
        }
    }
}

TEST_F(SolidObjectTest, ResolvingRefusesIndicesThatNameNothing)
{
    MakeStrip(10);
    struct Case {
        const char *what;
        uint16_t indexA, indexB;
        uint8_t vertexB;
        uint16_t surface;
        int colourCount;
        int error;
    };
    const Case cases[] = {
        {"sound", 0, 1, 1, 0, 1, SolidResolveOk},
        {"panel index beyond the objects", 0, 2, 1, 0, 1, SolidBadPanelIndex},
        {"vertex beyond the panel", 0, 1, 2, 0, 1, SolidBadVertexIndex},
        {"surface beyond the colours", 0, 1, 1, 1, 1, SolidBadSurface},
    };
    for (const Case &c : cases) {
        SolidRecord r = Strip();
        r.indexA = c.indexA;
        r.indexB = c.indexB;
        r.curves[1].vertexB = c.vertexB;
        r.links[0].surface = c.surface;
        WorldBytes bytes = SolidBytes(r, 251, 2);
        DataStream stream;
        WorldObjectResult result = Create(bytes, 251, stream);
        ASSERT_EQ(result.error, WorldObjectOk) << c.what;
        auto *solid = static_cast<SolidObject *>(result.object);
        EXPECT_EQ(solid->ResolvePanels(objects, 2, c.colourCount), c.error) << c.what;
        solid->Prepare();   // unresolved solids collapse to their position
        Free(solid);
    }
    // An index naming an object that is not a panel.
    SolidObject solid;
    WorldObject *notPanels[2] = {objects[0], &solid};
    solid.indexA = 0;
    solid.indexB = 1;
    EXPECT_EQ(solid.ResolvePanels(notPanels, 2, 1), SolidBadPanelIndex);
    solid.Release();
}

TEST_F(SolidObjectTest, PreparesCornersWidthsCubicsBoundsAndRadius)
{
    struct Case {
        float bank;
    };
    for (const Case c : {Case{0.0f}, Case{1.0f}}) {
        MakeStrip(10, c.bank);
        SolidObject *solid = ReadSolid(Strip());
        EXPECT_EQ(solid->positionX, 0);
        EXPECT_EQ(solid->positionY, Fix(5));
        // Without straight closing curves the footprint reaches 1 m beyond
        // both edges: laterals -6..6; the edges are equally long, so the
        // maximum edge is chosen.
        EXPECT_EQ(solid->cornerA.x, Fix(6));
        EXPECT_EQ(solid->cornerA.y, 0);
        EXPECT_EQ(solid->cornerB.x, Fix(6));
        EXPECT_EQ(solid->cornerB.y, Fix(10));
        EXPECT_EQ(solid->widthA.x, Fix(12));
        EXPECT_EQ(solid->widthB.x, Fix(12));
        EXPECT_EQ(solid->meanLength, Fix(10));
        // u = (-5 - 6) / 12 along the whole first curve.
        const int32_t u0 = static_cast<int32_t>((int64_t(Fix(-11)) * 65536) / Fix(12));
        EXPECT_EQ(solid->curves[0].lateral[3], u0);
        EXPECT_EQ(solid->curves[0].lateral[2], 0);
        EXPECT_EQ(solid->curves[1].height[3], Fix(c.bank));
        FixVector middle;
        solid->EvaluateCurve(solid->curves[1], 32768, middle);
        EXPECT_NEAR(middle.x, Fix(5), 8);
        EXPECT_EQ(middle.y, Fix(5));
        EXPECT_EQ(middle.z, Fix(c.bank));
        // Bounds, z range, centre and radius from the measured rows. The end
        // rows are panel B's vertex points, turned by its heading in 16-bit
        // units (a little short of pi): about a millimetre off.
        const int32_t slack = 100;
        EXPECT_NEAR(solid->minX, Fix(-5), slack);
        EXPECT_NEAR(solid->maxX, Fix(5), slack);
        EXPECT_EQ(solid->minY, 0);
        EXPECT_NEAR(solid->maxY, Fix(10), slack);
        EXPECT_EQ(solid->minZ, 0);
        EXPECT_EQ(solid->maxZ, Fix(c.bank));
        EXPECT_NEAR(solid->centreY, Fix(5), slack);
        EXPECT_EQ(solid->centreZ, Fix(c.bank / 2));
        const float h = c.bank / 2;
        EXPECT_NEAR(solid->radius, Fix(std::sqrt(50.0f + h * h)), slack);
        Free(solid);
        TearDown();
    }
}

TEST_F(SolidObjectTest, BothEndsTaggedMakeAStraightCurveThatClosesItsEdge)
{
    objects[0] = MakePanel(0, 0, 0.0f, {{{-5, 0, 1}}, {{5, 0, 0}}});
    objects[1] = MakePanel(0, 10, 3.14159265f, {{{5, 0, 2}}, {{-5, 0, 0}}});
    SolidRecord r = Strip();
    r.curves[0].kind = 2;
    r.curves[1].kind = 0;
    SolidObject *solid = ReadSolid(r);
    EXPECT_EQ(solid->curves[0].kind, 2);
    EXPECT_EQ(solid->curves[1].kind, 0);
    // The minimum edge is closed by curve 0: laterals -5..6, width 11 m.
    EXPECT_EQ(solid->widthA.x, Fix(11));
    EXPECT_EQ(solid->curves[0].lateral[3], static_cast<int32_t>((int64_t(Fix(-11)) * 65536) / Fix(11)));
    Free(solid);
}

TEST_F(SolidObjectTest, DetailLevelsFollowTheSegmentCount)
{
    struct Level {
        int segments;
        int32_t maxDistance;
    };
    struct Case {
        float length, segment;
        int levelCount;
        Level levels[3];
    };
    const Case cases[] = {
        {10, 3, 2, {{3, 0x400000}, {1, 0x40000000}}},
        {10, 4, 1, {{2, 0x40000000}}},
        {10, 0, 1, {{1, 0x40000000}}},
        {10, NAN, 1, {{1, 0x40000000}}},
        {100, 3, 3, {{33, 0x400000}, {16, 0x1000000}, {8, 0x40000000}}},
    };
    for (const Case &c : cases) {
        MakeStrip(c.length);
        SolidRecord r = Strip();
        r.segmentLength = c.segment;
        SolidObject *solid = ReadSolid(r);
        ASSERT_EQ(solid->levelCount, c.levelCount) << c.length << " / " << c.segment;
        for (int l = 0; l < c.levelCount; l++) {
            EXPECT_EQ(solid->levels[l].segments, c.levels[l].segments) << c.length << " / " << c.segment;
            EXPECT_EQ(solid->levels[l].maxDistance, c.levels[l].maxDistance) << c.length << " / " << c.segment;
        }
        Free(solid);
        TearDown();
    }
}

TEST_F(SolidObjectTest, PointInsideUsesTheEndLinesAndTheCallersMargin)
{
    MakeStrip(10);
    SolidObject *solid = ReadSolid(Strip());
    struct Case {
        float x, y, margin;
        int inside;
    };
    const Case cases[] = {
        {0, 5, 0, 1},        {30, 5, 0, 1},   // the sides are left to the bounds test
        {0, 10.009f, 0, 0},  {0, 10.009f, 0.01f, 1},
        {0, -0.5f, 0, 0},    {0, -0.5f, 0.6f, 1},
        {0, 10, 0, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(solid->IsPointInside(Fix(c.x), Fix(c.y), Fix(c.margin)) != 0, c.inside != 0) << c.x << ", " << c.y;
    }
    Free(solid);
}

TEST_F(SolidObjectTest, CopyFlagGivesPanelBTheShapeOfPanelA)
{
    objects[0] = MakePanel(0, 0, 0.5f, {{{-5, 0, 0}}, {{5, 0, 0}}, {{7, 1, 0}}});
    objects[1] = MakePanel(0, 10, 0.0f, {{{1, 1, 0}}});
    SolidRecord r = Strip();
    r.flags |= SolidCopyPanelShape;
    r.curves[1].vertexB = 2;   // exists only in the copied shape
    SolidObject *solid = ReadSolid(r);
    auto *b = static_cast<PanelObject *>(objects[1]);
    ASSERT_EQ(b->vertexCount, 3);
    EXPECT_FLOAT_EQ(b->heading, 0.5f);
    EXPECT_EQ(b->vertices[2].lateral, Fix(7));
    Free(solid);
}

class SolidContactTest : public SolidObjectTest {
protected:
    void SetUp() override
    {
        CurrentWorld = WorldCreate();
        CurrentWorld->colours.count = 2;
        CurrentWorld->colours.records = new TrackColour[2]();
    }
    void TearDown() override
    {
        SolidObjectTest::TearDown();
        WorldDestroy(CurrentWorld);
        CurrentWorld = nullptr;
        CheckpointConfigBit = 0;
    }

    // A probe from `end` - `segment` to `end` (metres); 1 when it hit.
    int Probe(SolidObject *solid, std::array<float, 3> end, std::array<float, 3> segment, ContactProbe &probe)
    {
        probe.Clear();
        probe.endPoint = {Fix(end[0]), Fix(end[1]), Fix(end[2])};
        probe.segment = {Fix(segment[0]), Fix(segment[1]), Fix(segment[2])};
        return solid->Contact(probe.endPoint, probe.segment, probe, nullptr, nullptr, nullptr);
    }
};

TEST_F(SolidContactTest, ProbesHitTheSurfaceFromItsFrontOnly)
{
    struct Case {
        const char *what;
        float bank;
        std::array<float, 3> end, segment;
        int hit;
        float height, fraction;
    };
    const float n = 1.0f / std::sqrt(101.0f);
    const Case cases[] = {
        {"down onto a flat strip", 0, {0, 5, -0.1f}, {0, 0, -0.5f}, 1, 0.0f, 0.2f},
        {"down, 0.009 m beyond the end line", 0, {0, 10.009f, -0.1f}, {0, 0, -0.5f}, 1, 0.0f, 0.2f},
        {"down, 0.02 m beyond the end line", 0, {0, 10.02f, -0.1f}, {0, 0, -0.5f}, 0, 0, 0},
        {"moving up", 0, {0, 5, -0.1f}, {0, 0, 0.5f}, 0, 0, 0},
        {"ending above", 0, {0, 5, 0.1f}, {0, 0, -0.5f}, 0, 0, 0},
        {"ending exactly on the surface", 0, {0, 5, 0}, {0, 0, -0.5f}, 0, 0, 0},
        {"beside the strip", 0, {8, 5, -0.1f}, {0, 0, -0.5f}, 0, 0, 0},
        {"down onto a banked strip", 1, {0, 5, 0}, {0, 0, -1}, 1, 0.5f, 0.5f},
    };
    for (const Case &c : cases) {
        MakeStrip(10, c.bank);
        SolidObject *solid = ReadSolid(Strip());
        ContactProbe probe;
        EXPECT_EQ(Probe(solid, c.end, c.segment, probe), c.hit) << c.what;
        if (c.hit) {
            EXPECT_NEAR(probe.hitPoint.z, Fix(c.height), 8) << c.what;
            EXPECT_NEAR(probe.hitPoint.y, Fix(c.end[1]), 8) << c.what;
            EXPECT_NEAR(probe.fraction, Fix(c.fraction), 8) << c.what;
            EXPECT_EQ(probe.surface, &CurrentWorld->colours.records[0]) << c.what;
            EXPECT_NEAR(probe.normal[0], c.bank ? -n : 0.0f, 1e-3f) << c.what;
            EXPECT_NEAR(probe.normal[1], 0.0f, 1e-3f) << c.what;
            EXPECT_NEAR(probe.normal[2], c.bank ? 10 * n : 1.0f, 1e-3f) << c.what;
            EXPECT_EQ(probe.tag, 0u);
        } else {
            EXPECT_EQ(probe.fraction, 0) << c.what;
        }
        Free(solid);
        SolidObjectTest::TearDown();
    }
}

TEST_F(SolidContactTest, OnABentStripTheHitLiesOnTheLateralCubics)
{
    // Kind-0 curves leaving panel A at 1 rad bend sideways; the strip rises
    // 1 m from curve 0 to curve 1, so the hit height tells where between the
    // bent curves the probe came down.
    MakeStrip(10, 1.0f);
    SolidRecord r = Strip();
    for (Curve &curve : r.curves) {
        curve.kind = 0;
        curve.angleA = 1.0f;
    }
    SolidObject *solid = ReadSolid(r);
    FixVector left, right;
    solid->EvaluateCurve(solid->curves[0], 32768, left);
    solid->EvaluateCurve(solid->curves[1], 32768, right);
    const int32_t middle = (left.x + right.x) / 2;
    EXPECT_GT(std::abs(middle), Fix(1));   // really bent
    const int32_t quarter = left.x + (right.x - left.x) / 4;
    struct Case {
        int32_t x;
        float height;
    };
    for (const Case c : {Case{middle, 0.5f}, Case{quarter, 0.25f}}) {
        ContactProbe probe;
        probe.Clear();
        const FixVector end = {c.x, Fix(5), -Fix(1)}, segment = {0, 0, -Fix(3)};
        ASSERT_EQ(solid->Contact(end, segment, probe, nullptr, nullptr, nullptr), 1);
        EXPECT_NEAR(probe.hitPoint.z, Fix(c.height), 64);
    }
    Free(solid);
}

TEST_F(SolidContactTest, BumpHeightsOfTheThreeKinds)
{
    // Amplitude 100 on a 10 m solid; at y = 5.5 m, t = 36045 / 65536 and the
    // folded ridge phase is 32766 (high byte 127).
    CurrentWorld->bumpCurve[127] = 20;
    CurrentWorld->bumpMap[0x8000] = -7;    // shift 16: x 0, y 0x58000
    CurrentWorld->bumpMap[0x12AB] = 3;     // shift 12: x 0xABC >> 4, (y 0x123 << 4) & 0xFF00
    struct Case {
        const char *what;
        uint8_t kind, shift;
        int32_t x, y;
        int32_t height;
    };
    const Case cases[] = {
        {"ridges", 1, 16, 0, Fix(5.5f), (32766 * 128 * 100) >> 16},
        {"profile", 2, 16, 0, Fix(5.5f), 20 * 100},
        {"map", 0, 16, 0, Fix(5.5f), -7 * 100},
        {"map with a short period", 3, 12, 0xABC, Fix(5.5f) + 0x123, 3 * 100},
    };
    MakeStrip(10);
    SolidObject *solid = ReadSolid(Strip());
    for (const Case &c : cases) {
        TrackColour &colour = CurrentWorld->colours.records[0];
        colour.bumpKind = c.kind;
        colour.bumpAmplitude = 100;
        colour.bumpShift = c.shift;
        uint32_t kind = uint32_t(c.kind) << 8 | 100u << 16 | uint32_t(c.shift) << 24;
        int32_t weight = 0, height = 0;
        ContactProbe probe;
        probe.Clear();
        const FixVector end = {c.x, c.y, -Fix(0.1f)}, segment = {0, 0, -Fix(0.5f)};
        ASSERT_EQ(solid->Contact(end, segment, probe, &kind, &weight, &height), 1) << c.what;
        EXPECT_EQ(height, c.height) << c.what;
    }
    Free(solid);
}

TEST_F(SolidContactTest, OfTwoLinksCrossedTheOneNearerTheStartWins)
{
    for (const bool floorFirst : {true, false}) {
        objects[0] = MakePanel(0, 0, 0.0f, {{{-5, 0, 0}}, {{5, 0, 0}}, {{5, 1, 0}}, {{-5, 1, 0}}});
        objects[1] = MakePanel(0, 10, 3.14159265f, {{{5, 0, 0}}, {{-5, 0, 0}}, {{-5, 1, 0}}, {{5, 1, 0}}});
        SolidRecord r;
        for (uint8_t i = 0; i < 4; i++) {
            r.curves.push_back({1, 0, i, i, 0, 0, 0, 0});
        }
        const Link floor = {0, 1, 0, 0, 0, 1}, top = {1, 1, 0, 0, 3, 2};
        r.links = floorFirst ? std::vector<Link>{floor, top} : std::vector<Link>{top, floor};
        SolidObject *solid = ReadSolid(r);
        ContactProbe probe;
        ASSERT_EQ(Probe(solid, {0, 5, -0.5f}, {0, 0, -2.5f}, probe), 1);
        EXPECT_NEAR(probe.hitPoint.z, Fix(1), 8);
        EXPECT_NEAR(probe.fraction, Fix(0.6f), 8);
        EXPECT_EQ(probe.surface, &CurrentWorld->colours.records[1]);
        Free(solid);
        SolidObjectTest::TearDown();
    }
}

TEST_F(SolidContactTest, TagIsWrittenOnlyWhenTheCheckpointMaskHasTheCurrentBit)
{
    MakeStrip(10);
    SolidRecord r = Strip();
    r.checkpoint = 3;
    r.mask = 0x10005;
    SolidObject *solid = ReadSolid(r);
    for (const uint32_t bit : {0x4u, 0x8u}) {
        CheckpointConfigBit = bit;
        ContactProbe probe;
        ASSERT_EQ(Probe(solid, {0, 5, -0.1f}, {0, 0, -0.5f}, probe), 1);
        EXPECT_EQ(probe.tag, bit == 0x4u ? 3u : 0u);
    }
    Free(solid);
}

TEST_F(SolidContactTest, RidgeBumpsAndTheWeightRule)
{
    // Ridges 1 m apart on a 10 m solid: at t = 0.55 the folded phase is
    // 0x10000 - (36045 x 10 & 0xFFFF) = 32766; height = 32766 x 128 x 100 >> 16.
    TrackColour &colour = CurrentWorld->colours.records[0];
    colour.bumpKind = 1;
    colour.bumpAmplitude = 100;
    colour.bumpShift = 16;
    const uint32_t word = 1u << 8 | 100u << 16 | 16u << 24;
    const int32_t ridge = (32766 * 128 * 100) >> 16;
    MakeStrip(10);
    SolidObject *solid = ReadSolid(Strip());
    struct Case {
        uint32_t kind;
        int32_t weight, height;
        int32_t expectedWeight, expectedHeight;
    };
    const Case cases[] = {
        {word, 0, 999, 0, ridge},                                // matching, weight 0: the new height
        {word, 32768, ridge + 1000, 32768, ridge + 500},         // matching: blended by the weight
        {0, 0, 999, 65536, 999},                                 // another kind: weight 1, height kept
    };
    for (const Case &c : cases) {
        uint32_t kind = c.kind;
        int32_t weight = c.weight, height = c.height;
        ContactProbe probe;
        probe.Clear();
        const FixVector end = {0, Fix(5.5f), -Fix(0.1f) + height}, segment = {0, 0, -Fix(0.5f)};
        ASSERT_EQ(solid->Contact(end, segment, probe, &kind, &weight, &height), 1);
        EXPECT_EQ(kind, word);
        EXPECT_EQ(weight, c.expectedWeight);
        EXPECT_EQ(height, c.expectedHeight);
        EXPECT_NEAR(probe.hitPoint.z, c.height, 8);   // the bump that was subtracted is added back
    }
    Free(solid);
}

} // namespace
