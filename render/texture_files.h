#pragma once

#include <cstdint>

struct TextureRecord;
struct DdsImage;

// Texture files: the program's headerless .raw pictures with their alpha
// companions, uploaded in 16- or 32-bit formats with a box-filtered chain
// and kept compressed in the DDS cache "data\dds\<name>.dds"; JPEG, BMP and
// DDS pictures (LoadTextureFile in texture_manager.h).

// Alpha kinds, named by the last 9 characters of a .raw path.
constexpr int AlphaKindNone = 0;
constexpr int AlphaKindTest = 1;   // "ATEST.raw", "ALP15.raw"
constexpr int AlphaKindHalf = 4;   // "ALPHA.raw"
constexpr int AlphaKindFull = 8;   // "ALP24.raw"
constexpr int AlphaKindOnly = 32;  // "AONLY.raw"

extern int TextureMipLevels;     // levels of non-DDS images; 0 the full chain
extern int FullColourTextures;   // 1: .raw pictures go up as X8R8G8B8
extern int LargestTextureSide;   // sides above it are refused (load result 2); 0 none
extern int DdsCacheWrites;       // DDS cache files written
// A .raw picture in memory (R, G, B, A bytes, side x side) read instead of
// the .raw files; it belongs to its owner. Null pixels with a side: white
// with no alpha information (0x0FFF texels).
extern const uint8_t *PendingRawPixels;
extern int PendingRawSide;
extern bool PendingRawImage;
// An encoded picture in memory read instead of a non-.raw file.
extern const uint8_t *PendingEncodedBytes;
extern int PendingEncodedSize;

// Alpha kind of a path and whether it is alpha tested ("ATEST.raw").
int ClassifyRawName(const char *path, int *alphaTest);
uint32_t GetFormatForAlphaKind(int alphaKind);
uint32_t GetDxtFormatForAlphaKind(int alphaKind);

// Reads a .raw picture (or the pending one) into 32-bit pixels (new[]'d
// unless pending). Returns the side, or -1 with the load result set.
int ReadRawImage(uint8_t **pixels, const char *path, int *side, int *alphaKind, int *alphaTest, int largestSide,
                 int halve, uint8_t averageColour[4]);
// Halves the side x side picture in place, the result at its start.
void DownsampleImage32(uint8_t *pixels, int side, int alphaKind);
// A .raw texture: from the DDS cache when compression is on and the cache
// file is usable, else from the .raw files (writing the cache when
// compression is on). 0, -1 (refused or missing), -4 (no texture made).
int LoadRawTexture(const char *name, const char *path, TextureRecord *record);
// Writes an n x n cell of 32-bit pixels at texel (column n, row n) of every
// level as (A << 8) | 0x0FFF (the pixels are copied, not changed).
void UploadTexturePixels(TextureRecord *record, const uint8_t *pixels, int cellSide, int column, int row, int levels);
// Writes a DDS file through a temporary file renamed into place only when
// the whole file was written: a failure leaves no part of a file behind.
bool SaveDdsFile(const char *path, const DdsImage &image);
