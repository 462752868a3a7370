#pragma once

// The road-car axle the wheel benchmarks run on: a 200/50 tyre on a 15-inch
// rim, road tyres, its profile computed as the set-up does.

#include "vehicle/rim_data.h"
#include "vehicle/tyre_curves.h"

inline void SetUpBenchAxle(RimData &axle)
{
    BuildTyreCurves();
    axle.tyreWidth = 0.2f;
    axle.aspect = 0.5f;
    axle.rimRadius = 0.19f;
    axle.tyreType = 5;
    ComputeTyreProfile(axle, 0.0f, 0);
    axle.rimVolume = 0.004f;
    axle.treadSectionArea = 0.11f * axle.treadWidth / 3.0f;
    axle.sidewallArea = 0.11f * (axle.outerRadius - axle.rimRadius);
}
