#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"

// The view that every drawer of the 3D scene reads: where the eye is, which
// way it looks, the light of the moment and the projection of the 3D window.
// Positions and vectors are 16.16; colour bytes and light levels are on a
// scale where 200 is full intensity.
//
// View space is left-handed: x to the right, y up, z into the screen; a point
// is in front of the eye when its view z is positive.
struct ViewRecord {
    FixVector eye;          // world position of the eye
    FixVector back;         // unit vector from the scene toward the eye (the viewing direction is -back)
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
    Colour groundColour;    // light from below (the lit ground colour of the light scheme)
    Colour skyColour;       // ambient sky light
    Colour sunColour;
    int32_t sunLight[3];    // per channel r, g, b
    int32_t skyLight[3];
    Colour fogColour;       // the light scheme's fog colour; black until a scheme is applied
};

// The program's one view record, and the view the drawers read (it points at
// MainView except while a preview draws with a view of its own).
extern ViewRecord MainView;
extern ViewRecord *CurrentView;

// World to view space, built by BuildViewMatrix (or written directly by the
// cockpit view).
extern FixTransform ViewMatrix;

// The four side planes of the view volume: unit normals through the eye,
// pointing into the volume, in this order.
enum ViewPlaneIndex { ViewPlaneBottom, ViewPlaneTop, ViewPlaneRight, ViewPlaneLeft, ViewPlaneCount };
extern FixVector ViewPlanes[ViewPlaneCount];

constexpr int32_t ViewNearLimit = 16384;      // 0.25 m
constexpr int32_t ViewFarLimit = 536870912;   // 8192 m
constexpr int ViewOutside = 256;              // ClassifySphereInView: wholly outside

// 16.16 size of the orthographic projection of the plan views; 0: perspective.
extern int32_t OrthoViewSize;
// First and last pixel rows of the 3D window (the software raster's clip rows).
extern int ViewTopRow;
extern int ViewBottomRow;
// The float view matrix handed to the device (row vectors, 16 floats).
extern float ViewDeviceMatrix[16];
// Pixel edges of the centre screen, written by ApplyViewGeometry.
extern int ViewCentreLeft;
extern int ViewCentreRight;
// The 3D window's share of the back buffer and its centre (-1..1), written by
// ApplyViewGeometry; 1, 1, 0, 0 until it runs.
extern float ViewWidthFraction;
extern float ViewHeightFraction;
extern float ViewCentreXFraction;
extern float ViewCentreYFraction;

// Level-of-detail factors: object distances are multiplied by both before a
// detail level is chosen. The zoom factor is the view's own (1.0; narrow
// driving-view segments lower it); the distance factor is set by the main
// loop each pass from "Main LOD ".
extern float ViewZoomFactor;
extern float LodDistanceFactor;
// The main loop's distance factor: 1024 / (1920 x "Main LOD ") with
// graphics, 1.0 without (and for a "Main LOD " that is not above 0).
float ComputeLodDistanceFactor(int graphicsEnabled, float mainLod);

// Zero-fills the record, takes eye and back as given, scaleX = scale, the
// unit vector of the sun direction (straight up when it is shorter than 256
// units), a white sun at full light, no shadow heading, shadow length 1.0,
// heading 59392 and pitch 3072, and makes the record the current view.
void InitViewRecord(ViewRecord *record, const FixVector &eye, const FixVector &back, int32_t scale,
                    const FixVector &sunDirection);

// sunColour from "Sun Colour ", sunLight and skyLight from the sun and sky
// colour bytes, then the hemisphere light levels.
void SetViewLightsFromSettings();

// ViewMatrix from eye, back and roll of the current view. A back with no
// horizontal length (straight up or down) takes its horizontal direction
// from the view's heading.
void BuildViewMatrix();

// The 3D window x0..x1, y0..y1 (pixels) with the projection centre shifted by
// the offsets (half windows, -1..1), the scale 2 tan(fov / 2) and the near
// plane 0.25 m / near scale: viewport, projection, centre, scales, planes,
// the view-space light directions and the device view matrix. Returns 0.
int SetViewWindow(int x0, int y0, int x1, int y1, float offsetX, float offsetY, float scale, float nearScale);
// The window placed by the 3D-window fractions on the screen, offsets 0.
int SetViewWindowFromSettings(float scale);

// True when the world point (16.16) lies in front of the view and on the
// screen; x and y are -1..1 over the whole back buffer (y downwards).
bool ProjectToScreen(const FixVector &point, float *x, float *y);

// The view-space sphere (16.16 centre and radius) against the view volume:
// ViewOutside when wholly outside, else a mask of the limits it straddles
// (1 near, 4 left, 8 right, 16 top, 32 bottom); 0 wholly inside.
int ClassifySphereInView(const FixVector &centre, int32_t radius);
