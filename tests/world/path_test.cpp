#include <cstddef>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/settings.h"
#include "path_fixture.h"

namespace {

// A closed, reversible path with band data, delta and base lists and two
// light maps, every byte distinct enough to show a misplaced one.
PathFields RichPath()
{
    PathFields fields = StraightPath(5, PathClosedLoop | PathReversible | PathHasBandData | PathUsesKnowledge);
    for (size_t i = 0; i < fields.nodes.size(); ++i) {
        PathNodeFields &node = fields.nodes[i];
        node.flags = static_cast<uint8_t>(i + 1);
        node.position[2] = Metres(0.5f * static_cast<float>(i));
        node.leftEdge = -3.0f - static_cast<float>(i);
        node.rightEdge = 4.0f + static_cast<float>(i);
        node.outerLeft = node.leftEdge - 1.0f;
        node.outerRight = node.rightEdge + 1.0f;
        node.value = 1000 + static_cast<uint32_t>(i);
        for (int b = 0; b < PathBandBytes; ++b) {
            node.band[b] = static_cast<uint8_t>(b * 7 + i);
        }
        node.deltas[i % 3].push_back({static_cast<uint16_t>(10 + i), static_cast<uint8_t>(0x01 << i), 0});
    }
    fields.secondNodes.push_back(PathNodeAt(Metres(3.0f), Metres(4.0f), 0.5f, 6.0f));
    fields.baseLists[0] = {{1, 0x0F, 0}, {2, 0x81, 0}};
    fields.baseLists[2] = {{16383, 0x30, 0}};
    for (uint32_t m = 0; m < 2; ++m) {
        PathLightMapFields map;
        map.width = 3;
        map.height = 2;
        for (uint32_t k = 0; k < 6; ++k) {
            map.words.push_back(100 * m + k);
            PathLightMapItem item = {};
            item.bytes[0] = static_cast<uint8_t>(k);
            item.bytes[7] = static_cast<uint8_t>(m);
            map.items.push_back(item);
        }
        fields.lightMaps.push_back(map);
    }
    return fields;
}

// Everything of a node that reversal touches, as bytes: the plain fields and
// the delta entries.
std::vector<uint8_t> NodeBytes(const PathNode &node)
{
    std::vector<uint8_t> bytes(offsetof(PathNode, deltas));
    std::memcpy(bytes.data(), &node, bytes.size());
    for (const IdList &list : node.deltas) {
        const uint8_t *from = reinterpret_cast<const uint8_t *>(list.entries);
        bytes.insert(bytes.end(), from, from + list.count * sizeof(IdListEntry));
        bytes.push_back(0xEE);   // list boundary
    }
    return bytes;
}

std::vector<uint8_t> PathBytes(const Path &path)
{
    std::vector<uint8_t> bytes;
    for (int i = 0; i < path.nodeCount; ++i) {
        const std::vector<uint8_t> node = NodeBytes(path.nodes[i]);
        bytes.insert(bytes.end(), node.begin(), node.end());
    }
    for (int i = 0; i < path.secondNodeCount; ++i) {
        const std::vector<uint8_t> node = NodeBytes(path.secondNodes[i]);
        bytes.insert(bytes.end(), node.begin(), node.end());
    }
    for (const IdList &list : path.baseLists) {
        const uint8_t *from = reinterpret_cast<const uint8_t *>(list.entries);
        bytes.insert(bytes.end(), from, from + list.count * sizeof(IdListEntry));
        bytes.push_back(0xEE);
    }
    for (int m = 0; m < path.lightMapCount; ++m) {
        const PathLightMap &map = path.lightMaps[m];
        const size_t size = map.width * map.height;
        const uint8_t *words = reinterpret_cast<const uint8_t *>(map.words);
        const uint8_t *items = reinterpret_cast<const uint8_t *>(map.items);
        bytes.insert(bytes.end(), words, words + size * 4);
        bytes.insert(bytes.end(), items, items + size * 8);
    }
    return bytes;
}

} // namespace

TEST(PathRecord, ReadsWhatTheWriterWrote)
{
    const PathFields fields = RichPath();
    Path path;
    ASSERT_EQ(ReadPathFields(path, fields), 0);
    ASSERT_EQ(path.nodeCount, 5);
    ASSERT_EQ(path.secondNodeCount, 1);
    EXPECT_EQ(path.flags, fields.flags);
    const PathNode &node = path.nodes[3];
    EXPECT_EQ(node.flags, 4);
    EXPECT_EQ(node.position[0], Metres(-30.0f));
    EXPECT_EQ(node.position[2], Metres(1.5f));
    EXPECT_EQ(node.leftEdge, -6.0f);
    EXPECT_EQ(node.rightEdge, 7.0f);
    EXPECT_EQ(node.value, 1003u);
    EXPECT_EQ(node.band[127], static_cast<uint8_t>(127 * 7 + 3));
    ASSERT_EQ(node.deltas[0].count, 1u);
    EXPECT_EQ(node.deltas[0].entries[0].id, 13);
    EXPECT_EQ(node.deltas[0].entries[0].mask, 0x08);
    // Lines start at -1, 0, 1 with weight 0.
    EXPECT_EQ(node.lines[0].offset, -1.0f);
    EXPECT_EQ(node.lines[2].offset, 1.0f);
    EXPECT_EQ(node.lines[1].weight, 0.0f);
    // The second list never carries band data.
    EXPECT_EQ(path.secondNodes[0].rightEdge, 6.0f);
    EXPECT_EQ(path.baseLists[2].entries[0].id, 16383);
    ASSERT_EQ(path.lightMapCount, 2);
    EXPECT_EQ(path.lightMaps[1].words[5], 105u);
    EXPECT_EQ(path.lightMaps[1].items[2].bytes[0], 2);
}

// Damaged records end with an error and an empty path; none reads or
// allocates beyond the data (the sanitizer build runs this too).
TEST(PathRecord, DamagedRecordsAreRefused)
{
    struct Case {
        const char *what;
        void (*write)(WorldWriter &);
    };
    const Case cases[] = {
        {"object index 16384 in a delta list",
         [](WorldWriter &out) {
             PathFields fields = RichPath();
             fields.nodes[1].deltas[2].push_back({16384, 1, 0});
             WritePath(out, fields);
         }},
        {"object index 65535 in a base list",
         [](WorldWriter &out) {
             PathFields fields = RichPath();
             fields.baseLists[1].push_back({65535, 1, 0});
             WritePath(out, fields);
         }},
        {"light map larger than the data",
         [](WorldWriter &out) {
             PathFields fields = RichPath();
             fields.lightMaps.clear();
             WritePath(out, fields);
             out.bytes.resize(out.bytes.size() - 4);   // the light map count
             out.U32(1).U32(0x10000).U32(0x10000).U32(7);
         }},
        {"light map count larger than the data",
         [](WorldWriter &out) {
             PathFields fields = RichPath();
             fields.lightMaps.clear();
             WritePath(out, fields);
             out.bytes.resize(out.bytes.size() - 4);
             out.U32(0x40000000);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WorldWriter out;
        c.write(out);
        DataStream stream;
        out.Open(stream, 251);
        Path path;
        EXPECT_NE(path.Read(&stream, 251), 0);
        EXPECT_EQ(path.nodeCount, 0);
        EXPECT_EQ(path.lightMapCount, 0);
    }
}

// A node's lateral limits and direction must be numbers within their
// bounds: a lateral point scaled to 16.16 then stays inside the 32-bit range
// (the start objects and the driving lines add it to the node's position).
TEST(PathRecord, NodeLimitsAndDirectionOutsideTheirBoundsAreRefused)
{
    struct Case {
        const char *what;
        void (*spoil)(PathNodeFields &);
        bool refused;
    };
    const Case cases[] = {
        {"left edge at the bound", [](PathNodeFields &n) { n.leftEdge = -PathMaxLateral; n.outerLeft = -PathMaxLateral; }, false},
        {"direction component at the bound", [](PathNodeFields &n) { n.direction[1] = PathMaxDirection; }, false},
        {"left edge 1e30 m", [](PathNodeFields &n) { n.leftEdge = -1e30f; }, true},
        {"right edge beyond the bound", [](PathNodeFields &n) { n.rightEdge = 10001.0f; }, true},
        {"outer left not a number", [](PathNodeFields &n) { n.outerLeft = std::nanf(""); }, true},
        {"outer right infinite", [](PathNodeFields &n) { n.outerRight = INFINITY; }, true},
        {"direction x not a number", [](PathNodeFields &n) { n.direction[0] = std::nanf(""); }, true},
        {"direction y 1e20", [](PathNodeFields &n) { n.direction[1] = 1e20f; }, true},
        {"direction z beyond the bound", [](PathNodeFields &n) { n.direction[2] = -2.5f; }, true},
    };
    for (const Case &c : cases) {
        for (const bool second : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.what << (second ? ", second list" : ""));
            PathFields fields = RichPath();
            c.spoil(second ? fields.secondNodes[0] : fields.nodes[2]);
            Path path;
            if (c.refused) {
                EXPECT_NE(ReadPathFields(path, fields), 0);
                EXPECT_EQ(path.nodeCount, 0);
                EXPECT_EQ(path.secondNodeCount, 0);
            } else {
                EXPECT_EQ(ReadPathFields(path, fields), 0);
            }
        }
    }
}

TEST(PathRecord, CutShortAtAnyLengthIsRefused)
{
    WorldWriter whole;
    WritePath(whole, RichPath());
    for (size_t length = 0; length < whole.bytes.size(); ++length) {
        WorldWriter cut;
        cut.bytes.assign(whole.bytes.begin(), whole.bytes.begin() + static_cast<std::ptrdiff_t>(length));
        DataStream stream;
        cut.Open(stream, 251);
        Path path;
        ASSERT_NE(path.Read(&stream, 251), 0) << "cut at " << length;
        EXPECT_EQ(path.nodeCount, 0);
    }
}

TEST(PathRecord, NodeCountBeyondTheDataIsRefusedBeforeAllocating)
{
    WorldWriter out;
    out.U32(0).U32(0).U16(65535).U16(65535);
    DataStream stream;
    out.Open(stream, 251);
    Path path;
    EXPECT_NE(path.Read(&stream, 251), 0);
    EXPECT_EQ(path.nodes, nullptr);
}

TEST(PathReversal, MirrorsEachNodeAndTwiceRestoresEverything)
{
    Path path;
    ASSERT_EQ(ReadPathFields(path, RichPath()), 0);
    const std::vector<uint8_t> before = PathBytes(path);
    const PathNode first = path.nodes[0];

    // 24 x 6 is far more than the 6 elements of each light map.
    path.Reverse(24 * 6);
    const PathNode &last = path.nodes[4];
    EXPECT_EQ(last.position[0], first.position[0]);
    EXPECT_EQ(last.direction[0], -first.direction[0]);
    EXPECT_EQ(last.leftEdge, -first.rightEdge);
    EXPECT_EQ(last.rightEdge, -first.leftEdge);
    EXPECT_EQ(last.outerLeft, -first.outerRight);
    // Group 7's second half becomes group 0's first half.
    EXPECT_EQ(std::memcmp(last.band, first.band + 7 * 16 + 8, 8), 0);
    EXPECT_EQ(std::memcmp(last.band + 8, first.band + 7 * 16, 8), 0);
    EXPECT_EQ(last.deltas[0].entries[0].mask, 0x80);      // bit 0 became bit 7
    EXPECT_EQ(path.baseLists[0].entries[1].mask, 0x81);
    EXPECT_EQ(path.baseLists[0].entries[0].mask, 0xF0);
    // Reversed [0..5] is 5,4,3,2,1,0; rotated left by 144 mod 6 = 0.
    EXPECT_EQ(path.lightMaps[0].words[0], 5u);

    path.Reverse(24 * 6);
    EXPECT_EQ(PathBytes(path), before);

    // A rotation that is not a multiple of the size restores too.
    path.Reverse(4);
    EXPECT_EQ(path.lightMaps[0].words[0], 1u);   // 5,4,3,2,1,0 rotated left by 4
    EXPECT_EQ(path.lightMaps[0].items[0].bytes[0], 1);
    path.Reverse(4);
    EXPECT_EQ(PathBytes(path), before);
}

TEST(PathSmoothing, PullsWideNeighboursInAndNeverWidens)
{
    struct Case {
        float left[3], right[3];
        float wantLeft[3], wantRight[3];
    };
    const Case cases[] = {
        {{-10, -2, -10}, {10, 10, 10}, {-2.999f, -2, -2.999f}, {10, 10, 10}},
        {{-5, -5, -5}, {10, 2, 10}, {-5, -5, -5}, {2.999f, 2, 2.999f}},
        // Within 1 m of each other: nothing moves.
        {{-5, -4.5f, -4}, {4, 4.5f, 5}, {-5, -4.5f, -4}, {4, 4.5f, 5}},
    };
    for (const Case &c : cases) {
        PathNode nodes[3];
        for (int i = 0; i < 3; ++i) {
            nodes[i].outerLeft = c.left[i];
            nodes[i].outerRight = c.right[i];
        }
        SmoothOuterLimits(nodes, 3, 1.0f);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(nodes[i].outerLeft, c.wantLeft[i], 1e-5f) << i;
            EXPECT_NEAR(nodes[i].outerRight, c.wantRight[i], 1e-5f) << i;
        }
    }
}

TEST(PathNodeShape, InterpolatesAndClampsLateralPoints)
{
    PathNode a, b;
    a.position[0] = Metres(0.0f);
    b.position[0] = Metres(10.0f);
    a.direction[0] = b.direction[0] = 1.0f;
    a.outerLeft = -4.0f;
    b.outerLeft = -8.0f;
    a.outerRight = b.outerRight = 6.0f;
    b.band[3] = 100;
    PathNode mid(a, b, 0.25f, 1);
    EXPECT_EQ(mid.position[0], Metres(2.5f));
    EXPECT_FLOAT_EQ(mid.outerLeft, -5.0f);
    EXPECT_EQ(mid.band[3], 25);
    EXPECT_EQ(mid.value, 0xFFFFFFFFu);
    EXPECT_EQ(mid.lines[2].offset, 1.0f);
    // 5 x the 10 m between a and b along the new direction.
    EXPECT_FLOAT_EQ(mid.Interpolate(a, b, 0.25f, 0), 50.0f);

    // Offsets are kept 1 m + margin inside the outer limits; lateral points
    // lie along (dir.y, -dir.x).
    struct Case {
        float margin, offset, want;
    };
    for (const Case &c : {Case{0, 0, 0}, Case{0, -9, -3}, Case{0.5f, 9, 4.5f}}) {
        int32_t point[3];
        a.GetLateralPoint(point, c.margin, c.offset);
        EXPECT_EQ(point[0], 0);
        EXPECT_EQ(point[1], Metres(-c.want)) << c.offset;
    }
}

// ------------------------------------------------------------ lap timing

class LapTiming : public testing::Test {
protected:
    PathWorld scene;
    // Road under every node of a 10-node path along x from -45 m.
    void Build(uint32_t flags, const std::vector<int> &timing, int grassFrom = 99)
    {
        scene.LoadPath(StraightPath(10, flags, -45.0f));
        for (int i = 0; i < 10; ++i) {
            for (DrivingLine &line : path().nodes[i].lines) {
                line.weight = 1.0f;
            }
        }
        for (int i = 0; i < 10; ++i) {
            scene.AddStrip(-45.0f + 10.0f * static_cast<float>(i), 0.0f, 8.0f, i >= grassFrom ? 1 : 0,
                           i < static_cast<int>(timing.size()) ? timing[i] : 0);
        }
        scene.Finish();
    }
    Path &path() { return scene.path(); }
};

TEST_F(LapTiming, ClosedPathCountsFromTheFinish)
{
    scene.world->timingLineCount = 1;
    Build(PathClosedLoop | PathUsesKnowledge, {0, 0, 0, 0, 0, 1});
    EXPECT_EQ(path().finishNode, 5);
    EXPECT_FLOAT_EQ(path().nodes[6].distance, 10.0f);
    EXPECT_FLOAT_EQ(path().nodes[0].distance, 10.0f * 4 + 90.0f);
    // The finish node is reached last: the whole lap (9 x 10 m and 90 m back).
    EXPECT_FLOAT_EQ(path().nodes[5].distance, 180.0f);
    EXPECT_FLOAT_EQ(path().onRoadShare, 1.0f);
    EXPECT_TRUE(WorldLines().empty());
    EXPECT_EQ(CheckpointConfigBit, 0u);
    // Centre of the nodes' box; radius at least 384 m.
    EXPECT_EQ(path().centre[0], Metres(0.0f));
    EXPECT_EQ(path().radius, Metres(384.0f));
}

TEST_F(LapTiming, OpenPathCountsFromNodeZero)
{
    scene.world->timingLineCount = 1;
    Build(PathUsesKnowledge, {0, 0, 0, 1});
    EXPECT_EQ(path().finishNode, 3);
    EXPECT_FLOAT_EQ(path().nodes[0].distance, 0.0f);
    EXPECT_FLOAT_EQ(path().nodes[9].distance, 90.0f);
}

TEST_F(LapTiming, SplitsByTimingValue)
{
    struct Case {
        int reversed, lines;
        std::vector<int> timing;
        int finish, split1, split2, split3;
    };
    const Case cases[] = {
        // A run of equal values counts at its first node.
        {0, 4, {0, 1, 1, 0, 2, 2, 3, 0, 4, 0}, 1, 4, 6, 8},
        // Reversed: value k is split (lines + 1 - k); with two lines 2 -> 1.
        {1, 2, {0, 0, 1, 0, 2, 0, 0, 0, 0, 0}, 2, 4, -1, -1},
        {1, 4, {0, 1, 0, 2, 0, 3, 0, 4, 0, 0}, 1, 7, 5, 3},
        // Values above 4 name no split and are ignored.
        {0, 1, {1, 0, 5, 0, 200, 0, 0, 0, 0, 0}, 0, -1, -1, -1},
    };
    for (const Case &c : cases) {
        PathWorld fresh;
        fresh.world->reversed = c.reversed;
        fresh.world->timingLineCount = c.lines;
        fresh.LoadPath(StraightPath(10, PathClosedLoop | PathUsesKnowledge, -45.0f));
        for (int i = 0; i < 10; ++i) {
            fresh.AddStrip(-45.0f + 10.0f * static_cast<float>(i), 0.0f, 8.0f, 0, c.timing[i]);
        }
        fresh.Finish();
        const Path &p = fresh.path();
        EXPECT_EQ(p.finishNode, c.finish);
        EXPECT_EQ(p.splitNodes[0], c.split1);
        EXPECT_EQ(p.splitNodes[1], c.split2);
        EXPECT_EQ(p.splitNodes[2], c.split3);
    }
}

TEST_F(LapTiming, MissingTimingLinesAreReported)
{
    scene.world->timingLineCount = 3;
    Build(PathClosedLoop | PathUsesKnowledge, {0, 1, 0, 0, 0, 0, 3});
    EXPECT_EQ(path().splitNodes[1], 6);
    const std::vector<std::string> want = {"Checkpoint 2 path node not found", "Lap timing error"};
    EXPECT_EQ(WorldLines(), want);
}

TEST_F(LapTiming, OnRoadShareAndLinesFollowTheSurface)
{
    scene.world->timingLineCount = 1;
    Build(PathClosedLoop | PathUsesKnowledge, {1}, 7);
    EXPECT_NEAR(path().onRoadShare, 0.7f, 1e-6f);
    EXPECT_EQ(scene.world->IsConfigValueLow(), 0);
    // The driving lines lie on the ground 1/32 m up; off road they vanish.
    const PathNode &road = path().nodes[2];
    EXPECT_NEAR(road.lines[1].point[2], 2048, 16);
    EXPECT_EQ(road.lines[0].point[1], Metres(1.0f));
    EXPECT_EQ(road.lines[1].colour, static_cast<uint32_t>(std::lrint(RubberDark * 255.0f)) << 24);
    EXPECT_EQ(path().nodes[8].lines[1].colour, 0u);
}

// Nodes at the ends of the 16.16 range: the ground probe below the node and
// the driving-line points beside it wrap as positions do, never overflowing
// (the sanitizer build checks the sums).
TEST_F(LapTiming, NodesAtTheEndsOfThePositionRangeProbeWithoutOverflow)
{
    PathFields fields = StraightPath(4, PathClosedLoop | PathUsesKnowledge, -15.0f);
    fields.nodes[0].position[2] = INT32_MIN;
    fields.nodes[1].position[2] = INT32_MIN + 65536;
    fields.nodes[2].position[0] = INT32_MAX;
    fields.nodes[2].direction[0] = 0.0f;
    fields.nodes[2].direction[1] = -1.0f;
    fields.nodes[3].position[1] = INT32_MIN;
    scene.LoadPath(fields);
    for (int i = 0; i < 4; ++i) {
        path().nodes[i].lines[0].offset = -PathMaxLateral;
        path().nodes[i].lines[2].offset = PathMaxLateral;
        path().nodes[i].lines[1].weight = 1.0f;
    }
    scene.AddStrip(0.0f, 0.0f, 8.0f, 0, 0);
    scene.Finish();
    // Node 2 points along -y: its right-hand line lies along -x, 10 km back
    // from the top of the range.
    EXPECT_EQ(path().nodes[2].lines[0].point[0], WrapAdd(INT32_MAX, 10000 * 65536));
    EXPECT_EQ(path().nodes[2].lines[2].point[0], INT32_MAX - 10000 * 65536);
    EXPECT_EQ(path().nodes[0].lines[1].point[2], INT32_MIN);
}

TEST_F(LapTiming, WithoutKnowledgeEverythingCountsAsRoad)
{
    scene.world->timingLineCount = 1;
    Build(PathClosedLoop, {1}, 0);
    EXPECT_EQ(path().finishNode, -1);
    EXPECT_EQ(path().onRoadShare, 1.0f);
    EXPECT_TRUE(WorldLines().empty());
}
