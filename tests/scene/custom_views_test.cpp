#include "scene/custom_views.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "core/shell_globals.h"
#include "test_files.h"

namespace {

// Bytes of a .cvw file, little-endian after the header.
struct CvwBytes {
    std::vector<uint8_t> bytes;

    explicit CvwBytes(int version) : bytes{'K', 'Z', 'V', 'C', 'V', 'W', 0, static_cast<uint8_t>(version)} {}
    CvwBytes &U8(int value)
    {
        bytes.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    CvwBytes &F32(float value)
    {
        uint8_t raw[4];
        std::memcpy(raw, &value, 4);
        bytes.insert(bytes.end(), raw, raw + 4);
        return *this;
    }
    // "Draw :", three ignored bytes and the four option bytes.
    CvwBytes &Options(int draw)
    {
        return U8(draw).U8(0).U8(1).U8(0).U8(3).U8(1).U8(0).U8(0);
    }
};

class CustomViewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = CarViews;
        desktopWidth = DesktopWidth;
        desktopHeight = DesktopHeight;
        std::memset(&CarViews, 0, sizeof CarViews);
        SetDefaultCustomViews();
        std::filesystem::remove_all("data/views");
        std::filesystem::create_directories("data/views");
    }
    void TearDown() override
    {
        CarViews = saved;
        DesktopWidth = desktopWidth;
        DesktopHeight = desktopHeight;
        std::filesystem::remove_all("data/views");
    }

    // Loads the file of car "TST" made of the bytes.
    void LoadFixture(const CvwBytes &file)
    {
        WriteFileBytes("data/views/TST.cvw", file.bytes);
        std::memset(&CarViews, 0, sizeof CarViews);
        SelectCustomViewSet("TST");
    }

    CarViewSettings saved{};
    int desktopWidth = 0;
    int desktopHeight = 0;
};

TEST_F(CustomViewsTest, DefaultsAndRoundTrip)
{
    EXPECT_FALSE(HasCustomViewSet());
    EXPECT_EQ(CarViews.draw, 1u);
    EXPECT_EQ(CarViews.clocksMode, 2u);
    EXPECT_EQ(CarViews.mirrorMode, 2u);
    EXPECT_EQ(CarViews.accelerationShift, 1u);
    EXPECT_FLOAT_EQ(CarViews.fovTriple, 60.0f);

    SelectCustomViewSet("XRT");
    ASSERT_TRUE(HasCustomViewSet());
    CarViews.draw = 2;
    CarViews.lookFunction = 3;
    CarViews.fovWide = 80.0f;
    CarViews.customX = -1.5f;
    CarViews.customMirrorVertical = -0.01f;
    CarViews.inCarY = 0.15f;
    CarViews.inCarMirrorVertical = 0.05f;
    CarViews.inCarRotate = 0.2f;
    CarViews.changed = 1;
    const CarViewSettings edited = CarViews;
    ASSERT_EQ(SaveCustomViews(), 0);
    EXPECT_EQ(CarViews.changed, 0u);
    const std::vector<uint8_t> written = ReadFileBytes("data/views/XRT.cvw");
    ASSERT_EQ(written.size(), 88u);
    EXPECT_EQ(std::memcmp(written.data(), "KZVCVW\0\7", 8), 0);
    EXPECT_EQ(written[9], 0);
    EXPECT_EQ(written[10], 1);
    EXPECT_EQ(written[16], 3);

    SetDefaultCustomViews();
    LoadCustomViews();
    CarViewSettings expected = edited;
    expected.changed = 0;
    EXPECT_EQ(std::memcmp(&CarViews, &expected, sizeof expected), 0);

    // Version 2 is too old: every default stays.
    LoadFixture(CvwBytes(2).Options(0).F32(1.0f).F32(1.0f));
    EXPECT_EQ(CarViews.draw, 1u);
    EXPECT_EQ(CarViews.clocksMode, 2u);
    EXPECT_FLOAT_EQ(CarViews.customX, 0.0f);
    EXPECT_STREQ(CarViews.carCode, "TST");
}

TEST_F(CustomViewsTest, OlderVersionsLandEachFieldByTheLadder)
{
    // Versions 3 and 4: no look function, no fields of view, no in-car eye.
    CvwBytes v3(3);
    v3.Options(5).F32(9.0f).F32(-0.5f).F32(0.1f).F32(0.2f).F32(0.3f);   // custom eye, X clamped
    v3.F32(0.4f).F32(0.5f).F32(0.9f).F32(-0.7f);   // in-car pitch, rotate; custom mirrors unclamped
    LoadFixture(v3);
    EXPECT_EQ(CarViews.draw, 2u);   // 5 reads as 2
    EXPECT_EQ(CarViews.clocksMode, 3u);
    EXPECT_EQ(CarViews.drawDriver, 1u);
    EXPECT_FLOAT_EQ(CarViews.customX, 2.0f);
    EXPECT_FLOAT_EQ(CarViews.customY, -0.5f);
    EXPECT_FLOAT_EQ(CarViews.customRotate, 0.3f);
    EXPECT_FLOAT_EQ(CarViews.inCarPitch, 0.4f);
    EXPECT_FLOAT_EQ(CarViews.inCarRotate, 0.5f);
    EXPECT_FLOAT_EQ(CarViews.customMirrorLateral, 0.9f);
    EXPECT_FLOAT_EQ(CarViews.customMirrorVertical, -0.7f);
    EXPECT_FLOAT_EQ(CarViews.inCarMirrorLateral, 0.0f);
    EXPECT_FLOAT_EQ(CarViews.fovSingle, 90.0f);
    EXPECT_EQ(CarViews.lookFunction, 0u);

    CvwBytes v4 = v3;
    v4.bytes[7] = 4;
    v4.F32(0.8f).F32(-0.3f);   // in-car mirrors, unclamped
    LoadFixture(v4);
    EXPECT_FLOAT_EQ(CarViews.inCarMirrorLateral, 0.8f);
    EXPECT_FLOAT_EQ(CarViews.inCarMirrorVertical, -0.3f);
    EXPECT_FLOAT_EQ(CarViews.inCarX, 0.0f);

    // Version 5: look function, one field of view more, then as version 4.
    CvwBytes v5(5);
    v5.Options(1).U8(2).U8(0).U8(0).U8(0).F32(70.0f).F32(55.0f);
    v5.F32(-9.0f).F32(4.0f).F32(-1.0f).F32(0.2f).F32(0.3f);   // custom eye: -2, 3, -0.6
    v5.F32(0.4f).F32(0.5f).F32(0.9f).F32(-0.7f).F32(0.8f).F32(-0.3f);
    struct Shape {
        int width, height;
        bool wide;
    };
    for (const Shape &shape : {Shape{1920, 1080, true}, Shape{5760, 1080, false}}) {
        DesktopWidth = shape.width;
        DesktopHeight = shape.height;
        LoadFixture(v5);
        EXPECT_EQ(CarViews.lookFunction, 2u);
        EXPECT_FLOAT_EQ(CarViews.fovSingle, 70.0f);
        EXPECT_FLOAT_EQ(CarViews.fovWide, shape.wide ? 55.0f : 90.0f);
        EXPECT_FLOAT_EQ(CarViews.fovTriple, shape.wide ? 60.0f : 55.0f);
        EXPECT_FLOAT_EQ(CarViews.customX, -2.0f);
        EXPECT_FLOAT_EQ(CarViews.customY, 3.0f);
        EXPECT_FLOAT_EQ(CarViews.customZ, -0.6f);
        EXPECT_FLOAT_EQ(CarViews.customMirrorLateral, 0.9f);
        EXPECT_FLOAT_EQ(CarViews.inCarMirrorVertical, -0.3f);
    }

    // Version 6: laid out as version 7 with the one extra field of view;
    // its mirrors and in-car eye are clamped.
    CvwBytes v6(6);
    v6.Options(2).U8(1).U8(0).U8(0).U8(0).F32(70.0f).F32(55.0f);
    v6.F32(0.5f).F32(0.5f).F32(0.7f).F32(0.2f).F32(0.3f);
    v6.F32(0.9f).F32(-0.7f).F32(1.0f).F32(-1.0f).F32(1.0f).F32(0.4f).F32(0.5f).F32(0.9f).F32(0.9f);
    DesktopWidth = 5760;
    DesktopHeight = 1080;
    LoadFixture(v6);
    EXPECT_FLOAT_EQ(CarViews.fovTriple, 55.0f);
    EXPECT_FLOAT_EQ(CarViews.fovWide, 90.0f);
    EXPECT_FLOAT_EQ(CarViews.customZ, 0.6f);
    EXPECT_FLOAT_EQ(CarViews.customMirrorLateral, 0.4f);
    EXPECT_FLOAT_EQ(CarViews.customMirrorVertical, -0.02f);
    EXPECT_FLOAT_EQ(CarViews.inCarX, 0.05f);
    EXPECT_FLOAT_EQ(CarViews.inCarY, 0.0f);
    EXPECT_FLOAT_EQ(CarViews.inCarZ, 0.05f);
    EXPECT_FLOAT_EQ(CarViews.inCarPitch, 0.4f);
    EXPECT_FLOAT_EQ(CarViews.inCarRotate, 0.5f);
    EXPECT_FLOAT_EQ(CarViews.inCarMirrorLateral, 0.4f);
    EXPECT_FLOAT_EQ(CarViews.inCarMirrorVertical, 0.1f);
}

TEST_F(CustomViewsTest, DamagedFloatsAndCutFilesKeepTheDefaults)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    CvwBytes v7(7);
    v7.Options(3).U8(1).U8(0).U8(0).U8(0).F32(nan).F32(inf).F32(-inf);
    v7.F32(nan).F32(inf).F32(0.1f).F32(nan).F32(0.2f);
    for (int i = 0; i < 9; ++i) {
        v7.F32(nan);
    }
    LoadFixture(v7);
    EXPECT_EQ(CarViews.draw, 2u);
    EXPECT_FLOAT_EQ(CarViews.fovSingle, 90.0f);
    EXPECT_FLOAT_EQ(CarViews.fovWide, 90.0f);
    EXPECT_FLOAT_EQ(CarViews.fovTriple, 60.0f);
    EXPECT_FLOAT_EQ(CarViews.customX, 0.0f);
    EXPECT_FLOAT_EQ(CarViews.customY, 0.0f);
    EXPECT_FLOAT_EQ(CarViews.customZ, 0.1f);
    EXPECT_FLOAT_EQ(CarViews.customPitch, 0.0f);
    EXPECT_FLOAT_EQ(CarViews.customRotate, 0.2f);
    EXPECT_FLOAT_EQ(CarViews.inCarMirrorVertical, 0.0f);

    // A file cut short is not taken at all.
    CvwBytes cut(7);
    cut.Options(0).U8(1).U8(0).U8(0).U8(0).F32(70.0f);
    LoadFixture(cut);
    EXPECT_EQ(CarViews.draw, 1u);
    EXPECT_FLOAT_EQ(CarViews.fovSingle, 90.0f);
}

TEST_F(CustomViewsTest, SelectingSavesAndLoadsOnlyWhenTheCodeChanges)
{
    SelectCustomViewSet("FBM");
    CarViews.customZ = 0.25f;
    CarViews.changed = 1;
    // The same code again: neither saved nor loaded.
    SelectCustomViewSet("FBM");
    EXPECT_FALSE(std::filesystem::exists("data/views/FBM.cvw"));
    EXPECT_FLOAT_EQ(CarViews.customZ, 0.25f);
    EXPECT_EQ(CarViews.changed, 1u);

    // Two characters: the old set is saved, nothing is loaded.
    SelectCustomViewSet("XR");
    EXPECT_TRUE(std::filesystem::exists("data/views/FBM.cvw"));
    EXPECT_STREQ(CarViews.carCode, "FBM");
    EXPECT_FLOAT_EQ(CarViews.customZ, 0.25f);

    // A longer code takes its first three characters and loads that file.
    SelectCustomViewSet("XRTX");
    EXPECT_STREQ(CarViews.carCode, "XRT");
    EXPECT_FLOAT_EQ(CarViews.customZ, 0.0f);
    SelectCustomViewSet("FBM");
    EXPECT_FLOAT_EQ(CarViews.customZ, 0.25f);

    // An edit with no car code writes no file.
    std::filesystem::remove_all("data/views");
    std::filesystem::create_directories("data/views");
    std::memset(&CarViews, 0, sizeof CarViews);
    SetDefaultCustomViews();
    CarViews.changed = 1;
    EXPECT_EQ(SaveCustomViews(), 0);
    EXPECT_EQ(CarViews.changed, 0u);
    EXPECT_TRUE(std::filesystem::is_empty("data/views"));
}

}  // namespace
