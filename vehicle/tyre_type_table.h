#pragma once

#include "vehicle/tyre_grip.h"

// What each tyre compound (the set-up's tyre type 0..7) brings to the tyre
// model and the rim geometry.
struct TyreTypeInfo {
    float factor;              // read by the rim geometry and the AI's capability estimate
    float optimalTemperature;  // degrees Celsius
    float heating;             // heating coefficient
    float wear;                // metres of tread per joule
};

// Constant data, indexed by tyre type, ready before the program's first step.
extern const TyreTypeInfo TyreTypeTable[TyreTypeCount];
