#pragma once

#include <cstddef>
#include <cstdint>

struct DataStream;

// The screen layout of the views: one display, a wide display or a row of up
// to eleven monitors (at most five each side of a main screen), kept in
// data\misc\views.bin. From it and the back-buffer size ApplyViewGeometry
// works out the driving views' segments, the area of the external views and
// the interface, and the 3D-window fractions of render/view.h.

// One record per display shape; the file stores it as it is in memory
// (48 bytes, little-endian).
struct ViewGeometry {
    uint8_t equalWidths;        // 1: every screen equally wide (the widths are ignored)
    uint8_t fullWidthExternal;  // 1: the external views use the whole display
    uint8_t reserved0;
    uint8_t reserved1;
    int32_t leftScreens;        // 0..5
    int32_t rightScreens;       // 0..5
    int32_t reserved2;
    float fieldOfView;          // degrees, horizontal, of the main screen
    float bezelCompensation;    // percent, 0..20
    int32_t mainWidth;          // pixels, 1024..4096
    int32_t sideWidth;          // pixels, 1024..4096
    float screenAngle;          // degrees between neighbouring screens; never above the field of view
    float viewOffset;           // shift of the main screen's projection centre, -0.75..0.75 half screens
    int32_t reserved3;
    int32_t reserved4;
};
static_assert(sizeof(ViewGeometry) == 48, "ViewGeometry is stored as 48 bytes");
static_assert(offsetof(ViewGeometry, leftScreens) == 4 && offsetof(ViewGeometry, fieldOfView) == 16 &&
                  offsetof(ViewGeometry, mainWidth) == 24 && offsetof(ViewGeometry, screenAngle) == 32 &&
                  offsetof(ViewGeometry, reserved4) == 44,
              "ViewGeometry keeps the file's field offsets");

extern ViewGeometry ViewGeometrySingle;
extern ViewGeometry ViewGeometryWide;
extern ViewGeometry ViewGeometryTriple;

// One screen of the driving views, left to right.
struct ViewSegment {
    int32_t left;      // pixel columns
    int32_t right;
    float yaw;         // radians, positive to the left
    float scale;       // 2 tan(half field of view) of the segment
    float offset;      // projection centre shift in half segment widths
    float leftEdge;    // world yaw of the left edge, radians
    float rightEdge;   // world yaw of the right edge
};
constexpr int MaxViewSegments = 11;

// Results of ApplyViewGeometry.
extern ViewGeometry *CurrentViewGeometry;  // the record in use
extern int ViewGeometryIndex;              // 0 single, 1 wide, 2 triple
extern int ViewScreenCount;                // left + right + 1 of the record in use
// 0 one render; 1 a display of 3:1 or wider taken as three screens for the
// external views; 2 a true multi-screen layout.
extern int ViewLayoutKind;
// 0 full width; 1 the main screen of a multi-screen layout; 2 a 16:9 centre
// area; 3 the centre of an assumed three-screen display.
extern int ExternalViewArea;
// 1: more than one screen is set but the display is narrower than that many
// square screens; the driving views then use one render.
extern int ViewTooNarrow;
extern ViewSegment ViewSegments[MaxViewSegments];
extern int ViewSegmentCount;               // segments filled (1 with one render)
extern float ViewTotalFov;                 // radians; 0 when the layout cannot be built

// The session's view mode as the view code needs it (4: the custom view);
// the session writes it whenever its view mode changes.
extern uint32_t SessionViewMode;
constexpr uint32_t CustomViewMode = 4;

// Fills the three records with their defaults; the wide record's side screen
// is on the right when the player's "swap side" option is on.
void SetDefaultViewGeometry();
// Sets the defaults, then reads data\misc\views.bin over them; a missing or
// unreadable file leaves the defaults.
void ReadViewGeometry();
// Writes data\misc\views.bin (at shutdown). 0, or 1 when it failed.
int WriteViewGeometry();
// One record, clamped to its ranges; a float that is not finite keeps the
// record's value.
void ReadViewGeometryRecord(ViewGeometry *record, DataStream *stream);
void WriteViewGeometryRecord(const ViewGeometry *record, DataStream *stream);

// Recomputes every result above, the centre screen's pixel edges and the
// 3D-window fractions from the back-buffer size; after every display-mode,
// window or size change and every change of a record.
void ApplyViewGeometry();
// The main screen's edges as fractions of the display width for that many
// side screens, by the record in use's widths (1024 each when equal).
void ComputeScreenSplit(int leftCount, int rightCount, float *leftFraction, float *rightFraction);
// The field of view in use, clamped in place to its range: the record's, or
// in the custom view mode with a custom view set loaded, the set's field for
// the display shape. The screen angle is the record's with more than one
// screen, else 0.
float *GetViewFovRange(float *minimum, float *maximum, float *screenAngle);
