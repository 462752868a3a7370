#pragma once

#include <cstddef>

#include "core/colour.h"

struct DataStream;

// A car's look: the skin name and eight colours. Colours 1 to 4 tint the
// body, colours 5 to 8 the rims. The same 48 bytes are the record form in
// colour files, in the car data and in the player record.
struct CarColours {
    char skin[16];       // at most 15 characters, zero-terminated and zero-padded
    Colour body[4];
    Colour rim[4];
};
static_assert(sizeof(CarColours) == 48, "CarColours is stored as 48 bytes");
static_assert(offsetof(CarColours, body) == 16);
static_assert(offsetof(CarColours, rim) == 32);

constexpr const char *ColourFileId = "KZVCFG";
constexpr int ColourFileVersion = 251;

// Reads one record: red, green and blue of all eight colours are clamped to
// 10..160, the flags bytes kept, the skin name's last byte made 0. The
// version is not looked at.
void ReadColourRecord(CarColours *colours, DataStream *stream, int version);
// The skin name as a 16-byte text field (15 characters at most and a zero),
// then the eight colours.
void WriteColourRecord(const CarColours &colours, DataStream *stream);

// 1 when read, 0 when the file cannot be opened, has another id, a version
// above 251, or ends early; colours is then unchanged.
int ReadColourFile(CarColours *colours, const char *path);
// 1 when written, 0 when the file cannot be created or a write or the close
// failed.
int WriteColourFile(const CarColours &colours, const char *path);

// 1 when any of the 48 bytes differ, else 0.
int CarColoursDiffer(const CarColours &a, const CarColours &b);
