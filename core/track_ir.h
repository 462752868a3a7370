#pragma once

#include <cstdint>

// The head tracker's client library: found through the environment variable
// below (the full path of the library file), loaded at run time and reached
// only through its eleven NP_* entry points. TrackIRState (main_window.h)
// keeps whether it runs.

constexpr const char *TrackIRLibraryVariable = "KZV_TRACKIR_LIBRARY";
// Longest library path taken (bytes, terminator excluded).
constexpr int TrackIRMaxPathLength = 256;
// The program's id towards the tracker software.
constexpr uint16_t TrackIRProfileId = 0x4B5A;
// The data the program asks for: the rotations and the translations.
constexpr uint16_t TrackIRDataMask = 6;

// The head position record NP_GetData fills.
struct TrackIRData {
    uint32_t frame;     // counts up with every new sample
    float yaw;          // degrees, positive to the right
    float pitch;        // degrees, positive up
    float roll;         // degrees, positive clockwise
    float x;            // metres, positive to the right
    float y;            // metres, positive up
    float z;            // metres, positive back
};
static_assert(sizeof(TrackIRData) == 28, "the tracker library fills 28 bytes");

// The entry points' forms, as the library exports them (C linkage).
using TrackIRRegisterWindowFn = int (*)(uintptr_t window);
using TrackIRNoArgumentFn = int (*)();
using TrackIRVersionFn = int (*)(uint16_t *version);
using TrackIRMaskFn = int (*)(uint16_t mask);
using TrackIRProfileFn = int (*)(uint16_t id);
using TrackIRGetDataFn = int (*)(TrackIRData *data);

// 0 ready, 1 not installed (no library configured or it cannot be loaded),
// 2 failed (an entry point is missing or refused; the library is closed).
int LoadTrackIRClient();
// With the library loaded: unregisters the window, closes it, state 2.
void UnloadTrackIRClient();

// One call each; 0 means success. Without the library they answer 1.
int RegisterTrackIRWindow(uintptr_t window);
int UnregisterTrackIRWindow();
int RegisterTrackIRProgram(uint16_t id);
int QueryTrackIRVersion(uint16_t *version);
int RequestTrackIRData(uint16_t mask);
int GetTrackIRData(TrackIRData *data);
int StartTrackIRTransmission();
int StopTrackIRTransmission();
