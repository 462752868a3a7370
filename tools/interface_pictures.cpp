#include "tools/interface_pictures.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/language_table.h"
#include "tools/default_textures.h"

namespace {

// The corner patch of a quadrant spans texture coordinates 0..0.49 from its
// outer edge; the rounded edge is a quarter circle about the patch's inner
// corner, softened over one texel.
std::vector<uint8_t> ButtonAlpha(int side)
{
    std::vector<uint8_t> alpha(static_cast<size_t>(side) * static_cast<size_t>(side));
    const float radius = 0.49f * static_cast<float>(side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            // Distance inward from the nearer edge, in texels, on each axis.
            const float fromX = std::min(x + 0.5f, side - x - 0.5f);
            const float fromY = std::min(y + 0.5f, side - y - 0.5f);
            const float dx = std::max(0.0f, radius - fromX);
            const float dy = std::max(0.0f, radius - fromY);
            const float outside = std::sqrt(dx * dx + dy * dy) - radius;
            const float coverage = std::clamp(0.5f - outside, 0.0f, 1.0f);
            alpha[static_cast<size_t>(y) * side + x] = static_cast<uint8_t>(std::lround(coverage * 255.0f));
        }
    }
    return alpha;
}

bool WriteButton(const std::filesystem::path &pic, const char *name, int side)
{
    const std::vector<uint8_t> white(static_cast<size_t>(side) * static_cast<size_t>(side) * 3, 255);
    const std::string colourPath = (pic / (std::string(name) + ".raw")).string();
    const std::vector<uint8_t> alpha = ButtonAlpha(side);
    return WriteRawColourFile(colourPath, white.data(), side) &&
           WriteRawAlphaFile(colourPath, "ALPHA.raw", alpha.data(), side);
}

// The start-light lamp ("STARTALPHA"): a round lamp, brightest in the
// middle, on a transparent square; the vertex colour gives it red or green.
bool WriteStartLamp(const std::filesystem::path &pic)
{
    constexpr int Side = 32;
    std::vector<uint8_t> rgb(static_cast<size_t>(Side) * Side * 3);
    std::vector<uint8_t> alpha(static_cast<size_t>(Side) * Side);
    const float centre = 0.5f * Side;
    const float radius = centre - 1.0f;
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            const float dx = x + 0.5f - centre;
            const float dy = y + 0.5f - centre;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float coverage = std::clamp(radius + 0.5f - r, 0.0f, 1.0f);
            const float shade = 1.0f - 0.35f * std::clamp(r / radius, 0.0f, 1.0f);
            const size_t i = static_cast<size_t>(y) * Side + x;
            const auto level = static_cast<uint8_t>(std::lround(shade * 255.0f));
            rgb[i * 3] = rgb[i * 3 + 1] = rgb[i * 3 + 2] = level;
            alpha[i] = static_cast<uint8_t>(std::lround(coverage * 255.0f));
        }
    }
    const std::string colourPath = (pic / "START.raw").string();
    return WriteRawColourFile(colourPath, rgb.data(), Side) &&
           WriteRawAlphaFile(colourPath, "ALPHA.raw", alpha.data(), Side);
}

// Capital letters of 5 x 7 dots for the icons' names, one byte a row (bit 4
// the left column).
constexpr uint8_t Capitals[26][7] = {
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
    {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
};

// The first two letters of a language's name in capitals, white with a
// black shadow, in the middle of its cell (dots of 2 x 2 pixels).
void DrawIconName(std::vector<uint8_t> &rgb, int side, int left, int top, int cellWidth, int cellHeight,
                  const char *name)
{
    constexpr int Dot = 2;
    constexpr int Letters = 2;
    const int width = Letters * 5 * Dot + (Letters - 1) * Dot;
    const int x0 = left + (cellWidth - width) / 2;
    const int y0 = top + (cellHeight - 7 * Dot) / 2 + 2;
    auto put = [&](int x, int y, uint8_t level) {
        uint8_t *p = &rgb[(static_cast<size_t>(y) * side + x) * 3];
        p[0] = p[1] = p[2] = level;
    };
    for (int pass = 0; pass < 2; ++pass) {   // the shadow, then the letters
        const int shift = pass == 0 ? 1 : 0;
        const uint8_t level = pass == 0 ? 0 : 255;
        for (int k = 0; k < Letters && name[k] != 0; ++k) {
            const int c = std::toupper(static_cast<unsigned char>(name[k]));
            if (c < 'A' || c > 'Z') {
                continue;
            }
            for (int row = 0; row < 7; ++row) {
                for (int column = 0; column < 5; ++column) {
                    if ((Capitals[c - 'A'][row] >> (4 - column) & 1) == 0) {
                        continue;
                    }
                    for (int dy = 0; dy < Dot; ++dy) {
                        for (int dx = 0; dx < Dot; ++dx) {
                            put(x0 + k * 6 * Dot + column * Dot + dx + shift, y0 + row * Dot + dy + shift, level);
                        }
                    }
                }
            }
        }
    }
}

// A flat field for each icon, its colour from the icon's number, with a
// lighter band across the top third so that neighbours stay apart, and the
// language's first two letters on it.
bool WriteIcons(const std::filesystem::path &pic)
{
    constexpr int Side = 256;
    constexpr int CellWidth = 48;
    constexpr int CellHeight = 32;
    std::vector<uint8_t> rgb(static_cast<size_t>(Side) * Side * 3, 0);
    for (int icon = 0; icon <= LanguageCount; ++icon) {
        const int left = icon % 5 * CellWidth;
        const int top = icon / 5 * CellHeight;
        const int r = 60 + icon * 53 % 180;
        const int g = 60 + icon * 97 % 180;
        const int b = 60 + icon * 31 % 180;
        for (int y = 0; y < CellHeight; ++y) {
            for (int x = 0; x < CellWidth; ++x) {
                const int lift = y < CellHeight / 3 ? 50 : 0;
                uint8_t *p = &rgb[(static_cast<size_t>(top + y) * Side + left + x) * 3];
                p[0] = static_cast<uint8_t>(std::min(255, r + lift));
                p[1] = static_cast<uint8_t>(std::min(255, g + lift));
                p[2] = static_cast<uint8_t>(std::min(255, b + lift));
            }
        }
        DrawIconName(rgb, Side, left, top, CellWidth, CellHeight, icon == 0 ? "English" : LanguageTable[icon - 1].name);
    }
    return WriteRawColourFile((pic / "LANGICONS.raw").string(), rgb.data(), Side);
}

}  // namespace

const char *WriteInterfacePictures(const char *runFolder)
{
    const std::filesystem::path pic = std::filesystem::path(runFolder) / "data" / "pic";
    std::error_code error;
    std::filesystem::create_directories(pic, error);
    if (error) {
        return "cannot create data/pic";
    }
    if (!WriteButton(pic, "BUTT", 64) || !WriteButton(pic, "SMLB", 32)) {
        return "cannot write the button pictures";
    }
    if (!WriteStartLamp(pic)) {
        return "cannot write the start-light picture";
    }
    if (!WriteIcons(pic)) {
        return "cannot write the icon picture";
    }
    return nullptr;
}
