#include "render/software_raster.h"

#include "core/colour.h"

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
