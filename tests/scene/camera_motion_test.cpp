#include "scene/camera_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "core/config_file.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/view.h"

namespace {

constexpr int32_t Metre = 65536;

// A private current view on an 800 x 600 screen, the whole of it the centre
// screen; every global the camera reads is put back afterwards.
class CameraMotionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
    void SetUp() override
    {
        previous = CurrentView;
        view = ViewRecord{};
        CurrentView = &view;
        saved = {ScreenWidth, ScreenHeight, ViewCentreLeft, ViewCentreRight, MouseX, MouseY, FrameElapsed, CtrlHeld};
        savedSoft = EditorSoft;
        savedScale = EditorViewScale;
        savedFlags = ScreenFlags;
        ScreenWidth = 800;
        ScreenHeight = 600;
        ViewCentreLeft = 0;
        ViewCentreRight = 800;
        EditorViewScale = 2.0f * std::tan(30.0f * 3.14159265f / 180.0f);
        ScreenFlags = 0;
        FrameElapsed = 100;
        CtrlHeld = 0;
        FreeViewMode = 0;
        FreeViewAttached = 0;
        SetKeys(0, 0, 0, 0);
    }
    void TearDown() override
    {
        CurrentView = previous;
        ScreenWidth = saved.width;
        ScreenHeight = saved.height;
        ViewCentreLeft = saved.left;
        ViewCentreRight = saved.right;
        MouseX = saved.mouseX;
        MouseY = saved.mouseY;
        FrameElapsed = saved.elapsed;
        CtrlHeld = saved.ctrl;
        EditorSoft = savedSoft;
        EditorViewScale = savedScale;
        ScreenFlags = savedFlags;
        FreeViewMode = 0;
        SetKeys(0, 0, 0, 0);
    }

    static void SetKeys(int left, int right, int up, int down)
    {
        FreeViewMoveLeft = left;
        FreeViewMoveRight = right;
        FreeViewMoveUp = up;
        FreeViewMoveDown = down;
    }

    ViewRecord view{};
    ViewRecord *previous = nullptr;
    struct Saved {
        int width, height, left, right, mouseX, mouseY, elapsed, ctrl;
    } saved{};
    float savedSoft = 0.0f;
    float savedScale = 0.0f;
    uint32_t savedFlags = 0;
};

MouseEvent Look(int dx, int dy)
{
    MouseEvent event{};
    event.dx = dx;
    event.dy = dy;
    event.right = 1;
    return event;
}

TEST_F(CameraMotionTest, RetargetGlidesOverEditorSoft)
{
    view.eye = {10 * Metre, 20 * Metre, 5 * Metre};
    view.heading = 0;
    view.pitch = 0;
    StartCameraMotion();
    EXPECT_EQ(view.back.y, Metre);   // heading 0, level: (0, 1, 0)

    // The user puts the camera elsewhere; the view shows the glide's start.
    EditorSoft = 0.3f;
    view.eye = {30 * Metre, 20 * Metre, 5 * Metre};
    view.heading = 16384;
    RetargetCameraMotion();
    EXPECT_EQ(view.eye.x, 10 * Metre);
    EXPECT_EQ(view.back.y, Metre);
    FixVector eye;
    FixVector back;
    GetFreeViewEyeAndBack(&eye, &back);
    EXPECT_EQ(eye.x, 30 * Metre);
    EXPECT_EQ(back.x, -Metre);
    float target[3];
    GetCameraMotionEyeTarget(target);
    EXPECT_FLOAT_EQ(target[0], 30.0f);
    AdvanceCameraMotion(0.15f);
    float rate[3];
    GetCameraMotionEyeRate(rate);
    EXPECT_GT(rate[0], 0.0f);
    WriteCameraMotionToView();
    EXPECT_GT(view.eye.x, 10 * Metre);
    EXPECT_LT(view.eye.x, 30 * Metre);
    EXPECT_NEAR(std::hypot(static_cast<double>(view.back.x), static_cast<double>(view.back.y)), Metre, 2.0);
    AdvanceCameraMotion(0.2f);
    WriteCameraMotionToView();
    EXPECT_EQ(view.eye.x, 30 * Metre);
    EXPECT_EQ(view.back.x, -Metre);

    // "Editor Soft " 0: there at the next advance.
    EditorSoft = 0.0f;
    view.eye = {-4 * Metre, 2 * Metre, 1 * Metre};
    RetargetCameraMotion();
    AdvanceCameraMotion(0.01f);
    WriteCameraMotionToView();
    EXPECT_EQ(view.eye.x, -4 * Metre);
    EXPECT_EQ(view.eye.z, Metre);
}

TEST_F(CameraMotionTest, RollSurvivesStartAndWrite)
{
    for (const int roll : {0, 1000, 60000, 32767, 40000}) {
        view.roll = static_cast<uint16_t>(roll);
        StartCameraMotion();
        view.roll = 0;
        WriteCameraMotionToView();
        EXPECT_EQ(view.roll, roll);
    }
}

TEST_F(CameraMotionTest, PitchIsClamped)
{
    struct Case {
        int mode;
        int dy;
        int pitch;   // signed result
    };
    const Case cases[] = {{0, -1000, 15474}, {0, 1000, -15474}, {1, 1000, 0}, {1, -100, 1800}, {0, 100, -1800}};
    for (const Case &c : cases) {
        FreeViewMode = c.mode;
        view.pitch = 0;
        view.heading = 100;
        TurnFreeViewCamera(Look(10, c.dy));
        EXPECT_EQ(static_cast<int16_t>(view.pitch), c.pitch) << c.mode << " " << c.dy;
        EXPECT_EQ(view.heading, 100 + 360);
    }
    // Inverted mouse; nothing with Ctrl held.
    FreeViewMode = 0;
    ScreenFlags = 0x10;
    view.pitch = 0;
    TurnFreeViewCamera(Look(10, -100));
    EXPECT_EQ(static_cast<int16_t>(view.pitch), -1800);
    CtrlHeld = 1;
    TurnFreeViewCamera(Look(10, -100));
    EXPECT_EQ(static_cast<int16_t>(view.pitch), -1800);
}

TEST_F(CameraMotionTest, KeyboardMoves)
{
    // Looking along +y: ahead is +y, right is +x.
    view.eye = {Metre, 2 * Metre, 3 * Metre};
    view.heading = 32768;
    view.pitch = 0;
    StartCameraMotion();
    FrameElapsed = 100;
    const FixVector start = view.eye;

    SetKeys(1, 1, 1, 1);
    MoveFreeViewCamera(10 * Metre);
    EXPECT_EQ(view.eye.x, start.x);
    EXPECT_EQ(view.eye.y, start.y);

    SetKeys(0, 1, 1, 0);
    MoveFreeViewCamera(10 * Metre);
    EXPECT_EQ(view.eye.x, start.x + Metre);
    EXPECT_EQ(view.eye.y, start.y + Metre);
    EXPECT_EQ(view.eye.z, start.z);

    // The overhead camera moves faster the higher it is, and Ctrl with Up
    // raises it by 4 ^ dt.
    FreeViewMode = 2;
    view.eye = {0, 0, 4 * Metre};
    SetKeys(0, 0, 1, 0);
    MoveFreeViewCamera(Metre);
    EXPECT_EQ(view.eye.y, 52429);   // 1 m/s x 8 x 0.1 s, rounded
    FrameElapsed = 500;
    CtrlHeld = 1;
    view.eye = {0, 0, 4 * Metre};
    MoveFreeViewCamera(Metre);
    EXPECT_EQ(view.eye.z, 8 * Metre);
    EXPECT_EQ(view.eye.y, 0);
    SetKeys(0, 0, 0, 1);
    MoveFreeViewCamera(Metre);
    EXPECT_EQ(view.eye.z, 4 * Metre);
    FreeViewMode = 0;
    view.eye = {0, 0, 4 * Metre};
    MoveFreeViewCamera(Metre);
    EXPECT_EQ(view.eye.z, 4 * Metre);
}

TEST_F(CameraMotionTest, WheelDollyAndGroundDrag)
{
    FreeViewMode = 2;
    // A level view: the wheel leaves the eye alone.
    view.eye = {0, 0, 10 * Metre};
    view.back = {0, Metre, 512};
    MouseEvent wheel{};
    wheel.wheel = 1;
    TurnFreeViewCamera(wheel);
    EXPECT_EQ(view.eye.z, 10 * Metre);
    // Straight down: a step up moves toward the ground by 0.941.
    view.back = {0, 0, Metre};
    TurnFreeViewCamera(wheel);
    EXPECT_EQ(view.eye.z, static_cast<int32_t>(static_cast<int64_t>(10 * Metre) * 61680 >> 16));
    wheel.wheel = 2;
    view.eye = {0, 0, 10 * Metre};
    TurnFreeViewCamera(wheel);
    EXPECT_EQ(view.eye.z, static_cast<int32_t>(static_cast<int64_t>(10 * Metre) * 69632 >> 16));
    // Outside the overhead camera the wheel does nothing.
    FreeViewMode = 0;
    view.eye = {0, 0, 10 * Metre};
    TurnFreeViewCamera(wheel);
    EXPECT_EQ(view.eye.z, 10 * Metre);

    // Dragging the ground keeps the picked point under the pointer.
    FreeViewMode = 2;
    view.eye = {5 * Metre, -3 * Metre, 20 * Metre};
    view.heading = 3000;
    view.pitch = 9000;   // looking down
    SetViewBackFromAngles();
    MouseX = 460;
    MouseY = 380;
    FixVector before;
    ASSERT_TRUE(PickGroundPoint(&before));
    MouseX = 500;
    MouseY = 400;
    MouseEvent drag{};
    drag.left = 1;
    drag.dx = 40;
    drag.dy = 20;
    TurnFreeViewCamera(drag);
    EXPECT_EQ(MouseX, 500);
    EXPECT_EQ(MouseY, 400);
    FixVector after;
    ASSERT_TRUE(PickGroundPoint(&after));
    EXPECT_LE(std::abs(after.x - before.x), 2);
    EXPECT_LE(std::abs(after.y - before.y), 2);
    EXPECT_EQ(view.eye.z, 20 * Metre);
}

TEST_F(CameraMotionTest, PickNeedsADownwardRayOnTheCentreScreen)
{
    FreeViewMode = 2;
    view.eye = {0, 0, 10 * Metre};
    view.heading = 0;
    view.pitch = 16000;   // nearly straight down
    SetViewBackFromAngles();
    MouseX = 400;
    MouseY = 300;
    FixVector point;
    ASSERT_TRUE(PickGroundPoint(&point));
    EXPECT_LE(std::abs(point.x), 2);
    EXPECT_EQ(point.z, 0);
    ASSERT_TRUE(PickGroundPointAtHeight(&point, 2 * Metre));
    EXPECT_EQ(point.z, 2 * Metre);
    EXPECT_EQ(PickHeight, 0);

    // Looking level or up: no hit.
    view.pitch = 0;
    SetViewBackFromAngles();
    EXPECT_FALSE(PickGroundPoint(&point));
    view.pitch = static_cast<uint16_t>(-6000);
    SetViewBackFromAngles();
    EXPECT_FALSE(PickGroundPoint(&point));

    // Off the centre screen, or a centre screen with no width.
    view.pitch = 16000;
    SetViewBackFromAngles();
    ViewCentreLeft = 200;
    ViewCentreRight = 600;
    MouseX = 100;
    EXPECT_FALSE(PickGroundPoint(&point));
    MouseX = 400;
    EXPECT_TRUE(PickGroundPoint(&point));
    ViewCentreLeft = 400;
    ViewCentreRight = 400;
    EXPECT_FALSE(PickGroundPoint(&point));
}

TEST_F(CameraMotionTest, BasisOfTheView)
{
    view.back = {0, -Metre, 0};   // looking along +y
    float right[3];
    float forward[3];
    float up[3];
    GetViewBasisFloat(right, forward, up);
    EXPECT_FLOAT_EQ(forward[1], 1.0f);
    EXPECT_FLOAT_EQ(right[0], 1.0f);
    EXPECT_FLOAT_EQ(up[2], 1.0f);
    float m[9];
    GetViewRotationFloat(m);
    EXPECT_FLOAT_EQ(m[0], 1.0f);   // right in column 0
    EXPECT_FLOAT_EQ(m[5], 1.0f);   // forward.y in column 2
    EXPECT_FLOAT_EQ(m[7], 1.0f);   // up.z in column 1

    // Straight down: the heading gives right, nothing is NaN.
    view.back = {0, 0, Metre};
    view.heading = 0;
    GetViewBasisFloat(right, forward, up);
    EXPECT_FLOAT_EQ(forward[2], -1.0f);
    EXPECT_FLOAT_EQ(right[0], -1.0f);
    EXPECT_TRUE(std::isfinite(up[0]) && std::isfinite(up[1]) && std::isfinite(up[2]));
}

}  // namespace
