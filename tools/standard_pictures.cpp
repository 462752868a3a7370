#include "tools/standard_pictures.h"

#include "platform/jpeg_file.h"
#include "tools/default_textures.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

const char *const BackgroundPictureNames[] = {"entry", "garage"};
const int BackgroundPictureCount = 2;

namespace {

// Corner colours of the backgrounds: top left, top right, bottom left,
// bottom right.
constexpr uint8_t BackgroundCorners[2][4][3] = {
    {{20, 40, 110}, {40, 150, 170}, {90, 20, 60}, {210, 120, 40}},
    {{60, 60, 70}, {110, 110, 130}, {30, 30, 30}, {150, 140, 120}},
};

// A picture of the side: colour and alpha bytes from a function of the
// place (x, y in -1..1, y downwards).
struct Picture {
    int side;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> alpha;

    explicit Picture(int s) : side(s), rgb(static_cast<size_t>(s) * s * 3, 0), alpha(static_cast<size_t>(s) * s, 0)
    {
    }

    template <typename F>
    void Paint(F f)
    {
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const float px = (x + 0.5f) / side * 2.0f - 1.0f;
                const float py = (y + 0.5f) / side * 2.0f - 1.0f;
                const size_t i = static_cast<size_t>(y) * side + x;
                f(px, py, &rgb[i * 3], &alpha[i]);
            }
        }
    }
};

uint8_t Level(float value)
{
    return static_cast<uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

// 255 inside the radius, fading to 0 over the soft edge.
float Disc(float x, float y, float radius, float soft)
{
    const float d = std::sqrt(x * x + y * y);
    return std::clamp((radius - d) / soft, 0.0f, 1.0f) * 255.0f;
}

void Grey(uint8_t *rgb, float level)
{
    rgb[0] = rgb[1] = rgb[2] = Level(level);
}

bool Write(const std::filesystem::path &pic, const std::string &name, const Picture &p, const char *alphaSuffix)
{
    const std::string colourPath = (pic / (name + ".raw")).string();
    if (!WriteRawColourFile(colourPath, p.rgb.data(), p.side)) {
        return false;
    }
    return alphaSuffix == nullptr || WriteRawAlphaFile(colourPath, alphaSuffix, p.alpha.data(), p.side);
}

// Leaf n: a pointed oval, turned by n quarter turns and shaded green to brown.
Picture Leaf(int n)
{
    Picture p(64);
    const float angle = 0.6f + 0.4f * n;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    p.Paint([&](float x, float y, uint8_t *rgb, uint8_t *a) {
        const float u = x * c - y * s;
        const float v = x * s + y * c;
        const float width = 0.45f * (1.0f - u * u);
        const bool inside = std::fabs(u) < 0.9f && std::fabs(v) < width;
        rgb[0] = Level(60 + 40 * n + 30 * u);
        rgb[1] = Level(110 - 10 * n + 40 * v);
        rgb[2] = Level(30);
        *a = inside ? 255 : 0;
    });
    return p;
}

}  // namespace

void BackgroundPictureColour(int index, float u, float v, uint8_t rgb[3])
{
    const auto &c = BackgroundCorners[index];
    for (int k = 0; k < 3; ++k) {
        const float top = c[0][k] + (c[1][k] - c[0][k]) * u;
        const float bottom = c[2][k] + (c[3][k] - c[2][k]) * u;
        rgb[k] = Level(top + (bottom - top) * v);
    }
}

std::vector<uint8_t> MakeBackgroundPicture(int index)
{
    const int side = BackgroundPictureSide;
    std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            BackgroundPictureColour(index, (x + 0.5f) / side, (y + 0.5f) / side,
                                    &rgb[(static_cast<size_t>(y) * side + x) * 3]);
        }
    }
    return rgb;
}

const char *WriteStandardPictures(const char *runFolder)
{
    const std::filesystem::path pic = std::filesystem::path(runFolder) / "data" / "pic";
    std::error_code error;
    std::filesystem::create_directories(pic, error);
    if (error) {
        return "cannot create data/pic";
    }
    bool ok = true;
    for (int n = 0; n < 4; ++n) {
        ok = ok && Write(pic, "LEAF" + std::to_string(n), Leaf(n), "ATEST.raw");
    }
    // The racing line: drawn with u 0, 0.5, 1 across the line, v 0.5; a
    // white band fading out to both edges.
    {
        Picture p(32);
        p.Paint([](float x, float, uint8_t *rgb, uint8_t *a) {
            Grey(rgb, 255);
            *a = Level(255 * (1.0f - std::fabs(x)));
        });
        ok = ok && Write(pic, "RACELINE", p, "ALPHA.raw");
    }
    // The brake discs: a grey ring around a dark hub; the drilled one with
    // a ring of holes.
    for (int drilled = 0; drilled < 2; ++drilled) {
        Picture p(128);
        p.Paint([&](float x, float y, uint8_t *rgb, uint8_t *a) {
            const float d = std::sqrt(x * x + y * y);
            float alpha = Disc(x, y, 0.98f, 0.04f);
            Grey(rgb, d < 0.45f ? 70 : 170 + 20 * std::sin(d * 40.0f));
            if (drilled && d > 0.6f && d < 0.85f) {
                const float angle = std::atan2(y, x) * 12.0f / 6.2831853f;
                const float offset = angle - std::round(angle);
                const float hx = offset * 6.2831853f / 12.0f * d;
                const float hy = d - 0.725f;
                if (hx * hx + hy * hy < 0.04f * 0.04f) {
                    alpha = 0;
                }
            }
            *a = Level(alpha);
        });
        ok = ok && Write(pic, drilled ? "DISCDRILL" : "DISCSOLID", p, "ALP24.raw");
    }
    // The tyre: dark rubber with tread blocks across v.
    {
        Picture p(128);
        p.Paint([](float x, float y, uint8_t *rgb, uint8_t *) {
            const bool groove = std::fmod(std::fabs(y) * 8.0f, 1.0f) < 0.15f || std::fabs(x) < 0.04f;
            Grey(rgb, groove ? 18 : 42);
        });
        ok = ok && Write(pic, "TYRE", p, nullptr);
    }
    // The logo: a white ring with a bar, on nothing.
    {
        Picture p(128);
        p.Paint([](float x, float y, uint8_t *rgb, uint8_t *a) {
            Grey(rgb, 255);
            const float ring = std::min(Disc(x, y, 0.9f, 0.05f), 255.0f - Disc(x, y, 0.7f, 0.05f));
            const float bar = std::fabs(y) < 0.12f && std::fabs(x) < 0.8f ? 255.0f : 0.0f;
            *a = Level(std::max(ring, bar));
        });
        ok = ok && Write(pic, "LOGO", p, "ALPHA.raw");
    }
    // Dust, the needle centre and the lights: soft round spots.
    struct Spot {
        const char *name;
        float radius, soft;
        uint8_t colour[3];
    };
    const Spot spots[] = {{"DUST", 0.3f, 0.7f, {170, 150, 120}},
                          {"NDLCTR", 0.8f, 0.1f, {40, 40, 40}},
                          {"LIGHT", 0.1f, 0.9f, {255, 255, 230}},
                          {"START", 0.85f, 0.1f, {255, 255, 255}}};
    for (const Spot &spot : spots) {
        Picture p(64);
        p.Paint([&](float x, float y, uint8_t *rgb, uint8_t *a) {
            rgb[0] = spot.colour[0];
            rgb[1] = spot.colour[1];
            rgb[2] = spot.colour[2];
            *a = Level(Disc(x, y, spot.radius, spot.soft));
        });
        ok = ok && Write(pic, spot.name, p, "ALPHA.raw");
    }
    // The flags: a 4 x 4 grid of cells, chequered, yellow, blue, black,
    // white, green and red ones in turn.
    {
        Picture p(128);
        p.Paint([](float x, float y, uint8_t *rgb, uint8_t *a) {
            const int cx = std::clamp(static_cast<int>((x + 1.0f) * 2.0f), 0, 3);
            const int cy = std::clamp(static_cast<int>((y + 1.0f) * 2.0f), 0, 3);
            static const uint8_t Colours[7][3] = {{0, 0, 0},       {255, 220, 0}, {30, 60, 230}, {10, 10, 10},
                                                  {255, 255, 255}, {0, 170, 60},  {220, 20, 20}};
            const int kind = (cy * 4 + cx) % 7;
            const float lx = (x + 1.0f) * 2.0f - cx;
            const float ly = (y + 1.0f) * 2.0f - cy;
            if (kind == 0) {
                Grey(rgb, ((static_cast<int>(lx * 6) + static_cast<int>(ly * 6)) & 1) ? 255 : 0);
            } else {
                rgb[0] = Colours[kind][0];
                rgb[1] = Colours[kind][1];
                rgb[2] = Colours[kind][2];
            }
            *a = lx > 0.08f && lx < 0.92f && ly > 0.16f && ly < 0.84f ? 255 : 0;
        });
        ok = ok && Write(pic, "KZVFLAGS", p, "ALPHA.raw");
    }
    // The line texture: plain white, drawn tinted.
    {
        Picture p(16);
        p.Paint([](float, float, uint8_t *rgb, uint8_t *) { Grey(rgb, 255); });
        ok = ok && Write(pic, "LINE", p, nullptr);
    }
    // The title picture: a wide white badge with a coloured stripe.
    {
        Picture p(256);
        p.Paint([](float x, float y, uint8_t *rgb, uint8_t *a) {
            const bool badge = std::fabs(y) < 0.35f && std::fabs(x) < 0.95f;
            const bool stripe = std::fabs(y - 0.1f * x) < 0.08f;
            rgb[0] = stripe ? 230 : 255;
            rgb[1] = stripe ? 40 : 255;
            rgb[2] = stripe ? 30 : 255;
            *a = badge ? 255 : 0;
        });
        ok = ok && Write(pic, "Quillard", p, "ALP24.raw");
    }
    if (!ok) {
        return "cannot write a standard picture into data/pic";
    }
    for (int i = 0; i < BackgroundPictureCount; ++i) {
        const std::vector<uint8_t> rgb = MakeBackgroundPicture(i);
        const std::string path = (pic / (std::string("bkg_") + BackgroundPictureNames[i] + ".jpg")).string();
        if (!WriteJpegFile(path.c_str(), rgb.data(), BackgroundPictureSide, BackgroundPictureSide, 92)) {
            return "cannot write a background picture into data/pic";
        }
    }
    return nullptr;
}
