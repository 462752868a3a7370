#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "test_files.h"

// Builds the bytes of a data file or of a part of one, little-endian, for
// fixtures in forms that the program itself no longer writes.
struct ByteImage {
    std::vector<uint8_t> bytes;

    // Starts with the 8-byte header: the id, then the version high byte first.
    static ByteImage WithHeader(const char *id, int version)
    {
        ByteImage image;
        image.bytes.assign(id, id + 6);
        image.U8(version >> 8).U8(version);
        return image;
    }

    ByteImage &U8(int value)
    {
        bytes.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    ByteImage &U16(int value) { return U8(value).U8(value >> 8); }
    ByteImage &U32(uint32_t value) { return U16(static_cast<int>(value & 0xFFFF)).U16(static_cast<int>(value >> 16)); }
    ByteImage &F32(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        return U32(bits);
    }
    ByteImage &Zeros(int n)
    {
        bytes.insert(bytes.end(), static_cast<size_t>(n), 0);
        return *this;
    }

    bool Save(const std::string &path) const
    {
        FILE *file = std::fopen(path.c_str(), "wb");
        if (!file)
            return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        return std::fclose(file) == 0 && written;
    }
};

