#include "platform/graphics_device.h"

#include <cstring>

uint32_t FloatBits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

float BitsFloat(uint32_t bits)
{
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

int FormatTexelBytes(uint32_t format)
{
    switch (format) {
    case RenderFormatA8R8G8B8:
    case RenderFormatX8R8G8B8:
        return 4;
    case RenderFormatR5G6B5:
    case RenderFormatX1R5G5B5:
    case RenderFormatA1R5G5B5:
    case RenderFormatA4R4G4B4:
        return 2;
    case RenderFormatL8:
        return 1;
    default:
        return 0;
    }
}

int FormatBlockBytes(uint32_t format)
{
    if (format == RenderFormatDxt1) {
        return 8;
    }
    if (format == RenderFormatDxt3) {
        return 16;
    }
    return 0;
}

int FormatRowBytes(uint32_t format, int width)
{
    if (width < 1) {
        width = 1;
    }
    const int block = FormatBlockBytes(format);
    if (block != 0) {
        return (width + 3) / 4 * block;
    }
    return width * FormatTexelBytes(format);
}

int FormatLevelBytes(uint32_t format, int width, int height)
{
    if (height < 1) {
        height = 1;
    }
    const int rows = FormatBlockBytes(format) != 0 ? (height + 3) / 4 : height;
    return FormatRowBytes(format, width) * rows;
}

int FvfVertexBytes(uint32_t fvf)
{
    int bytes = 0;
    if (fvf & FvfXyz) {
        bytes += 12;
    }
    if (fvf & FvfXyzRhw) {
        bytes += 16;
    }
    if (fvf & FvfNormal) {
        bytes += 12;
    }
    if (fvf & FvfDiffuse) {
        bytes += 4;
    }
    if (fvf & FvfSpecular) {
        bytes += 4;
    }
    bytes += static_cast<int>((fvf & FvfTexCountMask) >> FvfTexCountShift) * 8;
    return bytes;
}

uint32_t DeviceDefaultRenderState(int state)
{
    switch (state) {
    case RsZEnable:
        return 1;
    case RsFillMode:
        return 3;
    case RsShadeMode:
        return 2;
    case RsZWriteEnable:
    case RsLastPixel:
    case RsClipping:
    case RsLighting:
    case RsColorVertex:
    case RsLocalViewer:
    case RsDiffuseMaterialSource:
    case RsMultiSampleAntialias:
    case RsBlendOp:
    case RsPatchSegments:
        return 1;
    case RsSrcBlend:
        return BlendOne;
    case RsDestBlend:
        return BlendZero;
    case RsCullMode:
        return CullCcw;
    case RsZFunc:
        return CmpLessEqual;
    case RsAlphaFunc:
    case RsStencilFunc:
        return CmpAlways;
    case RsStencilFail:
    case RsStencilZFail:
    case RsStencilPass:
        return 1;
    case RsStencilMask:
    case RsStencilWriteMask:
    case RsTextureFactor:
    case RsMultiSampleMask:
        return 0xFFFFFFFFu;
    case RsFogEnd:
    case RsFogDensity:
    case RsPointSize:
    case RsPointScaleA:
    case RsPointSizeMin:
        return FloatBits(state == RsPointSizeMin ? 0.0f : 1.0f);
    case RsPointSizeMax:
        return FloatBits(64.0f);
    case RsSpecularMaterialSource:
        return 2;
    case RsColorWriteEnable:
        return 0xF;
    case RsDebugMonitorToken:
        return 0xFFFFFFFFu;
    default:
        return 0;
    }
}

uint32_t DeviceDefaultStageState(int stage, int type)
{
    switch (type) {
    case TssColorOp:
        return stage == 0 ? TopModulate : TopDisable;
    case TssAlphaOp:
        return stage == 0 ? TopSelectArg1 : TopDisable;
    case TssColorArg1:
    case TssAlphaArg1:
        return TaTexture;
    case TssColorArg2:
    case TssAlphaArg2:
    case TssColorArg0:
    case TssAlphaArg0:
    case TssResultArg:
        return TaCurrent;
    case TssTexCoordIndex:
        return static_cast<uint32_t>(stage);
    case TssAddressU:
    case TssAddressV:
    case TssAddressW:
        return TaddressWrap;
    case TssMagFilter:
    case TssMinFilter:
        return TexfPoint;
    case TssMaxAnisotropy:
        return 1;
    default:
        return 0;
    }
}
