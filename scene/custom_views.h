#pragma once

#include <cstdint>

struct DataStream;

// The in-car and custom view settings of the car model being viewed, kept
// per car model in data\views\<car code>.cvw. Offsets are metres.
struct CarViewSettings {
    char carCode[4];             // the model whose set is loaded; empty: none
    uint32_t changed;            // set by every edit; only a changed set is saved
    uint32_t draw;               // "Draw :" 0..2
    uint32_t clocksMode;         // "Clocks mode :"
    uint32_t drawDriver;         // "Draw driver / wheel :" (1 hides them)
    uint32_t mirrorMode;         // "Mirror mode :"
    uint32_t accelerationShift;  // "Acceleration shifts viewpoint :"
    uint32_t lookFunction;       // 0 axis, 1 steer, 2 mouse X, 3 mouse X and Y
    float fovSingle;             // degrees, per display shape
    float fovWide;
    float fovTriple;
    float customX;               // -2..2
    float customY;               // -3..3
    float customZ;               // -0.6..0.6
    float customPitch;
    float customRotate;
    float customMirrorLateral;   // 0..0.4
    float customMirrorVertical;  // -0.02..0.1
    float inCarX;                // -0.05..0.05
    float inCarY;                // 0..0.2
    float inCarZ;                // -0.05..0.05
    float inCarPitch;
    float inCarRotate;
    float inCarMirrorLateral;    // 0..0.4
    float inCarMirrorVertical;   // 0..0.1
};

// The one set in use.
extern CarViewSettings CarViews;

// True when a car code is set.
bool HasCustomViewSet();
// The defaults; the car code is kept.
void SetDefaultCustomViews();
// When the code differs from the loaded one: saves the current set, then,
// when the code has at least three characters, takes its first three and
// loads that model's set.
void SelectCustomViewSet(const char *carCode);
// The defaults, then the car code's file when it exists.
void LoadCustomViews();
// When the set changed: clears the flag and, with a car code set, writes its
// file (also at shutdown). 0, or 1 when the file could not be written.
int SaveCustomViews();

// The set's fields from a stream opened on a .cvw file of that version
// (3..7; older versions change nothing). Floats that are not finite keep the
// set's values.
void ReadCustomViewFields(CarViewSettings *views, DataStream *stream, int version);
