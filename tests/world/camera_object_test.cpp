#include <gtest/gtest.h>

#include "world/camera_object.h"
#include "world/world.h"
#include "render/view.h"
#include "world_bytes.h"

namespace {

constexpr int32_t Metre = 65536;

WorldBytes CameraBytes(uint32_t flags, float zoom)
{
    WorldBytes b;
    b.U8(ObjectCamera).U8(0).U8(0).U8(0).U32(Metre).U32(2 * Metre);
    b.U32(flags).F32(5.0f).F32(0.25f).F32(-0.5f).F32(zoom);
    if (flags & 4) {
        b.F32(80.0f).F32(0.01f).F32(20.0f);
    }
    return b;
}

TEST(CameraObject, RecordLengthAndZoomClamp)
{
    struct Case {
        uint32_t flags;
        float zoom;
        float readZoom;
        float nearZoom;
    };
    const Case cases[] = {
        {0, 10.0f, 4.0f, 1.0f},    // 20 bytes
        {0, 0.01f, 0.05f, 1.0f},
        {4, 2.0f, 2.0f, 0.05f},    // 32 bytes
    };
    for (const Case &c : cases) {
        WorldBytes bytes = CameraBytes(c.flags, c.zoom);
        DataStream stream;
        bytes.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        ASSERT_EQ(result.error, WorldObjectOk);
        EXPECT_EQ(stream.Remaining(), 0) << c.flags;
        CameraObject *camera = static_cast<CameraObject *>(result.object);
        EXPECT_EQ(camera->GetType(), ObjectCamera);
        EXPECT_EQ(camera->height, 5.0f);
        EXPECT_EQ(camera->zoom, c.readZoom) << c.zoom;
        EXPECT_EQ(camera->nearZoom, c.nearZoom);
        EXPECT_EQ(camera->HasZoomRange(), int(c.flags >> 2));
        float heading = 0.0f;
        int32_t position[3];
        camera->GetPosition(position, heading);
        EXPECT_EQ(heading, 0.25f);
        camera->Prepare();
        EXPECT_EQ(camera->stateFlags & 4, 4);
        EXPECT_EQ(camera->minY, 2 * Metre);
        delete camera;
    }
}

TEST(CameraObject, CutRecordIsRefused)
{
    WorldBytes bytes = CameraBytes(4, 1.0f);
    bytes.bytes.resize(bytes.bytes.size() - 4);
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    EXPECT_EQ(result.error, WorldObjectBadRecord);
    EXPECT_EQ(result.object, nullptr);
}

class AimTvCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        world = WorldCreate();
        camera = new CameraObject(0, 0);
        camera->height = 0.0f;
        world->objects[world->objectCount++] = camera;
        view.eye = {7, 8, 9};
        view.back = {1, 2, 3};
        zoom = 9.0f;
    }
    void TearDown() override { WorldDestroy(world); }

    World *world = nullptr;
    CameraObject *camera = nullptr;
    ViewRecord view{};
    float zoom = 9.0f;
};

TEST_F(AimTvCameraTest, AutoZoomFollowsTheDistance)
{
    struct Case {
        float metres;
        float zoom;
    };
    const Case cases[] = {{30.0f, 0.5f}, {2.0f, 6.0f}};   // 15 / 2 = 7.5 is held at 6
    for (const Case &c : cases) {
        const FixVector target = {int32_t(c.metres * Metre), 0, 0};
        ASSERT_EQ(AimTvCamera(*world, target, 0, view, zoom), 1);
        EXPECT_FLOAT_EQ(zoom, c.zoom) << c.metres;
        EXPECT_EQ(view.eye.x, 0);
        EXPECT_EQ(view.back.x, -Metre);   // camera point minus target
        EXPECT_EQ(view.back.y, 0);
    }
}

TEST_F(AimTvCameraTest, TargetStraightBelowLeavesTheViewAlone)
{
    camera->height = 10.0f;
    ASSERT_EQ(AimTvCamera(*world, {0, 0, 0}, 0, view, zoom), 1);
    EXPECT_EQ(view.eye.x, 7);
    EXPECT_EQ(view.eye.z, 9);
    EXPECT_EQ(view.back.z, 3);
}

TEST_F(AimTvCameraTest, ZoomRangeBlendsBetweenNearAndFar)
{
    camera->flags = 4;
    camera->zoom = 2.0f;
    camera->nearZoom = 1.0f;
    camera->nearDistance = 10.0f;
    camera->farDistance = 30.0f;
    struct Case {
        float metres;
        float zoom;
    };
    const Case cases[] = {{5.0f, 1.0f}, {20.0f, 1.5f}, {40.0f, 2.0f}};
    for (const Case &c : cases) {
        ASSERT_EQ(AimTvCamera(*world, {int32_t(c.metres * Metre), 0, 0}, 0, view, zoom), 1);
        EXPECT_FLOAT_EQ(zoom, c.zoom) << c.metres;
        EXPECT_EQ(view.back.x, -Metre);
    }
    camera->flags = 4 | 2;   // following keeps the camera's zoom
    ASSERT_EQ(AimTvCamera(*world, {5 * Metre, 0, 0}, 0, view, zoom), 1);
    EXPECT_FLOAT_EQ(zoom, 2.0f);
}

TEST_F(AimTvCameraTest, FixedDirectionLooksAlongTheHeading)
{
    camera->flags = 1;
    camera->height = 3.0f;
    camera->heading = 0.0f;
    camera->pitch = 0.0f;
    ASSERT_EQ(AimTvCamera(*world, {50 * Metre, 0, 0}, 0, view, zoom), 1);
    EXPECT_EQ(view.eye.z, 3 * Metre);
    EXPECT_EQ(view.back.x, 0);
    EXPECT_EQ(view.back.y, -Metre);
    EXPECT_EQ(view.back.z, 0);
    EXPECT_FLOAT_EQ(zoom, 1.0f);
}

TEST_F(AimTvCameraTest, IndexThatNamesNoCameraIsRefused)
{
    for (const int index : {-1, 1, 16384}) {
        EXPECT_EQ(AimTvCamera(*world, {0, 0, 0}, index, view, zoom), 0) << index;
    }
    EXPECT_EQ(zoom, 9.0f);
}

}  // namespace
