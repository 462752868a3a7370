#include "render/screenshot.h"

#include "platform/file_system.h"
#include "platform/gl_device.h"
#include "render/render_device.h"
#include "render/render_link.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int MinShotNumber = 1;
constexpr int MaxShotNumber = 99999999;
constexpr int BmpFileHeaderSize = 14;
constexpr int BmpInfoHeaderSize = 40;

void PutU16(uint8_t *at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t *at, uint32_t value)
{
    PutU16(at, value & 0xFFFF);
    PutU16(at + 2, value >> 16);
}

// The BMP file: a 24-bit picture without palette, rows from the bottom up,
// each padded to four bytes, pixels as blue, green, red. The image comes in
// 4 bytes per pixel (red, green, blue, alpha), rows from the bottom up.
bool WriteBmpFile(const char *path, const uint8_t *image, int width, int height)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);
    uint8_t header[BmpFileHeaderSize + BmpInfoHeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header + 2, sizeof(header) + pixelBytes);
    PutU32(header + 10, sizeof(header));
    uint8_t *info = header + BmpFileHeaderSize;
    PutU32(info, BmpInfoHeaderSize);
    PutU32(info + 4, static_cast<uint32_t>(width));
    PutU32(info + 8, static_cast<uint32_t>(height));
    PutU16(info + 12, 1);   // planes
    PutU16(info + 14, 24);  // bits per pixel
    PutU32(info + 20, pixelBytes);

    FILE *file = PlatformOpenFile(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(header, sizeof(header), 1, file) == 1;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int y = 0; y < height && written; ++y) {
        const uint8_t *from = image + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = from[x * 4 + 2];
            row[x * 3 + 1] = from[x * 4 + 1];
            row[x * 3 + 2] = from[x * 4];
        }
        written = std::fwrite(row.data(), rowBytes, 1, file) == 1;
    }
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace

void TakeScreenshot()
{
    *RenderShell.screenshotRequest = 0;
    int &nextShot = *RenderShell.nextShot;
    const int number = std::clamp(nextShot, MinShotNumber, MaxShotNumber);
    nextShot = number + 1;
    char path[64];
    std::snprintf(path, sizeof(path), "data\\shots\\kzv_%.8d.bmp", number);
    if (SaveBackBuffer(path) == 0) {
        RenderShell.showHudMessageShort(path);
    }
}

int SaveBackBuffer(const char *path)
{
    const int width = RenderDevice.BackBufferWidth;
    const int height = RenderDevice.BackBufferHeight;
    std::vector<uint8_t> image;
    bool read = RenderDevice.RendererStarted == 2 && GetRenderBackend() == RenderBackendOpenGl && width > 0 &&
                height > 0;
    if (read) {
        image.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        read = PlatformGlReadPixels(0, 0, width, height, image.data());
    }
    if (!read) {
        RenderWarning("Could not get back buffer");
        return -1;
    }
    if (path == nullptr || !WriteBmpFile(path, image.data(), width, height)) {
        RenderWarning("Could not save surface to file");
        return -2;
    }
    return 0;
}
