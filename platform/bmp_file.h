#pragma once

#include "platform/rgb_image.h"

#include <cstddef>

// BMP pictures: uncompressed 24- and 32-bit, rows stored bottom-up (a positive
// height) or top-down (a negative one). The fourth byte of a 32-bit pixel is
// not read: the picture is opaque.

constexpr int BmpMaxSide = 8192;

// Decodes a BMP file held in memory. Returns false, with the image empty, for
// data that is not such a picture (another depth, compression or palette), a
// side of 0 or above BmpMaxSide, or pixel rows cut short.
bool DecodeBmpImage(const void *data, size_t size, RgbImage *image);
