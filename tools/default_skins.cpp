#include "tools/default_skins.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/car_table.h"
#include "platform/jpeg_file.h"

// Skin layout of a car (fractions of the square image; docs/default_data.md):
//   rows 0    .. 0.25  left side, the car's front at the left edge
//   rows 0.25 .. 0.5   right side, the car's front at the right edge
//   rows 0.5  .. 1, columns 0 .. 0.5   top view, the front at the top
//   rows 0.5  .. 0.75, columns 0.5 .. 1   front view
//   rows 0.75 .. 1,    columns 0.5 .. 1   rear view
// The helmet wraps around the head: u goes once round from the back through
// the face (u = 0.5) to the back again, v from the crown down to the rim.

namespace {

constexpr int JpegQuality = 90;

struct Rgb {
    uint8_t r, g, b;
};

// The look of one car: colours and the kind of stripes and number panel.
enum class Stripes { Twin, Wide, SideBand, Sash };

struct CarLook {
    Rgb base;
    Rgb stripe;
    Rgb accent;
    Stripes stripes;
    bool numberBox;  // a square panel on the roof as well as the door roundels
};

// One look per car, in car-table order.
constexpr CarLook CarLooks[CarModelCount] = {
    {{236, 236, 232}, {30, 70, 170}, {200, 30, 30}, Stripes::SideBand, false},  // ZHA
    {{190, 20, 25}, {245, 245, 245}, {20, 20, 20}, Stripes::Twin, false},      // ZHR
    {{245, 200, 20}, {20, 20, 20}, {60, 60, 60}, Stripes::Twin, false},        // KST
    {{20, 35, 90}, {250, 130, 20}, {230, 230, 230}, Stripes::Sash, false},     // VXT
    {{170, 175, 180}, {180, 20, 30}, {25, 25, 25}, Stripes::SideBand, false},  // MGT
    {{245, 110, 20}, {250, 250, 250}, {30, 30, 30}, Stripes::Wide, false},     // FNS
    {{20, 80, 45}, {230, 220, 180}, {120, 20, 20}, Stripes::Twin, false},      // ORL
    {{200, 175, 120}, {110, 70, 35}, {230, 100, 20}, Stripes::Sash, false},    // QBG
    {{18, 18, 20}, {210, 170, 60}, {120, 120, 120}, Stripes::Twin, false},     // BRV
    {{120, 180, 230}, {250, 250, 250}, {20, 50, 110}, Stripes::SideBand, false}, // LRS
    {{245, 245, 245}, {120, 180, 230}, {240, 120, 20}, Stripes::Wide, true},   // LSR
    {{200, 20, 20}, {250, 250, 250}, {20, 20, 20}, Stripes::Wide, true},       // FNV
    {{20, 60, 180}, {250, 220, 20}, {250, 250, 250}, Stripes::Sash, true},     // FAR
    {{190, 195, 200}, {210, 20, 30}, {20, 20, 20}, Stripes::Twin, true},       // FCR
    {{90, 30, 130}, {170, 230, 40}, {240, 240, 240}, Stripes::Sash, true},     // BPR
    {{245, 245, 245}, {20, 140, 60}, {20, 20, 20}, Stripes::Twin, true},       // ZGT
    {{245, 210, 20}, {20, 60, 170}, {250, 250, 250}, Stripes::Wide, true},     // KGT
    {{200, 20, 25}, {20, 20, 20}, {250, 250, 250}, Stripes::SideBand, true},   // MRG
    {{20, 130, 140}, {250, 250, 250}, {250, 180, 30}, Stripes::Twin, true},    // SBR
    {{200, 30, 140}, {20, 20, 20}, {250, 250, 250}, Stripes::Sash, true},      // SBX
};

constexpr Rgb White = {250, 250, 250};
constexpr Rgb Black = {15, 15, 15};
constexpr Rgb DarkGrey = {40, 40, 44};
constexpr Rgb LampWhite = {225, 228, 230};
constexpr Rgb LampRed = {190, 20, 20};
constexpr Rgb LampAmber = {240, 140, 20};

// Digits 0..9, 5 columns x 7 rows, bit 4 the left column.
constexpr uint8_t DigitRows[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

class Canvas {
public:
    explicit Canvas(int side) : side_(side), pixels_(static_cast<size_t>(side) * side * 3) {}

    int Side() const { return side_; }
    const uint8_t *Data() const { return pixels_.data(); }

    void Put(int x, int y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= side_ || y >= side_) {
            return;
        }
        uint8_t *p = &pixels_[(static_cast<size_t>(y) * side_ + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }

    // Fills the rectangle [x0, x1) x [y0, y1) given as fractions of the side.
    void FillRect(double x0, double y0, double x1, double y1, Rgb c)
    {
        for (int y = Pixel(y0); y < Pixel(y1); ++y) {
            for (int x = Pixel(x0); x < Pixel(x1); ++x) {
                Put(x, y, c);
            }
        }
    }

    // Fills an ellipse centred at (cx, cy) with radii rx, ry (fractions).
    void FillEllipse(double cx, double cy, double rx, double ry, Rgb c)
    {
        for (int y = Pixel(cy - ry); y <= Pixel(cy + ry); ++y) {
            for (int x = Pixel(cx - rx); x <= Pixel(cx + rx); ++x) {
                const double dx = (Fraction(x) - cx) / rx;
                const double dy = (Fraction(y) - cy) / ry;
                if (dx * dx + dy * dy <= 1.0) {
                    Put(x, y, c);
                }
            }
        }
    }

    // A band between two parallel slanted lines across the rectangle
    // [x0, x1) x [y0, y1): points with x - slant * (y - y0) in [a, b).
    void FillSash(double x0, double y0, double x1, double y1, double a, double b, double slant, Rgb c)
    {
        for (int y = Pixel(y0); y < Pixel(y1); ++y) {
            for (int x = Pixel(x0); x < Pixel(x1); ++x) {
                const double s = Fraction(x) - slant * (Fraction(y) - y0);
                if (s >= a && s < b) {
                    Put(x, y, c);
                }
            }
        }
    }

    // Darkens towards y1 and lightens towards y0 inside the rectangle: the
    // light from above on a rounded body side.
    void Shade(double x0, double y0, double x1, double y1, double top, double bottom)
    {
        const int py0 = Pixel(y0);
        const int py1 = Pixel(y1);
        for (int y = py0; y < py1; ++y) {
            const double t = py1 - py0 > 1 ? double(y - py0) / double(py1 - py0 - 1) : 0.0;
            const double f = top + (bottom - top) * t;
            for (int x = Pixel(x0); x < Pixel(x1); ++x) {
                uint8_t *p = &pixels_[(static_cast<size_t>(y) * side_ + x) * 3];
                for (int i = 0; i < 3; ++i) {
                    const double v = p[i] * f;
                    p[i] = static_cast<uint8_t>(v > 255.0 ? 255.0 : v);
                }
            }
        }
    }

    // Draws a number centred at (cx, cy), digits of the given height.
    void DrawNumber(int number, double cx, double cy, double height, Rgb c)
    {
        const std::string text = std::to_string(number);
        const double cell = height / 7.0;
        const double width = cell * (6.0 * text.size() - 1.0);
        double left = cx - width / 2.0;
        for (char ch : text) {
            const uint8_t *rows = DigitRows[ch - '0'];
            for (int row = 0; row < 7; ++row) {
                for (int col = 0; col < 5; ++col) {
                    if (rows[row] & (0x10 >> col)) {
                        const double x = left + col * cell;
                        const double y = cy - height / 2.0 + row * cell;
                        FillRect(x, y, x + cell, y + cell, c);
                    }
                }
            }
            left += cell * 6.0;
        }
    }

private:
    int Pixel(double fraction) const { return static_cast<int>(std::lround(fraction * side_)); }
    double Fraction(int pixel) const { return (pixel + 0.5) / side_; }

    int side_;
    std::vector<uint8_t> pixels_;
};

// A round number panel on a door: white disc, dark ring, the number.
void DrawRoundel(Canvas &canvas, double cx, double cy, double radius, int number)
{
    canvas.FillEllipse(cx, cy, radius, radius, Black);
    canvas.FillEllipse(cx, cy, radius * 0.88, radius * 0.88, White);
    canvas.DrawNumber(number, cx, cy, radius * 1.0, Black);
}

// One side of the car in the strip [y0, y0 + 0.25); front at the left when
// frontLeft is set.
void DrawSide(Canvas &canvas, const CarLook &look, double y0, bool frontLeft, int number)
{
    const double h = 0.25;
    const auto along = [frontLeft](double fromFront) { return frontLeft ? fromFront : 1.0 - fromFront; };
    canvas.FillRect(0.0, y0, 1.0, y0 + h, look.base);
    // Sill in the accent colour, a shoulder line just below the windows.
    canvas.FillRect(0.0, y0 + h * 0.84, 1.0, y0 + h, look.accent);
    canvas.FillRect(0.0, y0 + h * 0.30, 1.0, y0 + h * 0.33, look.accent);
    switch (look.stripes) {
    case Stripes::SideBand:
        canvas.FillRect(0.0, y0 + h * 0.50, 1.0, y0 + h * 0.64, look.stripe);
        break;
    case Stripes::Sash: {
        const double slant = frontLeft ? 0.6 : -0.6;
        const double start = frontLeft ? 0.22 : 0.78 - 0.12;
        canvas.FillSash(0.0, y0, 1.0, y0 + h * 0.84, start, start + 0.12, slant, look.stripe);
        break;
    }
    case Stripes::Twin:
    case Stripes::Wide:
        // Stripes run over the top; on the side they show only as a thin
        // pinstripe along the shoulder.
        canvas.FillRect(0.0, y0 + h * 0.35, 1.0, y0 + h * 0.38, look.stripe);
        break;
    }
    canvas.Shade(0.0, y0, 1.0, y0 + h, 1.12, 0.78);
    // Wheel arch shadows, front and rear.
    canvas.FillEllipse(along(0.17), y0 + h, 0.09, h * 0.42, DarkGrey);
    canvas.FillEllipse(along(0.80), y0 + h, 0.09, h * 0.42, DarkGrey);
    // A side marker lamp at the front corner.
    canvas.FillRect(std::min(along(0.04), along(0.07)), y0 + h * 0.42, std::max(along(0.04), along(0.07)),
                    y0 + h * 0.48, LampAmber);
    DrawRoundel(canvas, along(0.50), y0 + h * 0.55, h * 0.26, number);
}

void DrawTop(Canvas &canvas, const CarLook &look, int number)
{
    const double x0 = 0.0, y0 = 0.5, w = 0.5, h = 0.5;
    canvas.FillRect(x0, y0, x0 + w, y0 + h, look.base);
    // The roof: a slightly darker panel in the middle of the length.
    canvas.FillRect(x0 + w * 0.12, y0 + h * 0.38, x0 + w * 0.88, y0 + h * 0.70, look.base);
    canvas.Shade(x0 + w * 0.12, y0 + h * 0.38, x0 + w * 0.88, y0 + h * 0.70, 0.92, 0.92);
    switch (look.stripes) {
    case Stripes::Twin:
        canvas.FillRect(x0 + w * 0.36, y0, x0 + w * 0.46, y0 + h, look.stripe);
        canvas.FillRect(x0 + w * 0.54, y0, x0 + w * 0.64, y0 + h, look.stripe);
        break;
    case Stripes::Wide:
        canvas.FillRect(x0 + w * 0.32, y0, x0 + w * 0.68, y0 + h, look.stripe);
        canvas.FillRect(x0 + w * 0.30, y0, x0 + w * 0.32, y0 + h, look.accent);
        canvas.FillRect(x0 + w * 0.68, y0, x0 + w * 0.70, y0 + h, look.accent);
        break;
    case Stripes::SideBand:
        canvas.FillRect(x0, y0, x0 + w * 0.06, y0 + h, look.stripe);
        canvas.FillRect(x0 + w * 0.94, y0, x0 + w, y0 + h, look.stripe);
        break;
    case Stripes::Sash:
        canvas.FillSash(x0, y0, x0 + w, y0 + h, x0 + w * 0.10, x0 + w * 0.34, 0.5, look.stripe);
        break;
    }
    if (look.numberBox) {
        const double cx = x0 + w * 0.5, cy = y0 + h * 0.54, r = w * 0.16;
        canvas.FillRect(cx - r, cy - r, cx + r, cy + r, Black);
        canvas.FillRect(cx - r * 0.9, cy - r * 0.9, cx + r * 0.9, cy + r * 0.9, White);
        canvas.DrawNumber(number, cx, cy, r * 1.1, Black);
    }
}

// The front or rear view in [0.5, 1) x [y0, y0 + 0.25).
void DrawEnd(Canvas &canvas, const CarLook &look, double y0, bool front)
{
    const double x0 = 0.5, w = 0.5, h = 0.25;
    canvas.FillRect(x0, y0, x0 + w, y0 + h, look.base);
    switch (look.stripes) {
    case Stripes::Twin:
        canvas.FillRect(x0 + w * 0.36, y0, x0 + w * 0.46, y0 + h, look.stripe);
        canvas.FillRect(x0 + w * 0.54, y0, x0 + w * 0.64, y0 + h, look.stripe);
        break;
    case Stripes::Wide:
        canvas.FillRect(x0 + w * 0.32, y0, x0 + w * 0.68, y0 + h, look.stripe);
        break;
    case Stripes::SideBand:
        canvas.FillRect(x0, y0 + h * 0.50, x0 + w, y0 + h * 0.64, look.stripe);
        break;
    case Stripes::Sash:
        canvas.FillRect(x0, y0 + h * 0.20, x0 + w * 0.2, y0 + h * 0.45, look.stripe);
        break;
    }
    canvas.Shade(x0, y0, x0 + w, y0 + h, 1.1, 0.8);
    if (front) {
        canvas.FillRect(x0 + w * 0.30, y0 + h * 0.55, x0 + w * 0.70, y0 + h * 0.85, DarkGrey);   // grille
        canvas.FillEllipse(x0 + w * 0.15, y0 + h * 0.45, w * 0.08, h * 0.12, LampWhite);
        canvas.FillEllipse(x0 + w * 0.85, y0 + h * 0.45, w * 0.08, h * 0.12, LampWhite);
    } else {
        canvas.FillRect(x0 + w * 0.05, y0 + h * 0.35, x0 + w * 0.25, y0 + h * 0.55, LampRed);
        canvas.FillRect(x0 + w * 0.75, y0 + h * 0.35, x0 + w * 0.95, y0 + h * 0.55, LampRed);
        canvas.FillRect(x0, y0 + h * 0.85, x0 + w, y0 + h, DarkGrey);   // diffuser
    }
}

void DrawCarSkin(Canvas &canvas, const CarLook &look, int number)
{
    DrawSide(canvas, look, 0.0, true, number);
    DrawSide(canvas, look, 0.25, false, number);
    DrawTop(canvas, look, number);
    DrawEnd(canvas, look, 0.5, true);
    DrawEnd(canvas, look, 0.75, false);
}

// The built-in helmet: white shell, a red crown stripe over the face, a
// blue band round the head and a chequered rim.
void DrawHelmetSkin(Canvas &canvas)
{
    canvas.FillRect(0.0, 0.0, 1.0, 1.0, {240, 240, 236});
    canvas.FillRect(0.44, 0.0, 0.56, 0.45, {200, 25, 30});
    canvas.FillRect(0.0, 0.60, 1.0, 0.68, {30, 60, 160});
    const int checks = 32;
    for (int i = 0; i < checks; ++i) {
        for (int row = 0; row < 2; ++row) {
            const Rgb c = (i + row) % 2 ? Black : White;
            const double x = double(i) / checks;
            const double y = 0.86 + row * 0.07;
            canvas.FillRect(x, y, x + 1.0 / checks, y + 0.07, c);
        }
    }
    canvas.Shade(0.0, 0.0, 1.0, 1.0, 1.05, 0.85);
}

}  // namespace

const char *WriteDefaultSkins(const char *runFolder)
{
    static std::string error;
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "skins";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return error.c_str();
    }

    Canvas helmet(HelmetSkinSide);
    DrawHelmetSkin(helmet);
    std::string path = (folder / "HEL_DEFAULT.jpg").string();
    if (!WriteJpegFile(path.c_str(), helmet.Data(), helmet.Side(), helmet.Side(), JpegQuality)) {
        error = "cannot write " + path;
        return error.c_str();
    }
    for (int car = 0; car < CarModelCount; ++car) {
        Canvas canvas(CarSkinSide);
        DrawCarSkin(canvas, CarLooks[car], car + 1);
        path = (folder / (std::string(CarTable[car].code) + "_DEFAULT.jpg")).string();
        if (!WriteJpegFile(path.c_str(), canvas.Data(), canvas.Side(), canvas.Side(), JpegQuality)) {
            error = "cannot write " + path;
            return error.c_str();
        }
    }
    return nullptr;
}
