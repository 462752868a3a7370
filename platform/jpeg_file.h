#pragma once

#include "platform/rgb_image.h"

#include <cstddef>
#include <cstdint>

// JPEG images: skins, site pictures and other photographs of the data folder.
// Pixels are 8-bit red, green, blue, three bytes each, rows from the top.

using JpegImage = RgbImage;

// Largest side accepted when decoding; larger images are refused rather than
// allocated.
constexpr int JpegMaxSide = 8192;

// Encodes the pixels as a baseline JPEG file (quality 1..100, clamped).
// Returns false, leaving no usable file, when the image is empty or larger
// than JpegMaxSide, or when the file cannot be written.
bool WriteJpegFile(const char *path, const uint8_t *rgb, int width, int height, int quality);

// Decodes a JPEG image held in memory. Returns false, with the image empty,
// for data that is not a JPEG image, is cut short or damaged (the library
// would only patch the missing part over with grey), or is too large.
bool DecodeJpegImage(const void *data, size_t size, JpegImage *image);

// Reads and decodes a JPEG file; false as above or when it cannot be read.
bool ReadJpegFile(const char *path, JpegImage *image);
