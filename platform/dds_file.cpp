#include "platform/dds_file.h"

#include "platform/dxt_codec.h"

#include <cstring>

namespace {

constexpr uint32_t FourCcDxt1 = 0x31545844u;  // "DXT1"
constexpr uint32_t FourCcDxt3 = 0x33545844u;  // "DXT3"
constexpr uint32_t PixelFormatFourCc = 0x4;
constexpr uint32_t FlagsCaps = 0x1;
constexpr uint32_t FlagsHeight = 0x2;
constexpr uint32_t FlagsWidth = 0x4;
constexpr uint32_t FlagsPixelFormat = 0x1000;
constexpr uint32_t FlagsMipCount = 0x20000;
constexpr uint32_t FlagsLinearSize = 0x80000;
constexpr uint32_t CapsComplex = 0x8;
constexpr uint32_t CapsTexture = 0x1000;
constexpr uint32_t CapsMipMap = 0x400000;

// Offsets in the file (after the magic the header starts at 4).
constexpr size_t AtSize = 4;
constexpr size_t AtFlags = 8;
constexpr size_t AtHeight = 12;
constexpr size_t AtWidth = 16;
constexpr size_t AtLinearSize = 20;
constexpr size_t AtMipCount = 28;
constexpr size_t AtPixelFormatSize = 76;
constexpr size_t AtPixelFormatFlags = 80;
constexpr size_t AtFourCc = 84;
constexpr size_t AtCaps = 108;
constexpr size_t DataStart = 4 + DdsHeaderBytes;

uint32_t Read32(const uint8_t *at)
{
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

void Write32(uint8_t *at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

int MostLevels(int width, int height)
{
    int count = 1;
    while ((width >> count) > 0 || (height >> count) > 0) {
        ++count;
    }
    return count;
}

int LevelSide(int side, int level)
{
    const int value = side >> level;
    return value > 0 ? value : 1;
}

}  // namespace

bool ReadDdsHeaderSize(const void *data, size_t size, int *width, int *height)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    if (bytes == nullptr || size < DataStart || std::memcmp(bytes, "DDS ", 4) != 0 ||
        Read32(bytes + AtSize) != static_cast<uint32_t>(DdsHeaderBytes)) {
        return false;
    }
    const uint32_t w = Read32(bytes + AtWidth);
    const uint32_t h = Read32(bytes + AtHeight);
    *width = w > static_cast<uint32_t>(DdsMaxSide) ? DdsMaxSide + 1 : static_cast<int>(w);
    *height = h > static_cast<uint32_t>(DdsMaxSide) ? DdsMaxSide + 1 : static_cast<int>(h);
    return true;
}

bool DecodeDdsImage(const void *data, size_t size, DdsImage *image)
{
    *image = DdsImage{};
    int width = 0;
    int height = 0;
    if (!ReadDdsHeaderSize(data, size, &width, &height) || width < 1 || height < 1 || width > DdsMaxSide ||
        height > DdsMaxSide) {
        return false;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    if ((Read32(bytes + AtPixelFormatFlags) & PixelFormatFourCc) == 0) {
        return false;
    }
    const uint32_t fourCc = Read32(bytes + AtFourCc);
    if (fourCc != FourCcDxt1 && fourCc != FourCcDxt3) {
        return false;
    }
    const bool dxt3 = fourCc == FourCcDxt3;
    uint32_t count = (Read32(bytes + AtFlags) & FlagsMipCount) != 0 ? Read32(bytes + AtMipCount) : 1;
    if (count == 0) {
        count = 1;
    }
    if (count > static_cast<uint32_t>(MostLevels(width, height))) {
        return false;
    }
    // Every level must be there before anything is allocated.
    size_t need = 0;
    for (int level = 0; level < static_cast<int>(count); ++level) {
        need += static_cast<size_t>(DxtLevelBytes(LevelSide(width, level), LevelSide(height, level), dxt3));
    }
    if (size - DataStart < need) {
        return false;
    }
    image->width = width;
    image->height = height;
    image->dxt3 = dxt3;
    size_t at = DataStart;
    for (int level = 0; level < static_cast<int>(count); ++level) {
        const size_t length =
            static_cast<size_t>(DxtLevelBytes(LevelSide(width, level), LevelSide(height, level), dxt3));
        image->levels.emplace_back(bytes + at, bytes + at + length);
        at += length;
    }
    return true;
}

bool EncodeDdsImage(const DdsImage &image, std::vector<uint8_t> *bytes)
{
    bytes->clear();
    const int count = static_cast<int>(image.levels.size());
    if (image.width < 1 || image.height < 1 || image.width > DdsMaxSide || image.height > DdsMaxSide ||
        count < 1 || count > MostLevels(image.width, image.height)) {
        return false;
    }
    size_t total = DataStart;
    for (int level = 0; level < count; ++level) {
        const size_t length = static_cast<size_t>(
            DxtLevelBytes(LevelSide(image.width, level), LevelSide(image.height, level), image.dxt3));
        if (image.levels[static_cast<size_t>(level)].size() != length) {
            return false;
        }
        total += length;
    }
    bytes->assign(DataStart, 0);
    uint8_t *header = bytes->data();
    std::memcpy(header, "DDS ", 4);
    Write32(header + AtSize, DdsHeaderBytes);
    Write32(header + AtFlags,
            FlagsCaps | FlagsHeight | FlagsWidth | FlagsPixelFormat | FlagsLinearSize | (count > 1 ? FlagsMipCount : 0));
    Write32(header + AtHeight, static_cast<uint32_t>(image.height));
    Write32(header + AtWidth, static_cast<uint32_t>(image.width));
    Write32(header + AtLinearSize, static_cast<uint32_t>(image.levels[0].size()));
    Write32(header + AtMipCount, static_cast<uint32_t>(count));
    Write32(header + AtPixelFormatSize, 32);
    Write32(header + AtPixelFormatFlags, PixelFormatFourCc);
    Write32(header + AtFourCc, image.dxt3 ? FourCcDxt3 : FourCcDxt1);
    Write32(header + AtCaps, CapsTexture | (count > 1 ? CapsComplex | CapsMipMap : 0));
    bytes->reserve(total);
    for (const std::vector<uint8_t> &level : image.levels) {
        bytes->insert(bytes->end(), level.begin(), level.end());
    }
    return true;
}
