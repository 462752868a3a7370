#include "vehicle/car_colours.h"

#include <cstring>

#include "core/data_stream.h"

namespace {

// Channel limits that every stored record is pulled into on reading.
constexpr uint8_t ChannelMin = 10;
constexpr uint8_t ChannelMax = 160;

uint8_t ClampChannel(uint8_t value)
{
    if (value < ChannelMin) {
        return ChannelMin;
    }
    return value > ChannelMax ? ChannelMax : value;
}

void ReadClampedColour(Colour *colour, DataStream *stream)
{
    ReadColour(colour, stream);
    colour->red = ClampChannel(colour->red);
    colour->green = ClampChannel(colour->green);
    colour->blue = ClampChannel(colour->blue);
}

}  // namespace

void ReadColourRecord(CarColours *colours, DataStream *stream, int /*version*/)
{
    stream->ReadBytes(colours->skin, sizeof(colours->skin));
    colours->skin[sizeof(colours->skin) - 1] = 0;
    for (Colour &colour : colours->body) {
        ReadClampedColour(&colour, stream);
    }
    for (Colour &colour : colours->rim) {
        ReadClampedColour(&colour, stream);
    }
}

void WriteColourRecord(const CarColours &colours, DataStream *stream)
{
    stream->WriteString(colours.skin, sizeof(colours.skin));
    for (const Colour &colour : colours.body) {
        WriteColour(&colour, stream);
    }
    for (const Colour &colour : colours.rim) {
        WriteColour(&colour, stream);
    }
}

int ReadColourFile(CarColours *colours, const char *path)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, path, ColourFileId, &version, ColourFileVersion, 0) != nullptr) {
        return 0;
    }
    CarColours read;
    ReadColourRecord(&read, &stream, version);
    const bool complete = !stream.overrun;
    stream.Close();
    if (!complete) {
        return 0;
    }
    *colours = read;
    return 1;
}

int WriteColourFile(const CarColours &colours, const char *path)
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, path, ColourFileId, ColourFileVersion) != nullptr) {
        return 0;
    }
    WriteColourRecord(colours, &stream);
    return stream.Close() == 0 ? 1 : 0;
}

int CarColoursDiffer(const CarColours &a, const CarColours &b)
{
    return std::memcmp(&a, &b, sizeof(CarColours)) != 0 ? 1 : 0;
}
