#pragma once

// The shape of a tyre's force against its slip, sampled so that a value costs
// one division and one interpolation. The value rises from 0 to a peak at
// peakSlip and falls (or rises) to an end value at range; both halves are
// cubic Hermite segments.
constexpr int TyreCurveSamples = 64;

struct TyreCurve {
    float peakSlip;
    float range;
    float peakScale;                   // start slope x peak slip
    float step;                        // range / 64
    float samples[TyreCurveSamples];   // sample j is the value at slip (j + 1) x step

    // Linear from 0 up to the first sample, interpolated between samples,
    // the last sample beyond the range.
    float Value(float x) const;
};

// Builds one curve: the rising half from 0 to peakValue with slopes
// startSlope and peakSlip x peakSlopeFactor, the falling half from peakValue
// to endValue with slopes (range - peakSlip) x peakSlopeFactor and 0.
void BuildTyreCurve(TyreCurve &curve, float startSlope, float peakSlip, float peakSlopeFactor,
                    float peakValue, float range, float endValue);

// The four curves the tyre model reads: longitudinal and lateral, on firm
// and on loose surfaces. Built once at start-up by BuildTyreCurves.
extern TyreCurve FirmLongitudinalCurve;
extern TyreCurve FirmLateralCurve;
extern TyreCurve LooseLongitudinalCurve;
extern TyreCurve LooseLateralCurve;

void BuildTyreCurves();
