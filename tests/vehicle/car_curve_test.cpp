#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "byte_image.h"
#include "core/data_stream.h"
#include "vehicle/car_curve.h"

namespace {

struct Seg {
    int a, b, group, surface;
};

// A curve in its car data form: the points (x, y), a material grid of the
// given width and height, and the segments.
ByteImage CurveImage(const std::vector<FloatPair> &points, int width, int height, const std::vector<Seg> &segments)
{
    ByteImage f = ByteImage::WithHeader("KZVCAR", 252);
    f.U32(static_cast<uint32_t>(points.size()));
    for (const FloatPair &p : points)
        f.F32(p.a).F32(p.b);
    f.U16(width).U16(height);
    for (int cell = 0; cell < width * height; ++cell)
        for (int i = 0; i < 16; ++i)
            f.U8(cell * 16 + i);
    f.U8(static_cast<int>(segments.size())).U8(7).U8(8).U8(9);
    for (const Seg &s : segments)
        f.U16(s.a).U16(s.b).U16(s.group).U16(s.surface);
    return f;
}

int ReadCurve(CarCurve *curve, const ByteImage &image, int version)
{
    DataStream stream;
    int headerVersion = 0;
    stream.OpenMemory(image.bytes.data(), image.bytes.size(), &headerVersion);
    return curve->Read(&stream, version);
}

const std::vector<FloatPair> SixPoints = {{0.1f, 0.0f}, {0.2f, 0.5f}, {0.3f, 0.6f}, {0.4f, 0.7f}, {0.5f, 0.8f},
                                          {0.6f, 0.9f}};
const std::vector<Seg> OldSegments = {{0, 5, 1, 0}, {3, 1, 2, 0}, {-1, 2, -2, 0}};

TEST(CarCurveTest, OldDataIsReorderedOnlyWhenItsMarkIsThere) {
    const float negativeZero = -0.0f;
    struct Case {
        const char *what;
        int version;
        std::vector<FloatPair> points;
        std::vector<Seg> segments;
        bool reordered;
    };
    std::vector<FloatPair> markedByNegativeZero = SixPoints;
    markedByNegativeZero[0].b = negativeZero;
    std::vector<FloatPair> unmarked = SixPoints;
    unmarked[0].b = 0.25f;
    const Case cases[] = {
        {"version 252", 252, SixPoints, {{0, 5, 1, 0}, {3, 1, 2, 0}}, false},
        {"3 points", 251, {{0.1f, 0.0f}, {0.2f, 0.5f}, {0.3f, 0.6f}}, {{0, 2, 0, 0}}, false},
        {"second coordinate -0.0", 251, markedByNegativeZero, {{0, 5, 1, 0}, {3, 1, 2, 0}}, false},
        {"second coordinate not 0", 251, unmarked, {{0, 5, 1, 0}, {3, 1, 2, 0}}, false},
        {"old data", 251, SixPoints, OldSegments, true},
    };
    for (const Case &c : cases) {
        CarCurve curve;
        ASSERT_EQ(ReadCurve(&curve, CurveImage(c.points, 1, 2, c.segments), c.version), 1) << c.what;
        ASSERT_EQ(curve.count, c.points.size()) << c.what;
        ASSERT_EQ(curve.segmentCount, c.segments.size()) << c.what;
        EXPECT_EQ(curve.extraCounts[0], 7) << c.what;
        EXPECT_EQ(curve.extraCounts[2], 9) << c.what;
        const int order[6] = {2, 3, 0, 1, 4, 5};
        for (size_t i = 0; i < c.points.size(); ++i) {
            const FloatPair &expected = c.points[c.reordered ? order[i] : i];
            EXPECT_EQ(std::memcmp(&curve.pairs[i], &expected, sizeof(FloatPair)), 0) << c.what << " point " << i;
        }
        if (!c.reordered) {
            for (size_t i = 0; i < c.segments.size(); ++i) {
                EXPECT_EQ(curve.segments[i].pointA, c.segments[i].a) << c.what;
                EXPECT_EQ(curve.segments[i].pointB, c.segments[i].b) << c.what;
            }
        }
    }

    // (0, 5) -> (2, 5), (3, 1) -> (1, 3), (-1, 2) -> (1, 0); group and
    // surface stay, sign-extended.
    CarCurve curve;
    ASSERT_EQ(ReadCurve(&curve, CurveImage(SixPoints, 1, 2, OldSegments), 251), 1);
    const Seg expected[3] = {{2, 5, 1, 0}, {1, 3, 2, 0}, {1, 0, -2, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(curve.segments[i].pointA, expected[i].a) << i;
        EXPECT_EQ(curve.segments[i].pointB, expected[i].b) << i;
        EXPECT_EQ(curve.segments[i].group, expected[i].group) << i;
        EXPECT_EQ(curve.segments[i].surface, expected[i].surface) << i;
    }
}

TEST(CarCurveTest, MaterialGridKeepsOneColumn) {
    CarCurve curve;
    ASSERT_EQ(ReadCurve(&curve, CurveImage(SixPoints, 3, 2, {}), 252), 1);
    EXPECT_EQ(curve.materials.width, 1);
    EXPECT_EQ(curve.materials.height, 2);
    EXPECT_EQ(curve.materials.cells[1].bytes[0], 16);
    EXPECT_EQ(curve.segmentCount, 0);
    EXPECT_EQ(curve.segments, nullptr);
}

// Segment ends index the profile points; a curve whose ends are not points,
// or that is cut short, is refused and left empty.
TEST(CarCurveTest, DamagedCurvesAreRefused) {
    ByteImage truncatedSegments = CurveImage(SixPoints, 1, 1, {{0, 1, 0, 0}, {1, 2, 0, 0}});
    truncatedSegments.bytes.resize(truncatedSegments.bytes.size() - 9);
    ByteImage shortLast = CurveImage(SixPoints, 1, 1, {{0, 1, 0, 0}});
    shortLast.bytes.pop_back();
    ByteImage hugePointCount = CurveImage(SixPoints, 1, 1, {});
    hugePointCount.bytes[8] = 0xFF;
    hugePointCount.bytes[11] = 0x7F;
    struct Case {
        const char *what;
        ByteImage image;
        int version;
    };
    const Case cases[] = {
        {"end equal to the point count", CurveImage(SixPoints, 1, 1, {{0, 1, 0, 0}, {5, 6, 0, 0}}), 252},
        {"negative end", CurveImage(SixPoints, 1, 1, {{-1, 1, 0, 0}}), 252},
        {"old data, end beyond the points", CurveImage(SixPoints, 1, 1, {{0, 6, 0, 0}}), 251},
        {"old data not reordered, negative end", CurveImage({{0.f, 1.f}, {1.f, 1.f}}, 1, 1, {{-1, 1, 0, 0}}), 251},
        {"segments cut short", truncatedSegments, 252},
        {"last value cut short", shortLast, 252},
        {"point count beyond the data", hugePointCount, 252},
    };
    for (const Case &c : cases) {
        CarCurve curve;
        EXPECT_EQ(ReadCurve(&curve, c.image, c.version), 0) << c.what;
        EXPECT_EQ(curve.count, 0u) << c.what;
        EXPECT_EQ(curve.segmentCount, 0) << c.what;
        EXPECT_EQ(curve.segments, nullptr) << c.what;
        EXPECT_EQ(curve.materials.cells, nullptr) << c.what;
    }
}

}  // namespace
