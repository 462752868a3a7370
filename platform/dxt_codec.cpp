#include "platform/dxt_codec.h"

#include <squish.h>

#include <cstring>

int DxtLevelBytes(int width, int height, bool dxt3)
{
    const int across = width > 0 ? (width + 3) / 4 : 1;
    const int down = height > 0 ? (height + 3) / 4 : 1;
    return across * down * (dxt3 ? 16 : 8);
}

bool EncodeDxt(const uint8_t *rgba, int width, int height, bool dxt3, std::vector<uint8_t> *blocks)
{
    blocks->clear();
    if (rgba == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    blocks->assign(static_cast<size_t>(DxtLevelBytes(width, height, dxt3)), 0);
    // Cluster fit: slower than range fit, and the better colours.
    const int flags = (dxt3 ? squish::kDxt3 : squish::kDxt1) | squish::kColourClusterFit;
    // Block by block on this thread (the library's whole-image call starts
    // threads of its own); texels past the edges are masked out.
    uint8_t *block = blocks->data();
    const size_t blockBytes = dxt3 ? 16 : 8;
    for (int y = 0; y < height; y += 4) {
        for (int x = 0; x < width; x += 4) {
            uint8_t texels[16 * 4] = {};
            int mask = 0;
            for (int py = 0; py < 4; ++py) {
                for (int px = 0; px < 4; ++px) {
                    if (x + px < width && y + py < height) {
                        std::memcpy(&texels[(py * 4 + px) * 4],
                                    rgba + (static_cast<size_t>(y + py) * static_cast<size_t>(width) +
                                            static_cast<size_t>(x + px)) * 4,
                                    4);
                        mask |= 1 << (py * 4 + px);
                    }
                }
            }
            squish::CompressMasked(texels, mask, block, flags);
            block += blockBytes;
        }
    }
    return true;
}

bool DecodeDxt(const uint8_t *blocks, size_t size, int width, int height, bool dxt3, std::vector<uint8_t> *rgba)
{
    rgba->clear();
    if (blocks == nullptr || width <= 0 || height <= 0 ||
        size < static_cast<size_t>(DxtLevelBytes(width, height, dxt3))) {
        return false;
    }
    rgba->assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    const uint8_t *block = blocks;
    const size_t blockBytes = dxt3 ? 16 : 8;
    for (int y = 0; y < height; y += 4) {
        for (int x = 0; x < width; x += 4) {
            uint8_t texels[16 * 4];
            squish::Decompress(texels, block, dxt3 ? squish::kDxt3 : squish::kDxt1);
            for (int py = 0; py < 4 && y + py < height; ++py) {
                for (int px = 0; px < 4 && x + px < width; ++px) {
                    std::memcpy(rgba->data() + (static_cast<size_t>(y + py) * static_cast<size_t>(width) +
                                                static_cast<size_t>(x + px)) * 4,
                                &texels[(py * 4 + px) * 4], 4);
                }
            }
            block += blockBytes;
        }
    }
    return true;
}
