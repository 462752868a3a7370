#include "world/light_scheme.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/translation_table.h"
#include "core/data_stream.h"
#include "core/float_math.h"
#include "render/lit_colours.h"
#include "render/view.h"
#include "world/world.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr int ExtraNameSkipA = 12;
constexpr int ExtraNameSkipB = 16;

LoopSoundHooks SoundHooks = {nullptr, nullptr};

constexpr TextId WeatherTexts[WeatherCount] = {Text_3g_wth_clea, Text_3g_wth_clou, Text_3g_wth_over};

constexpr TextId TimeOfDayTexts[TimeOfDayCount] = {
    Text_3g_dt_dawn_, Text_3g_dt_sunri, Text_3g_dt_morni, Text_3g_dt_day__,
    Text_3g_dt_after, Text_3g_dt_sunse, Text_3g_dt_dusk_, Text_3g_dt_night,
};

float RoundToWholeDegree(float radians)
{
    const float degrees = std::round(radians * (180.0f / Pi));
    return degrees * (Pi / 180.0f);
}

int32_t RoundFix(float value)
{
    return static_cast<int32_t>(std::lround(value * 65536.0f));
}

uint8_t HorizonChannel(int base, int32_t ambientLight, int32_t sunLight, int32_t sunZ)
{
    const int64_t lit = static_cast<int64_t>(base) * (ambientLight * 255 / 200) +
                        ((static_cast<int64_t>(sunZ) * (static_cast<int64_t>(sunLight) * base)) >> 16);
    const int64_t channel = lit >> 8;
    return static_cast<uint8_t>(channel > 255 ? 255 : channel < 0 ? 0 : channel);
}

} // namespace

int ReadLightScheme(LightScheme *scheme, DataStream *stream, int /*version*/, float lightFraction)
{
    *scheme = {};
    scheme->extraNames = static_cast<uint8_t>(stream->ReadU8());
    scheme->timeOfDay = static_cast<uint8_t>(stream->ReadU8());
    scheme->weather = static_cast<uint8_t>(stream->ReadU8());
    scheme->fourthByte = static_cast<uint8_t>(stream->ReadU8());
    uint8_t unused[ExtraNameSkipB];
    if (scheme->extraNames) {
        stream->ReadBytes(unused, ExtraNameSkipA);
    }
    stream->ReadBytes(scheme->skyName, sizeof scheme->skyName);
    scheme->skyName[sizeof scheme->skyName - 1] = 0;
    if (scheme->extraNames) {
        stream->ReadBytes(unused, ExtraNameSkipB);
    }
    ReadColour(&scheme->ambientColour, stream);
    stream->ReadU32();
    ReadColour(&scheme->sunColour, stream);
    scheme->sunIntensity = stream->ReadFloat();
    scheme->ambientIntensity = stream->ReadFloat();
    stream->ReadU32();
    scheme->sunHeading = RoundToWholeDegree(stream->ReadFloat());
    scheme->sunElevation = RoundToWholeDegree(stream->ReadFloat());
    const float storedRatio = stream->ReadFloat();
    // Every world file read so far predates the stored ratio: the world's
    // light fraction stands in for it when the world has one.
    scheme->lightRatio = lightFraction != 0.0f ? lightFraction : storedRatio;
    scheme->fogEnd = stream->ReadFloat();
    stream->ReadU32();
    ReadColour(&scheme->fogColour, stream);
    return stream->overrun ? 1 : 0;
}

void SetLoopSoundHooks(const LoopSoundHooks &hooks)
{
    SoundHooks = hooks;
}

void SelectLightScheme(World *world, int index)
{
    if (!world || world->lightSchemeCount <= 0) {
        return;
    }
    if (index > world->lightSchemeCount - 1) {
        index = world->lightSchemeCount - 1;
    }
    if (index < 0) {
        index = 0;
    }
    if (index == world->lightSchemeIndex) {
        return;
    }
    world->lightSchemeIndex = index;
    const int wasPlaying = SoundHooks.stop ? SoundHooks.stop() : 0;
    // Drawing programs reload the scheme's graphics here once the render core
    // can (environment texture, sky, colours, lighting and the graphics phase).
    if (wasPlaying && SoundHooks.play) {
        SoundHooks.play();
    }
}

void World::FormatLightSchemeName(char out[LightSchemeNameSize], int index) const
{
    if (index < 0 || index >= lightSchemeCount || !lightSchemes) {
        std::memset(out, 0, LightSchemeNameSize);
        return;
    }
    const LightScheme &scheme = lightSchemes[index];
    const char *weather = scheme.weather < WeatherCount ? Tx(WeatherTexts[scheme.weather]) : "";
    const char *time = scheme.timeOfDay < TimeOfDayCount ? Tx(TimeOfDayTexts[scheme.timeOfDay]) : "";
    // Languages that put the noun first say the time of day first.
    const bool nounFirst = std::strcmp(Tx(Text_tx_noun_adj), "na") == 0;
    std::snprintf(out, LightSchemeNameSize, "%s %s", nounFirst ? time : weather, nounFirst ? weather : time);
}

void World::ApplyLightScheme(int /*makeEnvironmentTexture*/)
{
    // The sky textures, and the environment texture afterwards, come with the
    // render core.
    if (lightSchemeCount <= 0 || !lightSchemes || lightSchemeIndex < 0 || lightSchemeIndex >= lightSchemeCount) {
        return;
    }
    const LightScheme &scheme = lightSchemes[lightSchemeIndex];
    ViewRecord &view = *CurrentView;

    view.sunColour = scheme.sunColour;
    const int32_t si = static_cast<int32_t>(std::lround(scheme.sunIntensity * 65536.0f));
    view.sunLight[0] = scheme.sunColour.red * si >> 16;
    view.sunLight[1] = scheme.sunColour.green * si >> 16;
    view.sunLight[2] = scheme.sunColour.blue * si >> 16;
    view.skyColour = scheme.ambientColour;
    const int32_t ai = static_cast<int32_t>(std::lround(scheme.ambientIntensity * 65536.0f));
    view.skyLight[0] = scheme.ambientColour.red * ai >> 16;
    view.skyLight[1] = scheme.ambientColour.green * ai >> 16;
    view.skyLight[2] = scheme.ambientColour.blue * ai >> 16;

    const float cosH = FloatCos(scheme.sunHeading);
    const float sinH = FloatSin(scheme.sunHeading);
    const float cosE = FloatCos(scheme.sunElevation);
    const float sinE = FloatSin(scheme.sunElevation);
    view.shadowCos = cosH;
    view.shadowSin = sinH;
    // A ratio of 0 would divide by zero: it lights as 1.
    view.shadowLength = scheme.lightRatio != 0.0f ? 1.0f / scheme.lightRatio : 1.0f;

    view.sunDir = {RoundFix(-sinH * cosE), RoundFix(cosH * cosE), RoundFix(sinE)};

    int base[3] = {0, 0, 0};
    if (colours.count > 0 && colours.records && colours.records[0].paletteCount > 0 && colours.records[0].palette) {
        const Colour &first = colours.records[0].palette[0];
        base[0] = first.red;
        base[1] = first.green;
        base[2] = first.blue;
    }
    const int32_t z = view.sunDir.z;
    view.groundColour.red = HorizonChannel(base[0], view.skyLight[0], view.sunLight[0], z);
    view.groundColour.green = HorizonChannel(base[1], view.skyLight[1], view.sunLight[1], z);
    view.groundColour.blue = HorizonChannel(base[2], view.skyLight[2], view.sunLight[2], z);
    view.groundColour.flags = 0;
    view.fogColour = scheme.fogColour;
    UpdateHemisphereLight();
}
