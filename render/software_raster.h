#pragma once

#include <cstdint>

// The target of the software raster: a 16- or 32-bit pixel image the
// processor draws into (number plates, glyph pages).
struct RasterTargetRecord {
    void *pixels;         // null: no image
    int stride;           // bytes from one row to the next
    int width;
    int height;
    int pixelBits;
    int firstClipRow;     // rows drawn: firstClipRow..lastClipRow
    int lastClipRow;
    uint32_t (*packer)(int red, int green, int blue);
};

extern RasterTargetRecord RasterTarget;

// No image, the given height (ScreenHeight at start-up), every row drawable.
void ResetRasterTarget(int height);

// --- Solid fills ---------------------------------------------------------------------------------------
// Every fill draws in one colour into RasterTarget. Spans are clipped to the
// image's columns and rows to the clip rows and the image, so a corner or a
// span outside the picture writes nothing outside it.

struct RasterCorner {
    int x;  // quarter pixels
    int y;
};
// The three corners FillRasterTriangle fills, set by the caller.
extern RasterCorner RasterCorners[3];

struct RasterEdge {
    int column;
    int error;
    int step;       // +1 or -1
    int shallow;    // more columns than rows
    int spanX;      // |dx| in quarter pixels
    int spanY;      // dy in quarter pixels
};

void SetRasterColour(uint32_t pixel);
void SetRasterRow(int row);
// Pixels x0 .. x1 - 1 of the current row.
void FillRasterSpan(int x0, int x1);
// Rows y0 .. y1 - 1, columns x0 .. x1 - 1.
void FillRasterRect(int x0, int y0, int x1, int y1, uint32_t pixel);
void FillRasterImage(uint32_t pixel);
void SetupRasterEdge(RasterEdge *edge, const RasterCorner &from, const RasterCorner &to);
// Fills the triangle of RasterCorners when its corners run with a negative
// signed area ((x1 - x0)(y2 - y0) - (x2 - x0)(y1 - y0), y downwards).
void FillRasterTriangle(uint32_t pixel);
// A fan of n triangles around (cx, cy), in quarter pixels; nothing for n < 1.
void FillRasterEllipse(int cx, int cy, int rx, int ry, uint32_t pixel, int n);

// Switches the raster to a private side x side R5G6B5 image (cleared to 0,
// packer PackRgb565, every row drawable), keeping the previous target, clip
// rows, pixel size and packer; RasterTarget.pixels is the image. Returns
// false, leaving the raster as it was, for a side outside 1..4096.
bool BeginRasterImage(int side);
// Frees the private image and gives the raster its previous state back.
void EndRasterImage();
