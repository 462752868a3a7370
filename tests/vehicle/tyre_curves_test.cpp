#include "vehicle/tyre_curves.h"

#include <gtest/gtest.h>

#include <cmath>

#include "vehicle/hermite.h"

namespace {

struct CurveCase {
    const char *name;
    const TyreCurve *curve;
    // The build arguments.
    float startSlope, peakSlip, peakSlopeFactor, peakValue, range, endValue;
    float peakScale;
};

const CurveCase Curves[] = {
    {"firm longitudinal", &FirmLongitudinalCurve, 1.5f, 1.2f, 0.0f, 1.15f, 2.4f, 0.95f, 1.8f},
    {"firm lateral", &FirmLateralCurve, 1.5f, 1.14f, 0.0f, 0.95f, 2.4f, 0.95f, 1.71f},
    {"loose longitudinal", &LooseLongitudinalCurve, 1.5f, 2.6666667f, 0.15f, 0.85f, 5.3333335f, 1.0f, 4.0f},
    {"loose lateral", &LooseLateralCurve, 1.5f, 2.6666667f, 0.2f, 0.9f, 5.3333335f, 1.1f, 4.0f},
};

class TyreCurvesTest : public testing::Test {
protected:
    static void SetUpTestSuite() { BuildTyreCurves(); }
};

// The cubic Hermite segment from its basis functions, in double.
double HermiteBasis(double p0, double p1, double m0, double m1, double t)
{
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * p0 + (t3 - 2 * t2 + t) * m0 + (-2 * t3 + 3 * t2) * p1 + (t3 - t2) * m1;
}

TEST(HermiteTest, CoefficientsMeetTheEndValuesAndSlopes)
{
    const float p0 = 1.25f, p1 = -0.5f, m0 = 2.0f, m1 = -0.75f;
    float c[4];
    SetHermiteCoeffsF(c, p0, p1, m0, m1);
    EXPECT_EQ(c[3], p0);
    EXPECT_EQ(c[2], m0);
    EXPECT_FLOAT_EQ(c[0] + c[1] + c[2] + c[3], p1);
    EXPECT_FLOAT_EQ(3.0f * c[0] + 2.0f * c[1] + c[2], m1);
}

// Every sample is the built half's cubic at its own t, bit for bit in float
// as the coefficients are written, and agrees with the basis-function form.
TEST_F(TyreCurvesTest, SamplesFollowTheirTwoHermiteHalves)
{
    for (const CurveCase &c : Curves) {
        SCOPED_TRACE(c.name);
        const TyreCurve &curve = *c.curve;
        EXPECT_EQ(curve.peakSlip, c.peakSlip);
        EXPECT_EQ(curve.range, c.range);
        EXPECT_FLOAT_EQ(curve.peakScale, c.peakScale);
        EXPECT_EQ(curve.step, c.range / 64.0f);

        const float m1 = c.peakSlip * c.peakSlopeFactor;
        const float fallSlope = (c.range - c.peakSlip) * c.peakSlopeFactor;
        const float rise[4] = {2.0f * 0.0f - 2.0f * c.peakValue + c.startSlope + m1,
                               3.0f * c.peakValue - 3.0f * 0.0f - 2.0f * c.startSlope - m1, c.startSlope, 0.0f};
        const float fall[4] = {2.0f * c.peakValue - 2.0f * c.endValue + fallSlope + 0.0f,
                               3.0f * c.endValue - 3.0f * c.peakValue - 2.0f * fallSlope - 0.0f, fallSlope,
                               c.peakValue};
        for (int j = 0; j < TyreCurveSamples; j++) {
            const float x = static_cast<float>(j + 1) * curve.step;
            const bool rising = x < c.peakSlip;
            const float t = rising ? x / c.peakSlip : (x - c.peakSlip) / (c.range - c.peakSlip);
            const float *k = rising ? rise : fall;
            const float expected = ((k[0] * t + k[1]) * t + k[2]) * t + k[3];
            EXPECT_EQ(curve.samples[j], expected) << "sample " << j;
            const double basis = rising ? HermiteBasis(0.0, c.peakValue, c.startSlope, m1, t)
                                        : HermiteBasis(c.peakValue, c.endValue, fallSlope, 0.0, t);
            EXPECT_NEAR(curve.samples[j], basis, 1e-6) << "sample " << j;
        }
        EXPECT_NEAR(curve.samples[TyreCurveSamples - 1], c.endValue, 1e-6);
    }
}

TEST_F(TyreCurvesTest, ValueInterpolatesSamplesAndHoldsTheEnds)
{
    const TyreCurve &c = FirmLongitudinalCurve;
    const float step = c.step;
    struct ValueCase {
        float x;
        float expected;
    } cases[] = {
        {1.2f, 1.15f},                                                 // the peak is a sample
        {0.0f, 0.0f},
        {0.5f * step, 0.5f * c.samples[0]},                           // below the first sample: linear
        {step, c.samples[0]},
        {-step, -c.samples[0]},
        {2.5f * step, c.samples[1] + (c.samples[2] - c.samples[1]) * 0.5f},
        {2.4f, c.samples[63]},                                         // the end of the range
        {100.0f, c.samples[63]},                                       // beyond it
        {INFINITY, c.samples[63]},
    };
    for (const ValueCase &v : cases) {
        SCOPED_TRACE(v.x);
        EXPECT_FLOAT_EQ(c.Value(v.x), v.expected);
    }
    EXPECT_FLOAT_EQ(c.samples[63], 0.95f);
    EXPECT_EQ(c.Value(1.2f), 1.15f);
    // A slip that is not a number must not reach the integer conversion.
    EXPECT_EQ(c.Value(NAN), c.samples[63]);
}

}  // namespace
