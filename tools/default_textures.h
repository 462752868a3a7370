#pragma once

#include <cstdint>
#include <string>

// Side of the default track and object pictures.
constexpr int DefaultTextureSide = 128;

// Writes a .raw picture: side x side pixels of red, green, blue, rows in
// order, no header. Returns false when the file cannot be written.
bool WriteRawColourFile(const std::string &path, const uint8_t *rgb, int side);

// Writes the alpha companion of the .raw colour file at colourPath (which
// ends in ".raw"): the same name with ".raw" replaced by the 9-character
// suffix ("ALPHA.raw", "ATEST.raw", "ALP15.raw", "ALP24.raw" or
// "AONLY.raw"), one alpha byte a pixel. Returns false for another suffix or
// when the file cannot be written.
bool WriteRawAlphaFile(const std::string &colourPath, const char *suffix, const uint8_t *alpha, int side);

// Writes data/pic/<name>.raw for every texture the default track's colours
// and the embedded objects name, and creates the empty data/dds folder the
// texture cache is written into. Returns null, or the text of what went
// wrong.
const char *WriteDefaultTextures(const char *runFolder);
