#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/recording_device.h"
#include "race/ai_knowledge.h"
#include "render/geometry_batch.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"

namespace {

int ScreenWidth = 800;
int ScreenHeight = 600;

// The renderer started on the recording device, in a scene.
class KnowledgeDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RenderShellLink link{};
        link.screenWidth = &ScreenWidth;
        link.screenHeight = &ScreenHeight;
        link.logLine = [](const char *) {};
        SetRenderShellLink(link);
        ASSERT_TRUE(UseGraphicsDevice(&Device));
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        ASSERT_EQ(StartGraphics(), 1);
        BeginRenderScene();
        Device.ClearLog();

        // Three nodes along +y, 10 m apart, on level ground: a straight
        // from 0 to 1, then a left-hand curve of 50 m radius to 2.
        k.AllocNodes(3);
        for (int i = 0; i < 3; ++i) {
            KnowledgeNode &n = k.nodes[i];
            n.linePoint[0] = 0;
            n.linePoint[1] = (10 * i) << 16;
            n.linePoint[2] = 2048;
            n.dir[1] = 1.0f;
            n.normal[2] = 1.0f;
            n.distance = 10.0f;
        }
        k.nodes[1].curvature = 0.02f;
        k.nodes[2].curvature = 0.02f;
        k.nodes[0].brakeLevel = 0x40;
        k.nodes[1].throttleLevel = 0x10;
    }
    void TearDown() override
    {
        k.Clear();
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderShellLink(RenderShellLink{});
    }

    std::vector<WorldVertex> DrawnVertices(uint32_t count)
    {
        const std::vector<DeviceCall> binds = Device.CallsNamed("SetStreamSource");
        if (binds.empty()) {
            return {};
        }
        const std::vector<uint8_t> bytes = Device.BufferBytes(binds.back().args[0]);
        std::vector<WorldVertex> out(count);
        std::memcpy(out.data(), bytes.data(), std::min(bytes.size(), count * sizeof(WorldVertex)));
        return out;
    }

    RecordingDevice Device;
    AiKnowledge k;
};

}  // namespace

// Between nodes 0 and 1 (0 + 0.02) x 10 m x 0.5 x 33.3 = 3.33 gives three
// points, on the chord (node 0 is straight); between 1 and 2 (0.02 + 0.02)
// gives 6.67, seven points on the arc. Thirteen pairs of edges 0.25 m to
// each side of the line, twelve quads, one draw.
TEST_F(KnowledgeDrawTest, RibbonPointsColoursAndOneDraw)
{
    DrawAiKnowledge(k, 0, 2);
    const std::vector<DeviceCall> draws = Device.CallsNamed("DrawIndexedTriangles");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].args[1], 26u);   // vertices
    EXPECT_EQ(draws[0].args[3], 24u);   // triangles
    EXPECT_EQ(Device.CallsNamed("SetVertexShader").back().args[0], GetFvfForVertexKind(WorldVertexKind));

    const std::vector<WorldVertex> v = DrawnVertices(26);
    // Left edge first, right edge second; right of +y is +x.
    EXPECT_FLOAT_EQ(v[0].x, -0.25f);
    EXPECT_FLOAT_EQ(v[1].x, 0.25f);
    EXPECT_FLOAT_EQ(v[0].y, 0.0f);
    EXPECT_FLOAT_EQ(v[0].z, 2048.0f / 65536.0f);
    // Braking: red with green 255 - level; driving: green with red 255 -
    // level; coasting: yellow. The points between take rounded levels.
    EXPECT_EQ(v[0].colour, 0x60FF0000u + (255u - 0x40u) * 256u);
    EXPECT_EQ(v[8].colour, 0x6000FF00u + (255u - 0x10u) * 65536u);
    EXPECT_EQ(v[24].colour, 0x60FFFF00u);
    // The points between lie on the arc, which bulges out of the curve
    // (right of the chord), in order along it.
    for (int i = 2; i < 8; i += 2) {
        EXPECT_EQ(v[i].x + v[i + 1].x, 0.0f) << i;
        EXPECT_FLOAT_EQ(v[i].y, 2.5f * static_cast<float>(i / 2)) << i;
    }
    for (int i = 10; i < 24; i += 2) {
        EXPECT_GT(v[i].x + v[i + 1].x, 0.0f) << i;
        EXPECT_GT(v[i].y, v[i - 2].y) << i;
    }
    EXPECT_FLOAT_EQ(v[24].y, 20.0f);

    // Wrapping from the last node to the first: 0.02 x 10 x 0.5 x 33.3
    // rounds to three points between, then node 0.
    Device.ClearLog();
    DrawAiKnowledge(k, 2, 0);
    ASSERT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles")[0].args[1], 10u);
}

// Nothing drawn for an empty range, nodes outside the table, or no table;
// without graphics nothing reaches a device.
TEST_F(KnowledgeDrawTest, NothingToDraw)
{
    DrawAiKnowledge(k, 1, 1);
    DrawAiKnowledge(k, 0, 3);
    DrawAiKnowledge(k, -1, 2);
    AiKnowledge empty;
    DrawAiKnowledge(empty, 0, 0);
    EXPECT_TRUE(Device.calls.empty());
    StopGraphics();
    Device.ClearLog();
    DrawAiKnowledge(k, 0, 2);
    EXPECT_TRUE(Device.CallsNamed("DrawIndexedTriangles").empty());
}
