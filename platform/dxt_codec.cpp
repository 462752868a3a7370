#include "platform/dxt_codec.h"

#include <squish.h>

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
    squish::CompressImage(rgba, width, height, blocks->data(), flags);
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
    squish::DecompressImage(rgba->data(), width, height, blocks, dxt3 ? squish::kDxt3 : squish::kDxt1);
    return true;
}
