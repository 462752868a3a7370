#pragma once

#include "core/colour.h"

// The user's interface colours and opacities, kept in interface_cfg.txt
// beside the program. Interface items point at these records, so a change
// shows at once.
struct InterfaceColourSet {
    float bigOpacity;       // "Big Opacity ": big panels, 0..1
    Colour bigCol;          // "Big Col ": face of big panels
    float buttonOpacity;    // "Button Opacity ": button faces, 0..1
    Colour buttonCol;       // "Button Col "
    Colour titleGrey;       // "Title Grey ": title bars and headings
    Colour bigText;         // "Big Text ": text on big panels and value buttons
    Colour textUnselected;  // "Text Unselected "
    Colour textSelected;    // "Text Selected "
    Colour textUnavailable; // "Text Unavailable "
    Colour textString;      // "Text String ": text fields
    Colour buttonGreen;     // "Button Green ": forward buttons
    Colour buttonRed;       // "Button Red ": back and cancel buttons
    Colour buttonAlt;       // "Button Alt "
    Colour smallMapLight;   // "Small Map Light "
    Colour smallMapDark;    // "Small Map Dark "
    Colour carLapAhead;     // "Car Lap Ahead "
    Colour carAhead;        // "Car Ahead "
    Colour aiAhead;         // "AI Ahead "
    Colour ownCar;          // "Own Car "
    Colour aiBehind;        // "AI Behind "
    Colour carBehind;       // "Car Behind "
    Colour carLapBehind;    // "Car Lap Behind "
};

extern InterfaceColourSet InterfaceColours;

// Sets every colour to its default, then reads interface_cfg.txt over them
// (the file is not read yet: the defaults stay).
void LoadInterfaceColours();
// Writes interface_cfg.txt; 0 when the file cannot be created. Nothing is
// written yet: the defaults are what the next start sets anyway.
int SaveInterfaceColours();
