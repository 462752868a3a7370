#pragma once

#include <cstdint>
#include <vector>

// A decoded picture: 8-bit red, green, blue, three bytes a pixel, rows from
// the top.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width x height x 3 bytes
};
