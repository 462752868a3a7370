#include "render/texture_files.h"

#include "core/card_config.h"
#include "core/settings.h"
#include "platform/dxt_codec.h"
#include "platform/file_system.h"
#include "platform/jpeg_file.h"
#include "render/render_device.h"
#include "render/texture_manager.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int TextureMipLevels = 0;
int FullColourTextures = 0;
int LargestTextureSide = 0;
int DdsCacheWrites = 0;
const uint8_t *PendingRawPixels = nullptr;
int PendingRawSide = 0;
bool PendingRawImage = false;
const uint8_t *PendingEncodedBytes = nullptr;
int PendingEncodedSize = 0;

namespace {

constexpr int RawSuffixLength = 9;
constexpr int LargestRawSide = 4096;

GraphicsDevice *Device()
{
    return RenderDevice.Device;
}

bool SameIgnoringCase(const char *a, const char *b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x + 32);
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y + 32);
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// The whole file, or false when it does not open.
bool ReadWhole(const char *path, std::vector<uint8_t> *bytes)
{
    FILE *file = PlatformOpenFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    bytes->clear();
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (bytes->size() > static_cast<size_t>(LargestRawSide) * LargestRawSide * 3) {
            break;  // larger than any picture: refused by its size below
        }
    }
    std::fclose(file);
    return true;
}

// The side s (a power of two up to 4096) with size = s * s * bytesPerPixel, or 0.
int SideOfSize(size_t size, int bytesPerPixel)
{
    for (int side = 1; side <= LargestRawSide; side *= 2) {
        if (static_cast<size_t>(side) * static_cast<size_t>(side) * static_cast<size_t>(bytesPerPixel) == size) {
            return side;
        }
    }
    return 0;
}

uint32_t PackTexel(const uint8_t *p, int alphaKind, bool noPixels)
{
    const uint32_t r = p != nullptr ? p[0] : 0;
    const uint32_t g = p != nullptr ? p[1] : 0;
    const uint32_t b = p != nullptr ? p[2] : 0;
    const uint32_t a = p != nullptr ? p[3] : 0;
    if (noPixels) {
        return 0x0FFF;
    }
    if (alphaKind == AlphaKindFull || FullColourTextures) {
        return a << 24 | r << 16 | g << 8 | b;
    }
    switch (alphaKind) {
    case AlphaKindOnly:
        return (a << 8 | 0x0FFF) & 0xFFFF;
    case AlphaKindTest:
        return (a & 0x80) << 8 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    case AlphaKindHalf:
        return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
    default:
        return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    }
}

void StoreTexel(uint8_t *at, uint32_t value, int bytes)
{
    if (bytes == 4) {
        std::memcpy(at, &value, 4);
    } else {
        const uint16_t half = static_cast<uint16_t>(value);
        std::memcpy(at, &half, 2);
    }
}

// Halves an RGB picture of w x h (each side at least 1) by 2 x 2 boxes; an
// odd last row or column averages what it has.
std::vector<uint8_t> HalveRgb(const std::vector<uint8_t> &rgb, int w, int h, int *outW, int *outH)
{
    const int nw = w > 1 ? w / 2 : 1;
    const int nh = h > 1 ? h / 2 : 1;
    std::vector<uint8_t> out(static_cast<size_t>(nw) * static_cast<size_t>(nh) * 3);
    for (int y = 0; y < nh; ++y) {
        for (int x = 0; x < nw; ++x) {
            for (int c = 0; c < 3; ++c) {
                uint32_t sum = 0;
                uint32_t count = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        const int sx = 2 * x + dx;
                        const int sy = 2 * y + dy;
                        if (sx < w && sy < h) {
                            sum += rgb[(static_cast<size_t>(sy) * w + sx) * 3 + static_cast<size_t>(c)];
                            ++count;
                        }
                    }
                }
                out[(static_cast<size_t>(y) * nw + x) * 3 + static_cast<size_t>(c)] =
                    static_cast<uint8_t>(sum / count);
            }
        }
    }
    *outW = nw;
    *outH = nh;
    return out;
}

// A decoded picture into a new texture of R5G6B5, DXT1 or L8 (luminance) with the
// levels asked for (0 the full chain); -4 when the device refuses it.
int UploadRgbPicture(TextureRecord *record, const JpegImage &image, uint32_t format, int levels)
{
    uint32_t texture = 0;
    if (Device() == nullptr ||
        Device()->CreateTexture(image.width, image.height, levels, 0, format, PoolManaged, &texture) != DeviceOk) {
        return -4;
    }
    ReleaseTextureInterface(record);
    record->texture = texture;
    record->format = format;
    record->pool = PoolManaged;
    const int count = Device()->TextureLevels(texture);
    std::vector<uint8_t> rgb = image.pixels;
    int w = image.width;
    int h = image.height;
    for (int level = 0; level < count; ++level) {
        if (level > 0) {
            rgb = HalveRgb(rgb, w, h, &w, &h);
        }
        DeviceLockedRect locked{};
        if (Device()->LockTexture(texture, level, nullptr, 0, &locked) != DeviceOk) {
            continue;
        }
        uint8_t *row = static_cast<uint8_t *>(locked.bits);
        if (format == RenderFormatDxt1) {
            std::vector<uint8_t> rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
            for (size_t i = 0; i < static_cast<size_t>(w) * static_cast<size_t>(h); ++i) {
                rgba[i * 4] = rgb[i * 3];
                rgba[i * 4 + 1] = rgb[i * 3 + 1];
                rgba[i * 4 + 2] = rgb[i * 3 + 2];
                rgba[i * 4 + 3] = 255;
            }
            std::vector<uint8_t> blocks;
            EncodeDxt(rgba.data(), w, h, false, &blocks);
            const size_t rowBytes = static_cast<size_t>((w + 3) / 4) * 8;
            for (int blockRow = 0; blockRow < (h + 3) / 4; ++blockRow) {
                std::memcpy(row, blocks.data() + static_cast<size_t>(blockRow) * rowBytes, rowBytes);
                row += locked.pitch;
            }
            Device()->UnlockTexture(texture, level);
            continue;
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint8_t *p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
                if (format == RenderFormatL8) {
                    // Luminance of the decoded pixel: a grey picture keeps its own grey.
                    row[x] = static_cast<uint8_t>((p[0] * 299u + p[1] * 587u + p[2] * 114u + 500u) / 1000u);
                } else {
                    const uint16_t texel = static_cast<uint16_t>((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
                    std::memcpy(row + static_cast<size_t>(x) * 2, &texel, 2);
                }
            }
            row += locked.pitch;
        }
        Device()->UnlockTexture(texture, level);
    }
    record->levels = static_cast<uint8_t>(count);
    record->width = static_cast<uint32_t>(image.width);
    record->height = static_cast<uint32_t>(image.height);
    return 0;
}

// Other pictures: JPEG (".jbw" as L8 from the ".jpg" beside it; others as
// DXT1 with CompressTextures, else R5G6B5); DDS and BMP files and the pending
// encoded picture answer -3 until their readers exist.
int LoadPictureFile(const char *path, TextureRecord *record)
{
    if (PendingEncodedBytes != nullptr) {
        return -3;
    }
    std::string file = path;
    uint32_t format = RenderFormatR5G6B5;
    const size_t jbw = file.find(".jbw");
    if (jbw != std::string::npos) {
        file.replace(jbw, 4, ".jpg");
        format = RenderFormatL8;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWhole(file.c_str(), &bytes)) {
        return -2;
    }
    if (file.find(".dds") != std::string::npos) {
        return -3;
    }
    if (format != RenderFormatL8 && CompressTextures) {
        format = RenderFormatDxt1;
    }
    JpegImage image;
    if (!DecodeJpegImage(bytes.data(), bytes.size(), &image)) {
        return -3;
    }
    return UploadRgbPicture(record, image, format, TextureMipLevels);
}

// The DDS cache is read by the codecs, which are not built yet: no cache
// file is ever usable, so the picture is read from its .raw files.
bool LoadFromDdsCache(const char *, TextureRecord *)
{
    return false;
}

}  // namespace

int ClassifyRawName(const char *path, int *alphaTest)
{
    struct Suffix {
        const char *text;
        int kind;
        int test;
    };
    static const Suffix Suffixes[] = {{"ATEST.raw", AlphaKindTest, 1},
                                      {"ALP15.raw", AlphaKindTest, 0},
                                      {"ALP24.raw", AlphaKindFull, 0},
                                      {"ALPHA.raw", AlphaKindHalf, 0},
                                      {"AONLY.raw", AlphaKindOnly, 0}};
    *alphaTest = 0;
    const size_t length = path != nullptr ? std::strlen(path) : 0;
    if (length <= RawSuffixLength) {
        return AlphaKindNone;
    }
    const char *tail = path + length - RawSuffixLength;
    for (const Suffix &suffix : Suffixes) {
        if (SameIgnoringCase(tail, suffix.text, RawSuffixLength)) {
            *alphaTest = suffix.test;
            return suffix.kind;
        }
    }
    return AlphaKindNone;
}

uint32_t GetFormatForAlphaKind(int alphaKind)
{
    switch (alphaKind) {
    case AlphaKindTest:
        return RenderFormatA1R5G5B5;
    case AlphaKindFull:
        return RenderFormatA8R8G8B8;
    case AlphaKindHalf:
    case AlphaKindOnly:
        return RenderFormatA4R4G4B4;
    default:
        return RenderFormatR5G6B5;
    }
}

uint32_t GetDxtFormatForAlphaKind(int alphaKind)
{
    return alphaKind == AlphaKindFull || alphaKind == AlphaKindHalf ? RenderFormatDxt3 : RenderFormatDxt1;
}

int ReadRawImage(uint8_t **pixels, const char *path, int *side, int *alphaKind, int *alphaTest, int largestSide,
                 int halve, uint8_t averageColour[4])
{
    *pixels = nullptr;
    *alphaKind = ClassifyRawName(path, alphaTest);
    int s = 0;
    if (PendingRawImage) {
        s = PendingRawSide;
        *pixels = const_cast<uint8_t *>(PendingRawPixels);
    } else {
        TextureLoadResult = 0;
        std::vector<uint8_t> colour;
        std::vector<uint8_t> alpha;
        bool haveColour = false;
        bool haveAlpha = false;
        if (*alphaKind != AlphaKindNone) {
            haveAlpha = ReadWhole(path, &alpha);
            const size_t length = std::strlen(path);
            std::string colourPath(path, length - RawSuffixLength);
            colourPath += ".raw";
            haveColour = ReadWhole(colourPath.c_str(), &colour);
        } else {
            haveColour = ReadWhole(path, &colour);
        }
        if (!haveColour && !haveAlpha) {
            return -1;
        }
        s = haveColour ? SideOfSize(colour.size(), 3) : SideOfSize(alpha.size(), 1);
        if (s == 0) {
            TextureLoadResult = 1;
            return -1;
        }
        if (LargestTextureSide != 0 && s > LargestTextureSide) {
            TextureLoadResult = 2;
            return -1;
        }
        const size_t count = static_cast<size_t>(s) * static_cast<size_t>(s);
        uint8_t *image = new uint8_t[count * 4];
        uint64_t sums[3] = {};
        for (size_t i = 0; i < count; ++i) {
            for (int c = 0; c < 3; ++c) {
                const uint8_t value = haveColour ? colour[i * 3 + static_cast<size_t>(c)] : 255;
                image[i * 4 + static_cast<size_t>(c)] = value;
                sums[c] += value;
            }
            // A short alpha companion leaves its missing pixels transparent.
            image[i * 4 + 3] = haveAlpha && i < alpha.size() ? alpha[i] : 0;
        }
        for (int c = 0; c < 3; ++c) {
            averageColour[c] = static_cast<uint8_t>(sums[c] / count);
        }
        averageColour[3] = 0;
        *pixels = image;
    }
    if (*pixels != nullptr && !PendingRawImage) {
        if (halve && s >= 17) {
            DownsampleImage32(*pixels, s, *alphaKind);
            s /= 2;
        }
        while (largestSide > 0 && s > largestSide) {
            DownsampleImage32(*pixels, s, *alphaKind);
            s /= 2;
        }
    }
    *side = s;
    return s;
}

void DownsampleImage32(uint8_t *pixels, int side, int alphaKind)
{
    const int half = side / 2;
    if (pixels == nullptr || half <= 0) {
        return;
    }
    for (int y = 0; y < half; ++y) {
        for (int x = 0; x < half; ++x) {
            const uint8_t *p[4] = {pixels + (static_cast<size_t>(2 * y) * side + 2 * x) * 4,
                                   pixels + (static_cast<size_t>(2 * y) * side + 2 * x + 1) * 4,
                                   pixels + (static_cast<size_t>(2 * y + 1) * side + 2 * x) * 4,
                                   pixels + (static_cast<size_t>(2 * y + 1) * side + 2 * x + 1) * 4};
            uint32_t colour[3] = {};
            uint32_t weighted[3] = {};
            uint32_t alphaSum = 0;
            for (const uint8_t *q : p) {
                alphaSum += q[3];
                for (int c = 0; c < 3; ++c) {
                    colour[c] += q[c];
                    weighted[c] += static_cast<uint32_t>(q[c]) * q[3];
                }
            }
            // Written after every read: output pixel (x, y) never lies past
            // the block it comes from.
            uint8_t *out = pixels + (static_cast<size_t>(y) * half + x) * 4;
            if (alphaKind == AlphaKindOnly) {
                out[3] = static_cast<uint8_t>(alphaSum >> 2);
                continue;
            }
            if (alphaKind == AlphaKindNone || alphaSum == 0) {
                for (int c = 0; c < 3; ++c) {
                    out[c] = static_cast<uint8_t>(colour[c] >> 2);
                }
                out[3] = 0;
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<uint8_t>(weighted[c] / alphaSum);
            }
            out[3] = static_cast<uint8_t>(alphaSum >> 2);
        }
    }
}

int LoadRawTexture(const char *name, const char *path, TextureRecord *record)
{
    bool cacheTried = false;
    int test = 0;
    const int kind = ClassifyRawName(path, &test);
    if (!PendingRawImage && CompressTextures) {
        cacheTried = true;
        char cachePath[96];
        std::snprintf(cachePath, sizeof(cachePath), "data\\dds\\%s.dds", name);
        if (LoadFromDdsCache(cachePath, record)) {
            if (test) {
                record->alphaReference = 128;
            }
            return 0;
        }
    }
    const int levels = cacheTried ? 1 : TextureMipLevels;
    uint8_t *pixels = nullptr;
    int side = 0;
    int alphaKind = kind;
    int alphaTest = test;
    if (ReadRawImage(&pixels, path, &side, &alphaKind, &alphaTest, MaxTextureSide, HalfTexRes && !cacheTried,
                     record->averageColour) < 0) {
        return -1;
    }
    const bool owned = !PendingRawImage;
    if (alphaTest) {
        record->alphaReference = 128;
    }
    uint32_t format = FullColourTextures ? RenderFormatX8R8G8B8 : GetFormatForAlphaKind(alphaKind);
    uint32_t texture = 0;
    bool made = Device() != nullptr && side > 0 &&
                Device()->CreateTexture(side, side, levels, 0, format, PoolManaged, &texture) == DeviceOk;
    if (!made && alphaKind == AlphaKindFull && !FullColourTextures && Device() != nullptr && side > 0) {
        alphaKind = AlphaKindHalf;
        format = GetFormatForAlphaKind(alphaKind);
        made = Device()->CreateTexture(side, side, levels, 0, format, PoolManaged, &texture) == DeviceOk;
    }
    if (!made) {
        if (owned) {
            delete[] pixels;
        }
        return -4;
    }
    ReleaseTextureInterface(record);
    record->texture = texture;
    record->format = format;
    record->pool = PoolManaged;
    const int count = Device()->TextureLevels(texture);
    const int texelBytes = format == RenderFormatX8R8G8B8 || format == RenderFormatA8R8G8B8 ? 4 : 2;
    const bool noPixels = pixels == nullptr;
    // Downsampling works on a copy when the pixels belong to someone else.
    std::vector<uint8_t> copy;
    uint8_t *work = pixels;
    if (!owned && pixels != nullptr) {
        copy.assign(pixels, pixels + static_cast<size_t>(side) * static_cast<size_t>(side) * 4);
        work = copy.data();
    }
    int s = side;
    for (int level = 0; level < count; ++level) {
        if (level > 0) {
            DownsampleImage32(work, s, alphaKind);
            s = s / 2 > 0 ? s / 2 : 1;
        }
        DeviceLockedRect locked{};
        if (Device()->LockTexture(texture, level, nullptr, 0, &locked) != DeviceOk) {
            continue;
        }
        uint8_t *row = static_cast<uint8_t *>(locked.bits);
        for (int y = 0; y < s; ++y) {
            for (int x = 0; x < s; ++x) {
                const uint8_t *p = noPixels ? nullptr : work + (static_cast<size_t>(y) * s + x) * 4;
                StoreTexel(row + static_cast<size_t>(x) * texelBytes, PackTexel(p, alphaKind, noPixels), texelBytes);
            }
            row += locked.pitch;
        }
        Device()->UnlockTexture(texture, level);
    }
    record->levels = static_cast<uint8_t>(count);
    record->width = static_cast<uint32_t>(side);
    record->height = static_cast<uint32_t>(side);
    if (owned) {
        delete[] pixels;
    }
    // Writing the DDS cache needs the codecs, which are not built yet.
    return 0;
}

void UploadTexturePixels(TextureRecord *record, const uint8_t *pixels, int cellSide, int column, int row, int levels)
{
    if (record == nullptr || record->texture == 0 || pixels == nullptr || cellSide <= 0 || Device() == nullptr) {
        return;
    }
    std::vector<uint8_t> work(pixels, pixels + static_cast<size_t>(cellSide) * static_cast<size_t>(cellSide) * 4);
    int n = cellSide;
    for (int level = 0; level < levels && n > 0; ++level) {
        if (level > 0) {
            DownsampleImage32(work.data(), n, AlphaKindOnly);
            n /= 2;
            if (n == 0) {
                break;
            }
        }
        int width = 0;
        int height = 0;
        if (!Device()->TextureLevelSize(record->texture, level, &width, &height)) {
            break;
        }
        DeviceLockedRect locked{};
        if (Device()->LockTexture(record->texture, level, nullptr, 0, &locked) != DeviceOk) {
            continue;
        }
        for (int y = 0; y < n; ++y) {
            const int ty = row * n + y;
            if (ty < 0 || ty >= height) {
                continue;
            }
            uint8_t *line = static_cast<uint8_t *>(locked.bits) + static_cast<size_t>(ty) * locked.pitch;
            for (int x = 0; x < n; ++x) {
                const int tx = column * n + x;
                if (tx < 0 || tx >= width) {
                    continue;
                }
                const uint32_t a = work[(static_cast<size_t>(y) * n + x) * 4 + 3];
                StoreTexel(line + static_cast<size_t>(tx) * 2, (a << 8 | 0x0FFF) & 0xFFFF, 2);
            }
        }
        Device()->UnlockTexture(record->texture, level);
    }
}

int LoadTextureFile(const char *path, TextureRecord **out, const char *name, int lodClass, uint16_t stamp)
{
    TextureLoadResult = 0;
    if (path == nullptr || path[0] == 0) {
        return -1;
    }
    const bool existed = FindTexture(name) != nullptr;
    TextureRecord *record = nullptr;
    const int created = CreateTexture(name, 0, 0, RenderFormatUnknown, &record, 0, lodClass, -1, stamp);
    if (created != 0) {
        return created;
    }
    std::snprintf(record->loadPath, sizeof(record->loadPath), "%s", path);
    std::memset(record->averageColour, 0, sizeof(record->averageColour));
    int result = 0;
    if (std::strstr(path, ".raw") != nullptr) {
        result = LoadRawTexture(name, path, record);
    } else {
        result = LoadPictureFile(path, record);
    }
    if (result != 0) {
        // A failed load leaves no empty record behind, so the next lookup
        // tries the file again instead of finding a picture without texture.
        if (!existed) {
            DeleteTexture(record);
        }
        return result;
    }
    *out = record;
    return 0;
}
