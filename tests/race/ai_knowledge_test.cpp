#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/data_stream.h"
#include "race/ai_driver.h"
#include "race/ai_knowledge.h"
#include "race/path_range.h"
#include "race/race_links.h"
#include "vehicle/car_setup.h"
#include "vehicle/hermite.h"
#include "world/path.h"
#include "world/track_colours.h"
#include "world/world.h"
#include "world/world_object.h"
#include "vehicle/contact_probe.h"

namespace {

// --- A knowledge file writer of the test's own ---

struct FileRange {
    uint32_t start;
    uint32_t end;
    float angle;
    float offset;
    uint8_t stiffStart = 0;
    uint8_t stiffEnd = 0;
};

struct FileImage {
    int version = 5;
    int16_t nodes = 40;
    int16_t rangeCount = -32768;   // -32768: the number of ranges given
    std::vector<FileRange> ranges;
    size_t cut = 0;                // bytes dropped from the end
};

std::vector<uint8_t> MakeImage(const FileImage &image)
{
    std::vector<uint8_t> bytes;
    auto u8 = [&](int v) { bytes.push_back(static_cast<uint8_t>(v)); };
    auto u16 = [&](int v) { u8(v & 0xff); u8((v >> 8) & 0xff); };
    auto u32 = [&](uint32_t v) { u16(v & 0xffff); u16(v >> 16); };
    auto f32 = [&](float f) { uint32_t v; std::memcpy(&v, &f, 4); u32(v); };
    for (char c : std::string("KZVKNW")) {
        u8(c);
    }
    u8(image.version >> 8);
    u8(image.version & 0xff);
    u8(11); u8(22); u8(33); u8(44);
    u16(0x1234);
    u16(0x5678);
    f32(2.5f); f32(-1.25f); f32(91.5f); f32(60.0f);
    u16(static_cast<uint16_t>(image.nodes));
    u16(static_cast<uint16_t>(image.rangeCount == -32768 ? int(image.ranges.size()) : image.rangeCount));
    for (const FileRange &r : image.ranges) {
        u16(7); u16(0);
        u8(r.stiffStart); u8(r.stiffEnd); u16(0);
        u32(r.start); u32(r.end);
        f32(r.angle); f32(r.offset);
    }
    bytes.resize(bytes.size() - image.cut);
    return bytes;
}

void WriteFile(const char *name, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<std::string> Printed;

class KnowledgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = RaceLinks;
        RaceLinks = RaceLinkServices{};
        RaceLinks.printMessage = [](const char *text, int) { Printed.emplace_back(text); };
        Printed.clear();
    }
    void TearDown() override {
        knowledge.Clear();
        RaceLinks = saved;
    }
    RaceLinkServices saved;
    AiKnowledge knowledge;
};

// --- Path fixtures ---

// A closed path of n nodes; node i at (x(i), y(i)) with the direction
// towards the next node, road edges +-edge and outer limits +-outer.
void MakePath(Path &path, int n, float edge, float outer, double (*x)(int, int), double (*y)(int, int),
              double (*z)(int, int) = nullptr)
{
    path.FreeAll();
    path.flags = PathClosedLoop;
    path.nodeCount = n;
    path.nodes = new PathNode[n];
    for (int i = 0; i < n; ++i) {
        PathNode &node = path.nodes[i];
        node.position[0] = static_cast<int32_t>(std::lround(x(i, n) * 65536.0));
        node.position[1] = static_cast<int32_t>(std::lround(y(i, n) * 65536.0));
        node.position[2] = z ? static_cast<int32_t>(std::lround(z(i, n) * 65536.0)) : 0;
        const double dx = x(i + 1, n) - x(i - 1, n);
        const double dy = y(i + 1, n) - y(i - 1, n);
        const double length = std::sqrt(dx * dx + dy * dy);
        node.direction[0] = static_cast<float>(dx / length);
        node.direction[1] = static_cast<float>(dy / length);
        node.leftEdge = -edge;
        node.rightEdge = edge;
        node.outerLeft = -outer;
        node.outerRight = outer;
    }
}

constexpr double CircleRadius = 100.0;
double CircleX(int i, int n) { return CircleRadius * std::cos(2.0 * M_PI * i / n); }
double CircleY(int i, int n) { return CircleRadius * std::sin(2.0 * M_PI * i / n); }
double LineX(int, int) { return 0.0; }
double LineY(int i, int) { return 5.0 * i; }

AiKnowledge WithRanges(std::vector<KnowledgeRange> list)
{
    AiKnowledge k;
    k.rangeCount = static_cast<uint32_t>(list.size());
    k.ranges = static_cast<KnowledgeRange *>(std::calloc(list.size(), sizeof(KnowledgeRange)));
    for (size_t i = 0; i < list.size(); ++i) {
        k.ranges[i] = list[i];
    }
    return k;
}

KnowledgeRange Range(uint32_t start, uint32_t end, float offset)
{
    KnowledgeRange r = {};
    r.startNode = start;
    r.endNode = end;
    r.endOffset = offset;
    return r;
}

}  // namespace

TEST_F(KnowledgeTest, ReaderAcceptsAndRefusesFiles)
{
    struct Case {
        const char *what;
        FileImage image;
        int expected;
        bool wrongNodes;
    };
    const std::vector<Case> cases = {
        {"version 5 with two ranges", {5, 40, -32768, {{0, 20, 0.0f, 1.0f}, {20, 0, 0.1f, -1.0f}}}, 1, false},
        {"version 4, same layout", {4, 40, -32768, {{0, 20, 0.0f, 1.0f}}}, 0, false},
        {"version 6", {6, 40, -32768, {{0, 20, 0.0f, 1.0f}}}, 0, false},
        {"another node count", {5, 41, -32768, {{0, 20, 0.0f, 1.0f}}}, 0, true},
        {"no ranges", {5, 40, -32768, {}}, 1, false},
        {"negative range count", {5, 40, -1, {{0, 20, 0.0f, 1.0f}}}, 0, false},
        {"range count beyond the bytes", {5, 40, 3, {{0, 20, 0.0f, 1.0f}}}, 0, false},
        {"range cut short", {5, 40, -32768, {{0, 20, 0.0f, 1.0f}}, 4}, 0, false},
        {"start node at the node count", {5, 40, -32768, {{40, 20, 0.0f, 1.0f}}}, 0, false},
        {"end node far beyond", {5, 40, -32768, {{0, 0xffffffffu, 0.0f, 1.0f}}}, 0, false},
    };
    for (const Case &c : cases) {
        Printed.clear();
        WriteFile("case.knw", MakeImage(c.image));
        AiKnowledge k;
        EXPECT_EQ(k.Load("case.knw", 40), c.expected) << c.what;
        EXPECT_EQ(!Printed.empty() && Printed[0] == "Wrong number of nodes", c.wrongNodes) << c.what;
        if (c.expected) {
            EXPECT_EQ(k.rangeCount, c.image.ranges.size()) << c.what;
            EXPECT_EQ(k.ranges == nullptr, c.image.ranges.empty()) << c.what;
        } else {
            EXPECT_EQ(k.rangeCount, 0u) << c.what;
            EXPECT_EQ(k.ranges, nullptr) << c.what;
        }
        k.Clear();
    }
    EXPECT_EQ(knowledge.Load("missing.knw", 40), 0);
}

TEST_F(KnowledgeTest, ReaderReadsFieldsBackExactly)
{
    FileImage image;
    image.ranges = {{3, 17, 0.125f, -2.75f, 9, 255}};
    WriteFile("fields.knw", MakeImage(image));
    ASSERT_EQ(knowledge.Load("fields.knw", 40), 1);
    EXPECT_EQ(knowledge.settings[0], 11);
    EXPECT_EQ(knowledge.settings[1], 22);
    EXPECT_EQ(knowledge.settings[2], 33);
    EXPECT_EQ(knowledge.settings[3], 44);
    EXPECT_EQ(knowledge.settingsWord, 0x1234);
    EXPECT_EQ(knowledge.settingsWord2, 0x5678);
    EXPECT_EQ(knowledge.fuelPerLap, 2.5f);
    EXPECT_EQ(knowledge.fileValue, -1.25f);
    EXPECT_EQ(knowledge.lapTime, 91.5f);
    EXPECT_EQ(knowledge.tankSize, 60.0f);
    const KnowledgeRange &r = knowledge.ranges[0];
    EXPECT_EQ(r.tag, 7);
    EXPECT_EQ(r.startStiffness, 9);
    EXPECT_EQ(r.endStiffness, 255);
    EXPECT_EQ(r.startNode, 3u);
    EXPECT_EQ(r.endNode, 17u);
    EXPECT_EQ(r.angle, 0.125f);
    EXPECT_EQ(r.endOffset, -2.75f);

    CarSetup setup = {};
    EXPECT_EQ(knowledge.MatchSettings(setup), 0);
    knowledge.CopySettings(&setup);
    EXPECT_EQ(setup.rearWing, 11);
    EXPECT_EQ(setup.frontWing, 22);
    EXPECT_EQ(setup.finalDrive, 0x1234);
    EXPECT_EQ(knowledge.MatchSettings(setup), 1);
}

TEST_F(KnowledgeTest, FileNameForCarUsesTheCarCode)
{
    char name[64];
    char code[4];
    ASSERT_EQ(MakeKnowledgeFileNameForCar(name, sizeof name, code, "no such car"), 0);
    EXPECT_FALSE(Printed.empty());
}

TEST_F(KnowledgeTest, BuildClampsEndOffsetsAndPlacesTheLine)
{
    Path path;
    MakePath(path, 40, 6.0f, 9.0f, LineX, LineY);
    path.flags = 0;
    knowledge = WithRanges({Range(0, 20, 30.0f), Range(20, 39, -30.0f)});
    const float halfWidth = 1.0f;
    ASSERT_EQ(knowledge.Build(path, halfWidth), 1);
    // Clamped to 1 m + half width inside the road edges.
    EXPECT_FLOAT_EQ(knowledge.ranges[0].endOffset, 4.0f);
    EXPECT_FLOAT_EQ(knowledge.ranges[1].endOffset, -4.0f);
    EXPECT_FLOAT_EQ(knowledge.nodes[20].offset, 4.0f);
    // Every node on the road, with a line point on its offset.
    for (uint32_t i = 0; i < knowledge.nodeCount; ++i) {
        const KnowledgeNode &n = knowledge.nodes[i];
        EXPECT_GT(n.offset, -6.0f + 0.9f + halfWidth) << i;
        EXPECT_LE(n.offset, 6.0f - 0.9f - halfWidth) << i;
        EXPECT_NEAR(n.linePoint[0] / 65536.0, n.offset, 1e-3) << i;   // the path runs along +y: right is +x
        // No ground: no surface, the lateral vector makes an upward normal.
        EXPECT_EQ(n.surfaceLow, 0);
        EXPECT_EQ(n.surfaceHigh, 0);
        EXPECT_NEAR(n.normal[2], 1.0f, 1e-5f) << i;
        EXPECT_TRUE(std::isfinite(n.curvature)) << i;
    }
    // The spline is smooth: interior offsets lie between the two ends.
    for (int i = 1; i < 20; ++i) {
        EXPECT_GE(knowledge.nodes[i].offset, -4.001f);
        EXPECT_LE(knowledge.nodes[i].offset, 4.001f);
    }
}

TEST_F(KnowledgeTest, LineTooNearAnEdgeFailsTheWholeBuild)
{
    Path path;
    MakePath(path, 40, 6.0f, 9.0f, LineX, LineY);
    path.flags = 0;
    // Node 10 is narrower: the line at offset 4 passes it within 0.9 m + w.
    path.nodes[10].rightEdge = 5.5f;
    knowledge = WithRanges({Range(0, 20, 4.0f), Range(20, 0, 4.0f)});
    EXPECT_EQ(knowledge.Build(path, 1.0f), 0);
    knowledge.Clear();
    path.nodes[10].rightEdge = 6.0f;
    knowledge = WithRanges({Range(0, 20, 4.0f), Range(20, 0, 4.0f)});
    EXPECT_EQ(knowledge.Build(path, 1.0f), 1);
}

TEST_F(KnowledgeTest, CurvatureOfACircleAndACrest)
{
    // Line points on the circle itself, the across vector pointing out.
    knowledge.AllocNodes(200);
    for (int i = 0; i < 200; ++i) {
        KnowledgeNode &n = knowledge.nodes[i];
        n.linePoint[0] = static_cast<int32_t>(std::lround(CircleX(i, 200) * 65536.0));
        n.linePoint[1] = static_cast<int32_t>(std::lround(CircleY(i, 200) * 65536.0));
        n.normal[0] = static_cast<float>(CircleX(i, 200) / CircleRadius);
        n.normal[1] = static_cast<float>(CircleY(i, 200) / CircleRadius);
    }
    knowledge.ComputeNodeGeometry(1, 1.0f, 0, 199);
    for (uint32_t i = 0; i < knowledge.nodeCount; ++i) {
        // Counter-clockwise: a left-hand curve, positive.
        EXPECT_NEAR(knowledge.nodes[i].curvature, 1.0 / CircleRadius, 2e-5) << i;
        EXPECT_NEAR(knowledge.nodes[i].distance, 2.0 * 100.0 * std::sin(M_PI / 200.0), 1e-4) << i;
        EXPECT_NEAR(knowledge.nodes[i].normal[2], 1.0f, 1e-5f) << i;
    }
    // Built from two ranges per quarter the line follows the circle closely.
    Path path;
    MakePath(path, 200, 6.0f, 9.0f, CircleX, CircleY);
    std::vector<KnowledgeRange> eighths;
    for (uint32_t i = 0; i < 200; i += 25) {
        eighths.push_back(Range(i, (i + 25) % 200, 0.0f));
    }
    knowledge.Clear();
    knowledge = WithRanges(eighths);
    ASSERT_EQ(knowledge.Build(path, 1.0f), 1);
    for (uint32_t i = 0; i < knowledge.nodeCount; ++i) {
        EXPECT_NEAR(knowledge.nodes[i].curvature, 1.0 / CircleRadius, 1e-3) << i;
    }
    knowledge.Clear();

    // A crest of vertical radius 200 m over a straight: z = -y^2 / 400.
    auto crest = [](int i, int) { const double y = 5.0 * (i - 20); return -y * y / 400.0; };
    MakePath(path, 41, 6.0f, 9.0f, LineX, LineY, crest);
    path.flags = 0;
    knowledge = WithRanges({Range(0, 40, 0.0f)});
    ASSERT_EQ(knowledge.Build(path, 1.0f), 1);
    for (int i = 1; i < 40; ++i) {
        EXPECT_NEAR(knowledge.nodes[i].vertCurvature, -1.0 / 200.0, 1e-4) << i;
        EXPECT_NEAR(knowledge.nodes[i].curvature, 0.0, 1e-6) << i;
    }
}

TEST_F(KnowledgeTest, InterpolateNodes)
{
    KnowledgeNode a = {};
    a.offset = 1.0f;
    a.maxSpeed = 30.0f;
    a.curvature = 0.02f;
    a.bank = 0.1f;
    a.surfaceLow = a.surfaceHigh = a.surface = a.surfaceFlag = 3;
    a.brakeLevel = 100;
    a.throttleLevel = 10;
    a.linePoint[0] = 50 << 16;
    a.dir[0] = 2.0f;   // not unit: the copy is renormalised
    a.normal[2] = 1.0f;
    KnowledgeNode b = a;
    b.curvature = 0.02f;
    b.brakeLevel = 0;
    b.linePoint[0] = 50 << 16;
    b.linePoint[1] = 10 << 16;
    b.dir[0] = 0.0f;
    b.dir[1] = 1.0f;

    KnowledgeNode out;
    AiKnowledge::InterpolateNodes(out, a, b, 0.0f, 1);
    EXPECT_EQ(out.offset, a.offset);
    EXPECT_EQ(out.maxSpeed, a.maxSpeed);
    EXPECT_EQ(out.curvature, a.curvature);
    EXPECT_EQ(out.bank, a.bank);
    EXPECT_EQ(out.brakeLevel, a.brakeLevel);
    EXPECT_EQ(out.throttleLevel, a.throttleLevel);
    EXPECT_EQ(out.linePoint[0], a.linePoint[0]);
    EXPECT_EQ(out.linePoint[1], a.linePoint[1]);
    EXPECT_EQ(out.surfaceLow, 0);
    EXPECT_EQ(out.surfaceHigh, 0);
    EXPECT_EQ(out.surface, 0);
    EXPECT_EQ(out.surfaceFlag, 0);
    EXPECT_FLOAT_EQ(out.dir[0], 1.0f);

    // Same-sign curvatures: the midpoint moves onto the 50 m arc, which
    // bulges away from its centre (left of a left-hand curve).
    AiKnowledge::InterpolateNodes(out, a, b, 0.5f, 1);
    EXPECT_EQ(out.brakeLevel, 50);
    const double radius = 50.0;
    const double sagitta = radius - std::sqrt(radius * radius - 25.0);
    EXPECT_NEAR((out.linePoint[0] - a.linePoint[0]) / 65536.0, sagitta, 1e-3);
    EXPECT_NEAR(out.linePoint[1] / 65536.0, 5.0, 1e-3);

    // No arc: opposite signs, tiny curvature, or a chord longer than the
    // arc's diameter.
    struct NoArc {
        float ca, cb;
    };
    for (const NoArc &c : {NoArc{0.02f, -0.02f}, NoArc{0.0004f, 0.02f}, NoArc{0.5f, 0.5f}}) {
        a.curvature = c.ca;
        b.curvature = c.cb;
        AiKnowledge::InterpolateNodes(out, a, b, 0.5f, 1);
        EXPECT_EQ(out.linePoint[0], a.linePoint[0]) << c.ca << " " << c.cb;
        EXPECT_EQ(out.linePoint[1], 5 << 16) << c.ca << " " << c.cb;
    }
}

TEST(PathRangeTest, SplineRoutines)
{
    int32_t c[4];
    SetHermiteCoeffs(c, 1000, 71000, 70000, 70000);
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 70000);
    EXPECT_EQ(c[3], 1000);
    SetLinearCoeffs(c, -5, 7);
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 12);
    EXPECT_EQ(c[3], -5);
    // The cubic at its ends.
    SetHermiteCoeffs(c, 3 << 16, 9 << 16, 1 << 16, -(2 << 16));
    EXPECT_EQ(EvaluateHermite(c, 0), 3 << 16);
    EXPECT_EQ(EvaluateHermite(c, 65536), 9 << 16);

    Path path;
    MakePath(path, 40, 6.0f, 9.0f, LineX, LineY);
    EXPECT_EQ(PathRangeLength(Range(7, 7, 0.0f), path), 0);
    EXPECT_EQ(PathRangeLength(Range(35, 5, 0.0f), path), 10);
    path.FreeAll();
}

TEST(PathRangeTest, StiffnessSetsTheTangentLength)
{
    Path path;
    MakePath(path, 40, 6.0f, 9.0f, LineX, LineY);
    for (int stiffness : {0, 255}) {
        KnowledgeRange r = Range(2, 12, 0.0f);
        r.startStiffness = r.endStiffness = static_cast<uint8_t>(stiffness);
        BuildPathRange(&r, path, nullptr, 2, 12, 0.0f, 0.0f, 1.0f);
        // 10 nodes of 5 m along +y.
        const double spacing = 10 * 5.0 * 65536.0;
        EXPECT_NEAR(r.y[2] / spacing, stiffness == 0 ? 1.0 : 3.55, 1e-4);
        EXPECT_EQ(r.x[2], 0);
    }
    // A straight range between two offsets follows the cubic across.
    KnowledgeRange r = Range(0, 10, 0.0f);
    BuildPathRange(&r, path, nullptr, 0, 10, -2.0f, 2.0f, 1.0f);
    std::vector<KnowledgeNode> nodes(40);
    FillRangeOffsets(r, path, nodes.data());
    for (int k = 1; k < 10; ++k) {
        const double s = k / 10.0;
        const double expected = -2.0 + 4.0 * (3 * s * s - 2 * s * s * s);
        EXPECT_NEAR(nodes[k].offset, expected, 1e-3) << k;
    }
    path.FreeAll();
}

TEST(PathRangeTest, CheckRangeOnTrackLimitsAndSides)
{
    Path path;
    MakePath(path, 40, 6.0f, 9.0f, LineX, LineY);
    std::vector<KnowledgeNode> line(40);   // racing line on the centre
    int touch = 0;
    auto check = [&](float o0, float o1) {
        KnowledgeRange r = Range(0, 10, 0.0f);
        const int32_t p0[2] = {static_cast<int32_t>(o0 * 65536), 0};
        const int32_t p1[2] = {static_cast<int32_t>(o1 * 65536), 50 << 16};
        const float d[2] = {0.0f, 1.0f};
        BuildRangeFromPoints(&r, path, 0, 10, p0, p1, d, d, 5 << 16, 5 << 16);
        touch = 0;
        return CheckRangeOnTrack(r, path, line.data(), &touch, 1.0f, 0);
    };
    EXPECT_EQ(check(2.0f, 2.0f), 0);    // on the road, one side
    EXPECT_EQ(check(2.0f, 6.5f), 0);    // leaves the road once
    EXPECT_EQ(check(8.5f, 8.5f), 1);    // beyond the outer limit
    EXPECT_EQ(check(2.0f, -2.0f), 1);   // crosses the racing line
    // Road, verge, road: two changes.
    line.assign(40, KnowledgeNode{});
    for (KnowledgeNode &n : line) {
        n.offset = -8.0f;
    }
    path.nodes[5].rightEdge = 2.0f;
    EXPECT_EQ(check(3.0f, 3.0f), 1);
    path.nodes[5].rightEdge = 6.0f;
    EXPECT_EQ(check(3.0f, 3.0f), 0);
    KnowledgeRange empty = Range(4, 4, 0.0f);
    EXPECT_EQ(CheckRangeOnTrack(empty, path, line.data(), &touch, 1.0f, 0), 0);
    path.FreeAll();
}

TEST(PathRangeTest, ProjectPointOnNode)
{
    PathNode onto;
    onto.position[1] = 10 << 16;
    onto.direction[1] = 1.0f;
    PathNode moved;
    moved.position[0] = 3 << 16;
    moved.position[1] = 4 << 16;
    moved.direction[0] = 0.6f;
    moved.direction[1] = 0.8f;
    const float offset = ProjectPointOnNode(&moved, onto);
    EXPECT_NEAR(moved.position[1] / 65536.0, 10.0, 1e-3);
    EXPECT_NEAR(moved.position[0] / 65536.0, 7.5, 1e-3);
    EXPECT_NEAR(offset, 7.5, 1e-3);
}

TEST(PathRangeTest, NoPitLaneWithoutAWorld)
{
    AiDriver driver(nullptr, 0);
    EXPECT_EQ(driver.BuildKnowledge(), 0);
    EXPECT_EQ(driver.hasPitLine, 0);
}

namespace {

// A straight open main path along +y (60 nodes 5 m apart, road +-3 m) and a
// pit lane of 11 nodes 4 m to its right from y 100 to y 150.
class PitLineTest : public KnowledgeTest {
protected:
    void SetUp() override {
        KnowledgeTest::SetUp();
        savedWorld = CurrentWorld;
        world = WorldCreate();
        CurrentWorld = world;
        MakePath(path, 60, 3.0f, 3.6f, LineX, LineY);
        path.flags = 0;
        path.secondNodeCount = 11;
        path.secondNodes = new PathNode[11];
        for (int i = 0; i < 11; ++i) {
            PathNode &n = path.secondNodes[i];
            n.flags = i == 0 ? 8 : 0;
            n.position[0] = 4 << 16;
            n.position[1] = (100 + 5 * i) << 16;
            n.direction[1] = 1.0f;
        }
        world->currentPath = &path;
    }
    void TearDown() override {
        world->currentPath = nullptr;
        WorldDestroy(world);
        CurrentWorld = savedWorld;
        path.FreeAll();
        KnowledgeTest::TearDown();
    }
    int Build(AiDriver &driver) {
        driver.line = WithRanges({Range(0, 30, 0.0f), Range(30, 59, 0.0f)});
        if (!driver.line.Build(path, 0.0f)) {
            return -1;
        }
        return driver.BuildKnowledge();
    }
    World *savedWorld = nullptr;
    World *world = nullptr;
    Path path;
};

}  // namespace

TEST_F(PitLineTest, EntryAndExitGrowWhileTheRangeStaysOnTrack)
{
    struct Case {
        float outer;        // outer limit on the pit side
        int entryNode;
        int exitNode;
    };
    // The spline's last interior node reaches 3.70 m at 6 nodes and 3.78 m
    // at 7 (the pit lane is 4 m across): a limit of 3.6 m fails the first
    // range tried (6 nodes) and keeps 5; 3.75 m keeps 6.
    for (const Case &c : {Case{3.6f, 15, 36}, Case{3.75f, 14, 37}}) {
        for (int i = 0; i < path.nodeCount; ++i) {
            path.nodes[i].outerRight = c.outer;
        }
        AiDriver driver(nullptr, 0);
        ASSERT_EQ(Build(driver), 1) << c.outer;
        EXPECT_EQ(driver.hasPitLine, 1);
        EXPECT_EQ(driver.pitEntryNode, c.entryNode) << c.outer;
        EXPECT_EQ(driver.pitExitNode, c.exitNode) << c.outer;
        const int k = 20 - c.entryNode;
        const int kExit = c.exitNode - 31;
        ASSERT_EQ(driver.pitLine.nodeCount, static_cast<uint32_t>(k + 11 + kExit));
        // Pit nodes at their places, the ends on the racing line.
        EXPECT_EQ(driver.pitLine.nodes[k + 5].linePoint[1], 125 << 16);
        EXPECT_EQ(driver.pitLine.nodes[0].linePoint[1], driver.line.nodes[c.entryNode].linePoint[1]);
        for (uint32_t i = 0; i < driver.pitLine.nodeCount; ++i) {
            EXPECT_NEAR(driver.pitLine.nodes[i].normal[2], 1.0f, 1e-5f) << i;
            EXPECT_GT(driver.pitLine.nodes[i].distance + (i + 1 == driver.pitLine.nodeCount), 0.0f) << i;
        }
    }
}

TEST_F(PitLineTest, SearchStopsAtItsBoundAndNeedsAFlaggedPitNode)
{
    // Nothing fails: on this open path the ranges grow to its ends; on a
    // closed one to the node count less the pit nodes.
    for (int i = 0; i < path.nodeCount; ++i) {
        path.nodes[i].outerRight = 20.0f;
    }
    AiDriver driver(nullptr, 0);
    ASSERT_EQ(Build(driver), 1);
    EXPECT_EQ(driver.pitEntryNode, 0);
    EXPECT_EQ(driver.pitExitNode, 59);
    path.flags = PathClosedLoop;
    AiDriver closed(nullptr, 0);
    ASSERT_EQ(Build(closed), 1);
    EXPECT_EQ(closed.pitEntryNode, 20 - 49 + 60);

    path.secondNodes[0].flags = 0;
    AiDriver without(nullptr, 0);
    EXPECT_EQ(Build(without), 0);
    EXPECT_EQ(without.hasPitLine, 0);
}

// --- Ground under the line ---

namespace {

int32_t FixOf(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

// Flat ground of one surface over a rectangle, at a height, with a given
// normal; it answers every probe that crosses its height.
class GroundPatch : public WorldObject {
public:
    GroundPatch(float x0, float x1, float y0, float y1, float height, const TrackColour *surface,
                const float normal[3])
        : height(FixOf(height)), surface(surface)
    {
        minX = FixOf(x0);
        maxX = FixOf(x1);
        minY = FixOf(y0);
        maxY = FixOf(y1);
        for (int k = 0; k < 3; ++k) {
            up[k] = normal[k];
        }
    }
    int Contact(const FixVector &endPoint, const FixVector &segment, ContactProbe &probe, uint32_t *, int32_t *,
                int32_t *) override
    {
        // The probe runs from endPoint - segment down to endPoint.
        const int64_t top = int64_t(endPoint.z) - segment.z;
        if (segment.z >= 0 || height < endPoint.z || height > top) {
            return 0;
        }
        const int32_t fraction = static_cast<int32_t>((int64_t(height - endPoint.z) << 16) / -segment.z);
        if (fraction <= probe.fraction) {
            return 0;
        }
        probe.fraction = fraction > 0 ? fraction : 1;
        probe.hitPoint = {endPoint.x, endPoint.y, height};
        for (int k = 0; k < 3; ++k) {
            probe.normal[k] = up[k];
        }
        probe.surface = surface;
        return 1;
    }
    int Read(DataStream *, int) override { return 0; }
    int GetType() const override { return ObjectSolid; }
    void Prepare() override {}
    int IsSolid() const override { return 1; }

    int32_t height;
    const TrackColour *surface;
    float up[3];
};

// A current world of its own (a 16 x 16 grid of 25 m squares from -160 m) with ground patches added by hand, and one surface record per
// surface kind.
class GroundTest : public KnowledgeTest {
protected:
    void SetUp() override
    {
        KnowledgeTest::SetUp();
        savedWorld = CurrentWorld;
        world = WorldCreate();
        world->gridOrigin[0] = world->gridOrigin[1] = FixOf(-160.0f);
        world->cellSize[0] = world->cellSize[1] = FixOf(25.0f);
        world->gridEnd[0] = world->gridEnd[1] = FixOf(240.0f);
        CurrentWorld = world;
        for (int kind = 0; kind < 17; ++kind) {
            surfaces[kind] = TrackColour{};
            surfaces[kind].surfaceKind = static_cast<uint8_t>(kind);
        }
    }
    void TearDown() override
    {
        WorldDestroy(world);
        CurrentWorld = savedWorld;
        path.FreeAll();
        KnowledgeTest::TearDown();
    }
    GroundPatch *Patch(float x0, float x1, float height, int kind, const float normal[3] = nullptr)
    {
        static const float flat[3] = {0.0f, 0.0f, 1.0f};
        auto *patch = new GroundPatch(x0, x1, -100.0f, 230.0f, height, &surfaces[kind], normal ? normal : flat);
        world->objects[world->objectCount++] = patch;
        return patch;
    }

    World *savedWorld = nullptr;
    World *world = nullptr;
    Path path;
    TrackColour surfaces[17];
};

}  // namespace

// Both wheel tracks on the ground give each side's surface and the line on
// their mean height; when one misses, the probe under the line gives both
// surfaces and a normal from the ground's own; with nothing below, no
// surface and a level line.
TEST_F(GroundTest, ProbesUnderTheWheelTracksAndTheirFallbacks)
{
    // A straight open path along +y at height 1 m: right of the line is +x.
    MakePath(path, 40, 6.0f, 9.0f, LineX, LineY, [](int, int) { return 1.0; });
    path.flags = 0;
    const float banked[3] = {0.6f, 0.0f, 0.8f};
    struct Case {
        const char *name;
        int patches;            // 0 none, 1 the centre only, 2 left and right halves, 3 centre of kind 12
        uint8_t low, high;      // surfaces expected
        float z;                // line height, metres above the ground's reference
        float normal[3];
    } cases[] = {
        {"two probes: each side its own surface, tilted by the two heights", 2, 3, 6, 0.75f, {-0.24253563f, 0.0f, 0.9701425f}},
        {"one probe: the centre's surface on both sides, its normal", 1, 5, 5, 0.5f, {0.6f, 0.0f, 0.8f}},
        {"one probe on a surface beyond the table's kinds", 3, 0, 0, 0.5f, {0.6f, 0.0f, 0.8f}},
        {"no probe: no surface, the path's level", 0, 0, 0, 1.0f, {0.0f, 0.0f, 1.0f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < world->objectCount; ++i) {
            delete world->objects[i];
            world->objects[i] = nullptr;
        }
        world->objectCount = 0;
        if (c.patches == 1 || c.patches == 3) {
            // Narrower than the wheel tracks 1 m to each side.
            Patch(-0.5f, 0.5f, 0.5f, c.patches == 1 ? 5 : 12, banked);
        } else if (c.patches == 2) {
            // The left half lower (0.5 m) than the right (1 m): the ground
            // leans to the left.
            Patch(-5.0f, 0.0f, 0.5f, 3);
            Patch(0.0f, 5.0f, 1.0f, 6);
        }
        world->BuildMapSquares();
        knowledge.Clear();
        knowledge = WithRanges({Range(0, 39, 0.0f)});
        ASSERT_EQ(knowledge.Build(path, 1.0f), 1);
        for (int i = 0; i < 40; ++i) {
            const KnowledgeNode &n = knowledge.nodes[i];
            ASSERT_EQ(n.surfaceLow, c.low) << i;
            ASSERT_EQ(n.surfaceHigh, c.high) << i;
            const int32_t lift = c.patches == 0 ? 0 : 2048;
            ASSERT_EQ(n.linePoint[2], FixOf(c.z) + lift) << i;
            for (int k = 0; k < 3; ++k) {
                ASSERT_NEAR(n.normal[k], c.normal[k], 1e-4f) << i << " " << k;
            }
        }
    }
}

// The deep probes of a range's wheel tracks: grass, gravel and the other
// barred kinds stop a range unless they are the allowed surface; surface 1
// only marks that the range touched it.
TEST_F(GroundTest, CheckRangeOnTrackReadsTheSurfaceUnderTheWheels)
{
    MakePath(path, 40, 6.0f, 9.0f, LineX, LineY);
    std::vector<KnowledgeNode> line(40);   // racing line far to the left
    for (KnowledgeNode &n : line) {
        n.offset = -8.0f;
    }
    auto check = [&](int kind, int allowed, int *touch) {
        for (int i = 0; i < world->objectCount; ++i) {
            delete world->objects[i];
            world->objects[i] = nullptr;
        }
        world->objectCount = 0;
        Patch(-9.0f, 9.0f, 0.0f, 0);
        Patch(3.5f, 5.0f, 0.2f, kind);   // under the right-hand wheels only
        world->BuildMapSquares();
        KnowledgeRange r = Range(0, 10, 0.0f);
        const int32_t p0[2] = {FixOf(3.0f), 0};
        const int32_t p1[2] = {FixOf(3.0f), FixOf(50.0f)};
        const float d[2] = {0.0f, 1.0f};
        BuildRangeFromPoints(&r, path, 0, 10, p0, p1, d, d, 5 << 16, 5 << 16);
        *touch = 0;
        return CheckRangeOnTrack(r, path, line.data(), touch, 1.0f, allowed);
    };
    struct Case {
        int kind;
        int allowed;
        int result;
        int touch;
    } cases[] = {
        {0, 0, 0, 0},  {1, 0, 0, 1},  {6, 0, 0, 0},   {2, 0, 1, 0},  {3, 0, 1, 0},  {4, 0, 1, 0},
        {5, 0, 1, 0},  {8, 0, 1, 0},  {11, 0, 1, 0},  {13, 0, 1, 0}, {2, 2, 0, 0},  {8, 8, 0, 0},
        {13, 13, 0, 0}, {3, 2, 1, 0},
    };
    for (const Case &c : cases) {
        int touch = -1;
        EXPECT_EQ(check(c.kind, c.allowed, &touch), c.result) << "kind " << c.kind << " allowed " << c.allowed;
        if (c.result == 0) {
            EXPECT_EQ(touch, c.touch) << "kind " << c.kind;
        }
    }
}
