#include "render/view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "core/shell_globals.h"
#include "render/render_device.h"
#include "render/render_object.h"

namespace {

constexpr int32_t Metre = 65536;

// A private view made current for each test; the globals it touches are put
// back afterwards.
class ViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
    void SetUp() override
    {
        previous = CurrentView;
        view = ViewRecord{};
        CurrentView = &view;
        OrthoViewSize = 0;
        screenWidth = ScreenWidth;
        screenHeight = ScreenHeight;
        centreLeft = ViewCentreLeft;
        centreRight = ViewCentreRight;
    }
    void TearDown() override
    {
        CurrentView = previous;
        OrthoViewSize = 0;
        ScreenWidth = screenWidth;
        ScreenHeight = screenHeight;
        ViewCentreLeft = centreLeft;
        ViewCentreRight = centreRight;
    }

    // The view looks along +y from the origin: view x is world x, view y is
    // world z.
    void LookAlongY()
    {
        view.eye = {0, 0, 0};
        view.back = {0, -Metre, 0};
        view.sunDir = {0, 0, Metre};
        BuildViewMatrix();
    }

    ViewRecord view{};
    ViewRecord *previous = nullptr;
    int screenWidth = 0;
    int screenHeight = 0;
    int centreLeft = 0;
    int centreRight = 0;
};

int64_t Dot(const int32_t *a, const int32_t *b)
{
    return (static_cast<int64_t>(a[0]) * b[0] + static_cast<int64_t>(a[1]) * b[1] +
            static_cast<int64_t>(a[2]) * b[2]) >>
           16;
}

// Rows of the view matrix are unit length and square to each other.
void ExpectOrthonormal(const FixMatrix &m, int tolerance)
{
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int64_t expected = i == j ? 65536 : 0;
            EXPECT_NEAR(Dot(&m.m[i * 3], &m.m[j * 3]), expected, tolerance) << "rows " << i << ", " << j;
        }
    }
}

TEST_F(ViewTest, SphereClassificationSetsOneBitPerLimit)
{
    // A 640 x 480 window with scale 2: the sides are x = +-z and y = +-0.75 z.
    LookAlongY();
    SetViewWindow(0, 0, 640, 480, 0.0f, 0.0f, 2.0f, 1.0f);
    struct Case {
        FixVector centre;
        int32_t radius;
        int mask;
    };
    const Case cases[] = {
        {{0, 0, ViewNearLimit}, 0, 1},                  // on the near limit: 63 - 2, sides clear
        {{0, 0, 10 * Metre}, Metre, 0},                 // wholly inside
        {{0, 0, 6553}, 6553, ViewOutside},              // behind the near limit
        {{0, 0, 9000 * Metre}, 2000 * Metre, ViewOutside},  // centre beyond 8192 m, radius reaching back
        {{0, 0, 8192 * Metre}, Metre, 0},               // centre exactly on the far limit
        {{-10 * Metre, 0, 10 * Metre}, Metre, 4},       // left
        {{10 * Metre, 0, 10 * Metre}, Metre, 8},        // right
        {{0, 7 * Metre + Metre / 2, 10 * Metre}, Metre, 16},   // top
        {{0, -7 * Metre - Metre / 2, 10 * Metre}, Metre, 32},  // bottom
        {{-10 * Metre, -7 * Metre - Metre / 2, 10 * Metre}, Metre, 4 | 32},
        {{0, 0, Metre / 4}, Metre / 4, 1 | 4 | 8 | 16 | 32},   // cuts the near limit near the eye
        {{-20 * Metre, 0, 10 * Metre}, Metre, ViewOutside},    // wholly outside one plane each
        {{20 * Metre, 0, 10 * Metre}, Metre, ViewOutside},
        {{0, 20 * Metre, 10 * Metre}, Metre, ViewOutside},
        {{0, -20 * Metre, 10 * Metre}, Metre, ViewOutside},
        {{INT32_MIN, 0, 10 * Metre}, Metre, ViewOutside},   // far beyond the side: no wrap into view
        {{INT32_MAX, 0, 10 * Metre}, Metre, ViewOutside},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ClassifySphereInView(c.centre, c.radius), c.mask)
            << c.centre.x << ", " << c.centre.y << ", " << c.centre.z << " r " << c.radius;
    }
}

TEST_F(ViewTest, ViewMatrixIsOrthonormalAndTakesTheEyeToTheOrigin)
{
    view.eye = {100 * Metre, -50 * Metre, 5 * Metre};
    for (const int pitch : {-15474, -8000, -1, 0, 3072, 12000, 15474}) {
        for (int heading = 0; heading < 65536; heading += 4099) {
            FixMatrix turn;
            FixRotationZX(turn, static_cast<uint16_t>(heading), static_cast<uint16_t>(pitch));
            TransformFixVector(turn, FixUnitY, view.back);
            BuildViewMatrix();
            const FixMatrix &m = ViewMatrix.matrix;
            SCOPED_TRACE(testing::Message() << "heading " << heading << " pitch " << pitch);
            ExpectOrthonormal(m, 16);   // a steep pitch magnifies the rounding of b / h
            EXPECT_NEAR(m.m[6], -view.back.x, 3);
            EXPECT_NEAR(m.m[7], -view.back.y, 3);
            EXPECT_EQ(m.m[8], -view.back.z);
            FixVector atEye;
            ViewMatrix.Apply(view.eye, atEye);
            EXPECT_LE(std::abs(atEye.x), 512);
            EXPECT_LE(std::abs(atEye.y), 512);
            EXPECT_LE(std::abs(atEye.z), 512);
        }
    }
}

TEST_F(ViewTest, RollTurnsTheRotationAndNotTheTranslation)
{
    view.eye = {3 * Metre, 4 * Metre, 2 * Metre};
    view.back = {0, -Metre, 0};
    BuildViewMatrix();
    const FixTransform level = ViewMatrix;
    view.roll = 8192;   // 45 degrees
    BuildViewMatrix();
    EXPECT_EQ(ViewMatrix.position.x, level.position.x);
    EXPECT_EQ(ViewMatrix.position.y, level.position.y);
    EXPECT_EQ(ViewMatrix.position.z, level.position.z);
    FixMatrix roll;
    FixRotationZ(roll, 8192);
    FixMatrix expected;
    MultiplyFixMatrix(roll, level.matrix, expected);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(ViewMatrix.matrix.m[i], expected.m[i]) << i;
    }
    EXPECT_NE(ViewMatrix.matrix.m[0], level.matrix.m[0]);
}

TEST_F(ViewTest, StraightUpOrDownTakesTheHeading)
{
    struct Case {
        int32_t backZ;
        uint16_t heading;
    };
    const Case cases[] = {{Metre, 0}, {-Metre, 0}, {Metre, 16384}, {-Metre, 40000}};
    for (const Case &c : cases) {
        view.eye = {Metre, 2 * Metre, 30 * Metre};
        view.back = {0, 0, c.backZ};
        view.heading = c.heading;
        BuildViewMatrix();
        const FixMatrix &m = ViewMatrix.matrix;
        SCOPED_TRACE(testing::Message() << "back z " << c.backZ << " heading " << c.heading);
        ExpectOrthonormal(m, 2);
        EXPECT_EQ(m.m[6], 0);
        EXPECT_EQ(m.m[7], 0);
        EXPECT_EQ(m.m[8], -c.backZ);
        // View x (right) lies across the heading's horizontal direction.
        EXPECT_EQ(m.m[0], -CosTable[c.heading]);
        EXPECT_EQ(m.m[1], -SinTable[c.heading]);
        FixVector atEye;
        ViewMatrix.Apply(view.eye, atEye);
        EXPECT_LE(std::abs(atEye.x) + std::abs(atEye.y) + std::abs(atEye.z), 8);
    }
}

TEST_F(ViewTest, WindowCentreScalesAndPlanes)
{
    LookAlongY();
    SetViewWindow(100, 50, 1100, 530, 0.0013f, -0.25f, 1.5f, 1.0f);
    EXPECT_EQ(ViewTopRow, 50);
    EXPECT_EQ(ViewBottomRow, 530);
    EXPECT_EQ(view.centreX, 100 + 501);   // 1.0013 x 500 = 500.65, to nearest
    EXPECT_EQ(view.centreY, 50 + 180);
    EXPECT_EQ(view.scaleX, 98304);
    EXPECT_EQ(view.scaleY, 98304 * 480 / 1000);
    EXPECT_FLOAT_EQ(view.halfScale, 0.75f);
    EXPECT_EQ(RenderDevice.Viewport.x, 100);
    EXPECT_EQ(RenderDevice.Viewport.width, 1000);
    EXPECT_FLOAT_EQ(GetTransformState().nearPlane, 0.25f);
    EXPECT_FLOAT_EQ(GetTransformState().farPlane, 4160.0f);
    // The sun straight above is view up; so is the world's up.
    EXPECT_EQ(view.sunDirView.y, Metre);
    EXPECT_EQ(view.upView.y, Metre);
    EXPECT_EQ(view.upView.z, 0);

    // A zero-width window: scales of 2.0 and slopes of 1.0.
    SetViewWindow(10, 0, 10, 480, 0.0f, 0.0f, 1.5f, 1.0f);
    EXPECT_EQ(view.scaleX, 2 * Metre);
    EXPECT_EQ(view.scaleY, 2 * Metre);
    FixVector unit = {Metre, 0, Metre};
    NormaliseFixVector(unit);
    const int32_t diagonal = unit.x;
    EXPECT_EQ(ViewPlanes[ViewPlaneLeft].x, diagonal);
    EXPECT_EQ(ViewPlanes[ViewPlaneLeft].z, diagonal);
    EXPECT_EQ(ViewPlanes[ViewPlaneRight].x, -diagonal);
    EXPECT_EQ(ViewPlanes[ViewPlaneBottom].y, diagonal);
    EXPECT_EQ(ViewPlanes[ViewPlaneTop].y, -diagonal);
    EXPECT_EQ(ViewPlanes[ViewPlaneTop].z, diagonal);
}

// The float matrix: the rows of ViewMatrix become its columns, after a
// translation by minus the eye.
void ExpectDeviceMatrix(const ViewRecord &view, float pullBack)
{
    const float *d = GetTransformState().view;
    const FixMatrix &m = ViewMatrix.matrix;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_FLOAT_EQ(d[row * 4 + col], static_cast<float>(m.m[col * 3 + row]) / 65536.0f);
        }
        EXPECT_FLOAT_EQ(d[row * 4 + 3], 0.0f);
    }
    // The camera is pulled back along row 2 before the turn.
    const double eye[3] = {view.eye.x / 65536.0 - pullBack * m.m[6] / 65536.0,
                           view.eye.y / 65536.0 - pullBack * m.m[7] / 65536.0,
                           view.eye.z / 65536.0 - pullBack * m.m[8] / 65536.0};
    for (int col = 0; col < 3; ++col) {
        double expected = 0.0;
        for (int i = 0; i < 3; ++i) {
            expected -= eye[i] * m.m[col * 3 + i] / 65536.0;
        }
        EXPECT_NEAR(d[12 + col], expected, 1e-4) << col;
    }
    if (pullBack != 0.0f) {
        EXPECT_NEAR(d[14] - pullBack, ViewMatrix.position.z / 65536.0f, 0.05f);
    }
    EXPECT_FLOAT_EQ(d[15], 1.0f);
}

TEST_F(ViewTest, DeviceViewMatrixIsTheFixedOneInFloats)
{
    view.eye = {12 * Metre, -7 * Metre, 3 * Metre};
    view.back = {30000, 40000, 20000};
    NormaliseFixVector(view.back);
    BuildViewMatrix();
    SetViewWindow(0, 0, 800, 600, 0.0f, 0.0f, 1.0f, 1.0f);
    ExpectDeviceMatrix(view, 0.0f);
    // Without roll the translation is ViewMatrix's own.
    const float *d = GetTransformState().view;
    EXPECT_NEAR(d[12], ViewMatrix.position.x / 65536.0f, 1e-4f);
    EXPECT_NEAR(d[13], ViewMatrix.position.y / 65536.0f, 1e-4f);
    EXPECT_NEAR(d[14], ViewMatrix.position.z / 65536.0f, 1e-4f);
    view.roll = 1000;
    BuildViewMatrix();
    SetViewWindow(0, 0, 800, 600, 0.0f, 0.0f, 1.0f, 1.0f);
    ExpectDeviceMatrix(view, 0.0f);

    // The plan view's camera stands 128 m back along view z, near 0, far 1024.
    OrthoViewSize = 10 * Metre;
    SetViewWindow(0, 0, 800, 400, 0.0f, 0.0f, 1.0f, 1.0f);
    ExpectDeviceMatrix(view, 128.0f);
    const TransformState &state = GetTransformState();
    EXPECT_FLOAT_EQ(state.nearPlane, 0.0f);
    EXPECT_FLOAT_EQ(state.farPlane, 1024.0f);
    // 2 x 10 m wide, half as high; depth 0..1024 m to 0..1.
    EXPECT_FLOAT_EQ(state.projection[0], 2.0f / 20.0f);
    EXPECT_FLOAT_EQ(state.projection[5], 2.0f / 10.0f);
    EXPECT_FLOAT_EQ(state.projection[10], 1.0f / 1024.0f);
    EXPECT_FLOAT_EQ(state.projection[11], 0.0f);
    EXPECT_FLOAT_EQ(state.projection[15], 1.0f);
}

TEST_F(ViewTest, ProjectionToTheScreen)
{
    LookAlongY();
    SetViewWindow(0, 0, 800, 600, 0.0f, 0.0f, 2.0f, 1.0f);
    ScreenWidth = 800;
    ScreenHeight = 600;
    ViewCentreLeft = 0;
    ViewCentreRight = 800;
    float x = 0.0f;
    float y = 0.0f;
    EXPECT_TRUE(ProjectToScreen({-10 * Metre, 10 * Metre, 0}, &x, &y));
    EXPECT_FLOAT_EQ(x, -1.0f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    EXPECT_FALSE(ProjectToScreen({10 * Metre, 10 * Metre, 0}, &x, &y));
    EXPECT_FALSE(ProjectToScreen({0, Metre / 8, 0}, &x, &y));     // behind the near limit
    EXPECT_FALSE(ProjectToScreen({0, -10 * Metre, 0}, &x, &y));   // behind the eye
    // Up is y negative; 800 / 600 stretches it.
    EXPECT_TRUE(ProjectToScreen({0, 10 * Metre, 3 * Metre}, &x, &y));
    EXPECT_NEAR(y, -0.3f * 800.0f / 600.0f, 1e-5f);

    // Three screens: the centre screen's image spans its own third.
    ScreenWidth = 3000;
    ScreenHeight = 750;
    ViewCentreLeft = 1000;
    ViewCentreRight = 2000;
    EXPECT_TRUE(ProjectToScreen({-10 * Metre, 10 * Metre, 0}, &x, &y));
    EXPECT_NEAR(x, -1.0f / 3.0f, 1e-6f);
    EXPECT_TRUE(ProjectToScreen({0, 10 * Metre, 0}, &x, &y));
    EXPECT_NEAR(x, 0.0f, 1e-6f);
    EXPECT_TRUE(ProjectToScreen({5 * Metre, 10 * Metre, Metre}, &x, &y));
    EXPECT_NEAR(x, 0.5f / 3.0f, 1e-5f);
    EXPECT_NEAR(y, -0.1f * 3000.0f / 750.0f / 3.0f, 1e-5f);
}

TEST_F(ViewTest, WindowFromTheFractions)
{
    LookAlongY();
    ScreenWidth = 1000;
    ScreenHeight = 500;
    const float saved[4] = {ViewWidthFraction, ViewHeightFraction, ViewCentreXFraction, ViewCentreYFraction};
    ViewWidthFraction = 0.5f;
    ViewHeightFraction = 1.0f;
    ViewCentreXFraction = 0.25f;
    ViewCentreYFraction = 0.1f;
    SetViewWindowFromSettings(1.0f);
    // x: 625 - 250 = 375 .. 875; y: 275 - 250 = 25 .. 525, held at 500.
    EXPECT_EQ(RenderDevice.Viewport.x, 375);
    EXPECT_EQ(RenderDevice.Viewport.width, 500);
    EXPECT_EQ(RenderDevice.Viewport.y, 25);
    EXPECT_EQ(RenderDevice.Viewport.height, 475);
    ViewWidthFraction = saved[0];
    ViewHeightFraction = saved[1];
    ViewCentreXFraction = saved[2];
    ViewCentreYFraction = saved[3];
}

TEST(LodDistanceFactor, FollowsMainLodWithGraphicsOnly)
{
    EXPECT_FLOAT_EQ(ComputeLodDistanceFactor(1, 0.8f), 1024.0f / (1920.0f * 0.8f));
    EXPECT_FLOAT_EQ(ComputeLodDistanceFactor(0, 0.8f), 1.0f);
    EXPECT_FLOAT_EQ(ComputeLodDistanceFactor(1, 0.0f), 1.0f);
}

TEST(ViewRecordStart, InitMakesTheRecordCurrent)
{
    ViewRecord *previous = CurrentView;
    ViewRecord record{};
    record.fogColour = {9, 9, 9, 9};
    InitViewRecord(&record, {10 * Metre, 10 * Metre, 3 * Metre}, {0, 0, Metre}, Metre, {0, 0, 100});
    EXPECT_EQ(CurrentView, &record);
    EXPECT_EQ(record.sunDir.z, Metre);   // shorter than 256 units: straight up
    EXPECT_EQ(record.fogColour.red, 0);
    EXPECT_EQ(record.heading, 59392);
    EXPECT_EQ(record.pitch, 3072);
    EXPECT_FLOAT_EQ(record.shadowLength, 1.0f);
    CurrentView = previous;
}

}  // namespace
