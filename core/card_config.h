#pragma once

#include <cstdint>

// The graphics card settings of card_cfg.txt, and what the device can do.
//
// card_cfg.txt holds four lines: "Adapter Select ", "Adapter Name " (the
// adapter's description, written for the user and ignored when read),
// "ZBD Select " and "Simple Track ". It is read before the renderer starts
// and written with the other settings.

extern int AdapterSelect;  // "Adapter Select ": the adapter to use, 0..7
extern int ZbdSelect;      // "ZBD Select ": depth-buffer format choice -1..3 (-1 automatic)
extern int SimpleTrack;    // "Simple Track ": 0 off; 1, 2 simpler world graphics; 2 also no car shadows

// The description of the adapter in use, written as "Adapter Name ". The
// render layer fills it when it chooses an adapter; it stays empty without
// graphics, and then an empty name is written.
constexpr int AdapterNameSize = 512;
extern char AdapterDescription[AdapterNameSize];

// What the device can do. The render layer fills CurrentDeviceCaps when it
// creates the device; LogDeviceCaps reads it.
struct DeviceCaps {
    int maxTextureWidth;
    int maxTextureHeight;
    int canClampTextures;         // texture addressing that clamps
    int destColourSourceBlend;    // source blend factor: destination colour
    int sourceColourDestBlend;    // destination blend factor: source colour
    int modulate2x;               // a texture stage can modulate by twice the colour
    int maxSimultaneousTextures;
    int dynamicTextures;
    int maxAnisotropy;            // 1 or less: none
    int dxt1Textures;             // DXT1 textures in the display's format
    int dxt3Textures;             // DXT3 textures in the display's format
};

extern DeviceCaps CurrentDeviceCaps;

// The record of the null render backend (no display): 4096 x 4096 textures,
// clamping, both blend factors, modulate-2x, two textures at once, dynamic
// textures, no anisotropy and no compressed textures.
DeviceCaps NullDeviceCaps();

// Render-layer limits that follow the device. ReadConfigFile sets their
// defaults (SetRenderCapabilityDefaults); LogDeviceCaps lowers them.
extern int MaxTextureSide;     // largest texture side loaded; 4096
extern int DxtSupported;       // 1: DXT1 and DXT3 textures can be made
extern uint32_t Modulate2xOn;  // 1: colours are halved and doubled back by the texture stage
extern int MultiTextureOn;     // 1: two textures in one pass
extern int MaxMipFilter;       // highest anisotropic filter level offered, at least 2

void SetRenderCapabilityDefaults();

// Sets the defaults, then reads card_cfg.txt when it exists (values are
// clamped; unknown text is skipped).
void ReadCardConfig();
// Writes card_cfg.txt; nothing happens when it cannot be written.
void WriteCardConfig();

// Logs the capabilities of CurrentDeviceCaps ("max texture size %d" and five
// "can"/"can't" lines) and lowers the settings the device cannot honour:
// MaxMipFilter and "Mip Filter ", MaxTextureSide, "Shadow Mode ",
// Modulate2xOn, MultiTextureOn, DxtSupported and "Half Tex Res ". Called once
// the device exists, and again whenever it is made anew.
void LogDeviceCaps();
