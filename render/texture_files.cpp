#include "render/texture_files.h"

#include "core/card_config.h"
#include "core/safe_write.h"
#include "core/settings.h"
#include "platform/bmp_file.h"
#include "platform/dds_file.h"
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

// One texel of a .raw picture's alpha kind (8 also for X8R8G8B8).
uint32_t PackTexel(const uint8_t *p, int alphaKind)
{
    const uint32_t r = p[0];
    const uint32_t g = p[1];
    const uint32_t b = p[2];
    const uint32_t a = p[3];
    switch (alphaKind) {
    case AlphaKindFull:
        return a << 24 | r << 16 | g << 8 | b;
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

bool IsDxt(uint32_t format)
{
    return format == RenderFormatDxt1 || format == RenderFormatDxt3;
}

// How the texels of an uncompressed format are packed: as the alpha kind
// whose format it is; L8 as the luminance.
constexpr int PackLuminance = -1;

int PackKindOfFormat(uint32_t format)
{
    switch (format) {
    case RenderFormatA1R5G5B5:
        return AlphaKindTest;
    case RenderFormatA4R4G4B4:
        return AlphaKindHalf;
    case RenderFormatA8R8G8B8:
    case RenderFormatX8R8G8B8:
        return AlphaKindFull;
    case RenderFormatL8:
        return PackLuminance;
    default:
        return AlphaKindNone;
    }
}

// Halves an RGBA picture of w x h (each side at least 1) by 2 x 2 boxes; an
// odd last row or column averages what it has.
std::vector<uint8_t> HalveRgba(const std::vector<uint8_t> &rgba, int w, int h, int *outW, int *outH)
{
    const int nw = w > 1 ? w / 2 : 1;
    const int nh = h > 1 ? h / 2 : 1;
    std::vector<uint8_t> out(static_cast<size_t>(nw) * static_cast<size_t>(nh) * 4);
    for (int y = 0; y < nh; ++y) {
        for (int x = 0; x < nw; ++x) {
            for (int c = 0; c < 4; ++c) {
                uint32_t sum = 0;
                uint32_t count = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        const int sx = 2 * x + dx;
                        const int sy = 2 * y + dy;
                        if (sx < w && sy < h) {
                            sum += rgba[(static_cast<size_t>(sy) * w + sx) * 4 + static_cast<size_t>(c)];
                            ++count;
                        }
                    }
                }
                out[(static_cast<size_t>(y) * nw + x) * 4 + static_cast<size_t>(c)] =
                    static_cast<uint8_t>(sum / count);
            }
        }
    }
    *outW = nw;
    *outH = nh;
    return out;
}

int LevelSide(int side, int level)
{
    const int value = side >> level;
    return value > 0 ? value : 1;
}

// A picture on its way into a texture: the RGBA pixels of its first level,
// or the DXT blocks of a DDS file with the levels the file holds.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    bool fromDds = false;
    DdsImage dds;
};

std::vector<uint8_t> RgbToRgba(const RgbImage &image)
{
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    std::vector<uint8_t> rgba(count * 4);
    for (size_t i = 0; i < count; ++i) {
        rgba[i * 4] = image.pixels[i * 3];
        rgba[i * 4 + 1] = image.pixels[i * 3 + 1];
        rgba[i * 4 + 2] = image.pixels[i * 3 + 2];
        rgba[i * 4 + 3] = 255;
    }
    return rgba;
}

// DDS and BMP files are told by their first bytes; anything else is read as
// JPEG. False when the bytes are no picture this program reads.
bool DecodePicture(const std::vector<uint8_t> &bytes, Picture *picture)
{
    *picture = Picture{};
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "DDS ", 4) == 0) {
        if (!DecodeDdsImage(bytes.data(), bytes.size(), &picture->dds)) {
            return false;
        }
        picture->fromDds = true;
        picture->width = picture->dds.width;
        picture->height = picture->dds.height;
        return true;
    }
    RgbImage image;
    const bool bmp = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
    if (bmp ? !DecodeBmpImage(bytes.data(), bytes.size(), &image)
            : !DecodeJpegImage(bytes.data(), bytes.size(), &image)) {
        return false;
    }
    picture->width = image.width;
    picture->height = image.height;
    picture->rgba = RgbToRgba(image);
    return true;
}

// The RGBA pixels of a DDS level.
std::vector<uint8_t> DecodeDdsLevel(const DdsImage &dds, int level)
{
    std::vector<uint8_t> rgba;
    const std::vector<uint8_t> &blocks = dds.levels[static_cast<size_t>(level)];
    DecodeDxt(blocks.data(), blocks.size(), LevelSide(dds.width, level), LevelSide(dds.height, level), dds.dxt3,
              &rgba);
    return rgba;
}

// The picture at half its size: a DDS file's levels from the second on when
// it has them, otherwise its first level halved with the box filter.
void HalvePicture(Picture *picture)
{
    if (picture->fromDds && picture->dds.levels.size() > 1) {
        picture->dds.levels.erase(picture->dds.levels.begin());
        picture->dds.width = LevelSide(picture->dds.width, 1);
        picture->dds.height = LevelSide(picture->dds.height, 1);
        picture->width = picture->dds.width;
        picture->height = picture->dds.height;
        return;
    }
    if (picture->fromDds) {
        picture->rgba = DecodeDdsLevel(picture->dds, 0);
        picture->fromDds = false;
        picture->dds = DdsImage{};
    }
    picture->rgba = HalveRgba(picture->rgba, picture->width, picture->height, &picture->width, &picture->height);
}

// Copies DXT blocks into a locked level, a row of blocks per pitch.
void StoreBlocks(const DeviceLockedRect &locked, const std::vector<uint8_t> &blocks, int w, int h, bool dxt3)
{
    const size_t rowBytes = static_cast<size_t>(DxtLevelBytes(w, 4, dxt3));
    uint8_t *row = static_cast<uint8_t *>(locked.bits);
    for (int blockRow = 0; blockRow < (h + 3) / 4; ++blockRow) {
        std::memcpy(row, blocks.data() + static_cast<size_t>(blockRow) * rowBytes, rowBytes);
        row += locked.pitch;
    }
}

void StoreTexels(const DeviceLockedRect &locked, const uint8_t *rgba, int w, int h, int packKind, int texelBytes)
{
    uint8_t *row = static_cast<uint8_t *>(locked.bits);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t *p = rgba + (static_cast<size_t>(y) * w + x) * 4;
            if (packKind == PackLuminance) {
                // Luminance of the decoded pixel: a grey picture keeps its own grey.
                row[x] = static_cast<uint8_t>((p[0] * 299u + p[1] * 587u + p[2] * 114u + 500u) / 1000u);
            } else {
                StoreTexel(row + static_cast<size_t>(x) * texelBytes, PackTexel(p, packKind), texelBytes);
            }
        }
        row += locked.pitch;
    }
}

// The uncompressed format a DXT picture falls back to on a device without
// compressed textures.
uint32_t UncompressedFormatOf(uint32_t format)
{
    return format == RenderFormatDxt3 ? RenderFormatA4R4G4B4 : RenderFormatA1R5G5B5;
}

// A texture made from a picture, not yet the record's.
struct MadeTexture {
    uint32_t texture = 0;
    uint32_t format = 0;
    int levels = 0;
};

// The record takes the texture in place of its own; width and height are the
// picture's.
void KeepTexture(TextureRecord *record, const MadeTexture &made, int width, int height)
{
    ReleaseTextureInterface(record);
    record->texture = made.texture;
    record->format = made.format;
    record->pool = PoolManaged;
    record->levels = static_cast<uint8_t>(made.levels);
    record->width = static_cast<uint32_t>(width);
    record->height = static_cast<uint32_t>(height);
}

// Makes a texture of the picture in the format (packKind for the
// uncompressed ones) with the levels asked for (0 the full chain); a DXT
// format the device refuses falls back to an uncompressed one when fallback
// is set. The blocks of every level go to saved when it is given and the
// format is DXT. False when no texture could be made.
bool MakePictureTexture(const Picture &picture, uint32_t format, int levels, int packKind, bool fallback,
                        DdsImage *saved, MadeTexture *made)
{
    uint32_t texture = 0;
    if (Device() == nullptr || picture.width <= 0 || picture.height <= 0) {
        return false;
    }
    bool created =
        Device()->CreateTexture(picture.width, picture.height, levels, 0, format, PoolManaged, &texture) == DeviceOk;
    if (!created && fallback && IsDxt(format)) {
        format = UncompressedFormatOf(format);
        packKind = PackKindOfFormat(format);
        created = Device()->CreateTexture(picture.width, picture.height, levels, 0, format, PoolManaged,
                                          &texture) == DeviceOk;
    }
    if (!created) {
        return false;
    }
    const bool dxt3 = format == RenderFormatDxt3;
    const int count = Device()->TextureLevels(texture);
    const int texelBytes = FormatTexelBytes(format);
    if (saved != nullptr) {
        *saved = DdsImage{};
        saved->width = picture.width;
        saved->height = picture.height;
        saved->dxt3 = dxt3;
    }
    // The RGBA pixels of the level before, made only when a level needs them.
    std::vector<uint8_t> current;
    int currentLevel = -1;
    const int fileLevels = picture.fromDds ? static_cast<int>(picture.dds.levels.size()) : 0;
    for (int level = 0; level < count; ++level) {
        const int w = LevelSide(picture.width, level);
        const int h = LevelSide(picture.height, level);
        const bool fileBlocks = level < fileLevels && IsDxt(format) && picture.dds.dxt3 == dxt3;
        std::vector<uint8_t> blocks;
        if (fileBlocks) {
            blocks = picture.dds.levels[static_cast<size_t>(level)];
        } else {
            if (level < fileLevels) {
                current = DecodeDdsLevel(picture.dds, level);
            } else if (level == 0) {
                current = picture.rgba;
            } else {
                if (currentLevel != level - 1) {
                    current = DecodeDdsLevel(picture.dds, level - 1);
                }
                int nw = 0;
                int nh = 0;
                current = HalveRgba(current, LevelSide(picture.width, level - 1),
                                    LevelSide(picture.height, level - 1), &nw, &nh);
            }
            currentLevel = level;
            if (IsDxt(format)) {
                EncodeDxt(current.data(), w, h, dxt3, &blocks);
            }
        }
        if (saved != nullptr && IsDxt(format)) {
            saved->levels.push_back(blocks);
        }
        DeviceLockedRect locked{};
        if (Device()->LockTexture(texture, level, nullptr, 0, &locked) != DeviceOk) {
            continue;
        }
        if (IsDxt(format)) {
            StoreBlocks(locked, blocks, w, h, dxt3);
        } else {
            StoreTexels(locked, current.data(), w, h, packKind, texelBytes);
        }
        Device()->UnlockTexture(texture, level);
    }
    made->texture = texture;
    made->format = format;
    made->levels = count;
    return true;
}

// Makes the record's texture from the picture: 0, or -3 when none was made.
int UploadPicture(TextureRecord *record, const Picture &picture, uint32_t format, int levels, int packKind,
                  bool fallback, DdsImage *saved)
{
    MadeTexture made;
    if (!MakePictureTexture(picture, format, levels, packKind, fallback, saved, &made)) {
        return -3;
    }
    KeepTexture(record, made, picture.width, picture.height);
    return 0;
}

// Writes the DDS file through a temporary file: a failed write leaves no
// part of a file behind.
bool WriteDdsFile(const char *path, const DdsImage &image)
{
    std::vector<uint8_t> bytes;
    SafeWrite write{};
    if (!EncodeDdsImage(image, &bytes) || !PrepareSafeWrite(&write, path)) {
        return false;
    }
    FILE *file = PlatformOpenFile(write.temp, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fclose(file) == 0 && written;
    return FinishSafeWrite(&write, written);
}

// Other pictures (JPEG, DDS, BMP): ".dds" as DXT1 with the full chain; ".jbw"
// as L8 from the ".jpg" beside it; others as DXT1 with CompressTextures, else
// R5G6B5. A pending encoded picture becomes DXT1 and is saved at the path as
// DDS.
int LoadPictureFile(const char *path, TextureRecord *record)
{
    Picture picture;
    if (PendingEncodedBytes != nullptr) {
        const std::vector<uint8_t> bytes(PendingEncodedBytes,
                                         PendingEncodedBytes + (PendingEncodedSize > 0 ? PendingEncodedSize : 0));
        DdsImage saved;
        if (!DecodePicture(bytes, &picture) ||
            UploadPicture(record, picture, RenderFormatDxt1, 0, AlphaKindNone, false, &saved) != 0 ||
            !WriteDdsFile(path, saved)) {
            return -3;
        }
        return 0;
    }
    std::string file = path;
    uint32_t format = CompressTextures ? RenderFormatDxt1 : RenderFormatR5G6B5;
    int levels = TextureMipLevels;
    const size_t jbw = file.find(".jbw");
    if (file.find(".dds") != std::string::npos) {
        format = RenderFormatDxt1;
        levels = 0;
    } else if (jbw != std::string::npos) {
        file.replace(jbw, 4, ".jpg");
        format = RenderFormatL8;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWhole(file.c_str(), &bytes)) {
        return -2;
    }
    if (!DecodePicture(bytes, &picture)) {
        return -3;
    }
    return UploadPicture(record, picture, format, levels, PackKindOfFormat(format), true, nullptr);
}

// The DDS cache file of a .raw texture at its own size, or at half its side
// with "Half Tex Res " (only a square cache of 16..4096 is used then), in
// the compressed format of the alpha kind or, without DXT textures, its
// uncompressed format. False when there is no usable cache file.
bool LoadFromDdsCache(const char *cachePath, int alphaKind, TextureRecord *record)
{
    std::vector<uint8_t> bytes;
    if (!ReadWhole(cachePath, &bytes)) {
        return false;
    }
    bool half = false;
    if (HalfTexRes) {
        int width = 0;
        int height = 0;
        if (!ReadDdsHeaderSize(bytes.data(), bytes.size(), &width, &height) || width != height || width < 16 ||
            width > LargestRawSide) {
            return false;
        }
        half = width > 16;
    }
    Picture picture;
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "DDS ", 4) != 0 || !DecodePicture(bytes, &picture)) {
        return false;
    }
    if (half) {
        HalvePicture(&picture);
    }
    const uint32_t format = DxtSupported ? GetDxtFormatForAlphaKind(alphaKind) : GetFormatForAlphaKind(alphaKind);
    return UploadPicture(record, picture, format, TextureMipLevels, alphaKind, false, nullptr) == 0;
}

// The pixels of a level as the DXT cache takes them: opaque without an alpha
// file, white for an alpha-only picture.
std::vector<uint8_t> CachePixels(const uint8_t *pixels, int side, int alphaKind)
{
    std::vector<uint8_t> rgba(pixels, pixels + static_cast<size_t>(side) * static_cast<size_t>(side) * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        if (alphaKind == AlphaKindNone) {
            rgba[i + 3] = 255;
        } else if (alphaKind == AlphaKindOnly) {
            rgba[i] = 255;
            rgba[i + 1] = 255;
            rgba[i + 2] = 255;
        }
    }
    return rgba;
}

// Writes the cache file from the levels' blocks and swaps the record's
// uncompressed texture for the compressed one; a failed write or a refused
// compressed texture keeps the uncompressed one.
void WriteDdsCache(const char *cachePath, const DdsImage &cache, int alphaKind, TextureRecord *record)
{
    if (!WriteDdsFile(cachePath, cache)) {
        return;
    }
    Picture picture;
    picture.width = cache.width;
    picture.height = cache.height;
    picture.fromDds = true;
    picture.dds = cache;
    MadeTexture compressed;
    if (!MakePictureTexture(picture, GetDxtFormatForAlphaKind(alphaKind), static_cast<int>(cache.levels.size()),
                            alphaKind, false, nullptr, &compressed)) {
        return;
    }
    KeepTexture(record, compressed, static_cast<int>(record->width), static_cast<int>(record->height));
    ++DdsCacheWrites;
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
    char cachePath[TextureLoadPathSize + 16];
    std::snprintf(cachePath, sizeof(cachePath), "data\\dds\\%s.dds", name);
    if (!PendingRawImage && CompressTextures) {
        cacheTried = true;
        if (LoadFromDdsCache(cachePath, kind, record)) {
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
    const int count = Device()->TextureLevels(texture);
    KeepTexture(record, MadeTexture{texture, format, count}, side, side);
    const int texelBytes = FormatTexelBytes(format);
    const int packKind = FullColourTextures ? AlphaKindFull : alphaKind;
    // Downsampling works on a copy when the pixels belong to someone else.
    std::vector<uint8_t> copy;
    uint8_t *work = pixels;
    if (!owned && pixels != nullptr) {
        copy.assign(pixels, pixels + static_cast<size_t>(side) * static_cast<size_t>(side) * 4);
        work = copy.data();
    }
    // Each level's blocks for the DDS cache, written below.
    const bool writeCache = owned && CompressTextures;
    DdsImage cache;
    cache.width = side;
    cache.height = side;
    cache.dxt3 = GetDxtFormatForAlphaKind(alphaKind) == RenderFormatDxt3;
    int s = side;
    for (int level = 0; level < count; ++level) {
        if (level > 0) {
            DownsampleImage32(work, s, alphaKind);
            s = s / 2 > 0 ? s / 2 : 1;
        }
        if (writeCache) {
            std::vector<uint8_t> blocks;
            EncodeDxt(CachePixels(work, s, alphaKind).data(), s, s, cache.dxt3, &blocks);
            cache.levels.push_back(std::move(blocks));
        }
        DeviceLockedRect locked{};
        if (Device()->LockTexture(texture, level, nullptr, 0, &locked) != DeviceOk) {
            continue;
        }
        if (work == nullptr) {
            // A pending picture without pixels: white with no alpha information.
            uint8_t *row = static_cast<uint8_t *>(locked.bits);
            for (int y = 0; y < s; ++y) {
                for (int x = 0; x < s; ++x) {
                    StoreTexel(row + static_cast<size_t>(x) * texelBytes, 0x0FFF, texelBytes);
                }
                row += locked.pitch;
            }
        } else {
            StoreTexels(locked, work, s, s, packKind, texelBytes);
        }
        Device()->UnlockTexture(texture, level);
    }
    if (!owned) {
        return 0;
    }
    delete[] pixels;
    if (writeCache) {
        WriteDdsCache(cachePath, cache, alphaKind, record);
    }
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

bool SaveDdsFile(const char *path, const DdsImage &image)
{
    return WriteDdsFile(path, image);
}
