#include "vehicle/rim_data.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "byte_image.h"
#include "core/data_stream.h"
#include "vehicle/tyre_type_table.h"

namespace {

// A record in the current form, then a sentinel byte.
ByteImage CurrentRecord() {
    ByteImage image = ByteImage::WithHeader("QZTEST", 252);
    image.F32(0.2f).F32(0.5f).F32(0.19f).F32(0.18f);          // W, A, r, w
    image.U8(1).U8(2).U8(3).U8(4);                              // style bytes
    image.F32(0.3f).F32(0.1f);                                  // travel reference, inclination
    image.U8(7).U8(8).U8(4).U8(0xF6);                           // option bytes
    image.F32(1.5f).F32(-0.05f).F32(0.04f).F32(0.25f);         // track, arm base angle, hub offset, pivot
    image.F32(0.25f + 0.5f / 65536.0f);                        // probe start offset, 16384.5 units
    image.F32(0.35f).F32(0.3f).F32(0.12f);                      // arm and upright lengths
    image.U8(0xAB);
    return image;
}

TEST(RimDataTest, ReadsTheRecordOfEachVersion) {
    for (const int version : {250, 251, 252}) {
        SCOPED_TRACE(version);
        ByteImage image = CurrentRecord();
        if (version < RimOptionBytesVersion) {
            // The option bytes' place holds a float in older records.
            const uint32_t bits = std::bit_cast<uint32_t>(3.75f);
            std::memcpy(&image.bytes[8 + 28], &bits, 4);
        }
        DataStream stream;
        int fileVersion = 0;
        stream.OpenMemory(image.bytes.data(), image.bytes.size(), &fileVersion);
        RimData rim;
        rim.Read(stream, version);
        EXPECT_FALSE(stream.overrun);
        EXPECT_EQ(stream.Remaining(), 1);   // exactly 64 bytes read
        EXPECT_EQ(rim.tyreWidth, 0.2f);
        EXPECT_EQ(rim.aspect, 0.5f);
        EXPECT_EQ(rim.rimRadius, 0.19f);
        EXPECT_EQ(rim.rimWidth, 0.18f);
        EXPECT_EQ(rim.style[0] + rim.style[1] * 10 + rim.style[2] * 100 + rim.style[3] * 1000, 4321);
        EXPECT_EQ(rim.travelReference, 0.3f);
        EXPECT_EQ(rim.inclination, 0.1f);
        if (version < RimOptionBytesVersion) {
            EXPECT_EQ(rim.seatInset, 0);
            EXPECT_EQ(rim.darkening, 0);
            EXPECT_EQ(rim.suspensionType, 0);
            EXPECT_EQ(rim.secondArmAngle, 0);
        } else {
            EXPECT_EQ(rim.seatInset, 7);
            EXPECT_EQ(rim.darkening, 8);
            EXPECT_EQ(rim.suspensionType, 4);
            EXPECT_EQ(rim.secondArmAngle, -10);
        }
        EXPECT_EQ(rim.trackWidth, 1.5f);
        EXPECT_EQ(rim.armBaseAngle, -0.05f);
        EXPECT_EQ(rim.hubOffset, 0.04f);
        EXPECT_EQ(rim.pivotHeight, 0.25f);
        EXPECT_EQ(rim.probeStart, 16384);   // ties to even
        EXPECT_EQ(rim.firstArmLength, 0.35f);
        EXPECT_EQ(rim.secondArmLength, 0.3f);
        EXPECT_EQ(rim.uprightLength, 0.12f);
        EXPECT_EQ(rim.hubNode, nullptr);
        EXPECT_EQ(rim.rimNode, nullptr);
    }
}

TEST(RimDataTest, WriteGivesBackTheBytesRead) {
    const ByteImage image = CurrentRecord();
    DataStream in;
    int version = 0;
    in.OpenMemory(image.bytes.data(), image.bytes.size(), &version);
    RimData rim;
    rim.Read(in, version);

    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "rim.bin", "QZTEST", 252), nullptr);
    rim.Write(out);
    ASSERT_EQ(out.Close(), 0);
    const std::vector<uint8_t> expected(image.bytes.begin(), image.bytes.end() - 1);
    EXPECT_EQ(ReadFileBytes("rim.bin"), expected);
}

TEST(RimDataTest, RepeatCountOutsideTheRangeGivesTwo) {
    const int cases[][2] = {{-1, 2}, {0, 2}, {1, 2}, {2, 2}, {3, 3}, {12, 12}, {22, 22}, {23, 2}, {255, 2}};
    for (const auto &c : cases)
        EXPECT_EQ(RimRepeatCount(c[0]), c[1]) << c[0];
}

struct ProfileCase {
    float W, A, r, d;
    int roundCrown;
    int tyreType;
};

RimData *MakeRim(RimData &rim, const ProfileCase &c) {
    rim.tyreWidth = c.W;
    rim.aspect = c.A;
    rim.rimRadius = c.r;
    rim.tyreType = c.tyreType;
    return &rim;
}

// The formulas, written out on their own, in float.
TEST(RimDataTest, TyreProfileFollowsItsFormulas) {
    const ProfileCase cases[] = {
        {0.2f, 0.5f, 0.19f, 0.0f, 0, 5},
        {0.2f, 0.5f, 0.19f, 0.04f, 1, 0},
        {0.3f, 0.3f, 0.23f, -0.02f, 0, 4},
        {0.26f, 0.6f, 0.17f, 0.1f, 1, 7},
    };
    for (const ProfileCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << " " << c.A << " " << c.r << " crown " << c.roundCrown);
        RimData rim;
        ASSERT_EQ(ComputeTyreProfile(*MakeRim(rim, c), c.d, c.roundCrown), 1);
        const float h = c.W / 2.0f;
        const float e = c.r + 0.015f;
        const float R = c.A * c.W + c.r;
        float cr, s, k;
        if (c.roundCrown) {
            cr = h * 1.4142f;
            s = cr * 0.4539f;
            k = R - cr * 0.29290003f;
        } else {
            const float f = c.W * 0.02f, t = R - f, g = (t - e) * 0.3f;
            k = t - g;
            s = h - g;
            cr = (h * h + (g + f) * (g + f)) / (2.0f * (g + f));
        }
        const float gt = TyreTypeTable[c.tyreType].factor;
        EXPECT_EQ(rim.roundCrown, c.roundCrown);
        EXPECT_EQ(rim.outerRadius, R);
        EXPECT_EQ(rim.crownRadius, cr);
        EXPECT_EQ(rim.treadWidth, 2.0f * s);
        EXPECT_EQ(rim.tyreValues[0], gt * c.W / std::sqrt(k - e));
        EXPECT_EQ(rim.tyreValues[1], std::sqrt(cr) * std::sqrt(R) * 6.2831855f);
        EXPECT_EQ(rim.tyreValues[2], std::sqrt(R * c.W) * 3000.0f);
        EXPECT_EQ(rim.boundingRadius,
                  static_cast<int32_t>(std::lrintf(std::sqrt((h + c.d) * (h + c.d) + R * R) * 65536.0f)));
        EXPECT_EQ(rim.detailDistance, static_cast<int32_t>(std::lrintf(c.W * 32768.0f / 0.57735026f)));
    }
    RimData rim;
    ComputeTyreProfile(*MakeRim(rim, {0.2f, 0.5f, 0.19f, 0.0f, 0, 5}), 0.0f, 0);
    EXPECT_EQ(rim.outerRadius, 0.29f);
}

// Sizes that leave no tyre would put NaN or nonsense into the wheel for good.
TEST(RimDataTest, TyreProfileRefusesSizesWithoutATyre) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const ProfileCase cases[] = {
        {0.0f, 0.5f, 0.19f, 0.0f, 0, 5},
        {0.2f, -0.5f, 0.19f, 0.0f, 1, 5},
        {0.2f, 0.5f, 0.0f, 0.0f, 0, 5},
        {nan, 0.5f, 0.19f, 0.0f, 0, 5},
        {0.2f, 0.5f, inf, 0.0f, 1, 5},
        {0.2f, 0.5f, 0.19f, nan, 0, 5},
        {0.2f, 0.5f, 0.19f, 0.0f, 0, 8},
        {0.2f, 0.5f, 0.19f, 0.0f, 0, -1},
        {0.2f, 0.05f, 0.19f, 0.0f, 0, 5},   // shoulder below the flange
        {0.2f, 0.2f, 0.19f, 0.0f, 1, 5},    // round crown, shoulder below the flange
        {0.1f, 2.5f, 0.19f, 0.0f, 0, 5},    // sidewall wider than the tread
        {1e30f, 1e30f, 0.19f, 0.0f, 0, 5},  // overflows
    };
    for (const ProfileCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << " " << c.A << " " << c.r << " " << c.d << " type "
                                        << c.tyreType);
        RimData rim;
        rim.outerRadius = 1.0f;
        rim.boundingRadius = 5;
        EXPECT_EQ(ComputeTyreProfile(*MakeRim(rim, c), c.d, c.roundCrown), 0);
        EXPECT_EQ(rim.outerRadius, 0.0f);
        EXPECT_EQ(rim.crownRadius, 0.0f);
        EXPECT_EQ(rim.treadWidth, 0.0f);
        EXPECT_EQ(rim.tyreValues[0], 0.0f);
        EXPECT_EQ(rim.boundingRadius, 0);
        EXPECT_EQ(rim.detailDistance, 0);
    }
}

}  // namespace
