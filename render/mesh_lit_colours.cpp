#include "render/mesh_lit_colours.h"

#include "core/card_config.h"
#include "render/lit_colours.h"
#include "render/object_mesh_part.h"
#include "render/view.h"

namespace {

uint32_t Opaque(const int channels[3])
{
    return 0xFF000000u | static_cast<uint32_t>(channels[0]) << 16 | static_cast<uint32_t>(channels[1]) << 8 |
           static_cast<uint32_t>(channels[2]);
}

int ColourByte(const Colour &colour, int c)
{
    return c == 0 ? colour.red : (c == 1 ? colour.green : colour.blue);
}

int Shift(int lightClass)
{
    return (static_cast<int>(Modulate2xOn) + lightClass + 7) & 31;
}

// colour byte x min(level, 255) >> shift, capped at 255; a negative level
// gives black.
uint32_t Word(const Colour &colour, const int64_t level[3], int shift)
{
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        int64_t l = level[c] > 255 ? 255 : level[c];
        l = l < 0 ? 0 : l;
        const int64_t value = ColourByte(colour, c) * l >> shift;
        channels[c] = static_cast<int>(value > 255 ? 255 : value);
    }
    return Opaque(channels);
}

}  // namespace

void SetFlatColourPair(ObjectMeshVertex *vertex, const Colour &colour)
{
    const int channels[3] = {colour.red, colour.green, colour.blue};
    vertex->litColour = Opaque(channels);
    vertex->ambientColour = vertex->litColour;
}

void SetAmbientColourPair(ObjectMeshVertex *vertex, const Colour &colour, const int32_t ambient[3],
                          int lightClass)
{
    const int64_t level[3] = {ambient[0], ambient[1], ambient[2]};
    vertex->ambientColour = Word(colour, level, Shift(lightClass));
    vertex->litColour = vertex->ambientColour;
}

void SetLitColourPair(ObjectMeshVertex *vertex, const Colour &colour, const int32_t ambient[3],
                      const int32_t sun[3], int lightClass)
{
    const int shift = Shift(lightClass);
    const int64_t lit[3] = {static_cast<int64_t>(ambient[0]) + sun[0], static_cast<int64_t>(ambient[1]) + sun[1],
                            static_cast<int64_t>(ambient[2]) + sun[2]};
    const int64_t level[3] = {ambient[0], ambient[1], ambient[2]};
    vertex->litColour = Word(colour, lit, shift);
    vertex->ambientColour = Word(colour, level, shift);
}

void LightColourByNormal(ObjectMeshVertex *vertex, const Colour &colour, const FixVector &normal, int lightClass)
{
    if (colour.flags & 1) {
        SetFlatColourPair(vertex, colour);
        return;
    }
    const int64_t h = (static_cast<int64_t>(normal.z) + 65536) / 2;
    int32_t ambient[3];
    for (int c = 0; c < 3; ++c) {
        ambient[c] = static_cast<int32_t>((GroundLight[c] + h * SkyGroundDelta[c] / 65536) / 2);
    }
    const FixVector &sunDir = CurrentView->sunDir;
    const int64_t d = (static_cast<int64_t>(normal.x) * sunDir.x + static_cast<int64_t>(normal.y) * sunDir.y +
                       static_cast<int64_t>(normal.z) * sunDir.z) >>
                      16;
    if (d < 1) {
        SetAmbientColourPair(vertex, colour, ambient, lightClass);
        return;
    }
    int32_t sun[3];
    for (int c = 0; c < 3; ++c) {
        sun[c] = static_cast<int32_t>(d * CurrentView->sunLight[c] / 65536 / 2);
    }
    SetLitColourPair(vertex, colour, ambient, sun, lightClass);
}
