#include "render/software_raster.h"

#include "core/colour.h"
#include "core/float_math.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

RasterTargetRecord RasterTarget = {nullptr, 0, 0, 0, 16, 0, -1, PackRgb565};

void ResetRasterTarget(int height)
{
    RasterTarget.pixels = nullptr;
    RasterTarget.stride = 0;
    RasterTarget.width = 0;
    RasterTarget.height = height > 0 ? height : 0;
    RasterTarget.firstClipRow = 0;
    RasterTarget.lastClipRow = RasterTarget.height - 1;
}


RasterCorner RasterCorners[3] = {};

namespace {

uint16_t RasterPixel = 0;
uint32_t RasterPixelPair = 0;  // the pixel twice
int RasterRow = 0;

bool RowInImage(int row)
{
    return RasterTarget.pixels != nullptr && row >= 0 && row < RasterTarget.height;
}

uint8_t *RowStart(int row)
{
    return static_cast<uint8_t *>(RasterTarget.pixels) + static_cast<ptrdiff_t>(row) * RasterTarget.stride;
}

void FillRowSpan(int row, int x0, int x1)
{
    if (!RowInImage(row)) {
        return;
    }
    x0 = x0 < 0 ? 0 : x0;
    x1 = x1 > RasterTarget.width ? RasterTarget.width : x1;
    if (x0 >= x1) {
        return;
    }
    uint8_t *line = RowStart(row);
    if (RasterTarget.pixelBits == 32) {
        const uint32_t value = RasterPixel;
        for (int x = x0; x < x1; ++x) {
            std::memcpy(line + static_cast<size_t>(x) * 4, &value, 4);
        }
        return;
    }
    int x = x0;
    if ((reinterpret_cast<uintptr_t>(line + static_cast<size_t>(x) * 2) & 3) != 0) {
        std::memcpy(line + static_cast<size_t>(x) * 2, &RasterPixel, 2);
        ++x;
    }
    for (; x + 2 <= x1; x += 2) {
        std::memcpy(line + static_cast<size_t>(x) * 2, &RasterPixelPair, 4);
    }
    if (x < x1) {
        std::memcpy(line + static_cast<size_t>(x) * 2, &RasterPixel, 2);
    }
}

void StepShallow(RasterEdge &edge)
{
    if (!edge.shallow || edge.spanY <= 0) {
        return;
    }
    do {
        edge.column += edge.step;
        edge.error += edge.spanY;
    } while (edge.error < edge.spanX);
    edge.error -= edge.spanX;
}

void StepSteep(RasterEdge &edge)
{
    if (edge.shallow || edge.spanY <= 0) {
        return;
    }
    edge.error += edge.spanX;
    if (edge.error >= edge.spanY) {
        edge.column += edge.step;
        edge.error -= edge.spanY;
    }
}

}  // namespace

void SetRasterColour(uint32_t pixel)
{
    RasterPixel = static_cast<uint16_t>(pixel);
    RasterPixelPair = (pixel & 0xFFFFu) * 0x10001u;
}

void SetRasterRow(int row)
{
    RasterRow = row;
}

void FillRasterSpan(int x0, int x1)
{
    FillRowSpan(RasterRow, x0, x1);
}

void FillRasterRect(int x0, int y0, int x1, int y1, uint32_t pixel)
{
    if (RasterTarget.pixelBits != 16) {
        return;
    }
    SetRasterColour(pixel);
    for (int row = y0; row < y1; ++row) {
        FillRowSpan(row, x0, x1);
    }
}

void FillRasterImage(uint32_t pixel)
{
    SetRasterColour(pixel);
    for (int row = 0; row < RasterTarget.height; ++row) {
        FillRowSpan(row, 0, RasterTarget.width);
    }
}

void SetupRasterEdge(RasterEdge *edge, const RasterCorner &from, const RasterCorner &to)
{
    edge->column = from.x >> 2;
    edge->spanY = to.y - from.y;
    edge->step = from.x > to.x ? -1 : 1;
    edge->spanX = std::abs(to.x - from.x);
    edge->shallow = edge->spanX > edge->spanY ? 1 : 0;
    const int fa = from.x & 3;
    const int ga = from.y & 3;
    const int dx = edge->spanX;
    const int dy = edge->spanY;
    if (!edge->shallow) {
        int error = edge->step > 0 ? (fa * dy) >> 2 : dy - ((fa * dy) >> 2);
        edge->error = error - ((ga * dx) >> 2) + dx;
    } else {
        const int t = (ga * dx) >> 2;
        edge->error = edge->step > 0 ? t - ((fa * dy) >> 2) + dy : t + ((fa * dy) >> 2);
    }
}

void FillRasterTriangle(uint32_t pixel)
{
    SetRasterColour(pixel);
    const RasterCorner *c = RasterCorners;
    int top = 0;
    for (int i = 1; i < 3; ++i) {
        if (c[i].y < c[top].y) {
            top = i;
        }
    }
    const int next = (top + 1) % 3;
    const int previous = (top + 2) % 3;
    int lastRow = std::max(c[next].y, c[previous].y) >> 2;
    lastRow = std::min(lastRow, RasterTarget.lastClipRow + 1);
    const int firstRow = c[top].y >> 2;
    RasterEdge a{};
    RasterEdge b{};
    SetupRasterEdge(&a, c[top], c[next]);
    SetupRasterEdge(&b, c[top], c[previous]);
    bool replaced = false;
    const bool aEndsFirst = c[next].y <= c[previous].y;
    const int switchRow = (aEndsFirst ? c[next].y : c[previous].y) >> 2;
    for (int row = firstRow; row < lastRow; ++row) {
        if (!replaced && row >= switchRow) {
            if (aEndsFirst) {
                SetupRasterEdge(&a, c[next], c[previous]);
            } else {
                SetupRasterEdge(&b, c[previous], c[next]);
            }
            replaced = true;
        }
        StepShallow(a);
        StepShallow(b);
        if (row >= RasterTarget.firstClipRow && a.column < b.column) {
            FillRowSpan(row, a.column, b.column);
        }
        StepSteep(a);
        StepSteep(b);
    }
}

void FillRasterEllipse(int cx, int cy, int rx, int ry, uint32_t pixel, int n)
{
    if (n < 1) {
        return;
    }
    constexpr float TwoPi = 6.28318530717958647692f;
    RasterCorners[0] = {cx, cy};
    RasterCorners[1] = {cx + rx, cy};
    for (int i = 1; i <= n; ++i) {
        if (i == n) {
            RasterCorners[2] = {cx + rx, cy};
        } else {
            const float angle = TwoPi * static_cast<float>(i) / static_cast<float>(n);
            RasterCorners[2] = {cx + static_cast<int>(std::lround(static_cast<float>(rx) * FloatCos(angle))),
                                cy - static_cast<int>(std::lround(static_cast<float>(ry) * FloatSin(angle)))};
        }
        FillRasterTriangle(pixel);
        RasterCorners[1] = RasterCorners[2];
    }
}

namespace {

std::vector<uint16_t> PrivateImage;
RasterTargetRecord SavedTarget{};
bool PrivateImageActive = false;

}  // namespace

bool BeginRasterImage(int side)
{
    if (side < 1 || side > 4096) {
        return false;
    }
    if (!PrivateImageActive) {
        SavedTarget = RasterTarget;
        PrivateImageActive = true;
    }
    PrivateImage.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
    RasterTarget.pixels = PrivateImage.data();
    RasterTarget.stride = side * 2;
    RasterTarget.width = side;
    RasterTarget.height = side;
    RasterTarget.pixelBits = 16;
    RasterTarget.firstClipRow = 0;
    RasterTarget.lastClipRow = side - 1;
    RasterTarget.packer = PackRgb565;
    return true;
}

void EndRasterImage()
{
    if (!PrivateImageActive) {
        return;
    }
    RasterTarget = SavedTarget;
    PrivateImageActive = false;
    PrivateImage.clear();
    PrivateImage.shrink_to_fit();
}
