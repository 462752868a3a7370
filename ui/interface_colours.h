#pragma once

#include "core/colour.h"

// One colour of the interface: a colour record (red, green, blue and a flag
// byte 0), so that an item or a text takes it wherever it takes a Colour.
struct InterfaceColour : Colour {};
static_assert(sizeof(InterfaceColour) == sizeof(Colour), "an interface colour is a plain colour record");

// The user's interface colours and opacities, kept in interface_cfg.txt
// beside the program. Interface items point at these records, so a change
// shows at once.
struct InterfaceColourSet {
    float bigOpacity;                // "Big Opacity ": big panels, 0..1
    InterfaceColour bigCol;          // "Big Col ": face of big panels
    float buttonOpacity;             // "Button Opacity ": button faces, 0..1
    InterfaceColour buttonCol;       // "Button Col "
    InterfaceColour titleGrey;       // "Title Grey ": title bars and headings
    InterfaceColour bigText;         // "Big Text ": text on big panels and value buttons
    InterfaceColour textUnselected;  // "Text Unselected "
    InterfaceColour textSelected;    // "Text Selected "
    InterfaceColour textUnavailable; // "Text Unavailable "
    InterfaceColour textString;      // "Text String ": text fields
    InterfaceColour buttonGreen;     // "Button Green ": forward buttons
    InterfaceColour buttonRed;       // "Button Red ": back and cancel buttons
    InterfaceColour buttonAlt;       // "Button Alt "
    InterfaceColour smallMapLight;   // "Small Map Light "
    InterfaceColour smallMapDark;    // "Small Map Dark "
    InterfaceColour carLapAhead;     // "Car Lap Ahead "
    InterfaceColour carAhead;        // "Car Ahead "
    InterfaceColour aiAhead;         // "AI Ahead "
    InterfaceColour ownCar;          // "Own Car "
    InterfaceColour aiBehind;        // "AI Behind "
    InterfaceColour carBehind;       // "Car Behind "
    InterfaceColour carLapBehind;    // "Car Lap Behind "
};

extern InterfaceColourSet InterfaceColours;

// The pure red, green and blue records the colour editors' component sliders
// are drawn in; not user settings.
extern const Colour ColourComponentRed;
extern const Colour ColourComponentGreen;
extern const Colour ColourComponentBlue;

// Values derived from the set by ApplyInterfaceColours: the opacities as
// alpha bytes in the top 8 bits of a packed colour, and the small map's and
// the car markers' colours packed as 0xFFRRGGBB.
extern uint32_t ButtonAlpha;
extern uint32_t BigAlpha;
extern uint32_t SmallMapLightPacked;
extern uint32_t SmallMapDarkPacked;
constexpr int CarMarkerColourCount = 7;
// Lap ahead, ahead, AI ahead, own car, AI behind, behind, lap behind.
extern uint32_t CarMarkerColours[CarMarkerColourCount];

// 0xFFRRGGBB of a colour record.
uint32_t PackOpaqueColour(const Colour &colour);
// Recomputes every derived value from the set; run after a load and after
// every change of a colour or an opacity.
void ApplyInterfaceColours();

// Sets every colour and opacity to its default, then reads interface_cfg.txt
// over them when it can be opened. Keys may come in any order and anywhere
// in the file; unknown text is skipped and a missing key keeps its default.
// An opacity is clamped to 0..1 (NaN gives 0), a colour channel to 0..255.
void LoadInterfaceColours();
// Writes interface_cfg.txt, all 22 settings in their fixed order, through a
// temporary file so that a failed write leaves the old file whole. Returns 1
// when written, 0 when the file could not be written (it is then unchanged).
int SaveInterfaceColours();
