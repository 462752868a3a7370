#pragma once

#include <cstdint>

// One of the world's four start lamps: 0 to 2 the red lamps, 3 the green one.
// Colour words hold r, g, b and a flag byte, r in the low byte; flag byte 1
// marks a colour drawn unlit.
struct StartLamp {
    uint32_t offColour;
    uint32_t onColour;
    uint32_t *boundColours[4];   // colour words inside the lamp model; null when unbound
};

constexpr uint32_t ColourWord(uint32_t r, uint32_t g, uint32_t b, uint32_t flags)
{
    return r | g << 8 | b << 16 | flags << 24;
}
