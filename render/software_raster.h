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
