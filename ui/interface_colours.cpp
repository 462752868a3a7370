#include "ui/interface_colours.h"

InterfaceColourSet InterfaceColours{};

namespace {

constexpr Colour Rgb(int r, int g, int b)
{
    return Colour{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b), 0};
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

}  // namespace

void LoadInterfaceColours()
{
    InterfaceColours = DefaultInterfaceColours;
}

int SaveInterfaceColours()
{
    return 1;
}
