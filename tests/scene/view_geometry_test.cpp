#include "scene/view_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "core/player_file.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/view.h"
#include "scene/custom_views.h"
#include "test_files.h"

namespace {

constexpr float Degree = 3.14159265f / 180.0f;

// Screen size, the settings that place the interface and the session view
// mode are the test's own; everything is put back afterwards.
class ViewGeometryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = {ScreenWidth, ScreenHeight, DesktopWidth, DesktopHeight, ScreenCx, ScreenCy, ScreenXMul, ScreenYMul};
        savedSwap = SwapSide;
        savedViews = CarViews;
        ScreenCx = 0.0f;
        ScreenCy = 0.0f;
        ScreenXMul = 1.0f;
        ScreenYMul = 1.0f;
        SwapSide = 0;
        SessionViewMode = 0;
        std::memset(&CarViews, 0, sizeof CarViews);
        SetDefaultViewGeometry();
        std::filesystem::create_directories("data/misc");
        std::filesystem::remove("data/misc/views.bin");
    }
    void TearDown() override
    {
        ScreenWidth = saved.screenWidth;
        ScreenHeight = saved.screenHeight;
        DesktopWidth = saved.desktopWidth;
        DesktopHeight = saved.desktopHeight;
        ScreenCx = saved.cx;
        ScreenCy = saved.cy;
        ScreenXMul = saved.xmul;
        ScreenYMul = saved.ymul;
        SwapSide = savedSwap;
        CarViews = savedViews;
        SessionViewMode = 0;
        SetDefaultViewGeometry();
        std::filesystem::remove("data/misc/views.bin");
    }

    void Apply(int width, int height)
    {
        ScreenWidth = width;
        ScreenHeight = height;
        ApplyViewGeometry();
    }

    struct Saved {
        int screenWidth, screenHeight, desktopWidth, desktopHeight;
        float cx, cy, xmul, ymul;
    } saved{};
    uint8_t savedSwap = 0;
    CarViewSettings savedViews{};
};

TEST_F(ViewGeometryTest, DefaultsPutTheWideSideScreenByTheSwapOption)
{
    EXPECT_EQ(ViewGeometrySingle.leftScreens + ViewGeometrySingle.rightScreens, 0);
    EXPECT_EQ(ViewGeometryWide.leftScreens, 1);
    EXPECT_EQ(ViewGeometryWide.rightScreens, 0);
    EXPECT_EQ(ViewGeometryTriple.leftScreens, 1);
    EXPECT_EQ(ViewGeometryTriple.rightScreens, 1);
    EXPECT_FLOAT_EQ(ViewGeometryTriple.fieldOfView, 60.0f);
    EXPECT_FLOAT_EQ(ViewGeometryWide.fieldOfView, 90.0f);
    EXPECT_FLOAT_EQ(ViewGeometryWide.screenAngle, 30.0f);
    EXPECT_EQ(ViewGeometryWide.equalWidths, 1);
    EXPECT_EQ(ViewGeometryWide.sideWidth, 1024);
    SwapSide = 1;
    SetDefaultViewGeometry();
    EXPECT_EQ(ViewGeometryWide.leftScreens, 0);
    EXPECT_EQ(ViewGeometryWide.rightScreens, 1);
}

TEST_F(ViewGeometryTest, LayoutByDisplayShape)
{
    struct Case {
        const char *name;
        int width, height;
        int index, layout, external, tooNarrow;
        int centreLeft, centreRight;
        float widthFraction;
        int segments;
        float totalFov;   // radians
    };
    const Case cases[] = {
        {"4:3 single", 1024, 768, 0, 0, 0, 0, 0, 1024, 1.0f, 1, 90 * Degree},
        // 16:9 in the middle: L = (1 - 16 / 18) / 2.
        {"2:1 single", 2048, 1024, 0, 0, 2, 0, 114, 1934, 16.0f / 18.0f, 1, 90 * Degree},
        // Wide record, one side screen on the left: half and half.
        {"wide with a side screen", 2560, 1024, 1, 2, 1, 0, 1280, 2560, 0.5f, 2, 135 * Degree},
        {"triple", 3072, 768, 2, 2, 1, 0, 1024, 2048, 1.0f / 3.0f, 3, 150 * Degree},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Apply(c.width, c.height);
        EXPECT_EQ(ViewGeometryIndex, c.index);
        EXPECT_EQ(ViewLayoutKind, c.layout);
        EXPECT_EQ(ExternalViewArea, c.external);
        EXPECT_EQ(ViewTooNarrow, c.tooNarrow);
        EXPECT_EQ(ViewCentreLeft, c.centreLeft);
        EXPECT_EQ(ViewCentreRight, c.centreRight);
        EXPECT_NEAR(ViewWidthFraction, c.widthFraction, 1e-6f);
        EXPECT_FLOAT_EQ(ViewHeightFraction, 1.0f);
        EXPECT_EQ(ViewSegmentCount, c.segments);
        EXPECT_NEAR(ViewTotalFov, c.totalFov, 1e-5f);
    }
    // The interface settings place the window inside the area.
    ScreenCx = 0.5f;
    ScreenXMul = 0.5f;
    ScreenYMul = 0.8f;
    ScreenCy = -0.1f;
    Apply(2560, 1024);
    EXPECT_FLOAT_EQ(ViewCentreXFraction, 0.5f * 0.5f + 0.5f);
    EXPECT_FLOAT_EQ(ViewWidthFraction, 0.25f);
    EXPECT_FLOAT_EQ(ViewHeightFraction, 0.8f);
    EXPECT_FLOAT_EQ(ViewCentreYFraction, -0.1f);
    // Full-width external views keep the whole display for the centre edges.
    ViewGeometryWide.fullWidthExternal = 1;
    Apply(2560, 1024);
    EXPECT_EQ(ViewCentreLeft, 0);
    EXPECT_EQ(ViewCentreRight, 2560);
}

TEST_F(ViewGeometryTest, ThreeScreensSegmentByHand)
{
    Apply(3072, 768);
    ASSERT_EQ(ViewSegmentCount, 3);
    // Each side screen turned 30 degrees continues the main image: scale 1,
    // the centre shifted to its inner edge.
    struct Expected {
        int left, right;
        float yaw, scale, offset, leftEdge, rightEdge;
    };
    const Expected expected[] = {
        {0, 1024, 30 * Degree, 1.0f, 1.0f, 75 * Degree, 30 * Degree},
        {1024, 2048, 0.0f, 2.0f * std::tan(30 * Degree), 0.0f, 30 * Degree, -30 * Degree},
        {2048, 3072, -30 * Degree, 1.0f, -1.0f, -30 * Degree, -75 * Degree},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const ViewSegment &s = ViewSegments[i];
        EXPECT_EQ(s.left, expected[i].left);
        EXPECT_EQ(s.right, expected[i].right);
        EXPECT_NEAR(s.yaw, expected[i].yaw, 1e-5f);
        EXPECT_NEAR(s.scale, expected[i].scale, 1e-5f);
        EXPECT_NEAR(s.offset, expected[i].offset, 1e-5f);
        EXPECT_NEAR(s.leftEdge, expected[i].leftEdge, 1e-5f);
        EXPECT_NEAR(s.rightEdge, expected[i].rightEdge, 1e-5f);
    }

    // An offset centre: the side screens still meet their neighbour's edges.
    ViewGeometryTriple.viewOffset = 0.3f;
    Apply(3072, 768);
    EXPECT_NEAR(ViewSegments[1].leftEdge, std::atan(1.3f * std::tan(30 * Degree)), 1e-5f);
    EXPECT_NEAR(ViewSegments[0].rightEdge, ViewSegments[1].leftEdge, 1e-5f);
    EXPECT_NEAR(ViewSegments[2].leftEdge, ViewSegments[1].rightEdge, 1e-5f);
    EXPECT_NEAR(ViewSegments[0].scale, 0.9302326f, 1e-5f);
    EXPECT_NEAR(ViewSegments[2].offset, -0.7401924f, 1e-5f);
    EXPECT_NEAR(ViewTotalFov, 2.6123136f, 1e-5f);

    // Bezel compensation 10 %: scales x 0.9, offsets / 0.9.
    ViewGeometryTriple.viewOffset = 0.0f;
    ViewGeometryTriple.bezelCompensation = 10.0f;
    Apply(3072, 768);
    EXPECT_NEAR(ViewSegments[1].scale, 0.9f * 2.0f * std::tan(30 * Degree), 1e-5f);
    EXPECT_NEAR(ViewSegments[0].scale, 0.9f, 1e-5f);
    EXPECT_NEAR(ViewSegments[0].offset, 1.0f / 0.9f, 1e-5f);
    EXPECT_NEAR(ViewSegments[2].offset, -1.0f / 0.9f, 1e-5f);
    EXPECT_NEAR(ViewTotalFov, 150 * Degree, 1e-5f);   // the edges are not moved
}

TEST_F(ViewGeometryTest, UnequalTooNarrowAndFailingLayouts)
{
    // Unequal widths: the main screen twice as wide as the sides.
    ViewGeometryTriple.equalWidths = 0;
    ViewGeometryTriple.mainWidth = 2048;
    ViewGeometryTriple.sideWidth = 1024;
    Apply(4096, 1024);
    EXPECT_EQ(ViewCentreLeft, 1024);
    EXPECT_EQ(ViewCentreRight, 3072);
    EXPECT_EQ(ViewSegments[0].right, 1024);
    EXPECT_EQ(ViewSegments[1].right, 3072);
    EXPECT_EQ(ViewSegments[2].left, 3072);
    // Half as wide as the main screen: the side's half scale halves too.
    EXPECT_LT(ViewSegments[0].scale, 1.0f);
    EXPECT_GT(ViewTotalFov, 0.0f);

    // Three screens on a display narrower than three squares: one render.
    ViewGeometrySingle.leftScreens = 1;
    ViewGeometrySingle.rightScreens = 1;
    Apply(2400, 1000);
    EXPECT_EQ(ViewGeometryIndex, 0);
    EXPECT_EQ(ViewTooNarrow, 1);
    EXPECT_EQ(ViewScreenCount, 3);
    EXPECT_EQ(ViewLayoutKind, 0);
    EXPECT_EQ(ExternalViewArea, 2);
    EXPECT_EQ(ViewSegmentCount, 1);
    EXPECT_EQ(ViewSegments[0].left, 0);
    EXPECT_EQ(ViewSegments[0].right, 2400);

    // A screen angle above the field of view is stored back lowered.
    ViewGeometryTriple = ViewGeometry{};
    SetDefaultViewGeometry();
    ViewGeometryTriple.screenAngle = 80.0f;
    Apply(3072, 768);
    EXPECT_FLOAT_EQ(ViewGeometryTriple.screenAngle, 60.0f);

    // Narrow side screens turned far: the second would look backwards.
    ViewGeometryTriple.leftScreens = 2;
    ViewGeometryTriple.rightScreens = 2;
    ViewGeometryTriple.equalWidths = 0;
    ViewGeometryTriple.mainWidth = 4096;
    ViewGeometryTriple.sideWidth = 1024;
    ViewGeometryTriple.fieldOfView = 72.0f;
    ViewGeometryTriple.screenAngle = 72.0f;
    Apply(8192, 1024);
    EXPECT_EQ(ViewLayoutKind, 2);
    EXPECT_EQ(ViewTotalFov, 0.0f);

    // No screen at all.
    Apply(0, 0);
    EXPECT_EQ(ViewTotalFov, 0.0f);
    EXPECT_EQ(ViewSegmentCount, 0);
}

TEST_F(ViewGeometryTest, FieldOfViewRange)
{
    struct Case {
        int left, right;
        float low, high;
    };
    const Case cases[] = {{0, 0, 30.0f, 160.0f}, {1, 1, 10.0f, 90.0f}, {2, 2, 6.0f, 72.0f}, {1, 0, 15.0f, 90.0f}};
    for (const Case &c : cases) {
        ViewGeometrySingle.leftScreens = c.left;
        ViewGeometrySingle.rightScreens = c.right;
        ViewGeometrySingle.fieldOfView = 500.0f;
        ViewGeometrySingle.screenAngle = 25.0f;
        Apply(1024, 768);
        float low = 0.0f;
        float high = 0.0f;
        float angle = -1.0f;
        float *fov = GetViewFovRange(&low, &high, &angle);
        EXPECT_EQ(fov, &ViewGeometrySingle.fieldOfView);
        EXPECT_FLOAT_EQ(low, c.low) << c.left << c.right;
        EXPECT_FLOAT_EQ(high, c.high) << c.left << c.right;
        EXPECT_FLOAT_EQ(*fov, c.high);   // clamped in place
        EXPECT_FLOAT_EQ(angle, c.left + c.right > 0 ? 25.0f : 0.0f);
        ViewGeometrySingle.fieldOfView = 1.0f;
        GetViewFovRange(&low, &high, &angle);
        EXPECT_FLOAT_EQ(ViewGeometrySingle.fieldOfView, c.low);
    }

    // The custom view uses its own field for the display shape.
    std::strcpy(CarViews.carCode, "XRT");
    SetDefaultCustomViews();
    CarViews.fovWide = 77.0f;
    SessionViewMode = CustomViewMode;
    Apply(2560, 1024);
    float low = 0.0f;
    float high = 0.0f;
    float angle = 0.0f;
    EXPECT_EQ(GetViewFovRange(&low, &high, &angle), &CarViews.fovWide);
    EXPECT_FLOAT_EQ(CarViews.fovWide, 77.0f);
    // Without a loaded set the record's field is used.
    CarViews.carCode[0] = 0;
    EXPECT_EQ(GetViewFovRange(&low, &high, &angle), &ViewGeometryWide.fieldOfView);
}

// The bytes of a record as the file holds them.
void PutRecord(std::vector<uint8_t> &bytes, const ViewGeometry &record)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&record);
    bytes.insert(bytes.end(), p, p + sizeof record);
}

std::vector<uint8_t> Header(int version)
{
    std::vector<uint8_t> bytes = {'K', 'Z', 'V', 'V', 'S', 'F', 0, static_cast<uint8_t>(version), 0, 0, 0, 0};
    return bytes;
}

TEST_F(ViewGeometryTest, ViewsFileRoundTrip)
{
    ViewGeometrySingle.fieldOfView = 75.5f;
    ViewGeometryWide.equalWidths = 0;
    ViewGeometryWide.mainWidth = 2560;
    ViewGeometryWide.viewOffset = -0.25f;
    ViewGeometryTriple.leftScreens = 3;
    ViewGeometryTriple.bezelCompensation = 4.5f;
    const ViewGeometry single = ViewGeometrySingle;
    const ViewGeometry wide = ViewGeometryWide;
    const ViewGeometry triple = ViewGeometryTriple;
    ASSERT_EQ(WriteViewGeometry(), 0);
    const std::vector<uint8_t> written = ReadFileBytes("data/misc/views.bin");
    ASSERT_EQ(written.size(), 156u);
    EXPECT_EQ(std::memcmp(written.data(), "KZVVSF\0\2", 8), 0);

    SetDefaultViewGeometry();
    ReadViewGeometry();
    EXPECT_EQ(std::memcmp(&ViewGeometrySingle, &single, sizeof single), 0);
    EXPECT_EQ(std::memcmp(&ViewGeometryWide, &wide, sizeof wide), 0);
    EXPECT_EQ(std::memcmp(&ViewGeometryTriple, &triple, sizeof triple), 0);
    ASSERT_EQ(WriteViewGeometry(), 0);
    EXPECT_EQ(ReadFileBytes("data/misc/views.bin"), written);

    // A missing file keeps the defaults.
    std::filesystem::remove("data/misc/views.bin");
    ReadViewGeometry();
    EXPECT_FLOAT_EQ(ViewGeometrySingle.fieldOfView, 90.0f);
    EXPECT_EQ(ViewGeometryTriple.leftScreens, 1);
}

TEST_F(ViewGeometryTest, VersionOneGoesByTheDesktopShape)
{
    ViewGeometry second{};
    second.equalWidths = 1;
    second.leftScreens = 2;
    second.rightScreens = 2;
    second.fieldOfView = 45.0f;
    second.mainWidth = 1024;
    second.sideWidth = 1024;
    second.screenAngle = 20.0f;
    std::vector<uint8_t> bytes = Header(1);
    ViewGeometry single = ViewGeometrySingle;
    single.fieldOfView = 100.0f;
    PutRecord(bytes, single);
    PutRecord(bytes, second);
    WriteFileBytes("data/misc/views.bin", bytes);

    struct Case {
        int desktopWidth, desktopHeight;
        bool wide;
    };
    for (const Case &c : {Case{1920, 1080, true}, Case{5760, 1080, false}, Case{4049, 1080, true}}) {
        DesktopWidth = c.desktopWidth;
        DesktopHeight = c.desktopHeight;
        ReadViewGeometry();
        EXPECT_FLOAT_EQ(ViewGeometrySingle.fieldOfView, 100.0f);
        const ViewGeometry &got = c.wide ? ViewGeometryWide : ViewGeometryTriple;
        const ViewGeometry &kept = c.wide ? ViewGeometryTriple : ViewGeometryWide;
        EXPECT_EQ(got.leftScreens, 2) << c.desktopWidth;
        EXPECT_FLOAT_EQ(got.fieldOfView, 45.0f) << c.desktopWidth;
        EXPECT_EQ(kept.leftScreens, 1) << c.desktopWidth;
    }
}

TEST_F(ViewGeometryTest, ReadingClampsAndRefusesBadFloats)
{
    ViewGeometry wild{};
    wild.leftScreens = 7;
    wild.rightScreens = -1;
    wild.mainWidth = 500;
    wild.sideWidth = 9000;
    wild.viewOffset = 2.0f;
    wild.bezelCompensation = 25.0f;
    wild.fieldOfView = std::numeric_limits<float>::quiet_NaN();
    wild.screenAngle = std::numeric_limits<float>::infinity();
    std::vector<uint8_t> bytes = Header(2);
    PutRecord(bytes, wild);
    wild.viewOffset = -std::numeric_limits<float>::infinity();
    wild.bezelCompensation = std::numeric_limits<float>::quiet_NaN();
    wild.fieldOfView = 1e30f;
    PutRecord(bytes, wild);
    PutRecord(bytes, ViewGeometryTriple);
    WriteFileBytes("data/misc/views.bin", bytes);
    ReadViewGeometry();

    EXPECT_EQ(ViewGeometrySingle.leftScreens, 5);
    EXPECT_EQ(ViewGeometrySingle.rightScreens, 0);
    EXPECT_EQ(ViewGeometrySingle.mainWidth, 1024);
    EXPECT_EQ(ViewGeometrySingle.sideWidth, 4096);
    EXPECT_FLOAT_EQ(ViewGeometrySingle.viewOffset, 0.75f);
    EXPECT_FLOAT_EQ(ViewGeometrySingle.bezelCompensation, 20.0f);
    // Non-finite floats keep the defaults; finite ones are taken as stored.
    EXPECT_FLOAT_EQ(ViewGeometrySingle.fieldOfView, 90.0f);
    EXPECT_FLOAT_EQ(ViewGeometrySingle.screenAngle, 30.0f);
    EXPECT_FLOAT_EQ(ViewGeometryWide.viewOffset, 0.0f);
    EXPECT_FLOAT_EQ(ViewGeometryWide.bezelCompensation, 0.0f);
    EXPECT_FLOAT_EQ(ViewGeometryWide.fieldOfView, 1e30f);
    // The layout then clamps the field of view in use and stays finite.
    Apply(1024, 768);
    EXPECT_TRUE(std::isfinite(ViewTotalFov));

    // A cut file changes nothing.
    SetDefaultViewGeometry();
    bytes.resize(100);
    WriteFileBytes("data/misc/views.bin", bytes);
    ReadViewGeometry();
    EXPECT_EQ(ViewGeometrySingle.leftScreens, 0);
    EXPECT_EQ(ViewGeometrySingle.mainWidth, 1024);
}

}  // namespace
