#include "render/software_raster.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A 16-bit picture as the raster's target; pixels set read as '#'.
class SoftwareRasterTest : public ::testing::Test {
protected:
    void Use(int width, int height)
    {
        image.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        saved = RasterTarget;
        RasterTarget.pixels = image.data();
        RasterTarget.stride = width * 2;
        RasterTarget.width = width;
        RasterTarget.height = height;
        RasterTarget.pixelBits = 16;
        RasterTarget.firstClipRow = 0;
        RasterTarget.lastClipRow = height - 1;
        used = true;
    }

    void TearDown() override
    {
        if (used) {
            RasterTarget = saved;
        }
    }

    std::string Row(int y) const
    {
        std::string text;
        const int width = RasterTarget.width;
        for (int x = 0; x < width; ++x) {
            text += image[static_cast<size_t>(y) * width + x] != 0 ? '#' : '.';
        }
        return text;
    }

    int Count() const
    {
        int n = 0;
        for (uint16_t p : image) {
            n += p != 0 ? 1 : 0;
        }
        return n;
    }

    void Triangle(int x0, int y0, int x1, int y1, int x2, int y2)
    {
        RasterCorners[0] = {x0, y0};
        RasterCorners[1] = {x1, y1};
        RasterCorners[2] = {x2, y2};
        FillRasterTriangle(0xF800);
    }

    std::vector<uint16_t> image;
    RasterTargetRecord saved{};
    bool used = false;
};

TEST_F(SoftwareRasterTest, SpansAndRectanglesCoverTheirHalfOpenRanges)
{
    Use(12, 4);
    SetRasterColour(0x1234);
    SetRasterRow(1);
    FillRasterSpan(3, 8);
    EXPECT_EQ(Row(1), "...#####....");
    EXPECT_EQ(image[12 + 3], 0x1234);
    EXPECT_EQ(Count(), 5);
    // Odd ends on both sides, and a span reaching outside the image.
    SetRasterRow(2);
    FillRasterSpan(-5, 3);
    FillRasterSpan(9, 40);
    EXPECT_EQ(Row(2), "###......###");
    FillRasterRect(1, 3, 4, 9, 0x1);
    EXPECT_EQ(Row(3), ".###........");
    FillRasterImage(0x7);
    EXPECT_EQ(Count(), 48);
}

TEST_F(SoftwareRasterTest, TrianglesFillFromTheTopRowByTheirWinding)
{
    Use(8, 8);
    // Two corners on the top row; corners in quarter pixels.
    Triangle(0, 0, 16, 16, 16, 0);
    EXPECT_EQ(Row(0), "####....");
    EXPECT_EQ(Row(1), ".###....");
    EXPECT_EQ(Row(2), "..##....");
    EXPECT_EQ(Row(3), "...#....");
    EXPECT_EQ(Row(4), "........");
    // The same corners the other way round fill nothing.
    image.assign(image.size(), 0);
    Triangle(16, 0, 16, 16, 0, 0);
    EXPECT_EQ(Count(), 0);
}

TEST_F(SoftwareRasterTest, QuarterPixelCornersPickTheirRowsAndColumns)
{
    Use(8, 8);
    // A right triangle starting a quarter into row 1 and a half into column 2:
    // the right edge's error terms put its first step on row 1, so row 1
    // has an empty span, and the last row is the one above the bottom corners.
    Triangle(10, 5, 10, 25, 26, 25);
    EXPECT_EQ(Row(0), "........");
    EXPECT_EQ(Row(1), "........");
    EXPECT_EQ(Row(2), "..#.....");
    EXPECT_EQ(Row(3), "..##....");
    EXPECT_EQ(Row(4), "..###...");
    EXPECT_EQ(Row(5), "..####..");
    EXPECT_EQ(Row(6), "........");
}

TEST_F(SoftwareRasterTest, RowsAreClippedAndCornersOutsideTheImageStayInside)
{
    Use(8, 8);
    RasterTarget.firstClipRow = 2;
    RasterTarget.lastClipRow = 4;
    Triangle(0, 0, 0, 32, 32, 32);  // rows 0..7, widening to the right
    for (int y : {0, 1, 5, 6, 7}) {
        EXPECT_EQ(Row(y), "........") << y;
    }
    EXPECT_EQ(Row(2).substr(0, 2), "##");
    EXPECT_EQ(Row(4).substr(0, 4), "####");
    // A triangle far outside every side of the image writes only inside it.
    RasterTarget.firstClipRow = 0;
    RasterTarget.lastClipRow = 7;
    image.assign(image.size(), 0);
    Triangle(-400, -400, -400, 400, 400, 400);
    EXPECT_GT(Count(), 0);
    EXPECT_EQ(image.size(), 64u);
}

TEST_F(SoftwareRasterTest, EllipsesAreFansOfTriangles)
{
    Use(32, 32);
    FillRasterEllipse(64, 64, 40, 40, 0xFFFF, 1);
    EXPECT_EQ(Count(), 0);
    FillRasterEllipse(64, 64, 40, 40, 0xFFFF, 0);
    EXPECT_EQ(Count(), 0);
    FillRasterEllipse(64, 64, 40, 40, 0xFFFF, 16);
    // A filled 16-sided polygon of radius 10 pixels around (16, 16).
    EXPECT_EQ(Row(16).find('#'), 6u);
    EXPECT_EQ(Row(16).rfind('#'), 25u);
    EXPECT_EQ(Row(5), std::string(32, '.'));
    const int area = Count();
    EXPECT_GT(area, 280);  // the polygon's area is about 306 pixels
    EXPECT_LT(area, 330);
    // The same call draws the same pixels.
    const std::vector<uint16_t> first = image;
    image.assign(image.size(), 0);
    FillRasterEllipse(64, 64, 40, 40, 0xFFFF, 16);
    EXPECT_EQ(image, first);
}

}  // namespace
