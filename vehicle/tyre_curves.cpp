#include "vehicle/tyre_curves.h"

#include "vehicle/fix_convert.h"
#include "vehicle/hermite.h"

TyreCurve FirmLongitudinalCurve;
TyreCurve FirmLateralCurve;
TyreCurve LooseLongitudinalCurve;
TyreCurve LooseLateralCurve;

namespace {

float CubicValue(const float c[4], float t)
{
    return ((c[0] * t + c[1]) * t + c[2]) * t + c[3];
}

}  // namespace

void BuildTyreCurve(TyreCurve &curve, float startSlope, float peakSlip, float peakSlopeFactor,
                    float peakValue, float range, float endValue)
{
    curve.peakSlip = peakSlip;
    curve.range = range;
    curve.peakScale = startSlope * peakSlip;
    curve.step = range / 64.0f;

    float rising[4];
    float falling[4];
    SetHermiteCoeffsF(rising, 0.0f, peakValue, startSlope, peakSlip * peakSlopeFactor);
    SetHermiteCoeffsF(falling, peakValue, endValue, (range - peakSlip) * peakSlopeFactor, 0.0f);
    for (int j = 0; j < TyreCurveSamples; j++) {
        const float x = static_cast<float>(j + 1) * curve.step;
        if (x < peakSlip)
            curve.samples[j] = CubicValue(rising, x / peakSlip);
        else
            curve.samples[j] = CubicValue(falling, (x - peakSlip) / (range - peakSlip));
    }
}

float TyreCurve::Value(float x) const
{
    const float j = x / step;
    if (j <= 1.0f)
        return j * samples[0];
    // Also catches a slip that is not a number, before it reaches the
    // integer conversion.
    if (!(j < static_cast<float>(TyreCurveSamples)))
        return samples[TyreCurveSamples - 1];
    // The floor, as the curves have always taken it: a value a millionth
    // below an integer already counts as that integer.
    const int i = RoundToInt(j - 0.499999f);
    if (i >= TyreCurveSamples)
        return samples[TyreCurveSamples - 1];
    return samples[i - 1] + (samples[i] - samples[i - 1]) * (j - static_cast<float>(i));
}

void BuildTyreCurves()
{
    // Firm peak 1.8 / 1.5 of slip, lateral peaks 0.95 of the longitudinal,
    // loose peak 4.0 / 1.5, each range twice the peak. Each call builds the
    // curve it names.
    BuildTyreCurve(FirmLongitudinalCurve, 1.5f, 1.2f, 0.0f, 1.15f, 2.4f, 0.95f);
    BuildTyreCurve(LooseLongitudinalCurve, 1.5f, 2.6666667f, 0.15f, 0.85f, 5.3333335f, 1.0f);
    BuildTyreCurve(FirmLateralCurve, 1.5f, 1.14f, 0.0f, 0.95f, 2.4f, 0.95f);
    BuildTyreCurve(LooseLateralCurve, 1.5f, 2.6666667f, 0.2f, 0.9f, 5.3333335f, 1.1f);
}
