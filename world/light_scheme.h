#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"

struct DataStream;
class World;

// One light scheme of a world: time of day, weather, sky and the light of
// the scene.
struct LightScheme {
    uint8_t extraNames;       // the file record carried two extra name blocks
    uint8_t timeOfDay;        // 0 Dawn, 1 Sunrise, 2 Morning, 3 Day, 4 Afternoon, 5 Sunset, 6 Dusk, 7 Night
    uint8_t weather;          // 0 Clear, 1 Cloudy, 2 Overcast
    uint8_t fourthByte;
    char skyName[16];         // empty for none
    Colour ambientColour;
    Colour sunColour;
    float sunIntensity;
    float ambientIntensity;
    float sunHeading;         // radians, a whole number of degrees
    float sunElevation;       // radians, a whole number of degrees
    float lightRatio;
    float fogEnd;             // metres
    Colour fogColour;
};

constexpr int TimeOfDayCount = 8;
constexpr int WeatherCount = 3;
constexpr int WeatherOverhead = 2;       // overcast: the sun stands straight overhead
constexpr int LightSchemeNameSize = 32;

// Reads a light scheme record. Both angles are rounded to whole degrees.
// The light ratio becomes lightFraction (the world's) when that is non-zero;
// the stored value is consumed either way. 0, or non-zero after a read past
// the end of the data.
int ReadLightScheme(LightScheme *scheme, DataStream *stream, int version, float lightFraction);

// Picks the light scheme (clamped to the world's schemes); the loop sound is
// stopped and played again around the change. Nothing when unchanged.
void SelectLightScheme(World *world, int index);

// The looping sound, reached through hooks that the audio layer registers.
// stop returns non-zero when the sound had been playing.
struct LoopSoundHooks {
    int (*stop)();
    void (*play)();
};
void SetLoopSoundHooks(const LoopSoundHooks &hooks);
