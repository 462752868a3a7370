#include "platform/bmp_file.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr size_t FileHeaderBytes = 14;
constexpr uint32_t SmallestInfoBytes = 40;
constexpr uint32_t Uncompressed = 0;

uint32_t Read32(const uint8_t *at)
{
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

uint16_t Read16(const uint8_t *at)
{
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

}  // namespace

bool DecodeBmpImage(const void *data, size_t size, RgbImage *image)
{
    *image = RgbImage{};
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    if (bytes == nullptr || size < FileHeaderBytes + SmallestInfoBytes || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    const uint32_t pixelsAt = Read32(bytes + 10);
    const uint8_t *info = bytes + FileHeaderBytes;
    const uint32_t infoBytes = Read32(info);
    if (infoBytes < SmallestInfoBytes || infoBytes > size - FileHeaderBytes) {
        return false;
    }
    const int32_t width = static_cast<int32_t>(Read32(info + 4));
    const int32_t storedHeight = static_cast<int32_t>(Read32(info + 8));
    const uint16_t planes = Read16(info + 12);
    const uint16_t bits = Read16(info + 14);
    const uint32_t compression = Read32(info + 16);
    if (planes != 1 || (bits != 24 && bits != 32) || compression != Uncompressed) {
        return false;
    }
    // The most negative height has no positive counterpart: refused with the
    // other sizes out of range.
    if (width < 1 || width > BmpMaxSide || storedHeight == 0 || storedHeight < -BmpMaxSide ||
        storedHeight > BmpMaxSide) {
        return false;
    }
    const bool topDown = storedHeight < 0;
    const int height = topDown ? -storedHeight : storedHeight;
    const size_t pixelBytes = bits / 8u;
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
    // The last row needs only its pixels, not its padding.
    if (pixelsAt > size || (size - pixelsAt) / stride < static_cast<size_t>(height - 1) ||
        size - pixelsAt - stride * static_cast<size_t>(height - 1) < rowBytes) {
        return false;
    }
    image->width = width;
    image->height = height;
    image->pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        const uint8_t *in = bytes + pixelsAt + static_cast<size_t>(stored) * stride;
        uint8_t *out = image->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
        for (int x = 0; x < width; ++x) {
            // Stored blue, green, red.
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            in += pixelBytes;
            out += 3;
        }
    }
    return true;
}
