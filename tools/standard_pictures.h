#pragma once

#include <cstdint>
#include <vector>

// Writes the standard texture set into data/pic as .raw pictures with their
// alpha companions (leaves, racing line, brake discs, tyre, logo, dust,
// needle centre, lights, start lights, flags, the line texture and the
// title picture), and the menus' background pictures data/pic/bkg_<name>.jpg
// for every background the pages use. Returns null, or the text of what went
// wrong.
const char *WriteStandardPictures(const char *runFolder);

// The background pictures: their names and side (square pictures).
constexpr int BackgroundPictureSide = 512;
extern const char *const BackgroundPictureNames[];
extern const int BackgroundPictureCount;
// The background picture of the name as R, G, B bytes, side x side: a
// smooth blend between four corner colours, so that any point of it can be
// told from its place (the picture tests measure it).
std::vector<uint8_t> MakeBackgroundPicture(int index);
// Its colour at texture coordinates (u, v), 0..1.
void BackgroundPictureColour(int index, float u, float v, uint8_t rgb[3]);
