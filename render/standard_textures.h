#pragma once

#include <cstdint>

struct Material;
struct TextureRecord;

// The fixed set of textures that exists whenever the device exists, the
// render-target textures, the special texture names objects use to reach
// them, and the menus' full-screen background picture.

// --- What the layers above answer ----------------------------------------------------------------

// The world, race and interface state the texture code asks about. The
// render layer sits below them, so the program hands the answers over at
// start-up. Every member may stay null: then there is no world, no race
// object, no local car, no garage car, no helmet screen, the main game mode,
// no covering screen and no screen holding the title picture.
struct TextureLink {
    // The current world's sky and environment materials and default texture
    // record; null without a world or without one. worldExists tells the
    // two cases apart where it matters (the fallback texture).
    Material *(*worldSkyMaterial)();
    Material *(*worldEnvironmentMaterial)();
    TextureRecord *(*worldDefaultTexture)();
    int (*worldExists)();
    // The race object's slot count, -1 without a race object.
    int (*raceSlotCount)();
    // 1 when the slot (0 .. count - 1) uses the skin texture: its car's skin
    // or helmet texture, or without a car its skin or helmet skin names.
    int (*slotUsesSkin)(int slot, const char *textureName, int helmet);
    // 1 when the local player's car uses the skin texture (car or helmet).
    int (*localCarUsesSkin)(const char *textureName, int helmet);
    // The garage's display car, and the helmet the driver page shows (a
    // texture name); set by those screens.
    int (*displayCarUsesSkin)(const char *textureName, int helmet);
    const char *(*shownHelmetTexture)();
    // The helmet materials take the track's default texture as their second
    // texture (after a track change).
    void (*refreshHelmetMaterials)(TextureRecord *second);
    // 1 in the main game mode (not the hot-lap check start).
    int (*mainGameMode)();
    // 1 while a screen that covers everything is shown: no background.
    int (*noBackground)();
    // 1 while only the background named "entry" may load.
    int (*entryBackgroundOnly)();
    // 1 while a screen holds the title picture texture.
    int (*titlePictureHeld)();
    // The interface's screen factors: height over width, and the size of a
    // pixel in screen units (2 / width, 2 / height).
    void (*screenMetrics)(float *aspect, float *pixelWidth, float *pixelHeight);
};
void SetTextureLink(const TextureLink &link);
extern TextureLink TextureLinks;

// --- The standard set -----------------------------------------------------------------------------------

struct StandardMaterialSet {
    Material *plainBlack;      // "PLAIN~B", pre-lit
    Material *plainGrey;       // "PLAIN~G", pre-lit
    Material *plainDefault;    // "PLAIN~W", pre-lit: the material of empty texture names
    Material *trackLitPlain;   // no texture, add pass, second texture the track's default
    Material *addPassWhite;    // "PLAIN~W" with the add pass
    Material *leaves[4];       // "LEAF%dATEST"
    Material *racingLine;      // "RACELINEALPHA"
    Material *discSolid;       // "DISCSOLIDALP24"
    Material *discDrilled;     // "DISCDRILLALP24"
    Material *tyre;            // "TYRE"
    Material *logo;            // "LOGOALPHA"
    Material *dust;            // "DUSTALPHA"
    Material *needleCentre;    // "NDLCTRALPHA"
    Material *lights;          // "LIGHTALPHA"
    Material *startLights;     // "STARTALPHA"
    Material *flags;           // "KZVFLAGSALPHA"
    Material *button;          // "BUTTALPHA"
    Material *smallButton;     // "SMLBALPHA"
    Material *icons;           // "ICONSALPHA": 5 icons of 48 x 32 a row
    Material *lineTexture;     // "LINEALPHA": the path and marking lines
    Material *picture;         // "QuillardALP24", the title picture
    Material *mirror;          // "MIRROR~T", 512 x 512 render target
    Material *clock;           // "CLOCKS~T", 256 x 256 R5G6B5 render target
    Material *background;      // the menus' picture; null when none is loaded
};
// Zero without a device.
extern StandardMaterialSet StandardMaterials;

// The named textures of the set in load order, with their LOD classes and
// the largest side the loader accepts (0: no limit).
struct StandardTextureEntry {
    const char *name;
    Material *StandardMaterialSet::*material;
    int lodClass;
    int largestSide;
    int modulate2x;    // 1: Modulate2x = Modulate2xOn (the leaves)
    int uncompressed;  // 1: loaded with CompressTextures off
};
extern const StandardTextureEntry StandardTextureTable[];
extern const int StandardTextureCount;

constexpr const char *TitlePictureName = "QuillardALP24";
constexpr const char *MirrorTextureName = "MIRROR~T";
constexpr const char *ClockTargetTextureName = "CLOCKS~T";

// Builds the standard set. Called at graphics start and after the device is
// made again. Without a device, releases the font textures and zeroes every
// standard material. Returns 0 only when the plain textures or the two
// render targets could not be made.
int LoadStandardTextures();

// A picture in memory (R, G, B, A bytes, side x side) loaded as the texture
// of the name through its ".raw" file name, shrunk by halves to maxSide or
// less, uncompressed. Null, with "Failed to create : <name>.raw" in the
// log, when it cannot be made.
TextureRecord *LoadImageTexture(const char *name, const uint8_t *rgba, int side, int maxSide);

// After every material and texture was released: the standard materials,
// the plate materials and the background become zero (their names stay),
// and the object look-up is withdrawn until the set is loaded again.
void ForgetStandardTextures();

// "%s : %s" with "Invalid", "Too big" or "Can't open" and the name, in the
// warning colour, when the material has no texture. Returns 1 when it
// printed.
int ReportTextureError(const Material *material, const char *name);

// The title picture with CompressTextures off.
Material *LoadFixedAlphaTexture(const char *name);

// Deletes the material (leaving its texture) and nulls the pointer.
void DeleteMaterial(Material **material);

// The track-lit plain material and the helmet materials take the track's
// current default texture as their second texture.
void RefreshTrackDefaultTexture();

// The special names: "s_mirr" the mirror target, the clock names the clock
// target; with plates, "s_plate" and "s_plate_atest" the plate materials of
// group 0. Null for any other name.
Material *GetSpecialTexture(const char *name, int withPlates);
// 1 for a clock texture name (compared without case).
int IsClockTextureName(const char *name);
// A special name, "s_sky" / "s_env" (the world's, or the plain default), or
// the texture loaded with CompressTextures off and reported.
Material *GetTextureForName(const char *name);

// --- Render targets ------------------------------------------------------------------------------------

// 1: graphics on with a device.
int RenderTexturesOn();
// Finds or makes the named square render target; its material (pre-lit),
// or null when it cannot be made.
Material *CreateRenderTexture256(const char *name);
Material *CreateRenderTexture512(const char *name);
// Clears the material's target to the colour (ARGB); nothing without one.
void ClearTextureTarget(Material *material, uint32_t colour);
// Opaque black, with render textures on.
void ClearMirrorTexture();
void ClearClockTexture();

// 2 after a display-mode change: the next ResetRenderTextures also releases
// the shadow textures. 0 otherwise.
extern int RenderTextureState;

// Outside a scene: clears the render-target textures, releases the shadow
// textures after a display-mode change, and clears TextureRefreshRequest.
void ResetRenderTextures();

// --- Background picture -------------------------------------------------------------------------------

// The full-screen background picture of the menus by name (data\pic, file
// "bkg_<name>.jpg"); null or "" clears it. The same name again keeps the
// picture that is loaded.
void SetBackgroundPicture(const char *name);
void LoadBackgroundPicture();
// The name set; "" when none.
const char *BackgroundPictureName();
