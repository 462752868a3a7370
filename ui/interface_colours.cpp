#include "ui/interface_colours.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/safe_write.h"
#include "core/text_settings_reader.h"
#include "platform/file_system.h"

InterfaceColourSet InterfaceColours{};
uint32_t ButtonAlpha = 0;
uint32_t BigAlpha = 0;
uint32_t SmallMapLightPacked = 0;
uint32_t SmallMapDarkPacked = 0;
uint32_t CarMarkerColours[CarMarkerColourCount] = {};
const Colour ColourComponentRed = {255, 0, 0, 0};
const Colour ColourComponentGreen = {0, 255, 0, 0};
const Colour ColourComponentBlue = {0, 0, 255, 0};

namespace {

constexpr const char *InterfaceConfigPath = "interface_cfg.txt";

constexpr InterfaceColour Rgb(int r, int g, int b)
{
    return InterfaceColour{{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b), 0}};
}

constexpr InterfaceColourSet DefaultInterfaceColours = {
    0.3f,                 // big opacity
    Rgb(5, 0, 0),         // big col
    0.4f,                 // button opacity
    Rgb(200, 200, 200),   // button col
    Rgb(218, 255, 87),    // title grey
    Rgb(186, 200, 204),   // big text
    Rgb(0, 0, 0),         // text unselected
    Rgb(255, 255, 255),   // text selected
    Rgb(114, 114, 111),   // text unavailable
    Rgb(48, 166, 236),    // text string
    Rgb(117, 179, 77),    // button green
    Rgb(210, 98, 32),     // button red
    Rgb(180, 180, 30),    // button alt
    Rgb(208, 208, 208),   // small map light
    Rgb(48, 48, 48),      // small map dark
    Rgb(255, 255, 192),   // car lap ahead
    Rgb(224, 224, 32),    // car ahead
    Rgb(32, 176, 240),    // AI ahead
    Rgb(32, 224, 32),     // own car
    Rgb(48, 48, 240),     // AI behind
    Rgb(255, 160, 0),     // car behind
    Rgb(208, 96, 0),      // car lap behind
};

// One line of the file: an opacity or a colour. No key ends another key, so
// the order of the table is free to be the file's order.
struct InterfaceSetting {
    const char *key;
    float *opacity;           // set for an opacity
    InterfaceColour *colour;  // set for a colour
};

constexpr InterfaceSetting Opacity(const char *key, float *value)
{
    return {key, value, nullptr};
}

constexpr InterfaceSetting ColourKey(const char *key, InterfaceColour *value)
{
    return {key, nullptr, value};
}

constexpr InterfaceSetting Settings[] = {
    Opacity("Big Opacity ", &InterfaceColours.bigOpacity),
    ColourKey("Big Col ", &InterfaceColours.bigCol),
    Opacity("Button Opacity ", &InterfaceColours.buttonOpacity),
    ColourKey("Button Col ", &InterfaceColours.buttonCol),
    ColourKey("Title Grey ", &InterfaceColours.titleGrey),
    ColourKey("Big Text ", &InterfaceColours.bigText),
    ColourKey("Text Unselected ", &InterfaceColours.textUnselected),
    ColourKey("Text Selected ", &InterfaceColours.textSelected),
    ColourKey("Text Unavailable ", &InterfaceColours.textUnavailable),
    ColourKey("Text String ", &InterfaceColours.textString),
    ColourKey("Button Green ", &InterfaceColours.buttonGreen),
    ColourKey("Button Red ", &InterfaceColours.buttonRed),
    ColourKey("Button Alt ", &InterfaceColours.buttonAlt),
    ColourKey("Small Map Light ", &InterfaceColours.smallMapLight),
    ColourKey("Small Map Dark ", &InterfaceColours.smallMapDark),
    ColourKey("Car Lap Ahead ", &InterfaceColours.carLapAhead),
    ColourKey("Car Ahead ", &InterfaceColours.carAhead),
    ColourKey("AI Ahead ", &InterfaceColours.aiAhead),
    ColourKey("Own Car ", &InterfaceColours.ownCar),
    ColourKey("AI Behind ", &InterfaceColours.aiBehind),
    ColourKey("Car Behind ", &InterfaceColours.carBehind),
    ColourKey("Car Lap Behind ", &InterfaceColours.carLapBehind),
};

constexpr int SettingCount = static_cast<int>(sizeof(Settings) / sizeof(Settings[0]));
static_assert(SettingCount == 22, "interface_cfg.txt holds 22 settings");

constexpr std::array<const char *, SettingCount> KeyTexts = [] {
    std::array<const char *, SettingCount> keys{};
    for (int i = 0; i < SettingCount; ++i) {
        keys[i] = Settings[i].key;
    }
    return keys;
}();

// A colour is three numbers scanned like "%d %d %d"; a channel outside a
// byte is clamped rather than wrapped, and a channel that cannot be scanned
// keeps its value.
void ReadColourValue(FILE *file, InterfaceColour *colour)
{
    int rgb[3] = {colour->red, colour->green, colour->blue};
    for (int &channel : rgb) {
        ReadClampedInt(file, &channel, 0, 255);
    }
    SetColourBytes(colour, rgb[0], rgb[1], rgb[2]);
}

void ReadInterfaceKey(FILE *file, int key, void *)
{
    const InterfaceSetting &setting = Settings[key];
    if (setting.opacity) {
        ReadClampedFloat(file, setting.opacity, 0.0f, 1.0f);
    } else {
        ReadColourValue(file, setting.colour);
    }
}

// "%.2f" that never follows the C library's locale.
void WriteOpacity(FILE *file, float value)
{
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof(text) - 1, value, std::chars_format::fixed, 2);
    const int length = result.ec == std::errc() ? static_cast<int>(result.ptr - text) : 0;
    text[length] = 0;
    std::fputs(text, file);
}

}  // namespace

uint32_t PackOpaqueColour(const Colour &colour)
{
    return 0xff000000u | static_cast<uint32_t>(colour.red) << 16 | static_cast<uint32_t>(colour.green) << 8 |
           colour.blue;
}

namespace {

// An opacity 0..1 as the alpha byte of a packed colour.
uint32_t AlphaOf(float opacity)
{
    const float clamped = opacity > 0.0f ? (opacity < 1.0f ? opacity : 1.0f) : 0.0f;
    return static_cast<uint32_t>(std::lround(clamped * 255.0f)) << 24;
}

}  // namespace

void ApplyInterfaceColours()
{
    const InterfaceColourSet &set = InterfaceColours;
    ButtonAlpha = AlphaOf(set.buttonOpacity);
    BigAlpha = AlphaOf(set.bigOpacity);
    SmallMapLightPacked = PackOpaqueColour(set.smallMapLight);
    SmallMapDarkPacked = PackOpaqueColour(set.smallMapDark);
    const InterfaceColour *cars[CarMarkerColourCount] = {&set.carLapAhead, &set.carAhead, &set.aiAhead,
                                                         &set.ownCar,      &set.aiBehind, &set.carBehind,
                                                         &set.carLapBehind};
    for (int i = 0; i < CarMarkerColourCount; ++i) {
        CarMarkerColours[i] = PackOpaqueColour(*cars[i]);
    }
}

void LoadInterfaceColours()
{
    InterfaceColours = DefaultInterfaceColours;
    FILE *file = PlatformOpenFile(InterfaceConfigPath, "r");
    if (file) {
        ReadTextSettings(file, KeyTexts.data(), SettingCount, ReadInterfaceKey, nullptr);
        std::fclose(file);
    }
    ApplyInterfaceColours();
}

int SaveInterfaceColours()
{
    SafeWrite write;
    FILE *file = OpenSafeWriteText(&write, InterfaceConfigPath);
    if (!file) {
        return 0;
    }
    for (const InterfaceSetting &setting : Settings) {
        std::fputs(setting.key, file);
        if (setting.opacity) {
            WriteOpacity(file, *setting.opacity);
        } else {
            std::fprintf(file, "%d %d %d", setting.colour->red, setting.colour->green, setting.colour->blue);
        }
        std::fputc('\n', file);
    }
    return CloseSafeWriteText(&write, file) ? 1 : 0;
}
