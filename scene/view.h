#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"

// The view that every drawer of the 3D scene reads: where the eye is, which
// way it looks, the light of the moment and the projection of the 3D window.
// Positions and vectors are 16.16; colour bytes and light levels are on a
// scale where 200 is full intensity.
struct ViewRecord {
    FixVector eye;          // world position of the eye
    FixVector back;         // unit vector from the scene toward the eye
    FixVector sunDir;       // unit vector toward the sun, world space
    FixVector sunDirView;   // sunDir in view space
    FixVector upView;       // world up in view space
    FixVector sunHalf;      // view-space half vector of the sun and the eye direction, per drawn car
    FixVector upHalf;       // the same for upView
    int32_t scaleX;         // 2 x tan(horizontal field of view / 2), 16.16
    int32_t scaleY;         // scaleX x window height / window width
    int32_t centreX;        // pixel column of the projection centre
    int32_t centreY;        // pixel row of the projection centre
    float halfScale;        // scaleX / 2 as a float
    float shadowSin;        // sine of the sun's heading
    float shadowCos;        // cosine of the sun's heading
    float shadowLength;     // horizontal shadow offset per metre of height
    uint16_t heading;       // 65536 per turn
    uint16_t pitch;
    uint16_t roll;
    Colour groundColour;    // light from below
    Colour skyColour;       // ambient sky light
    Colour sunColour;
    int32_t sunLight[3];    // per channel r, g, b
    int32_t skyLight[3];
};

// The program's one view record, and the view the drawers read (it points at
// MainView except while a preview draws with a view of its own).
extern ViewRecord MainView;
extern ViewRecord *CurrentView;

// Zero-fills the record, takes eye and back as given, scaleX = scale, the
// unit vector of the sun direction (straight up when it is shorter than 256
// units), a white sun at full light, no shadow heading, shadow length 1.0,
// heading 59392 and pitch 3072, and makes the record the current view.
void InitViewRecord(ViewRecord *record, const FixVector &eye, const FixVector &back, int32_t scale,
                    const FixVector &sunDirection);
