#include "render/lit_colours.h"

#include "core/card_config.h"
#include "render/screen_modes.h"
#include "render/view.h"

uint8_t GroundLight[3] = {};
int32_t SkyGroundDelta[3] = {};

namespace {

constexpr int64_t Half = 32768;

int64_t Dot(const FixVector &a, const FixVector &b)
{
    return (static_cast<int64_t>(a.x) * b.x + static_cast<int64_t>(a.y) * b.y + static_cast<int64_t>(a.z) * b.z) >>
           16;
}

int Channel(int64_t value)
{
    return value < 0 ? 0 : (value > 255 ? 255 : static_cast<int>(value));
}

int ColourByte(const Colour &colour, int c)
{
    return c == 0 ? colour.red : (c == 1 ? colour.green : colour.blue);
}

uint32_t Argb(const int channels[3])
{
    return 0xFF000000u | static_cast<uint32_t>(channels[0]) << 16 | static_cast<uint32_t>(channels[1]) << 8 |
           static_cast<uint32_t>(channels[2]);
}

// The texture stage doubles the colour back: half of every byte.
uint32_t HalveForModulate2x(uint32_t packed)
{
    return Modulate2xOn ? (packed >> 1) & ~0x808080u : packed;
}

// Ambient level of channel c for the hemisphere factor f (0..65536).
int64_t Ambient(int c, int64_t f)
{
    return GroundLight[c] + (static_cast<int64_t>(SkyGroundDelta[c]) * f >> 16);
}

// Hemisphere and sun of the two shaders that pack their colours.
uint32_t ShadeWithFactors(const Colour &colour, int64_t f, int64_t d)
{
    const ViewRecord &view = *CurrentView;
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        const int64_t base = ColourByte(colour, c);
        int64_t value = base * Ambient(c, f);
        if (d >= 1) {
            value += d * (view.sunLight[c] * base) >> 16;
        }
        channels[c] = Channel(value >> 8);
    }
    return HalveForModulate2x(PackPixelColour(channels[0], channels[1], channels[2]));
}

// Ambient plus the sun where the face looks toward it.
int64_t Level(int c, int64_t f, int64_t d)
{
    int64_t level = Ambient(c, f);
    if (d > 0) {
        level += d * CurrentView->sunLight[c] >> 16;
    }
    return level;
}

// (h / 65536)^4 in 16.16.
int64_t FourthPower(int64_t h)
{
    const int64_t square = h * h >> 16;
    return square * square >> 16;
}

}  // namespace

void UpdateHemisphereLight()
{
    const ViewRecord &view = *CurrentView;
    for (int c = 0; c < 3; ++c) {
        const int ground = ColourByte(view.groundColour, c);
        const int lit = ground * 255 / 200;
        GroundLight[c] = static_cast<uint8_t>(lit > 255 ? 255 : lit);
        SkyGroundDelta[c] = (view.skyLight[c] - ground) * 255 / 200;
    }
}

uint32_t ShadeColour(const FixVector &normal, const Colour &colour)
{
    const ViewRecord &view = *CurrentView;
    const int64_t f = (Dot(view.upView, normal) + 65536) >> 1;
    return ShadeWithFactors(colour, f, Dot(view.sunDirView, normal));
}

uint32_t ShadeColourUnlessUnlit(const FixVector &normal, const Colour &colour, int shift)
{
    if (colour.flags & 1) {
        const int channels[3] = {colour.red, colour.green, colour.blue};
        return Argb(channels);
    }
    const ViewRecord &view = *CurrentView;
    const int64_t f = (Dot(view.upView, normal) + 65536) >> 1;
    const int64_t d = Dot(view.sunDirView, normal);
    int total = 8 + shift + static_cast<int>(Modulate2xOn ? 1 : 0);
    total = total < 0 ? 0 : (total > 62 ? 62 : total);
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        channels[c] = Channel(ColourByte(colour, c) * Level(c, f, d) >> total);
    }
    return Argb(channels);
}

uint32_t ShadeColourHighlighted(const FixVector &normal, const Colour &colour)
{
    const ViewRecord &view = *CurrentView;
    const int64_t f = (Dot(view.upView, normal) + 65536) >> 1;
    const int64_t d = Dot(view.sunDirView, normal);
    const int64_t h = Dot(view.sunHalf, normal);
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        int64_t value = ColourByte(colour, c) * Level(c, f, d);
        if (h >= 1) {
            value += (h * h >> 16) * (static_cast<int64_t>(view.sunLight[c]) * 32) >> 16;
        }
        channels[c] = Channel(value * 3 >> 10);
    }
    return Argb(channels);
}

uint32_t ShadeHighlight(const FixVector &normal)
{
    const ViewRecord &view = *CurrentView;
    const int64_t sun = Dot(view.sunHalf, normal);
    const int64_t sky = Dot(view.upHalf, normal);
    const int64_t sunPower = sun > Half ? FourthPower(sun) << 6 : 0;
    const int64_t skyPower = sky > Half ? FourthPower(sky) << 7 : 0;
    const int shift = Modulate2xOn ? 9 : 8;
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        const int64_t value = (sunPower * view.sunLight[c] >> 16) + (skyPower * view.skyLight[c] >> 16);
        channels[c] = Channel(value >> shift);
    }
    return Argb(channels);
}

uint32_t ShadeColourUpward(const FixVector &normal, const Colour &colour)
{
    if (colour.flags & 1) {
        return PackPixelColour(colour.red, colour.green, colour.blue);
    }
    const ViewRecord &view = *CurrentView;
    const int64_t up = static_cast<int64_t>(normal.z) + 65536;
    const int64_t f = (up > 0 ? up : 0) >> 1;
    return ShadeWithFactors(colour, f, Dot(view.sunDir, normal));
}
