#pragma once

#include <cstdint>

struct DataStream;

// A colour as settings and data files store it: four bytes in this order.
struct Colour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t flags;
};
static_assert(sizeof(Colour) == 4, "Colour is stored as 4 bytes");

// Stores the three bytes with flags 0.
void SetColourBytes(Colour *colour, int r, int g, int b);
// Reads and writes the four bytes, flags included.
void ReadColour(Colour *colour, DataStream *stream);
void WriteColour(const Colour *colour, DataStream *stream);

// Pixel packers for the back buffer's formats; all share one signature so the
// render layer can pick the one for its format. r, g and b are 0..255.
uint32_t PackRgb(int r, int g, int b);          // A888, alpha byte always 0xFF
uint32_t PackRgbNoAlpha(int r, int g, int b);   // X888
uint32_t PackRgb565(int r, int g, int b);       // 5:6:5
uint32_t PackRgb555(int r, int g, int b);       // X555, bit 15 clear

// Unpack the software rasteriser's 16-bit pixels to 8-bit channels. The flag
// bit (bit 5 of a 5:6:5 pixel, bit 15 of a 5:5:5 one) marks a pixel that
// carries a 9-bit value; the return is 512 minus that value, or 0 when the
// flag is clear.
int UnpackRgb565(uint32_t pixel, int *r, int *g, int *b);
int UnpackRgb555(uint32_t pixel, int *r, int *g, int *b);

// The named colours of messages and interface texts, as indices into
// MessageColours. The first eight follow the text colour codes ^0 to ^7.
enum MessageColour {
    ColourBlack,
    ColourRed,
    ColourGreen,
    ColourYellow,
    ColourBlue,
    ColourMagenta,
    ColourCyan,
    ColourWhite,
    ColourGrey,
    ColourSalmon,        // warnings, errors and message boxes
    ColourLightGreen,
    ColourLightYellow,
    ColourLightBlue,
    ColourLightMagenta,
    ColourLightCyan,
    ColourOrange,
    ColourPaleOrange,
    ColourGold,
    ColourLightGrey,     // information messages
    ColourDarkGrey,
    ColourNearBlack,
    ColourBrick,
    ColourLeafGreen,
    ColourSkyBlue,
    MessageColourCount
};

// Filled once at start-up by InitMessageColours; read-only afterwards.
extern Colour MessageColours[MessageColourCount];
void InitMessageColours();
