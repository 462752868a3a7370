#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// DDS files of DXT1 or DXT3 blocks with their mip levels: the texture cache
// and the pictures the program saves. Only these two block formats are read
// or written; any other pixel format is refused.

constexpr int DdsHeaderBytes = 124;   // after the 4-byte "DDS " magic
constexpr int DdsMaxSide = 8192;      // larger pictures are refused

struct DdsImage {
    int width = 0;
    int height = 0;
    bool dxt3 = false;
    // Level 0 first, each max(1, side >> level) on both axes, in blocks of
    // 4 x 4 texels as DxtLevelBytes counts them.
    std::vector<std::vector<uint8_t>> levels;
};

// Reads the magic and header only: false when they are not a DDS header
// (wrong magic or header size field). Width and height as stored.
bool ReadDdsHeaderSize(const void *data, size_t size, int *width, int *height);

// Decodes a whole file held in memory. Returns false, with the image empty,
// for a wrong magic or header size, a pixel format other than DXT1 or DXT3, a
// side of 0 or above DdsMaxSide, a level count the sides cannot have, or
// level data cut short.
bool DecodeDdsImage(const void *data, size_t size, DdsImage *image);

// The file's bytes for the image; false when the image is empty, its sides
// are out of range or a level does not hold the bytes its size needs.
bool EncodeDdsImage(const DdsImage &image, std::vector<uint8_t> *bytes);
