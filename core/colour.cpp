#include "core/colour.h"

#include "core/data_stream.h"

Colour MessageColours[MessageColourCount];

void SetColourBytes(Colour *colour, int r, int g, int b)
{
    colour->red = static_cast<uint8_t>(r);
    colour->green = static_cast<uint8_t>(g);
    colour->blue = static_cast<uint8_t>(b);
    colour->flags = 0;
}

void ReadColour(Colour *colour, DataStream *stream)
{
    colour->red = static_cast<uint8_t>(stream->ReadU8());
    colour->green = static_cast<uint8_t>(stream->ReadU8());
    colour->blue = static_cast<uint8_t>(stream->ReadU8());
    colour->flags = static_cast<uint8_t>(stream->ReadU8());
}

void WriteColour(const Colour *colour, DataStream *stream)
{
    stream->WriteU8(colour->red);
    stream->WriteU8(colour->green);
    stream->WriteU8(colour->blue);
    stream->WriteU8(colour->flags);
}

// The shifts work on unsigned values so that an out-of-range channel gives
// the same bits as the formula, never undefined behaviour.

uint32_t PackRgb(int r, int g, int b)
{
    return 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b);
}

uint32_t PackRgbNoAlpha(int r, int g, int b)
{
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

uint32_t PackRgb565(int r, int g, int b)
{
    return (static_cast<uint32_t>(r) & 0xF8) << 8 | (static_cast<uint32_t>(g) & 0xFC) << 3 |
           static_cast<uint32_t>(b) >> 3;
}

uint32_t PackRgb555(int r, int g, int b)
{
    return (static_cast<uint32_t>(r) & 0xF8) << 7 | (static_cast<uint32_t>(g) & 0xF8) << 2 |
           static_cast<uint32_t>(b) >> 3;
}

int UnpackRgb565(uint32_t pixel, int *r, int *g, int *b)
{
    *r = static_cast<int>((pixel >> 8) & 0xF8);
    *g = static_cast<int>((pixel >> 3) & 0xF8);
    *b = static_cast<int>((pixel & 31) << 3);
    if (pixel & 0x20)
        return 512 - static_cast<int>((pixel >> 6) & 0x1FF);
    return 0;
}

int UnpackRgb555(uint32_t pixel, int *r, int *g, int *b)
{
    *r = static_cast<int>((pixel >> 7) & 0xF8);
    *g = static_cast<int>((pixel >> 2) & 0xF8);
    *b = static_cast<int>((pixel & 31) << 3);
    if (pixel & 0x8000)
        return 512 - static_cast<int>((pixel >> 6) & 0x1FF);
    return 0;
}

void InitMessageColours()
{
    static const uint8_t Rgb[MessageColourCount][3] = {
        {0, 0, 0},       {255, 0, 0},     {0, 255, 0},     {255, 255, 0},   {0, 0, 255},
        {255, 0, 255},   {0, 255, 255},   {255, 255, 255}, {148, 148, 148}, {250, 140, 120},
        {160, 255, 160}, {255, 255, 160}, {160, 160, 255}, {250, 160, 250}, {160, 250, 250},
        {255, 160, 60},  {255, 210, 160}, {255, 200, 80},  {200, 200, 200}, {32, 32, 32},
        {16, 16, 16},    {230, 110, 90},  {100, 220, 60},  {120, 150, 220},
    };
    for (int i = 0; i < MessageColourCount; i++)
        SetColourBytes(&MessageColours[i], Rgb[i][0], Rgb[i][1], Rgb[i][2]);
}
