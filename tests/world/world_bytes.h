#pragma once

// Builds little-endian world data in memory for the world tests and opens it
// as a stream behind a data-file header.

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/data_stream.h"

class WorldBytes {
public:
    WorldBytes &U8(uint32_t value)
    {
        bytes.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    WorldBytes &U16(uint32_t value) { return U8(value).U8(value >> 8); }
    WorldBytes &U32(uint32_t value) { return U16(value).U16(value >> 16); }
    WorldBytes &F32(float value)
    {
        uint32_t bits;
        memcpy(&bits, &value, 4);
        return U32(bits);
    }
    // A zero-padded 16-byte name.
    WorldBytes &Name(const char *text)
    {
        char field[16] = {};
        strncpy(field, text, 15);
        for (char c : field) {
            U8(static_cast<uint8_t>(c));
        }
        return *this;
    }
    WorldBytes &Colour(uint8_t r, uint8_t g, uint8_t b, uint8_t flags = 0) { return U8(r).U8(g).U8(b).U8(flags); }

    // The stream reads the bytes after an 8-byte header of the given version.
    void Open(DataStream &stream, int version)
    {
        image.assign({'Q', 'Z', 'W', 'O', 'R', 'L', static_cast<uint8_t>(version >> 8),
                      static_cast<uint8_t>(version)});
        image.insert(image.end(), bytes.begin(), bytes.end());
        int read = 0;
        stream.OpenMemory(image.data(), image.size(), &read);
    }

    std::vector<uint8_t> bytes;

private:
    std::vector<uint8_t> image;
};
