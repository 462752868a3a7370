#pragma once

#include <cstdint>

class World;

// Loading a track from its world file in time slices.

// Milliseconds one WorldLoadStep may work in its long stages: 50, or 100
// while the start-up page loads its track.
extern int LoadSliceMs;
constexpr int DefaultLoadSliceMs = 50;
constexpr int IntroLoadSliceMs = 100;

// The millisecond clock the slices are measured with: the platform's
// monotonic clock unless another is set (tests set a fake; null restores
// the platform's).
using LoadClock = uint32_t (*)();
void SetLoadClock(LoadClock clock);

// Checks the track and its world file and arms the load: 1, or 0 after a
// warning line ("Unknown track", "Track not found", "Obsolete track"), with
// CurrentWorld untouched. On success CurrentWorld is this world, its
// progress text "Paths". buildGraphics is ignored by a program that draws
// nothing.
int WorldOpen(World *world, const char *trackName, const char *shortName, int buildGraphics,
              int makeEnvironmentTexture, int config, int reversed, int lightScheme);

// One step of the load: true when it has ended, false while steps remain.
// A load that ends failed (WorldLoadFailed) leaves the world empty and its
// progress text is not "FINISHED".
bool WorldLoadStep(World *world);
bool WorldLoadFailed(const World *world);

// The light fraction of the world file's a and b: 0 when b is 0, else
// round(b x 100 / a) percent held to 50..100 (100 when a is 0 or the ratio
// is not finite), as 0.5 .. 1.0.
float LightFractionFromFile(float a, float b);
