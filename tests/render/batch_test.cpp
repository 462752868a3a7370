#include "platform/recording_device.h"
#include "render/buffer_pools.h"
#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/state_cache.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using render_test::RenderLogLines;

// The device started on the recording device at 800 x 600, in a scene.
class BatchTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(800, 600));
        ASSERT_EQ(StartGraphics(), 1);
        BeginRenderScene();
        Device.ClearLog();
    }

    // The bytes the last draw's buffers hold.
    template <typename T>
    std::vector<T> Bound(const char *call, size_t count)
    {
        const std::vector<DeviceCall> binds = Device.CallsNamed(call);
        if (binds.empty()) {
            return {};
        }
        const std::vector<uint8_t> bytes = Device.BufferBytes(binds.back().args[0]);
        std::vector<T> out(count);
        std::memcpy(out.data(), bytes.data(), std::min(bytes.size(), count * sizeof(T)));
        return out;
    }
};

TEST_F(BatchTest, VertexKindTable)
{
    EXPECT_EQ(GetFvfForVertexKind(12), 0x144u);
    EXPECT_EQ(GetStrideForVertexKind(12), 28u);
    EXPECT_EQ(GetFvfForVertexKind(9), 0x142u);
    EXPECT_EQ(GetStrideForVertexKind(9), 24u);
    EXPECT_EQ(GetStrideForVertexKind(11), 48u);
    EXPECT_EQ(GetFvfForVertexKind(14), 0u);
    EXPECT_EQ(GetStrideForVertexKind(14), 0u);
    // The strides of the pre-transformed and world kinds are their layouts.
    EXPECT_EQ(static_cast<int>(GetStrideForVertexKind(12)), FvfVertexBytes(GetFvfForVertexKind(12)));
    EXPECT_EQ(static_cast<int>(GetStrideForVertexKind(4)), FvfVertexBytes(GetFvfForVertexKind(4)));
}

// A quad becomes a, b, c, c, d, a; one flush is one draw, after the buffer
// locks, the binds, the material and the states, in that order.
TEST_F(BatchTest, AScreenQuadFlushesAsOneDraw)
{
    SetScreenTransform(0.0f, 0.0f, 1.0f, 1.0f);
    BeginScreenBatch(nullptr);
    const uint16_t a = AddScreenVertex(-1.0f, -1.0f, 0.0f, 0.0f, 0xFF102030u);
    const uint16_t b = AddScreenVertex(1.0f, -1.0f, 1.0f, 0.0f, 0xFF102030u);
    const uint16_t c = AddScreenVertex(1.0f, 1.0f, 1.0f, 1.0f, 0xFF102030u);
    const uint16_t d = AddScreenVertexRaw(5.0f, 7.0f, 0.0f, 1.0f, 0x80FFFFFFu);
    AddScreenQuad(a, b, c, d);
    EXPECT_EQ(GetScreenTriangleCount(), 2u);
    SetRenderStateCached(RsFogColor, 0x445566);  // a state waiting for the flush
    FlushScreenBatch();

    EXPECT_EQ(Device.CallNames(true),
              std::vector<std::string>({"LockBuffer", "UnlockBuffer", "LockBuffer", "UnlockBuffer", "SetStreamSource",
                                        "SetIndices", "SetVertexShader", "SetRenderState",
                                        "DrawIndexedTriangles"}));
    const std::vector<DeviceCall> draws = Device.CallsNamed("DrawIndexedTriangles");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].args, std::vector<uint32_t>({0, 4, 0, 2}));
    EXPECT_EQ(Device.CallsNamed("SetVertexShader")[0].args[0], 0x144u);
    EXPECT_EQ(Device.CallsNamed("LockBuffer")[0].args[2], 2048u * 28);  // whole 2048-vertex steps
    EXPECT_EQ(Device.CallsNamed("LockBuffer")[1].args[2], 16u * 2);     // whole 16-index steps
    EXPECT_EQ(Bound<uint16_t>("SetIndices", 6), std::vector<uint16_t>({0, 1, 2, 2, 3, 0}));

    const std::vector<ScreenVertex> vertices = Bound<ScreenVertex>("SetStreamSource", 4);
    EXPECT_EQ(vertices[0].x, 0.0f);
    EXPECT_EQ(vertices[0].y, 0.0f);
    EXPECT_EQ(vertices[2].x, 800.0f);
    EXPECT_EQ(vertices[2].y, 600.0f);
    EXPECT_EQ(vertices[3].x, 5.0f);
    EXPECT_EQ(vertices[3].y, 7.0f);
    for (const ScreenVertex &v : vertices) {
        EXPECT_EQ(v.z, 0.0f);
        EXPECT_EQ(v.rhw, 1.0f);
    }
    EXPECT_EQ(vertices[3].colour, 0x80FFFFFFu);
    EXPECT_EQ(ScreenBatch.triangleCount, 0u);
    EXPECT_EQ(ScreenBatch.vertexWrite, nullptr);
}

TEST_F(BatchTest, DirectBeginsReserveWholeStepsAndEmptyBatchesDrawNothing)
{
    BeginWorldBatch(nullptr, 100, 10);
    const std::vector<DeviceCall> locks = Device.CallsNamed("LockBuffer");
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0].args[2], 2048u * 24);
    EXPECT_EQ(locks[0].args[3], static_cast<uint32_t>(LockDiscard));
    EXPECT_EQ(locks[1].args[2], 32u * 2);
    EXPECT_EQ(WorldBatch.VertexCapacity(), 2048u);

    // Begun on its own arrays and flushed empty: nothing drawn, nothing reset.
    BeginScreenBatch(nullptr);
    uint8_t *write = ScreenBatch.vertexWrite;
    Device.ClearLog();
    FlushScreenBatch();
    EXPECT_TRUE(Device.calls.empty());
    EXPECT_EQ(ScreenBatch.vertexWrite, write);

    // The direct batch writes straight into the locked buffer.
    const uint16_t a = AddWorldVertex(0, 0, 0, 0, 0, 0xFFFFFFFFu);
    const uint16_t b = AddWorldVertex(1, 0, 0, 0, 0, 0xFFFFFFFFu);
    const uint16_t c = AddWorldVertex(1, 1, 0, 0, 0, 0xFFFFFFFFu);
    AddWorldTriangle(a, b, c);
    FlushWorldBatch();
    EXPECT_TRUE(Device.CallsNamed("LockBuffer").empty());
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);
    EXPECT_EQ(Device.CallsNamed("UnlockBuffer").size(), 2u);
}

TEST_F(BatchTest, AuxBlendBatchBlendsOnlyThroughFlushAuxBatches)
{
    BeginAuxBlendBatch(nullptr, 0, 0);
    uint16_t v[3];
    for (uint16_t &i : v) {
        i = AddAuxBlendVertex(0, 0, 0, 0, 0, 0x80FFFFFFu);
    }
    AuxBlendBatch.AddTriangle(v[0], v[1], v[2]);
    FlushAllBatches();
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);
    for (const DeviceCall &call : Device.CallsNamed("SetRenderState")) {
        EXPECT_NE(call.args[0], static_cast<uint32_t>(RsAlphaBlendEnable));
    }

    Device.ClearLog();
    BeginAuxBlendBatch(nullptr, 0, 0);
    for (uint16_t &i : v) {
        i = AddAuxBlendVertex(0, 0, 0, 0, 0, 0x80FFFFFFu);
    }
    AddAuxBlendQuad(v[0], v[1], v[2], v[0]);
    FlushAuxBatches();
    FlushStateCache();
    std::vector<uint32_t> blends;
    for (const DeviceCall &call : Device.CallsNamed("SetRenderState")) {
        if (call.args[0] == RsAlphaBlendEnable) {
            blends.push_back(call.args[1]);
        }
    }
    EXPECT_EQ(blends, std::vector<uint32_t>({1, 0}));
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);
}

// A full batch drops what does not fit (logged once a frame), and a
// triangle that names a vertex not added is dropped.
TEST_F(BatchTest, AddersKeepWithinCapacity)
{
    BeginScreenBatch(nullptr);
    for (int i = 0; i < BatchVertexCapacity; ++i) {
        ASSERT_EQ(AddScreenVertexRaw(0, 0, 0, 0, 0), static_cast<uint16_t>(i));
    }
    EXPECT_EQ(AddScreenVertexRaw(0, 0, 0, 0, 0), NoBatchVertex);
    EXPECT_EQ(AddScreenVertexRaw(0, 0, 0, 0, 0), NoBatchVertex);
    AddScreenTriangle(0, 1, NoBatchVertex);
    EXPECT_EQ(GetScreenTriangleCount(), 0u);
    for (int i = 0; i < BatchIndexCapacity / 3; ++i) {
        AddScreenTriangle(0, 1, 2);
    }
    AddScreenTriangle(0, 1, 2);
    EXPECT_EQ(GetScreenTriangleCount(), static_cast<uint32_t>(BatchIndexCapacity / 3));
    int logged = 0;
    for (const std::string &line : RenderLogLines) {
        logged += line == "geometry batch full - drawing dropped" ? 1 : 0;
    }
    EXPECT_EQ(logged, 1);
    FlushScreenBatch();
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);

    // A direct reservation is all that was locked.
    BeginWorldBatch(nullptr, 10, 0);
    for (int i = 0; i < 2048; ++i) {
        AddWorldVertex(0, 0, 0, 0, 0, 0);
    }
    EXPECT_EQ(AddWorldVertex(0, 0, 0, 0, 0, 0), NoBatchVertex);
    FlushWorldBatch();
}

TEST_F(BatchTest, AFailedLockLeavesNothingToWriteAndNothingDrawn)
{
    Device.failing.insert("LockBuffer");
    BeginWorldBatch(nullptr, 100, 10);
    EXPECT_EQ(WorldBatch.vertexWrite, nullptr);
    EXPECT_EQ(AddWorldVertex(0, 0, 0, 0, 0, 0), NoBatchVertex);
    AddWorldTriangle(0, 0, 0);
    FlushWorldBatch();
    // A screen batch whose flush cannot lock draws nothing.
    BeginScreenBatch(nullptr);
    const uint16_t a = AddScreenVertexRaw(0, 0, 0, 0, 0);
    AddScreenTriangle(a, a, a);
    FlushScreenBatch();
    EXPECT_TRUE(Device.CallsNamed("DrawIndexedTriangles").empty());
    Device.failing.clear();
}

// --- Pools ----------------------------------------------------------------------------------------------

TEST_F(BatchTest, PoolRecordsLockOnceBindAndSurviveAReset)
{
    VertexBuffer *managed = nullptr;
    ASSERT_EQ(CreateVertexBuffer(4, 0, GetFvfForVertexKind(4), 100, &managed), 0);
    EXPECT_EQ(Device.CallsNamed("CreateVertexBuffer").back().args,
              std::vector<uint32_t>({3600, 0, 0x152, static_cast<uint32_t>(PoolManaged)}));
    void *first = nullptr;
    void *second = nullptr;
    ASSERT_EQ(managed->Lock(0, &first, 10, 5), 0);
    ASSERT_EQ(managed->Lock(0, &second, 0, 1), 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Device.CallsNamed("LockBuffer").size(), 1u);
    EXPECT_EQ(Device.CallsNamed("LockBuffer")[0].args[1], 360u);  // from vertex 10
    managed->EndLock();
    managed->EndLock();
    EXPECT_EQ(Device.CallsNamed("UnlockBuffer").size(), 1u);

    IndexBuffer *wide = nullptr;
    ASSERT_EQ(CreateIndexBuffer(1, UsageDynamic, 64, &wide), 0);
    EXPECT_EQ(Device.CallsNamed("CreateIndexBuffer").back().args,
              std::vector<uint32_t>({256, UsageDynamic, RenderFormatIndex32, static_cast<uint32_t>(PoolDefault)}));

    // A forced Reset: the batch buffers (0x218) and the wide one come back
    // with their sizes and usages; the managed one is untouched.
    const uint32_t managedHandle = managed->handle;
    Device.cooperativeLevel = DeviceNotReset;
    Device.ClearLog();
    EXPECT_FALSE(CheckRenderDevice());
    for (const DeviceCall &call : Device.CallsNamed("ReleaseBuffer")) {
        EXPECT_NE(call.args[0], managedHandle);
    }
    EXPECT_EQ(managed->handle, managedHandle);
    EXPECT_EQ(Device.BufferUsage(ScreenBatch.vertexBuffer->handle), BatchBufferUsage);
    EXPECT_EQ(Device.BufferBytes(ScreenBatch.vertexBuffer->handle).size(), 16384u * 28);
    EXPECT_EQ(Device.BufferBytes(wide->handle).size(), 256u);
    EXPECT_TRUE(CheckRenderDevice());

    // Releases unbind first; a null stream binds none.
    Device.ClearLog();
    EXPECT_EQ(SetVertexStream(nullptr), 0);
    EXPECT_EQ(Device.CallsNamed("SetStreamSource").back().args, std::vector<uint32_t>({0, 0}));
    Device.ClearLog();
    managed->Release();
    wide->Release();
    EXPECT_EQ(Device.CallNames(false),
              std::vector<std::string>({"SetStreamSource", "SetIndices", "ReleaseBuffer", "SetStreamSource",
                                        "SetIndices", "ReleaseBuffer"}));
}

// A record that lost its buffer fails cleanly, and a restore the device
// refused is tried again at the next device check.
TEST_F(BatchTest, RecordsWithoutBuffersFailAndAFailedRestoreIsRetried)
{
    Device.cooperativeLevel = DeviceNotReset;
    Device.failing.insert("CreateVertexBuffer");
    EXPECT_FALSE(CheckRenderDevice());
    ASSERT_EQ(ScreenBatch.vertexBuffer->handle, 0u);
    void *data = nullptr;
    EXPECT_EQ(ScreenBatch.vertexBuffer->Lock(LockDiscard, &data, 0, 4), -1);
    EXPECT_EQ(SetVertexStream(ScreenBatch.vertexBuffer), -1);
    EXPECT_EQ(DrawIndexedTriangles(0, 3, 0, 1), -1);
    BeginScreenBatch(nullptr);
    const uint16_t a = AddScreenVertexRaw(0, 0, 0, 0, 0);
    AddScreenTriangle(a, a, a);
    FlushScreenBatch();
    EXPECT_TRUE(Device.CallsNamed("DrawIndexedTriangles").empty());

    Device.failing.clear();
    Device.ClearLog();
    EXPECT_EQ(Device.TestCooperativeLevel(), DeviceOk);
    EXPECT_FALSE(CheckRenderDevice());  // resets again
    EXPECT_EQ(Device.CallsNamed("Reset").size(), 1u);
    EXPECT_NE(ScreenBatch.vertexBuffer->handle, 0u);
    EXPECT_TRUE(CheckRenderDevice());
    BeginScreenBatch(nullptr);
    const uint16_t b = AddScreenVertexRaw(0, 0, 0, 0, 0);
    AddScreenTriangle(b, b, b);
    FlushScreenBatch();
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);
}

}  // namespace
