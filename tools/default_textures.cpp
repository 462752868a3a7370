#include "tools/default_textures.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

constexpr int RawSuffixLength = 9;

bool WriteBytes(const std::string &path, const uint8_t *bytes, size_t size)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// A small deterministic noise: the same pictures on every machine.
struct Noise {
    uint32_t state;
    int Next(int range)
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 16) % static_cast<uint32_t>(range));
    }
};

uint8_t Clamp(int value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

enum class Pattern { Grain, Stripes, Blades, Stones, Blocks, Plain };

struct DefaultTexture {
    const char *name;
    uint8_t r, g, b;
    Pattern pattern;
};

// The track colours' textures (tools/default_track.cpp) and the embedded
// objects' (tools/world_object_writer.cpp). The car bodies name only the
// skin and plate textures, which the skin code finds.
constexpr DefaultTexture DefaultTextures[] = {
    {"road", 92, 92, 96, Pattern::Grain},      {"kerb", 200, 40, 40, Pattern::Stripes},
    {"grass", 70, 130, 55, Pattern::Blades},   {"gravel", 190, 170, 130, Pattern::Stones},
    {"wall", 175, 175, 175, Pattern::Blocks},  {"apron", 120, 120, 120, Pattern::Grain},
    {"flag", 230, 190, 30, Pattern::Plain},    {"grey", 150, 150, 150, Pattern::Plain},
};

std::vector<uint8_t> MakePicture(const DefaultTexture &texture, uint32_t seed)
{
    const int side = DefaultTextureSide;
    std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3);
    Noise noise{seed};
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            int shade = 0;
            uint8_t r = texture.r;
            uint8_t g = texture.g;
            uint8_t b = texture.b;
            switch (texture.pattern) {
            case Pattern::Grain:
                shade = noise.Next(25) - 12;
                break;
            case Pattern::Stripes:
                // Red and white bands across the kerb.
                if ((x / (side / 4)) % 2 == 1) {
                    r = g = b = 235;
                }
                shade = noise.Next(9) - 4;
                break;
            case Pattern::Blades:
                shade = noise.Next(41) - 20 + ((x * 7 + y * 3) % 11) - 5;
                break;
            case Pattern::Stones:
                shade = noise.Next(61) - 30;
                break;
            case Pattern::Blocks:
                // Courses of blocks with darker joints.
                shade = (y % 32 == 0 || (x + (y / 32 % 2) * 32) % 64 == 0) ? -60 : noise.Next(11) - 5;
                break;
            case Pattern::Plain:
                shade = noise.Next(5) - 2;
                break;
            }
            uint8_t *p = &rgb[(static_cast<size_t>(y) * side + x) * 3];
            p[0] = Clamp(r + shade);
            p[1] = Clamp(g + shade);
            p[2] = Clamp(b + shade);
        }
    }
    return rgb;
}

}  // namespace

bool WriteRawColourFile(const std::string &path, const uint8_t *rgb, int side)
{
    return side > 0 && WriteBytes(path, rgb, static_cast<size_t>(side) * static_cast<size_t>(side) * 3);
}

bool WriteRawAlphaFile(const std::string &colourPath, const char *suffix, const uint8_t *alpha, int side)
{
    static const char *const Suffixes[] = {"ALPHA.raw", "ATEST.raw", "ALP15.raw", "ALP24.raw", "AONLY.raw"};
    bool known = false;
    for (const char *s : Suffixes) {
        known = known || std::strcmp(s, suffix) == 0;
    }
    if (!known || side <= 0 || colourPath.size() < 4 || colourPath.compare(colourPath.size() - 4, 4, ".raw") != 0) {
        return false;
    }
    static_assert(sizeof("ALPHA.raw") - 1 == RawSuffixLength);
    const std::string path = colourPath.substr(0, colourPath.size() - 4) + suffix;
    return WriteBytes(path, alpha, static_cast<size_t>(side) * static_cast<size_t>(side));
}

const char *WriteDefaultTextures(const char *runFolder)
{
    const std::filesystem::path data = std::filesystem::path(runFolder) / "data";
    std::error_code ec;
    std::filesystem::create_directories(data / "pic", ec);
    if (ec) {
        return "cannot create data/pic";
    }
    std::filesystem::create_directories(data / "dds", ec);
    if (ec) {
        return "cannot create data/dds";
    }
    uint32_t seed = 12345;
    for (const DefaultTexture &texture : DefaultTextures) {
        const std::vector<uint8_t> rgb = MakePicture(texture, seed++);
        const std::string path = (data / "pic" / (std::string(texture.name) + ".raw")).string();
        if (!WriteRawColourFile(path, rgb.data(), DefaultTextureSide)) {
            return "cannot write a picture into data/pic";
        }
    }
    return nullptr;
}
